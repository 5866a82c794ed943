#include "MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScreen>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>
#include <cstdio>

#include "CommandTable.h"
#include "Dialogs.h"
#include "GlView.h"
#include "Version.h"
#include "model/model.h"
#include "pakmgr/pakmgr.h"
#include "render/view.h"

// The icons live in a static library: their registration must be asked for by name.
static void InitResources() {
    Q_INIT_RESOURCE(app);
}

namespace App {

namespace {

constexpr int kFrameWidth = 960;
constexpr int kFrameHeight = 720;
constexpr int kTreePaneWidth = 150;
constexpr int kToolControlWidth = 115;
constexpr int kAnimationDropWidth = 250;
constexpr int kSpeedMax = 120;
constexpr int kProgressRepaintMs = 50;
constexpr const char* kPaneTitle = "文件列表 ";
constexpr const char* kIdleText = "准备";
// The second status pane is as wide as this text, and never shows it.
constexpr const char* kProgressPaneText = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";
constexpr const char* kExitQuestion = "确定要退出吗？     ";

QString U(const char* text) {
    return QString::fromUtf8(text);
}

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
            const int left = static_cast<int>(m_share * total + 0.5);
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

Qt::KeyboardModifiers CPartsButton::TakeClickModifiers() {
    const Qt::KeyboardModifiers modifiers =
        m_clicked ? m_clickModifiers : QGuiApplication::queryKeyboardModifiers();
    m_clicked = false;
    return modifiers;
}

void CPartsButton::mouseReleaseEvent(QMouseEvent* event) {
    m_clickModifiers = event->modifiers();
    m_clicked = true;
    QToolButton::mouseReleaseEvent(event);
    m_clicked = false;
}

CProgress::CProgress(QWidget* pane, QProgressBar*& slot)
    : m_slot(slot), m_bar(std::make_unique<QProgressBar>(pane)) {
    m_bar->setTextVisible(false);
    m_bar->setGeometry(pane->rect());
    m_bar->setRange(0, 0);
    m_bar->setValue(0);
    m_bar->show();
    m_slot = m_bar.get();
}

CProgress::~CProgress() {
    m_bar->hide();
    m_slot = nullptr;
}

void CProgress::SetRange(int low, int high) {
    m_bar->setRange(low, std::max(low, high));
    Show(true);
}

void CProgress::SetPosition(int position) {
    m_position = position;
    Show(false);
}

void CProgress::Step() {
    ++m_position;
    Show(false);
}

void CProgress::Show(bool force) {
    static QElapsedTimer clock;
    if (!clock.isValid()) {
        clock.start();
    }
    const qint64 now = clock.elapsed();
    if (!force && m_lastPaint >= 0 && now - m_lastPaint < kProgressRepaintMs) {
        return;
    }
    m_lastPaint = now;
    m_bar->setValue(std::min(m_position, m_bar->maximum()));
    m_bar->repaint();
}

CVellModelBrowserMainFrame::CVellModelBrowserMainFrame()
    : m_model(Render::GetModel()), m_pakMgr(PakMgr::GetPakMgr()) {
    InitResources();
    m_handlers = {
        {Cmd::kFileOpen, &CVellModelBrowserMainFrame::OpenGame},
        {Cmd::kFileClose, &CVellModelBrowserMainFrame::OnNothing},
        {Cmd::kAppExit, &CVellModelBrowserMainFrame::OnAppExit},
        {Cmd::kBackgroundColor, &CVellModelBrowserMainFrame::OnBackgroundColor},
        {Cmd::kModelColor, &CVellModelBrowserMainFrame::OnModelColor},
        {Cmd::kRenderPoint, &CVellModelBrowserMainFrame::OnRenderPoint},
        {Cmd::kRenderLine, &CVellModelBrowserMainFrame::OnRenderLine},
        {Cmd::kRenderFill, &CVellModelBrowserMainFrame::OnRenderFill},
        {Cmd::kShowAxes, &CVellModelBrowserMainFrame::OnShowAxes},
        {Cmd::kShowSkeleton, &CVellModelBrowserMainFrame::OnShowSkeleton},
        {Cmd::kVersionCheck, &CVellModelBrowserMainFrame::OnVersionCheck},
        {Cmd::kViewToolBar, &CVellModelBrowserMainFrame::OnViewToolBar},
        {Cmd::kViewStatusBar, &CVellModelBrowserMainFrame::OnViewStatusBar},
        {Cmd::kAppAbout, &CVellModelBrowserMainFrame::OnAppAbout},
        {Cmd::kSaveFileList, &CVellModelBrowserMainFrame::OnSaveFileList},
        {Cmd::kThrottle, &CVellModelBrowserMainFrame::OnThrottle},
        {Cmd::kRenderTexture, &CVellModelBrowserMainFrame::OnNothing},
        {Cmd::kPartsButton, &CVellModelBrowserMainFrame::OnPartsButton},
        {Cmd::kRenderSkin, &CVellModelBrowserMainFrame::OnRenderSkin},
        {Cmd::kApplyAnimate, &CVellModelBrowserMainFrame::OnApplyAnimate},
        {Cmd::kExportAnimate, &CVellModelBrowserMainFrame::OnExportAnimate},
        {Cmd::kExportFile, &CVellModelBrowserMainFrame::OnExportFile},
        {Cmd::kConvertToObj, &CVellModelBrowserMainFrame::OnConvertToObj},
        {Cmd::kConvertToGltf, &CVellModelBrowserMainFrame::OnConvertToGltf},
        {Cmd::kLoadAttachment, &CVellModelBrowserMainFrame::OnLoadAttachment},
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
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
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
    static_cast<CProportionalSplitter*>(m_splitter)->PlaceBar(kTreePaneWidth);
    setWindowTitle(U(kTitle) + QString::fromStdString(VersionSuffix(kProductVersion)));
    setWindowIcon(QIcon(QStringLiteral(":/icons/modelcolor.png")));
    UISetCheck(Cmd::kVersionCheck, true);
    PushUiState(false);
    return true;
}

QAction* CVellModelBrowserMainFrame::MakeAction(uint16_t id) {
    const CommandInfo* info = FindCommand(id);
    auto* action = new QAction(this);
    action->setData(id);
    if (info->text) {
        action->setText(U(info->text));
    }
    if (info->shortcut) {
        action->setShortcut(QKeySequence(QString::fromLatin1(info->shortcut)));
        action->setShortcutContext(Qt::WindowShortcut);
    }
    if (info->prompt) {
        const QStringList parts = U(info->prompt).split('\n');
        action->setStatusTip(parts.value(0));
        action->setToolTip(parts.value(1));
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

void CVellModelBrowserMainFrame::CreateMenus() {
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(U("文件(&F)"));
    file->addAction(Action(Cmd::kFileOpen));
    file->addAction(Action(Cmd::kFileClose));
    file->addSeparator();
    file->addAction(Action(Cmd::kAppExit));

    QMenu* settings = bar->addMenu(U("设置(&S)"));
    settings->addAction(Action(Cmd::kBackgroundColor));
    settings->addAction(Action(Cmd::kModelColor));
    settings->addSeparator();
    QMenu* modes = settings->addMenu(U("渲染模式(&R)"));
    modes->addAction(Action(Cmd::kRenderPoint));
    modes->addAction(Action(Cmd::kRenderLine));
    modes->addAction(Action(Cmd::kRenderFill));
    settings->addAction(Action(Cmd::kShowAxes));
    settings->addAction(Action(Cmd::kShowSkeleton));
    settings->addAction(Action(Cmd::kVersionCheck));

    QMenu* view = bar->addMenu(U("视图(&V)"));
    view->addAction(Action(Cmd::kViewToolBar));
    view->addAction(Action(Cmd::kViewStatusBar));
    view->addAction(Action(Cmd::kViewTree));

    QMenu* help = bar->addMenu(U("帮助(&H)"));
    help->addAction(Action(Cmd::kAppAbout));

    for (QMenu* menu : {file, settings, modes, view, help}) {
        connect(menu, &QMenu::aboutToShow, this, [this] { PushUiState(true); });
    }
}

void CVellModelBrowserMainFrame::CreateToolBar() {
    m_toolbar = addToolBar(QString());
    m_toolbar->setObjectName(QStringLiteral("toolbar128"));
    m_toolbar->setMovable(false);
    m_toolbar->setIconSize(QSize(16, 16));

    m_comboAnimations = new QComboBox(m_toolbar);
    m_comboAnimations->setFixedWidth(kToolControlWidth);
    m_comboAnimations->view()->setMinimumWidth(kAnimationDropWidth);
    m_comboAnimations->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ResetAnimationList();
    connect(m_comboAnimations, &QComboBox::activated, this,
            &CVellModelBrowserMainFrame::OnAnimationSelect);

    m_sliderSpeed = new QSlider(Qt::Horizontal, m_toolbar);
    m_sliderSpeed->setFixedWidth(kToolControlWidth);
    m_sliderSpeed->setRange(0, kSpeedMax);
    m_sliderSpeed->setTickPosition(QSlider::NoTicks);
    m_sliderSpeed->setFocusPolicy(Qt::TabFocus);
    SetSliderPosition(kDefaultSpeed);
    connect(m_sliderSpeed, &QSlider::valueChanged, this,
            [this](int value) { m_sliderSpeed->setToolTip(QString::number(value)); });
    connect(m_sliderSpeed, &QSlider::sliderMoved, this, [this](int value) {
        QToolTip::showText(QCursor::pos(), QString::number(value), m_sliderSpeed);
    });

    m_menuParts = new QMenu(this);
    m_partsButton = new CPartsButton(m_toolbar);
    m_partsButton->setDefaultAction(Action(Cmd::kPartsButton));
    m_partsButton->setMenu(m_menuParts);
    m_partsButton->setPopupMode(QToolButton::MenuButtonPopup);
    m_partsButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_partsButton->setFixedWidth(kToolControlWidth);

    for (const uint16_t id : ToolBarLayout()) {
        switch (id) {
            case 0:
                m_toolbar->addSeparator();
                break;
            case Cmd::kAnimationList:
                m_toolbar->addWidget(m_comboAnimations);
                break;
            case Cmd::kSpeedSlider:
                m_toolbar->addWidget(m_sliderSpeed);
                break;
            case Cmd::kPartsButton:
                m_toolbar->addWidget(m_partsButton);
                break;
            default:
                m_toolbar->addAction(Action(id));
                break;
        }
    }
}

void CVellModelBrowserMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    m_idleText = new QLabel(U(kIdleText), bar);
    bar->addWidget(m_idleText, 1);
    m_progressPane = new QWidget(bar);
    m_progressPane->setFixedWidth(
        m_progressPane->fontMetrics().horizontalAdvance(QString::fromLatin1(kProgressPaneText)));
    m_progressPane->setMinimumHeight(m_idleText->sizeHint().height());
    bar->addPermanentWidget(m_progressPane);
}

void CVellModelBrowserMainFrame::CreateSplitter() {
    m_splitter = new CProportionalSplitter(this);
    setCentralWidget(m_splitter);
    CreatePane();
    m_view = new CVellModelBrowserRenderView(m_splitter);
    m_view->ResetView();
    m_splitter->addWidget(m_pane);
    m_splitter->addWidget(m_view);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    connect(m_view, &CVellModelBrowserRenderView::CloseRequested, this, &QWidget::close,
            Qt::QueuedConnection);
}

void CVellModelBrowserMainFrame::CreatePane() {
    m_pane = new QWidget(m_splitter);
    auto* layout = new QVBoxLayout(m_pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    auto* caption = new QWidget(m_pane);
    auto* captionLayout = new QHBoxLayout(caption);
    captionLayout->setContentsMargins(4, 1, 1, 1);
    auto* title = new QLabel(U(kPaneTitle), caption);
    auto* close = new QToolButton(caption);
    close->setAutoRaise(true);
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setIconSize(QSize(10, 10));
    connect(close, &QToolButton::clicked, this, [this] { OnCommand(Cmd::kPaneClose); });
    captionLayout->addWidget(title, 1);
    captionLayout->addWidget(close);
    layout->addWidget(caption);

    m_filter = new QLineEdit(m_pane);
    m_filter->setPlaceholderText(U("查找文件"));
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, this, &CVellModelBrowserMainFrame::OnFilterChanged);
    layout->addWidget(m_filter);

    m_treeModel = new CTreeModel(this);
    // After a folder opens, its names are made ready for the filter a slice at a time
    // between other events.
    m_prepareTimer = new QTimer(this);
    m_prepareTimer->setInterval(0);
    connect(m_prepareTimer, &QTimer::timeout, this, [this] {
        constexpr std::size_t kFoldersPerSlice = 64;
        if (m_treeModel->PrepareSome(kFoldersPerSlice)) {
            m_prepareTimer->stop();
        }
    });
    m_tree = new QTreeView(m_pane);
    m_tree->setObjectName(QStringLiteral("tree303"));
    m_tree->setModel(m_treeModel);
    m_tree->setHeaderHidden(true);
    m_tree->setUniformRowHeights(true);
    m_tree->setRootIsDecorated(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tree->header()->setStretchLastSection(false);
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(m_tree, &QWidget::customContextMenuRequested, this,
            &CVellModelBrowserMainFrame::OnTreeRClick);
    layout->addWidget(m_tree, 1);
}

void CVellModelBrowserMainFrame::OnCommand(uint16_t id) {
    Dispatch(id);
    // Qt toggles a checkable action before it reports it: the table has the last word.
    if (m_ui.count(id)) {
        m_ui[id].changed = true;
        PushUiState(true);
    }
}

void CVellModelBrowserMainFrame::Dispatch(uint16_t id) {
    if (id == Cmd::kPaneClose) {
        OnPaneClose();
        return;
    }
    if (id == Cmd::kViewTree) {
        OnViewTree();
        return;
    }
    if (OnPartToggle(id)) {
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

bool CVellModelBrowserMainFrame::PreTranslateMessage(QObject* target, QEvent* event) {
    if (m_view && target == m_view) {
        return m_view->PreTranslateMessage(event);
    }
    // The slider lets go of the mouse: a drag of the handle or a click on the groove ends,
    // and the position it shows is final. Keys move it without reaching the model.
    if (m_sliderSpeed && target == m_sliderSpeed && event->type() == QEvent::MouseButtonRelease) {
        OnSpeedNotify();
    }
    return false;
}

void CVellModelBrowserMainFrame::ShowTreePane(bool show) {
    m_view->show();
    // Shown again, the pane gets back the width it had.
    m_pane->setVisible(show);
}

void CVellModelBrowserMainFrame::OnPaneClose() {
    ShowTreePane(false);
    m_treeShown = false;
    UISetCheck(Cmd::kViewTree, false);
    PushUiState(true);
}

void CVellModelBrowserMainFrame::OnViewTree() {
    ShowTreePane(!m_treeShown);
    m_treeShown = !m_treeShown;
    UISetCheck(Cmd::kViewTree, m_treeShown);
    PushUiState(true);
}

void CVellModelBrowserMainFrame::OnViewToolBar() {
    m_toolBarShown = !m_toolBarShown;
    m_toolbar->setVisible(m_toolBarShown);
    UISetCheck(Cmd::kViewToolBar, m_toolBarShown);
    PushUiState(true);
}

void CVellModelBrowserMainFrame::OnViewStatusBar() {
    const bool show = statusBar()->isHidden();
    statusBar()->setVisible(show);
    UISetCheck(Cmd::kViewStatusBar, show);
    PushUiState(true);
}

void CVellModelBrowserMainFrame::OnAppExit() {
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CVellModelBrowserMainFrame::closeEvent(QCloseEvent* event) {
    const MsgAnswer answer = ShowMessage(
        {this, U(kExitQuestion), QString(), MsgButtons::OkCancel, MsgIcon::Information});
    if (answer != MsgAnswer::Ok) {
        event->ignore();
        return;
    }
    event->accept();
    Q_EMIT Destroyed();
}

void CVellModelBrowserMainFrame::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange || event->type() == QEvent::ActivationChange) {
        UpdateActive();
    }
    QMainWindow::changeEvent(event);
}

void CVellModelBrowserMainFrame::UpdateActive() {
    if (m_view) {
        m_view->Core().m_bActive = !isMinimized();
    }
}

}  // namespace App
