// The program's one top-level window: menu, tool bar with the animation list, the speed
// slider and the parts button, the two-pane status bar, and the splitter with the archive
// tree on the left and the OpenGL view on the right. It owns the command table.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <QToolButton>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "MessageLoop.h"
#include "TreeModel.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QSlider;
class QSplitter;
class QTreeView;

namespace Model {
struct IVellModel;
}
namespace PakMgr {
struct IPakMgr;
struct ITreeNode;
}  // namespace PakMgr

namespace App {

class CVellModelBrowserRenderView;
class CAboutDlg;

// "v1.0a" from 1.0.1.0: letters for a third part of 1 to 3, the fourth never shown.
std::string VersionSuffix(const int (&version)[4]);

inline constexpr const char* kTitle = "Vell 模型浏览器";
inline constexpr const char* kDefaultAnimation = "默认   ";
// Frames per second of a freshly started animation, and the speed slider's position then.
inline constexpr int kDefaultSpeed = 60;

// The parts button; remembers the keyboard modifiers of the click that pressed it.
class CPartsButton final : public QToolButton {
public:
    using QToolButton::QToolButton;
    Qt::KeyboardModifiers TakeClickModifiers();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Qt::KeyboardModifiers m_clickModifiers;
    bool m_clicked = false;
};

// A progress bar in the status bar's second pane for the length of one operation. It is
// repainted at most every 50 ms, so that showing progress never costs more than the work.
class CProgress {
public:
    CProgress(QWidget* pane, QProgressBar*& slot);
    ~CProgress();
    CProgress(const CProgress&) = delete;
    CProgress& operator=(const CProgress&) = delete;
    void SetRange(int low, int high);
    void SetPosition(int position);
    void Step();

private:
    void Show(bool force);

    QProgressBar*& m_slot;
    std::unique_ptr<QProgressBar> m_bar;
    int m_position = 0;
    qint64 m_lastPaint = -1;
};

class CVellModelBrowserMainFrame final : public QMainWindow,
                                         public IMessageFilter,
                                         public IIdleHandler {
    Q_OBJECT
public:
    CVellModelBrowserMainFrame();
    ~CVellModelBrowserMainFrame() override;

    // Builds the layout; false when the window can't be made.
    bool Create();

    // The command path shared by menus, tool bar buttons and accelerators.
    void OnCommand(uint16_t id);
    QAction* Action(uint16_t id) const;

    // The update-UI table.
    void UISetCheck(uint16_t id, bool checked);
    bool UIGetCheck(uint16_t id) const;

    // File / Open with a folder already chosen (also the start-up argument).
    void OpenGameFolder(const QString& folder);

    // The view draws while the frame is not minimised.
    void UpdateActive();

    bool PreTranslateMessage(QObject* target, QEvent* event) override;
    bool OnIdle() override;

    // The context menu of the tree's selected file, its items enabled by the rules, or null
    // where no menu opens (no item, a folder, an item other than the selected one).
    std::unique_ptr<QMenu> BuildTreePopup(const QModelIndex& index);
    std::unique_ptr<CAboutDlg> MakeAboutDlg();
    QString FileListFilter() const;

    // Parts, widgets and state, for the view and for tests.
    CVellModelBrowserRenderView* View() const { return m_view; }
    QTreeView* Tree() const { return m_tree; }
    CTreeModel* TreeModel() const { return m_treeModel; }
    QLineEdit* FilterBox() const { return m_filter; }
    QComboBox* AnimationList() const { return m_comboAnimations; }
    QSlider* SpeedSlider() const { return m_sliderSpeed; }
    CPartsButton* PartsButton() const { return m_partsButton; }
    QMenu* PartsMenu() const { return m_menuParts; }
    QWidget* Pane() const { return m_pane; }
    QSplitter* Splitter() const { return m_splitter; }
    QToolBar* ToolBar() const { return m_toolbar; }
    QWidget* ProgressPane() const { return m_progressPane; }
    QProgressBar* Progress() const { return m_progress; }
    QLabel* IdleText() const { return m_idleText; }
    bool TreeShown() const { return m_treeShown; }
    std::vector<bool> PartChecks() const { return m_partChecked; }

Q_SIGNALS:
    // The window was closed for good; the loop ends with exit code 1.
    void Destroyed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    using Handler = void (CVellModelBrowserMainFrame::*)();

    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateSplitter();
    void CreatePane();
    QAction* MakeAction(uint16_t id);
    void PushUiState(bool changedOnly);
    void ShowTreePane(bool show);
    void Dispatch(uint16_t id);
    bool OnPartToggle(uint16_t id);

    // Window commands.
    void OnPaneClose();
    void OnViewTree();
    void OnViewToolBar();
    void OnViewStatusBar();
    void OnAppExit();
    void OnNothing() {}

    // Files and the tree pane.
    void OpenGame();
    bool SetTreeView();
    void OnTreeRClick(const QPoint& position);
    void OnExportFile();
    // Runs `work` on the selected file inside a folder the user picks (the current directory
    // switched for the length of the call).
    void ExportIntoPickedFolder(const std::function<void(PakMgr::ITreeNode*)>& work);
    void OnConvertToObj();
    void OnConvertToGltf();
    void OnSaveFileList();
    void OnFilterChanged(const QString& text);
    PakMgr::ITreeNode* SelectedFile() const;

    // Model, parts and animations.
    void OnRenderSkin();
    void OnApplyAnimate();
    void OnExportAnimate();
    void OnLoadAttachment();
    void OnAnimationSelect(int index);
    void OnSpeedNotify();
    void OnPartsButton();
    void RebuildPartsMenu();
    void ResetAnimationList();
    void SetSliderPosition(int position);

    // Settings and about.
    void OnRenderPoint();
    void OnRenderLine();
    void OnRenderFill();
    void OnRenderMode(uint16_t id);
    void OnBackgroundColor();
    void OnModelColor();
    void OnShowAxes();
    void OnShowSkeleton();
    void OnVersionCheck();
    void OnThrottle();
    void OnAppAbout();

    Model::IVellModel* m_model;
    PakMgr::IPakMgr* m_pakMgr;

    CVellModelBrowserRenderView* m_view = nullptr;
    QToolBar* m_toolbar = nullptr;
    QComboBox* m_comboAnimations = nullptr;
    QSlider* m_sliderSpeed = nullptr;
    CPartsButton* m_partsButton = nullptr;
    QMenu* m_menuParts = nullptr;
    QLabel* m_idleText = nullptr;
    QWidget* m_progressPane = nullptr;
    QProgressBar* m_progress = nullptr;
    QSplitter* m_splitter = nullptr;
    QWidget* m_pane = nullptr;
    QLineEdit* m_filter = nullptr;
    QTreeView* m_tree = nullptr;
    CTreeModel* m_treeModel = nullptr;

    std::map<uint16_t, QAction*> m_actions;
    std::map<uint16_t, Handler> m_handlers;
    struct UiState {
        bool checked = false;
        bool changed = true;
    };
    std::map<uint16_t, UiState> m_ui;
    std::vector<bool> m_partChecked;
    // The skins of the model shown, whole model first: the glTF export finds textures below
    // their folders. Forgotten with the tree they belong to.
    std::vector<PakMgr::ITreeNode*> m_loadedSkins;
    std::vector<CTreeModel::Item*> m_expandedBeforeFilter;

    bool m_treeShown = true;
    bool m_toolBarShown = true;
    // Polygon modes point, line, fill: exactly one is set.
    std::array<bool, 3> m_renderModes = {false, false, true};
    QTimer* m_prepareTimer = nullptr;
};

}  // namespace App
