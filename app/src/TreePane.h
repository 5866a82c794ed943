// The left pane: its caption with a close button, the filter box and the archive tree,
// the tree's context menu, and the exports of what is selected in it (a file, a model, a
// whole folder).
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "FolderJob.h"
#include "TreeModel.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;
class QToolButton;
class QTreeView;

namespace Model {
struct IVellModel;
}
namespace PakMgr {
struct IPakMgr;
struct ITreeNode;
}  // namespace PakMgr

namespace App {

class CStatusLine;

inline constexpr const char* kFolderJobRuns =
    QT_TRANSLATE_NOOP("App::CTreePane", "一个文件夹的导出正在进行, 请等它完成或取消.");

class CTreePane final : public QWidget {
    Q_OBJECT
public:
    // What the context menu's rules need to know of the rest of the window.
    struct Context {
        std::function<QAction*(uint16_t)> action;  // the command table's actions
        std::function<bool()> animationChosen;     // an entry other than "默认" is chosen
    };

    CTreePane(QWidget* parent, Context context, CStatusLine& status);
    ~CTreePane() override;

    QTreeView* Tree() const { return m_tree; }
    CTreeModel* Model() const { return m_model; }
    QLineEdit* FilterBox() const { return m_filter; }
    QToolButton* OverriddenOnlySwitch() const { return m_overriddenOnly; }
    // 仅变更: shown while a comparison's marks are, keeps only the marked files.
    QToolButton* MarkedOnlySwitch() const { return m_markedOnly; }
    // Said over the tree when the filter leaves nothing; hidden otherwise.
    QLabel* NoMatchNote() const { return m_noMatch; }

    // Marks the tree's files (CTreeModel::SetMarks) and offers 仅变更 while there are marks.
    void ShowMarks(std::unordered_map<const PakMgr::ITreeNode*, CTreeModel::Mark> marks);

    // Forgets every item (and stops a folder job) before the manager's tree goes.
    void Forget();
    // Shows the archive manager's tree anew; the filter applies at once.
    void ShowTree();
    // The selected file, or null (nothing selected, or a folder).
    PakMgr::ITreeNode* SelectedFile() const;
    PakMgr::ITreeNode* SelectedFolder() const;
    // Makes the node the tree's current item, its folders expanded, in sight.
    void SelectNode(PakMgr::ITreeNode* node);
    QString FilterText() const;

    // The context menu of the selected item, its items enabled by the rules, or null
    // where no menu opens (no item, an item other than the selected one).
    std::unique_ptr<QMenu> BuildPopup(const QModelIndex& index);

    // The exports of the selection; each asks for its destination first.
    void ExportSelected();
    // OBJ files of the shown model; with `materials`, .mtl files and PNG textures beside them.
    void ConvertToObj(bool materials = false);
    // The shown model (skins loaded, whole model first) as one glTF file.
    void ConvertToGltf(const std::vector<PakMgr::ITreeNode*>& loadedSkins);
    void ConvertToFbx(const std::vector<PakMgr::ITreeNode*>& loadedSkins);
    void PreviewTexture();
    // Opens the selected file in a read-only text or hex viewer.
    void ViewFile();
    // 来源: every record of the archives that holds the selected file's path, listed as
    // `vell which` lists them.
    void ShowSources();

    // Runs `operation` over `count` items on worker threads, with progress, cancel and a
    // summary naming `where` and listing `renamed`. One job at a time: false while another
    // runs.
    bool RunFolderJob(std::size_t count, CFolderJob::Operation operation, const QString& where,
                      QStringList renamed = {});
    // Runs `job` as the pane's one job (false while another runs): closing the folder cancels
    // it and waits. `finished` gets its result on the window's thread.
    bool RunJob(std::unique_ptr<CFolderJob> job,
                std::function<void(const FolderJobResult&)> finished);
    CFolderJob* Job() const { return m_job.get(); }

Q_SIGNALS:
    void CloseRequested();
    // The filter's text changed (the tree shows its matches already).
    void FilterChanged(const QString& text);
    // Double-click or Enter on a file: the command it stands for.
    void CommandRequested(uint16_t id);

protected:
    void changeEvent(QEvent* event) override;

private:
    void Retranslate();
    void OnFilterChanged(const QString& text);
    // Says "nothing matches" over the tree when the filter left no file.
    void ShowNoMatch(bool none);
    void OnContextMenu(const QPoint& position);
    void OnActivated(const QModelIndex& index);
    // One folder job at a time: a second one is refused, saying so, before it asks anything.
    bool SayFolderJobRuns();
    void ExportFolder(PakMgr::ITreeNode* folder);
    // Every whole model below the folder as its own glTF file, in a folder the user picks.
    void ConvertFolderToGltf(PakMgr::ITreeNode* folder);
    // Runs `work` on the selected file inside a folder the user picks (the current
    // directory switched for the length of the call).
    void ExportIntoPickedFolder(const std::function<void(PakMgr::ITreeNode*)>& work);

    Context m_context;
    CStatusLine& m_status;
    Model::IVellModel& m_vellModel;
    PakMgr::IPakMgr& m_pakMgr;
    QLabel* m_title = nullptr;
    QLineEdit* m_filter = nullptr;
    QToolButton* m_overriddenOnly = nullptr;
    QToolButton* m_markedOnly = nullptr;
    QLabel* m_noMatch = nullptr;
    QTreeView* m_tree = nullptr;
    CTreeModel* m_model = nullptr;
    QTimer* m_prepareTimer = nullptr;
    std::vector<CTreeModel::Item*> m_expandedBeforeFilter;
    std::unique_ptr<CFolderJob> m_job;
};

// The command a double-click or Enter on a file of this name stands for: load, animate,
// preview, or else a look at its bytes.
uint16_t ActivationCommand(std::string_view name);

}  // namespace App
