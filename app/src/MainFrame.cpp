#include "MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>
#include <cmath>
#include <cstdio>

#include "AnimationBar.h"
#include "BonePicker.h"
#include "CommandTable.h"
#include "Dialogs.h"
#include "GlView.h"
#include "InfoPanel.h"
#include "Language.h"
#include "Settings.h"
#include "StatusLine.h"
#include "Timeline.h"
#include "TreePane.h"
#include "Version.h"
#include "base/text.h"
#include "model/model.h"
#include "pakmgr/pakmgr.h"
#include "view/view.h"

// The icons live in a static library: their registration must be asked for by name.
static void InitResources() {
    Q_INIT_RESOURCE(app);
}

namespace App {

namespace {

constexpr int kFrameWidth = 960;
constexpr int kFrameHeight = 720;
constexpr int kTreePaneWidth = 150;

// Keeps the tree pane's share of the width when the window is resized.
class CProportionalSplitter final : public QSplitter {
public:
    explicit CProportionalSplitter(QWidget* parent) : QSplitter(Qt::Horizontal, parent) {
        setOpaqueResize(false);
        setChildrenCollapsible(false);
        connect(this, &QSplitter::splitterMoved, this, [this] { Remember(); });
    }
    // Places the bar `position` pixels from the left edge, now or, before the splitter has
    // its size, as soon as it gets it.
    void PlaceBar(int position) {
        m_pending = position;
        if (isVisible()) {
            ApplyPending();
        }
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QSplitter::resizeEvent(event);
        if (m_pending >= 0) {
            ApplyPending();
        } else if (m_share > 0 && count() == 2 && widget(0)->isVisible() &&
                   widget(1)->isVisible()) {
            const int total = Total();
            const int left = static_cast<int>(std::lround(m_share * total));
            setSizes({left, std::max(1, total - left)});
        }
    }

private:
    int Total() const { return std::max(2, width() - handleWidth()); }
    void ApplyPending() {
        const int total = Total();
        setSizes({m_pending, std::max(1, total - m_pending)});
        m_pending = -1;
        Remember();
    }
    void Remember() {
        const QList<int> s = sizes();
        if (s.size() == 2 && s[0] > 0 && s[1] > 0) {
            m_share = static_cast<double>(s[0]) / (s[0] + s[1]);
        }
    }
    double m_share = 0;
    int m_pending = -1;
};

}  // namespace

QString Title() {
    return CVellModelBrowserMainFrame::tr(kTitle);
}

QString ProductTitle() {
    return Title() + QString::fromStdString(VersionSuffix(kProductVersion));
}

void CVellModelBrowserMainFrame::ShowTitle() {
    setWindowTitle(m_gameFolder.isEmpty()
                       ? ProductTitle()
                       : tr("%1 - %2").arg(QDir::toNativeSeparators(m_gameFolder), ProductTitle()));
}

std::string ObjComment() {
    return Base::Utf8ToGbk(std::string(kTitle) + VersionSuffix(kProductVersion));
}

std::string VersionSuffix(const int (&version)[4]) {
    char text[64];
    const int third = version[2];
    if (third == 0) {
        std::snprintf(text, sizeof text, "v%d.%d", version[0], version[1]);
    } else if (third >= 1 && third <= 3) {
        std::snprintf(text, sizeof text, "v%d.%d%c", version[0], version[1], 'a' + third - 1);
    } else {
        std::snprintf(text, sizeof text, "v%d.%d.%d", version[0], version[1], third);
    }
    return text;
}

CVellModelBrowserMainFrame::CVellModelBrowserMainFrame()
    : m_model(View::GetModel()), m_pakMgr(PakMgr::GetPakMgr()) {
    InitResources();
    using F = CVellModelBrowserMainFrame;
    m_handlers = {
        {Cmd::kFileOpen, &F::OpenGame},
        {Cmd::kFileClose, &F::OnFileClose},
        {Cmd::kAppExit, &F::OnAppExit},
        {Cmd::kBackgroundColor, &F::OnBackgroundColor},
        {Cmd::kModelColor, &F::OnModelColor},
        {Cmd::kRenderPoint, &F::OnRenderPoint},
        {Cmd::kRenderLine, &F::OnRenderLine},
        {Cmd::kRenderFill, &F::OnRenderFill},
        {Cmd::kShowAxes, &F::OnShowAxes},
        {Cmd::kShowSkeleton, &F::OnShowSkeleton},
        {Cmd::kVersionCheck, &F::OnVersionCheck},
        {Cmd::kViewToolBar, &F::OnViewToolBar},
        {Cmd::kViewStatusBar, &F::OnViewStatusBar},
        {Cmd::kViewTree, &F::OnViewTree},
        {Cmd::kPaneClose, &F::OnPaneClose},
        {Cmd::kAppAbout, &F::OnAppAbout},
        {Cmd::kSaveFileList, &F::OnSaveFileList},
        {Cmd::kSaveScreenshot, &F::OnSaveScreenshot},
        {Cmd::kCopyPicture, &F::OnCopyPicture},
        {Cmd::kExportMovie, &F::OnExportMovie},
        {Cmd::kThrottle, &F::OnThrottle},
        {Cmd::kRenderTexture, &F::OnNothing},
        {Cmd::kPartsButton, &F::OnPartsButton},
        {Cmd::kRenderSkin, &F::OnRenderSkin},
        {Cmd::kApplyAnimate, &F::OnApplyAnimate},
        {Cmd::kExportAnimate, &F::OnExportAnimate},
        {Cmd::kExportFile, &F::OnExportFile},
        {Cmd::kConvertToObj, &F::OnConvertToObj},
        {Cmd::kConvertToObjMtl, &F::OnConvertToObjMtl},
        {Cmd::kConvertToGltf, &F::OnConvertToGltf},
        {Cmd::kConvertToFbx, &F::OnConvertToFbx},
        {Cmd::kImportGltf, &F::OnImportGltf},
        {Cmd::kLoadAttachment, &F::OnLoadAttachment},
        {Cmd::kPreviewTexture, &F::OnPreviewTexture},
        {Cmd::kLanguageChinese, &F::OnLanguageChinese},
        {Cmd::kLanguageEnglish, &F::OnLanguageEnglish},
        {Cmd::kLighting, &F::OnLighting},
        {Cmd::kGroundGrid, &F::OnGroundGrid},
        {Cmd::kBonesOnTop, &F::OnBonesOnTop},
        {Cmd::kModelInfo, &F::OnModelInfo},
        {Cmd::kViewFile, &F::OnViewFile},
        {Cmd::kHelpKeys, &F::OnHelpKeys},
        {Cmd::kShowSources, &F::OnShowSources},
        {Cmd::kFileCompare, &F::OnFileCompare},
        {Cmd::kGallery, &F::OnGallery},
        {Cmd::kPackMod, &F::OnPackMod},
        {Cmd::kModList, &F::OnModList},
    };
    for (const uint16_t id : UpdateUiIds()) {
        m_ui[id] = UiState{};
    }
}

CVellModelBrowserMainFrame::~CVellModelBrowserMainFrame() {
    if (CMessageLoop* loop = CMessageLoop::Current()) {
        loop->RemoveMessageFilter(this);
        loop->RemoveIdleHandler(this);
    }
}

bool CVellModelBrowserMainFrame::Create() {
    CreateActions();
    m_status = std::make_unique<CStatusLine>(*statusBar());
    CreateMenus();
    CreateToolBar();
    CreateSplitter();
    UISetCheck(Cmd::kViewTree, true);
    UISetCheck(Cmd::kViewToolBar, true);
    UISetCheck(Cmd::kViewStatusBar, true);
    UISetCheck(Cmd::kRenderFill, true);
    UISetCheck(Cmd::kShowAxes, true);
    if (CMessageLoop* loop = CMessageLoop::Current()) {
        loop->AddMessageFilter(this);
        loop->AddIdleHandler(this);
    }
    resize(kFrameWidth, kFrameHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    static_cast<CProportionalSplitter*>(m_splitter)->PlaceBar(RememberedTreeWidth(kTreePaneWidth));
    ShowLanguage();
    Retranslate();
    setWindowIcon(QIcon(QStringLiteral(":/icons/modelcolor.png")));
    setAcceptDrops(true);
    UISetCheck(Cmd::kVersionCheck, true);
    // The inspection aids start off: the picture is the plain one.
    m_model->SetLighting(false);
    Model::bonesOnTop = false;
    Model::selectedBone = -1;
    RestoreLayout();
    PushUiState(false);
    return true;
}

QAction* CVellModelBrowserMainFrame::MakeAction(uint16_t id) {
    const CommandInfo* info = FindCommand(id);
    auto* action = new QAction(this);
    action->setData(id);
    if (info->shortcut) {
        action->setShortcut(QKeySequence(QString::fromLatin1(info->shortcut)));
        action->setShortcutContext(Qt::WindowShortcut);
    }
    if (info->icon) {
        action->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(info->icon))));
    }
    if (m_ui.count(id)) {
        action->setCheckable(true);
    }
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    // Accelerators work whether or not a menu or button shows the command.
    addAction(action);
    m_actions[id] = action;
    return action;
}

void CVellModelBrowserMainFrame::CreateActions() {
    for (const CommandInfo& info : Commands()) {
        MakeAction(info.id);
    }
}

QAction* CVellModelBrowserMainFrame::Action(uint16_t id) const {
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CVellModelBrowserMainFrame::Retranslate() {
    for (const auto& [id, action] : m_actions) {
        const CommandInfo& info = *FindCommand(id);
        action->setText(CommandText(info));
        const QStringList prompt = CommandPrompt(info).split(QLatin1Char('\n'));
        action->setStatusTip(prompt.value(0));
        // Qt makes a tool tip of the text when none is set.
        action->setToolTip(info.prompt ? prompt.value(1) : QString());
    }
    m_fileMenu->setTitle(tr("文件(&F)"));
    m_recentMenu->setTitle(tr("最近打开"));
    m_settingsMenu->setTitle(tr("设置(&S)"));
    m_modesMenu->setTitle(tr("渲染模式(&R)"));
    m_languageMenu->setTitle(tr("语言"));
    m_viewMenu->setTitle(tr("视图(&V)"));
    m_helpMenu->setTitle(tr("帮助(&H)"));
    ShowTitle();
    m_status->Retranslate();
    m_bar->Retranslate();
    // The model's state names its counts in words.
    ShowPlayPosition(m_model->GetState().frame);
}

void CVellModelBrowserMainFrame::CreateMenus() {
    QMenuBar* bar = menuBar();
    QMenu* file = m_fileMenu = bar->addMenu(QString());
    file->addAction(Action(Cmd::kFileOpen));
    m_recentMenu = file->addMenu(QString());
    file->addAction(Action(Cmd::kFileCompare));
    file->addAction(Action(Cmd::kPackMod));
    file->addAction(Action(Cmd::kModList));
    file->addAction(Action(Cmd::kFileClose));
    file->addAction(Action(Cmd::kSaveScreenshot));
    file->addAction(Action(Cmd::kCopyPicture));
    file->addAction(Action(Cmd::kExportMovie));
    file->addSeparator();
    file->addAction(Action(Cmd::kAppExit));
    RebuildRecentMenu();

    QMenu* settings = m_settingsMenu = bar->addMenu(QString());
    settings->addAction(Action(Cmd::kBackgroundColor));
    settings->addAction(Action(Cmd::kModelColor));
    settings->addSeparator();
    QMenu* modes = m_modesMenu = settings->addMenu(QString());
    modes->addAction(Action(Cmd::kRenderPoint));
    modes->addAction(Action(Cmd::kRenderLine));
    modes->addAction(Action(Cmd::kRenderFill));
    settings->addAction(Action(Cmd::kShowAxes));
    settings->addAction(Action(Cmd::kShowSkeleton));
    settings->addAction(Action(Cmd::kVersionCheck));
    settings->addSeparator();
    settings->addAction(Action(Cmd::kLighting));
    settings->addAction(Action(Cmd::kGroundGrid));
    settings->addAction(Action(Cmd::kBonesOnTop));
    settings->addAction(Action(Cmd::kModelInfo));
    settings->addSeparator();
    QMenu* languages = m_languageMenu = settings->addMenu(QString());
    languages->addAction(Action(Cmd::kLanguageChinese));
    languages->addAction(Action(Cmd::kLanguageEnglish));

    QMenu* view = m_viewMenu = bar->addMenu(QString());
    view->addAction(Action(Cmd::kViewToolBar));
    view->addAction(Action(Cmd::kViewStatusBar));
    view->addAction(Action(Cmd::kViewTree));
    view->addSeparator();
    view->addAction(Action(Cmd::kGallery));

    QMenu* help = m_helpMenu = bar->addMenu(QString());
    help->addAction(Action(Cmd::kHelpKeys));
    help->addAction(Action(Cmd::kAppAbout));

    for (QMenu* menu : {file, settings, modes, languages, view, help}) {
        connect(menu, &QMenu::aboutToShow, this, [this] { PushUiState(true); });
    }
}

void CVellModelBrowserMainFrame::CreateToolBar() {
    m_toolbar = addToolBar(QString());
    m_toolbar->setObjectName(QStringLiteral("toolbar128"));
    m_toolbar->setMovable(false);
    m_toolbar->setIconSize(QSize(16, 16));
    // Only the command table shows or hides the bar.
    m_toolbar->toggleViewAction()->setVisible(false);
    m_bar = new CAnimationBar(m_toolbar, Action(Cmd::kPartsButton), *m_model);
    connect(m_bar, &CAnimationBar::PartCommand, this, &CVellModelBrowserMainFrame::OnCommand);
    connect(m_bar, &CAnimationBar::PlaybackChanged, this, [this] {
        m_view->Redraw();
        ShowModelState();
    });

    for (const uint16_t id : ToolBarLayout()) {
        switch (id) {
            case 0:
                m_toolbar->addSeparator();
                break;
            case Cmd::kAnimationList:
                m_toolbar->addWidget(m_bar->List());
                break;
            case Cmd::kSpeedSlider:
                m_toolbar->addWidget(m_bar->Slider());
                break;
            case Cmd::kPartsButton:
                m_toolbar->addWidget(m_bar->PartsButton());
                break;
            default:
                m_toolbar->addAction(Action(id));
                break;
        }
    }
}

void CVellModelBrowserMainFrame::CreateSplitter() {
    m_splitter = new CProportionalSplitter(this);
    setCentralWidget(m_splitter);
    CTreePane::Context context{[this](uint16_t id) { return Action(id); },
                               [this] { return m_bar->AnimationChosen(); }};
    m_pane = new CTreePane(m_splitter, std::move(context), *m_status);
    connect(m_pane, &CTreePane::CloseRequested, this, [this] { OnCommand(Cmd::kPaneClose); });
    connect(m_pane, &CTreePane::CommandRequested, this, &CVellModelBrowserMainFrame::OnCommand);
    m_view = new CVellModelBrowserRenderView(m_splitter);
    m_view->ResetView();
    m_splitter->addWidget(m_pane);
    m_splitter->addWidget(m_view);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    connect(m_view, &CVellModelBrowserRenderView::CloseRequested, this, &QWidget::close,
            Qt::QueuedConnection);
    connect(m_view, &CVellModelBrowserRenderView::FrameShown, this,
            &CVellModelBrowserMainFrame::ShowPlayPosition);
    m_timeline = new CTimeline(*m_view, *m_model, [this] { return m_bar->AnimationChosen(); });
    connect(m_timeline, &CTimeline::PlaybackChanged, this,
            [this] { ShowPlayPosition(m_model->GetState().frame); });
    connect(m_bar, &CAnimationBar::PlaybackChanged, m_timeline, &CTimeline::Sync);
    connect(new CBonePicker(*m_view), &CBonePicker::BonePicked, this,
            &CVellModelBrowserMainFrame::SelectBone);
    m_info = new CInfoPanel(this, *m_model);
    addDockWidget(Qt::RightDockWidgetArea, m_info);
    m_info->hide();
    // Queued: the command rebuilds the panel's items, one of which is reporting the change.
    connect(
        m_info, &CInfoPanel::SubMeshToggled, this,
        [this](unsigned n) { OnCommand(static_cast<uint16_t>(Cmd::kFirstPart + n)); },
        Qt::QueuedConnection);
    connect(m_info, &CInfoPanel::BoneSelected, this, &CVellModelBrowserMainFrame::SelectBone);
}

QTreeView* CVellModelBrowserMainFrame::Tree() const {
    return m_pane->Tree();
}

CTreeModel* CVellModelBrowserMainFrame::TreeModel() const {
    return m_pane->Model();
}

QComboBox* CVellModelBrowserMainFrame::AnimationList() const {
    return m_bar->List();
}

void CVellModelBrowserMainFrame::OnCommand(uint16_t id) {
    Dispatch(id);
    // Qt toggles a checkable action before it reports it: the table has the last word.
    if (m_ui.count(id)) {
        m_ui[id].changed = true;
        PushUiState(true);
    }
    // A command may change what the view shows, and what plays.
    m_view->Redraw();
    m_timeline->Sync();
    if (UIGetCheck(Cmd::kModelInfo)) {
        m_info->Fill();
    }
}

void CVellModelBrowserMainFrame::Dispatch(uint16_t id) {
    if (m_bar->TogglePart(id)) {
        return;
    }
    const auto it = m_handlers.find(id);
    if (it != m_handlers.end()) {
        (this->*(it->second))();
    }
}

void CVellModelBrowserMainFrame::UISetCheck(uint16_t id, bool checked) {
    UiState& state = m_ui[id];
    if (state.checked != checked) {
        state.checked = checked;
        state.changed = true;
    }
}

bool CVellModelBrowserMainFrame::UIGetCheck(uint16_t id) const {
    const auto it = m_ui.find(id);
    return it != m_ui.end() && it->second.checked;
}

void CVellModelBrowserMainFrame::PushUiState(bool changedOnly) {
    for (auto& [id, state] : m_ui) {
        if (changedOnly && !state.changed) {
            continue;
        }
        if (QAction* action = Action(id)) {
            action->setChecked(state.checked);
        }
        state.changed = false;
    }
}

bool CVellModelBrowserMainFrame::OnIdle() {
    PushUiState(true);
    return false;
}

uint16_t CVellModelBrowserMainFrame::AltAccelerator(const QEvent* event) const {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) {
        return 0;
    }
    const auto* key = static_cast<const QKeyEvent*>(event);
    if (!(key->modifiers() & Qt::AltModifier) || !isActiveWindow() ||
        QApplication::activePopupWidget() || QApplication::activeModalWidget()) {
        return 0;
    }
    const QKeySequence pressed(key->keyCombination());
    for (const auto& [id, action] : m_actions) {
        if (!action->shortcut().isEmpty() && action->shortcut() == pressed) {
            return id;
        }
    }
    return 0;
}

bool CVellModelBrowserMainFrame::PreTranslateMessage(QObject* target, QEvent* event) {
    // An accelerator with Alt wins over a menu title's mnemonic on the same key: the
    // shortcut map is told the key is taken, and the key press runs the command.
    if (const uint16_t id = AltAccelerator(event)) {
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
        } else if (!static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
            OnCommand(id);
        }
        return true;
    }
    if (m_view && target == m_view) {
        return m_view->PreTranslateMessage(event);
    }
    return false;
}

void CVellModelBrowserMainFrame::ShowTreePane(bool show) {
    m_view->show();
    // Shown again, the pane gets back the width it had.
    m_pane->setVisible(show);
    m_treeShown = show;
    UISetCheck(Cmd::kViewTree, show);
    PushUiState(true);
}

void CVellModelBrowserMainFrame::OnPaneClose() {
    ShowTreePane(false);
}

void CVellModelBrowserMainFrame::OnViewTree() {
    ShowTreePane(!m_treeShown);
}

void CVellModelBrowserMainFrame::OnViewToolBar() {
    m_toolBarShown = !m_toolBarShown;
    m_toolbar->setVisible(m_toolBarShown);
    UISetCheck(Cmd::kViewToolBar, m_toolBarShown);
    PushUiState(true);
}

void CVellModelBrowserMainFrame::OnViewStatusBar() {
    m_statusBarShown = !m_statusBarShown;
    statusBar()->setVisible(m_statusBarShown);
    UISetCheck(Cmd::kViewStatusBar, m_statusBarShown);
    PushUiState(true);
}

void CVellModelBrowserMainFrame::OnAppExit() {
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CVellModelBrowserMainFrame::closeEvent(QCloseEvent* event) {
    const MsgAnswer answer = ShowMessage(
        {this, tr("确定要退出吗？     "), QString(), MsgButtons::OkCancel, MsgIcon::Information});
    if (answer != MsgAnswer::Ok) {
        event->ignore();
        return;
    }
    SaveLayout();
    event->accept();
    Q_EMIT Destroyed();
}

void CVellModelBrowserMainFrame::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange || event->type() == QEvent::ActivationChange) {
        UpdateActive();
    }
    if (event->type() == QEvent::LanguageChange && m_status) {
        Retranslate();
    }
    QMainWindow::changeEvent(event);
}

void CVellModelBrowserMainFrame::UpdateActive() {
    if (m_view) {
        m_view->Core().m_bActive = !isMinimized();
        m_view->Redraw();
    }
}

}  // namespace App
