#include "Gallery.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QOpenGLContext>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "NameFilter.h"
#include "Thumbnails.h"
#include "base/text.h"
#include "export/folder.h"
#include "pakmgr/pakmgr.h"

namespace App {

namespace {

constexpr int kPollMs = 10;  // how often the window takes the pictures made
// The most pictures put into tiles between two events: a warm cache hands them all at once.
constexpr std::size_t kMostTilesPerPoll = 64;
constexpr int kTilePadding = 16;  // around a picture in its cell
constexpr QRgb kWaiting = 0x505050;
constexpr QRgb kBroken = 0x7A2020;
constexpr int kInitialWidth = 900;
constexpr int kInitialHeight = 640;

// The window's GL context (the view's) is let go before this thread draws in a windowless
// one, or puts one away: a thread holds one window system's context at a time. The view
// makes its own current again before it draws.
void LetGoOfWindowContext() {
    if (QOpenGLContext* context = QOpenGLContext::currentContext()) {
        context->doneCurrent();
    }
}

std::string Folded(std::string_view gbk) {
    return Base::GbkToUtf8(Base::LowerAscii(gbk));
}

QPixmap Placeholder(int size, QRgb colour, bool cross) {
    QPixmap pixmap(size, size);
    pixmap.fill(QColor::fromRgb(colour));
    if (cross) {
        QPainter painter(&pixmap);
        painter.setPen(QPen(QColor(0xE0, 0x60, 0x60), std::max(2, size / 24)));
        const int m = size / 4;
        painter.drawLine(m, m, size - m, size - m);
        painter.drawLine(size - m, m, m, size - m);
    }
    return pixmap;
}

}  // namespace

CGallery::CGallery(QWidget* owner, Hooks hooks)
    : QWidget(owner, Qt::Window), m_hooks(std::move(hooks)), m_size(kSizes[0]) {
    setObjectName(QStringLiteral("gallery"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    m_sizeLabel = new QLabel(this);
    m_sizes = new QComboBox(this);
    for (const int size : kSizes) {
        m_sizes->addItem(QStringLiteral("%1 px").arg(size), size);
    }
    m_progress = new QLabel(this);
    m_cancel = new QPushButton(this);
    bar->addWidget(m_sizeLabel);
    bar->addWidget(m_sizes);
    bar->addStretch(1);
    bar->addWidget(m_progress);
    bar->addWidget(m_cancel);
    layout->addLayout(bar);

    m_grid = new QListWidget(this);
    m_grid->setViewMode(QListView::IconMode);
    m_grid->setMovement(QListView::Static);
    m_grid->setResizeMode(QListView::Adjust);
    m_grid->setUniformItemSizes(true);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setWordWrap(false);
    layout->addWidget(m_grid, 1);

    m_poll = new QTimer(this);
    m_poll->setInterval(kPollMs);
    connect(m_poll, &QTimer::timeout, this, &CGallery::Poll);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_job) {
            m_job->Cancel();
            m_cancelled = true;
            ShowProgress();
        }
    });
    connect(m_sizes, &QComboBox::activated, this, [this](int index) {
        const int size = m_sizes->itemData(index).toInt();
        if (size != m_size) {
            m_size = size;
            StartJob();
        }
    });
    connect(m_grid, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (PakMgr::ITreeNode* node = NodeOf(item); node && m_hooks.select) {
            m_hooks.select(node);
        }
    });
    connect(m_grid, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (PakMgr::ITreeNode* node = NodeOf(item); node && m_hooks.render) {
            m_hooks.render(node);
        }
    });
    Retranslate();
    resize(kInitialWidth, kInitialHeight);
}

CGallery::~CGallery() {
    StopJob();
}

void CGallery::Retranslate() {
    setWindowTitle(tr("缩略图"));
    m_sizeLabel->setText(tr("大小"));
    m_cancel->setText(tr("取消"));
    ShowProgress();
}

void CGallery::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        Retranslate();
    }
    QWidget::changeEvent(event);
}

void CGallery::keyPressEvent(QKeyEvent* event) {
    // Escape closes it, as it closes the dialogs; the grid and the list pass it up.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CGallery::closeEvent(QCloseEvent* event) {
    // Nothing is drawn for a window no one sees.
    if (m_job) {
        m_job->Cancel();
    }
    m_poll->stop();
    StopJob();
    QWidget::closeEvent(event);
}

void CGallery::StopJob() {
    m_pending.clear();
    if (m_job && m_job->NeedsHelp()) {
        LetGoOfWindowContext();
    }
    m_job.reset();
}

void CGallery::Forget() {
    m_poll->stop();
    StopJob();
    m_grid->clear();
    m_skins.clear();
    m_names.clear();
    m_folders.clear();
    m_made = 0;
    ShowProgress();
}

void CGallery::ShowFolder(PakMgr::ITreeNode* folder, const QString& filter) {
    Forget();
    m_skins = Export::FindWholeModels(folder);
    for (PakMgr::ITreeNode* skin : m_skins) {
        m_names.push_back(Folded(skin->Name()));
        std::vector<std::string> folders;
        for (PakMgr::ITreeNode* p = skin->GetParent(); p && p->GetParent(); p = p->GetParent()) {
            folders.push_back(Folded(p->Name()));
        }
        m_folders.push_back(std::move(folders));
    }
    const QString where =
        folder->GetParent() ? QString::fromStdString(Base::GbkToUtf8(PakMgr::NodePath(folder, '/')))
                            : QStringLiteral("/");
    setWindowTitle(tr("缩略图 - %1").arg(where));
    StartJob();
    SetFilter(filter);
}

void CGallery::StartJob() {
    m_poll->stop();
    StopJob();
    m_cancelled = false;
    m_made = 0;
    m_grid->clear();
    m_grid->setIconSize(QSize(m_size, m_size));
    m_grid->setGridSize(
        QSize(m_size + kTilePadding, m_size + kTilePadding + fontMetrics().height()));
    const QIcon waiting(Placeholder(m_size, kWaiting, false));
    for (PakMgr::ITreeNode* skin : m_skins) {
        auto* item =
            new QListWidgetItem(waiting, QString::fromStdString(Base::GbkToUtf8(skin->Name())));
        item->setData(Qt::UserRole, QVariant::fromValue(static_cast<void*>(skin)));
        item->setToolTip(QString::fromStdString(Base::GbkToUtf8(PakMgr::NodePath(skin, '/'))));
        item->setSizeHint(m_grid->gridSize());
        m_grid->addItem(item);
    }
    SetFilter(m_filter);
    m_grid->scrollToTop();
    if (!m_skins.empty()) {
        QDir().mkpath(ThumbnailCacheFolder());
        m_job = std::make_unique<CThumbnailJob>(m_skins, m_size, ThumbnailCacheFolder());
        m_job->Start();
        m_poll->start();
    }
    ShowProgress();
}

void CGallery::Poll() {
    if (!m_job) {
        return;
    }
    if (m_job->NeedsHelp()) {
        // No worker could be made: a picture a tick on this thread.
        LetGoOfWindowContext();
        m_job->Help();
    }
    // Finished is asked first: what the workers made before it is taken next.
    const bool finished = m_job->Finished();
    std::vector<Thumbnail> made = m_job->Take();
    m_pending.insert(m_pending.end(), std::make_move_iterator(made.begin()),
                     std::make_move_iterator(made.end()));
    const std::size_t now = std::min(m_pending.size(), kMostTilesPerPoll);
    for (std::size_t i = 0; i < now; ++i) {
        ShowTile(m_pending[i]);
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(now));
    if (finished && m_pending.empty()) {
        m_poll->stop();
    }
    ShowProgress();
}

void CGallery::ShowTile(const Thumbnail& made) {
    QListWidgetItem* item = m_grid->item(static_cast<int>(made.index));
    if (!item) {
        return;
    }
    if (made.picture.isNull()) {
        item->setIcon(QIcon(Placeholder(m_size, kBroken, true)));
        item->setData(kBrokenRole, true);
        item->setToolTip(tr("%1\n无法加载: %2").arg(item->toolTip(), made.error));
    } else {
        item->setIcon(QIcon(QPixmap::fromImage(made.picture)));
    }
    ++m_made;
}

void CGallery::ShowProgress() {
    const int total = static_cast<int>(m_skins.size());
    const bool running = m_job && (!m_job->Finished() || !m_pending.empty());
    m_cancel->setVisible(running && !m_cancelled);
    if (!m_job) {
        m_progress->setText(total == 0 ? tr("没有模型") : QString());
    } else if (running) {
        m_progress->setText(QStringLiteral("%1/%2").arg(m_made).arg(total));
    } else if (m_cancelled) {
        m_progress->setText(tr("已取消: %1/%2").arg(m_made).arg(total));
    } else {
        m_progress->setText(tr("%n 个模型", nullptr, total));
    }
}

bool CGallery::Done() const {
    return !m_job || (m_job->Finished() && !m_poll->isActive());
}

void CGallery::SetFilter(const QString& text) {
    m_filter = text;
    const NameFilter filter(Base::GbkToUtf8(Base::LowerAscii(Base::Utf8ToGbk(text.toStdString()))));
    std::vector<std::string_view> folders;
    for (int i = 0; i < m_grid->count(); ++i) {
        const auto at = static_cast<std::size_t>(i);
        bool shown = filter.MatchesName(m_names[at]);
        if (shown && filter.NeedsFolders()) {
            folders.assign(m_folders[at].begin(), m_folders[at].end());
            shown = filter.MatchesFolders(folders);
        }
        m_grid->item(i)->setHidden(!shown);
    }
}

int CGallery::ShownTiles() const {
    int shown = 0;
    for (int i = 0; i < m_grid->count(); ++i) {
        shown += m_grid->item(i)->isHidden() ? 0 : 1;
    }
    return shown;
}

PakMgr::ITreeNode* CGallery::NodeOf(const QListWidgetItem* item) const {
    return item ? static_cast<PakMgr::ITreeNode*>(item->data(Qt::UserRole).value<void*>())
                : nullptr;
}

}  // namespace App
