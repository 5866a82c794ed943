// The program's one top-level window: menu, tool bar (with the animation bar's controls),
// the two-pane status bar, and the splitter with the tree pane on the left and the OpenGL
// view on the right. It owns the command table and what is remembered between runs.
#pragma once

#include <QMainWindow>
#include <QSize>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "MessageLoop.h"

class QAction;
class QComboBox;
class QDialog;
class QMenu;
class QSplitter;
class QTreeView;

namespace Model {
struct IVellModel;
}
namespace Media {
enum class Format;
}
namespace PakMgr {
struct IPakMgr;
struct ITreeNode;
struct Comparison;
struct PackPlan;
}  // namespace PakMgr

namespace App {

class CAboutDlg;
class CAnimationBar;
class CGallery;
class CBonePicker;
class CInfoPanel;
class CStatusLine;
class CTimeline;
class CTreeModel;
class CTreePane;
class CVellModelBrowserRenderView;

// "v1.0a" from 1.0.1.0: letters for a third part of 1 to 3, the fourth never shown.
std::string VersionSuffix(const int (&version)[4]);

// The window's title before the version suffix: the program's name. Files written keep the
// Chinese one (ObjComment); the window shows it in the language in use (Title).
inline constexpr const char* kTitle =
    QT_TRANSLATE_NOOP("App::CVellModelBrowserMainFrame", "Vell 模型浏览器");
QString Title();
// The title with the version suffix ("Vell 模型浏览器v1.0"), as the about box shows it; the
// window puts the open game folder before it.
QString ProductTitle();
// The comment at the head of every OBJ file: the title with the version, in Chinese, code
// page 936, whatever the language shown.
std::string ObjComment();

class CVellModelBrowserMainFrame final : public QMainWindow,
                                         public IMessageFilter,
                                         public IIdleHandler {
    Q_OBJECT
public:
    CVellModelBrowserMainFrame();
    ~CVellModelBrowserMainFrame() override;

    // Builds the layout and restores the remembered one; false when the window can't be made.
    bool Create();

    // The command path shared by menus, tool bar buttons and accelerators.
    void OnCommand(uint16_t id);
    QAction* Action(uint16_t id) const;

    // The update-UI table.
    void UISetCheck(uint16_t id, bool checked);
    bool UIGetCheck(uint16_t id) const;

    // File / Open with a folder already chosen (also the start-up argument, a recent
    // folder and a folder dropped on the window).
    // Opens the game folder in the tree; false (and said so) when it holds no archive.
    bool OpenGameFolder(const QString& folder);
    // What 渲染模型 and 显示动画 do with a node of the open game.
    void LoadSkin(PakMgr::ITreeNode* node);
    void LoadAnimation(PakMgr::ITreeNode* node);

    // The view draws while the frame is not minimised.
    void UpdateActive();

    bool PreTranslateMessage(QObject* target, QEvent* event) override;
    bool OnIdle() override;

    std::unique_ptr<CAboutDlg> MakeAboutDlg();
    QString FileListFilter() const;

    // Parts, for the view, the benchmarks and tests.
    CVellModelBrowserRenderView* View() const { return m_view; }
    CTreePane* Pane() const { return m_pane; }
    CAnimationBar* Bar() const { return m_bar; }
    CStatusLine& Status() const { return *m_status; }
    CTimeline* Timeline() const { return m_timeline; }
    CInfoPanel* InfoPanel() const { return m_info; }
    // The gallery window once it was opened, else null.
    CGallery* Gallery() const { return m_gallery; }
    QTreeView* Tree() const;
    CTreeModel* TreeModel() const;
    QComboBox* AnimationList() const;
    QSplitter* Splitter() const { return m_splitter; }
    QToolBar* ToolBar() const { return m_toolbar; }
    QMenu* RecentMenu() const { return m_recentMenu; }
    bool TreeShown() const { return m_treeShown; }

Q_SIGNALS:
    // The window was closed for good; the loop ends with exit code 1.
    void Destroyed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // No menu of Qt's own on the tool bar or the menu bar.
    QMenu* createPopupMenu() override { return nullptr; }

private:
    using Handler = void (CVellModelBrowserMainFrame::*)();

    void CreateActions();
    void CreateMenus();
    // Every text of the window and its bars again, in the language now in use.
    void Retranslate();
    void CreateToolBar();
    void CreateSplitter();
    QAction* MakeAction(uint16_t id);
    void PushUiState(bool changedOnly);
    void ShowTreePane(bool show);
    void Dispatch(uint16_t id);
    // An accelerator with Alt that a menu title's mnemonic would take: the command's id.
    uint16_t AltAccelerator(const QEvent* event) const;

    // Window commands.
    void OnPaneClose();
    void OnViewTree();
    void OnViewToolBar();
    void OnViewStatusBar();
    void OnAppExit();
    void OnNothing() {}

    // Files and the tree pane.
    void OpenGame();
    void OnFileClose();
    // Puts the model shown away: no skin, animation or part of it is left.
    void PutModelAway();
    // The window's title: the open game folder, then the program's.
    void ShowTitle();
    void OnSaveFileList();
    void OnSaveScreenshot();
    void OnCopyPicture();
    void OnExportMovie();
    bool ExportMovie(Media::Format format, const QString& path, QSize size, unsigned count);
    void RebuildRecentMenu();
    void OnExportFile();
    void OnConvertToObj();
    void OnConvertToObjMtl();
    void OnConvertToGltf();
    void OnConvertToFbx();
    void OnImportGltf();
    // 打包补丁 of the folder: its report in the pack dialog, then the archive written.
    void PackFolder(const QString& folder);
    void OnPreviewTexture();
    void OnShowSources();
    // 文件 / 比较...: marks the files of the tree added or changed since another game
    // folder, and lists the files it held that the tree doesn't.
    void OnFileCompare();
    // Marks the tree with a comparison against `folder` and lists what it removed.
    void ShowComparison(const PakMgr::Comparison& result, const QString& folder);
    void OnPackMod();
    void OnModList();
    // Writes the mod archive with progress and 取消, then opens the game again and marks
    // what the archive brought.
    void WriteMod(const PakMgr::PackPlan& plan, const QString& target);

    // Model, parts and animations.
    void OnRenderSkin();
    void OnApplyAnimate();
    void OnExportAnimate();
    void OnLoadAttachment();
    void OnPartsButton();
    void ResetView();
    void ShowModelState();
    void ShowPlayPosition(int frame);

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
    void OnLanguageChinese();
    void OnLanguageEnglish();
    void ShowLanguage();
    void OnLighting();
    void OnGroundGrid();
    void OnBonesOnTop();
    void OnModelInfo();
    void OnViewFile();
    void OnHelpKeys();
    // 视图 / 缩略图 (and 缩略图 on a folder): the gallery of the selected folder, or of the
    // whole tree when none is selected.
    void OnGallery();
    void ShowInfoPanel(bool show);
    // Selects a bone (-1: none): highlighted in the view, named in the status bar.
    void SelectBone(int index);

    // The window's layout between runs.
    void RestoreLayout();
    void SaveLayout();

    Model::IVellModel* m_model;
    PakMgr::IPakMgr* m_pakMgr;

    CVellModelBrowserRenderView* m_view = nullptr;
    QToolBar* m_toolbar = nullptr;
    CAnimationBar* m_bar = nullptr;
    CTimeline* m_timeline = nullptr;
    CInfoPanel* m_info = nullptr;
    std::unique_ptr<CStatusLine> m_status;
    QSplitter* m_splitter = nullptr;
    CTreePane* m_pane = nullptr;
    QMenu* m_recentMenu = nullptr;
    QDialog* m_removedList = nullptr;  // the last comparison's removed files
    CGallery* m_gallery = nullptr;
    // The menus whose titles are retranslated.
    QMenu* m_fileMenu = nullptr;
    QMenu* m_settingsMenu = nullptr;
    QMenu* m_modesMenu = nullptr;
    QMenu* m_languageMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    QMenu* m_helpMenu = nullptr;

    std::map<uint16_t, QAction*> m_actions;
    std::map<uint16_t, Handler> m_handlers;
    struct UiState {
        bool checked = false;
        bool changed = true;
    };
    std::map<uint16_t, UiState> m_ui;
    // The skins of the model shown, whole model first: the glTF export finds textures below
    // their folders. Forgotten with the tree they belong to.
    std::vector<PakMgr::ITreeNode*> m_loadedSkins;
    // The skin an import packed as a mod, shown again once the game is reopened (UTF-8).
    std::string m_showAfterPack;
    QString m_modelName;   // the skin loaded last, for the status bar
    QString m_gameFolder;  // of the game shown, absolute; empty before one opened

    bool m_treeShown = true;
    bool m_toolBarShown = true;
    bool m_statusBarShown = true;
    // Polygon modes point, line, fill: exactly one is set.
    std::array<bool, 3> m_renderModes = {false, false, true};
    bool m_lighting = false;
};

}  // namespace App
