// 文件 / 比较... and 来源: what an update changed, and where a file comes from.
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "Dialogs.h"
#include "MainFrame.h"
#include "Settings.h"
#include "StatusLine.h"
#include "TreeModel.h"
#include "TreePane.h"
#include "base/text.h"
#include "pakmgr/pakmgr.h"

namespace App {

namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

QString Shown(PakMgr::ITreeNode* node) {
    return QString::fromStdString(Base::GbkToUtf8(PakMgr::NodePath(node, '/')));
}

// A window of its own listing the files the other game held and this one doesn't.
QDialog* RemovedList(QWidget* owner, const QString& folder, const QStringList& removed) {
    auto* dialog = new QDialog(owner);
    dialog->setObjectName(QStringLiteral("removedFiles"));
    dialog->setWindowTitle(CVellModelBrowserMainFrame::tr("已删除的文件"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(new QLabel(
        CVellModelBrowserMainFrame::tr("%1 中有而当前目录中没有的文件:").arg(folder), dialog));
    auto* list = new QListWidget(dialog);
    list->setObjectName(QStringLiteral("removedList"));
    list->addItems(removed);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    layout->addWidget(buttons);
    dialog->resize(480, 360);
    return dialog;
}

}  // namespace

void CVellModelBrowserMainFrame::OnShowSources() {
    m_pane->ShowSources();
}

void CVellModelBrowserMainFrame::OnFileCompare() {
    if (!m_pakMgr->GetRoot() || m_pakMgr->GetFileCount() == 0) {
        ShowInfo(this, tr("请先打开游戏目录."));
        return;
    }
    if (m_pane->Job() && m_pane->Job()->Running()) {
        ShowInfo(this, CTreePane::tr(kFolderJobRuns));
        return;
    }
    const QString folder = PickFolderFor(this, kCompareFolderKind);
    if (folder.isEmpty()) {
        return;
    }
    const std::shared_ptr<PakMgr::IPakMgr> other = PakMgr::CreatePakMgr();
    if (!other->Open(folder.toStdString()) || !other->BuildTree()) {
        ShowInfo(this, U("where is the game ?!"));
        return;
    }
    // The tree shown is the newer game: its files are added or changed since the other. The
    // parts run on workers as a folder job does; the job holds the other game until it ends.
    auto compare = std::make_shared<PakMgr::CompareJob>(*other, *m_pakMgr);
    std::vector<std::size_t> files(compare->Parts());
    for (std::size_t part = 0; part < files.size(); ++part) {
        files[part] = compare->FilesOf(part);
    }
    auto job = std::make_unique<CFolderJob>(*m_status, compare->Parts(),
                                            [compare, other](std::size_t part) {
                                                try {
                                                    compare->Run(part);
                                                } catch (...) {
                                                    // Memory ran out: the part's files are
                                                    // said to be unreadable.
                                                    compare->Failed(part);
                                                }
                                                return ItemOutcome{};
                                            });
    job->SetItemSizes(std::move(files));
    m_pane->RunJob(std::move(job), [this, compare, folder](const FolderJobResult& done) {
        if (done.cancelled) {
            m_status->ShowText(tr("比较已取消."));
            return;
        }
        ShowComparison(compare->Result(), folder);
    });
}

void CVellModelBrowserMainFrame::ShowComparison(const PakMgr::Comparison& result,
                                                const QString& folder) {
    std::unordered_map<const PakMgr::ITreeNode*, CTreeModel::Mark> marks;
    QStringList removed;
    std::size_t added = 0;
    for (const PakMgr::Change& change : result.changes) {
        if (change.kind == PakMgr::Change::kRemoved) {
            removed << Shown(change.oldNode);
            continue;
        }
        const bool isNew = change.kind == PakMgr::Change::kAdded;
        added += isNew ? 1 : 0;
        marks[change.newNode] = isNew ? CTreeModel::Mark::Added : CTreeModel::Mark::Changed;
    }
    const std::size_t changed = marks.size() - added;
    m_pane->ShowMarks(std::move(marks));
    if (m_removedList) {
        m_removedList->close();
    }
    m_removedList = nullptr;
    if (!removed.isEmpty()) {
        m_removedList = RemovedList(this, QFileInfo(folder).fileName(), removed);
        connect(m_removedList, &QObject::destroyed, this, [this] { m_removedList = nullptr; });
        m_removedList->show();
    }
    QString text = tr("与 %1 比较: %2 个新增, %3 个已更改, %4 个已删除")
                       .arg(folder)
                       .arg(added)
                       .arg(changed)
                       .arg(removed.size());
    if (!result.unreadable.empty()) {
        text += U("\ncan't read %1").arg(Shown(result.unreadable.front()));
    }
    m_status->ShowText(text.section(QLatin1Char('\n'), 0, 0));
    ShowInfo(this, text);
}

}  // namespace App
