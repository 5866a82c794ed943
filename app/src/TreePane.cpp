#include "TreePane.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "CommandTable.h"
#include "Dialogs.h"
#include "PackDlg.h"
#include "StatusLine.h"
#include "base/text.h"
#include "export/fbx.h"
#include "model/model.h"
#include "pakmgr/pakmgr.h"
#include "view/view.h"

namespace App {

namespace {

constexpr int kMaxShownExpanded = 2000;  // expand the filtered tree only when this small

bool Contains(std::string_view name, std::string_view part) {
    return name.find(part) != std::string_view::npos;
}

// The context menu's items for a file, in order.
constexpr uint16_t kFileItems[] = {
    Cmd::kRenderSkin,   Cmd::kApplyAnimate,    Cmd::kExportAnimate,  Cmd::kExportFile,
    Cmd::kConvertToObj, Cmd::kConvertToObjMtl, Cmd::kConvertToGltf,  Cmd::kConvertToFbx,
    Cmd::kImportGltf,   Cmd::kLoadAttachment,  Cmd::kPreviewTexture, Cmd::kViewFile,
    Cmd::kShowSources,  Cmd::kShowAxes};

}  // namespace

uint16_t ActivationCommand(std::string_view name) {
    if (Model::IsSkinName(name)) {
        return Cmd::kRenderSkin;
    }
    if (Model::IsAnimationName(name)) {
        return Cmd::kApplyAnimate;
    }
    if (Contains(name, ".dds")) {
        return Cmd::kPreviewTexture;
    }
    return Cmd::kViewFile;
}

CTreePane::CTreePane(QWidget* parent, Context context, CStatusLine& status)
    : QWidget(parent),
      m_context(std::move(context)),
      m_status(status),
      m_vellModel(*View::GetModel()),
      m_pakMgr(*PakMgr::GetPakMgr()) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    auto* caption = new QWidget(this);
    auto* captionLayout = new QHBoxLayout(caption);
    captionLayout->setContentsMargins(4, 1, 1, 1);
    m_title = new QLabel(caption);
    auto* close = new QToolButton(caption);
    close->setAutoRaise(true);
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setIconSize(QSize(10, 10));
    connect(close, &QToolButton::clicked, this, &CTreePane::CloseRequested);
    captionLayout->addWidget(m_title, 1);
    captionLayout->addWidget(close);
    layout->addWidget(caption);

    m_filter = new QLineEdit(this);
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, this, &CTreePane::OnFilterChanged);
    // Beside the text: only the files that override copies in other archives.
    m_overriddenOnly = new QToolButton(this);
    m_overriddenOnly->setObjectName(QStringLiteral("overriddenOnly"));
    m_overriddenOnly->setCheckable(true);
    connect(m_overriddenOnly, &QToolButton::toggled, this, [this](bool on) {
        m_model->SetOverriddenOnly(on);
        OnFilterChanged(m_filter->text());
    });
    // And after a comparison: only the files it marked.
    m_markedOnly = new QToolButton(this);
    m_markedOnly->setObjectName(QStringLiteral("markedOnly"));
    m_markedOnly->setCheckable(true);
    m_markedOnly->setVisible(false);
    connect(m_markedOnly, &QToolButton::toggled, this, [this](bool on) {
        m_model->SetMarkedOnly(on);
        OnFilterChanged(m_filter->text());
    });
    auto* filterRow = new QHBoxLayout;
    filterRow->setContentsMargins(0, 0, 0, 0);
    filterRow->addWidget(m_filter, 1);
    filterRow->addWidget(m_overriddenOnly);
    filterRow->addWidget(m_markedOnly);
    layout->addLayout(filterRow);

    m_model = new CTreeModel(this);
    // After a folder opens, its names are made ready for the filter a slice at a time
    // between other events.
    m_prepareTimer = new QTimer(this);
    m_prepareTimer->setInterval(0);
    connect(m_prepareTimer, &QTimer::timeout, this, [this] {
        constexpr std::size_t kFoldersPerSlice = 64;
        if (m_model->PrepareSome(kFoldersPerSlice)) {
            m_prepareTimer->stop();
        }
    });
    m_tree = new QTreeView(this);
    m_tree->setObjectName(QStringLiteral("tree303"));
    m_tree->setModel(m_model);
    m_tree->setHeaderHidden(true);
    m_tree->setUniformRowHeights(true);
    m_tree->setRootIsDecorated(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tree->header()->setStretchLastSection(false);
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(m_tree, &QWidget::customContextMenuRequested, this, &CTreePane::OnContextMenu);
    connect(m_tree, &QTreeView::activated, this, &CTreePane::OnActivated);
    layout->addWidget(m_tree, 1);
    m_noMatch = new QLabel(m_tree->viewport());
    m_noMatch->setObjectName(QStringLiteral("noMatch"));
    m_noMatch->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_noMatch->setWordWrap(true);
    m_noMatch->setEnabled(false);  // drawn in the style's grey
    m_noMatch->hide();
    // Laid out in the viewport, so it follows the tree's size.
    auto* noMatchLayout = new QVBoxLayout(m_tree->viewport());
    noMatchLayout->setContentsMargins(4, 8, 4, 0);
    noMatchLayout->addWidget(m_noMatch, 0, Qt::AlignTop);
    noMatchLayout->addStretch(1);
    Retranslate();
}

void CTreePane::Retranslate() {
    m_title->setText(tr("文件列表 "));
    m_filter->setPlaceholderText(tr("查找文件"));
    m_overriddenOnly->setText(tr("仅覆盖"));
    m_overriddenOnly->setToolTip(tr("只显示覆盖了其他包中副本的文件"));
    m_markedOnly->setText(tr("仅变更"));
    m_markedOnly->setToolTip(tr("只显示比较标出的新增和已更改的文件"));
    m_noMatch->setText(tr("没有相符的文件"));
}

void CTreePane::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        Retranslate();
    }
    QWidget::changeEvent(event);
}

CTreePane::~CTreePane() = default;

void CTreePane::Forget() {
    // A job walks nodes of the tree that goes now.
    if (m_job) {
        m_job->CancelAndWait();
        m_job.reset();
    }
    m_model->Clear();
    m_expandedBeforeFilter.clear();
    // The marks went with the tree, and so does the switch that keeps them.
    m_markedOnly->setChecked(false);
    m_markedOnly->setVisible(false);
    ShowNoMatch(false);
}

void CTreePane::ShowMarks(std::unordered_map<const PakMgr::ITreeNode*, CTreeModel::Mark> marks) {
    m_model->SetMarks(std::move(marks));
    const bool any = m_model->HasMarks();
    if (!any) {
        m_markedOnly->setChecked(false);
    }
    m_markedOnly->setVisible(any);
    if (m_markedOnly->isChecked()) {
        OnFilterChanged(m_filter->text());
    }
}

void CTreePane::ShowNoMatch(bool none) {
    m_noMatch->setVisible(none);
}

void CTreePane::ShowTree() {
    CProgress progress(m_status);
    const int count = static_cast<int>(m_pakMgr.GetFileCount());
    progress.SetRange(0, count);
    Forget();
    if (m_pakMgr.GetRoot()) {
        m_model->SetRoot(m_pakMgr.GetRoot(), &m_pakMgr);
        m_prepareTimer->start();
    }
    // The model reads folders when they are first shown: the tree is complete now.
    progress.SetPosition(count);
    if (!m_filter->text().isEmpty()) {
        OnFilterChanged(m_filter->text());
    }
}

PakMgr::ITreeNode* CTreePane::SelectedFile() const {
    const QModelIndex index = m_tree->currentIndex();
    if (!index.isValid() || m_model->IsFolder(index)) {
        return nullptr;
    }
    return m_model->NodeAt(index);
}

PakMgr::ITreeNode* CTreePane::SelectedFolder() const {
    const QModelIndex index = m_tree->currentIndex();
    if (!index.isValid() || !m_model->IsFolder(index)) {
        return nullptr;
    }
    return m_model->NodeAt(index);
}

void CTreePane::SelectNode(PakMgr::ITreeNode* node) {
    const QModelIndex index = m_model->IndexOfNode(node);
    if (!index.isValid()) {
        return;
    }
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent()) {
        m_tree->expand(p);
    }
    m_tree->setCurrentIndex(index);
    m_tree->scrollTo(index);
}

QString CTreePane::FilterText() const {
    return m_filter->text();
}

std::unique_ptr<QMenu> CTreePane::BuildPopup(const QModelIndex& index) {
    if (!index.isValid() || index != m_tree->currentIndex()) {
        return nullptr;
    }
    const auto action = m_context.action;
    auto menu = std::make_unique<QMenu>(QStringLiteral("TreePopup"));
    if (m_model->IsFolder(index)) {
        // A folder comes out whole, or every model inside converted, or shown as pictures.
        for (const uint16_t id : {Cmd::kExportFile, Cmd::kConvertToGltf, Cmd::kGallery}) {
            menu->addAction(action(id));
            action(id)->setEnabled(true);
            action(id)->setVisible(true);
        }
        return menu;
    }
    for (const uint16_t id : kFileItems) {
        menu->addAction(action(id));
        if (id != Cmd::kShowAxes) {
            action(id)->setEnabled(false);
        }
    }
    for (const uint16_t id :
         {Cmd::kLoadAttachment, Cmd::kConvertToObjMtl, Cmd::kConvertToGltf, Cmd::kConvertToFbx,
          Cmd::kImportGltf, Cmd::kPreviewTexture, Cmd::kViewFile}) {
        action(id)->setVisible(false);
    }
    const auto enable = [&](uint16_t id, bool on, bool visible = true) {
        action(id)->setEnabled(on);
        action(id)->setVisible(visible);
    };
    if (PakMgr::ITreeNode* node = m_model->NodeAt(index)) {
        const std::string_view name = node->Name();
        enable(Cmd::kExportFile, true);
        enable(Cmd::kShowSources, true);
        if (Model::IsSkinName(name)) {
            enable(Cmd::kRenderSkin, true);
            const bool loaded = !m_vellModel.IsEmpty();
            enable(Cmd::kConvertToObj, loaded);
            enable(Cmd::kConvertToObjMtl, loaded, loaded);
            enable(Cmd::kConvertToGltf, loaded, loaded);
            // Blender makes the FBX: without it the item would only fail.
            const bool fbx =
                loaded && !Export::FindBlender().empty() && !Export::FindFbxScript().empty();
            enable(Cmd::kConvertToFbx, fbx, fbx);
            enable(Cmd::kImportGltf, true);
            enable(Cmd::kLoadAttachment, loaded, loaded);
        } else if (Model::IsAnimationName(name)) {
            enable(Cmd::kApplyAnimate, true);
            enable(Cmd::kExportAnimate, m_context.animationChosen());
        } else if (Contains(name, ".dds")) {
            enable(Cmd::kPreviewTexture, true, true);
        } else {
            enable(Cmd::kViewFile, true, true);
        }
    }
    return menu;
}

void CTreePane::OnContextMenu(const QPoint& position) {
    const std::unique_ptr<QMenu> menu = BuildPopup(m_tree->indexAt(position));
    if (menu) {
        menu->exec(m_tree->viewport()->mapToGlobal(position));
    }
}

void CTreePane::OnActivated(const QModelIndex& index) {
    if (!index.isValid() || m_model->IsFolder(index)) {
        return;
    }
    PakMgr::ITreeNode* node = m_model->NodeAt(index);
    m_tree->setCurrentIndex(index);
    if (const uint16_t id = node ? ActivationCommand(node->Name()) : 0) {
        Q_EMIT CommandRequested(id);
    }
}

void CTreePane::OnFilterChanged(const QString& text) {
    const bool wasFiltering = m_model->Filtering();
    if (!wasFiltering && !text.isEmpty()) {
        m_expandedBeforeFilter.clear();
        for (CTreeModel::Item* item : m_model->Folders()) {
            if (m_tree->isExpanded(m_model->IndexOf(item))) {
                m_expandedBeforeFilter.push_back(item);
            }
        }
    }
    const std::size_t matches = m_model->SetFilter(text);
    ShowNoMatch(m_model->Filtering() && matches == 0);
    Q_EMIT FilterChanged(text);
    if (m_model->Filtering()) {
        if (matches > 0 && matches <= kMaxShownExpanded) {
            m_tree->expandAll();
        }
        return;
    }
    if (wasFiltering) {
        // Parents come before their children, so every item is reachable when expanded.
        for (CTreeModel::Item* item : m_expandedBeforeFilter) {
            m_tree->expand(m_model->IndexOf(item));
        }
        m_expandedBeforeFilter.clear();
    }
}

void CTreePane::ShowSources() {
    PakMgr::ITreeNode* node = SelectedFile();
    if (!node) {
        return;
    }
    // The records as `vell which` lists them, the one the tree reads first.
    std::vector<QStringList> rows;
    PakMgr::PakEntry entry;
    for (const uint32_t index : PakMgr::Records(m_pakMgr, node)) {
        if (m_pakMgr.GetEntry(index, entry)) {
            const QString archive = QString::fromStdString(
                Base::GbkToUtf8(entry.pakPath.substr(entry.pakPath.find_last_of('/') + 1)));
            rows.push_back({archive, QString::number(entry.inflatedSize),
                            QString::number(entry.storedSize), QString::number(entry.offset),
                            QString::number(index)});
        }
    }
    const QString path = QString::fromStdString(Base::GbkToUtf8(PakMgr::NodePath(node, '/')));
    QDialog* dialog =
        TableDialog(this, QStringLiteral("sources"), tr("来源"), path,
                    {tr("包"), tr("大小"), tr("压缩大小"), tr("偏移"), tr("序号")}, rows);
    dialog->show();
}

bool CTreePane::RunFolderJob(std::size_t count, CFolderJob::Operation operation,
                             const QString& where, QStringList renamed) {
    return RunJob(
        std::make_unique<CFolderJob>(m_status, count, std::move(operation), std::move(renamed)),
        [this, where](const FolderJobResult& result) {
            const QString summary = FolderJobSummary(result, where);
            m_status.ShowText(summary.section(QLatin1Char('\n'), 0, 0));
            ShowInfo(this, summary);
        });
}

bool CTreePane::RunJob(std::unique_ptr<CFolderJob> job,
                       std::function<void(const FolderJobResult&)> finished) {
    if (m_job && m_job->Running()) {
        return false;
    }
    m_job = std::move(job);
    connect(m_job.get(), &CFolderJob::Finished, this,
            [this, finished = std::move(finished)] { finished(m_job->Result()); });
    m_job->Start();
    return true;
}

}  // namespace App
