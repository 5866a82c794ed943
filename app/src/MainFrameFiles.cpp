// The game folder (opened, recent, dropped), closing what is shown, the file list, the
// screenshot, and the tree pane's commands.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <fstream>

#include "AnimationBar.h"
#include "CommandTable.h"
#include "Dialogs.h"
#include "Gallery.h"
#include "GlView.h"
#include "MainFrame.h"
#include "Settings.h"
#include "StatusLine.h"
#include "TreePane.h"
#include "base/file.h"
#include "base/text.h"
#include "model/model.h"
#include "pakmgr/pakmgr.h"

namespace App {

namespace {

// The wait cursor for the length of a command.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

// The game folder a dropped path stands for: the folder itself, or the folder of a .pak.
QString DroppedGameFolder(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().isEmpty()) {
        return {};
    }
    const QFileInfo info(data->urls().front().toLocalFile());
    if (info.isDir()) {
        return info.absoluteFilePath();
    }
    if (info.isFile() && info.suffix().compare(QLatin1String("pak"), Qt::CaseInsensitive) == 0) {
        return info.absolutePath();
    }
    return {};
}

// One line per archive skipped: its name and why (the reason is English, as the
// archive manager gives it).
QString SkippedList(const std::vector<PakMgr::SkippedArchive>& skipped) {
    QStringList lines;
    for (const PakMgr::SkippedArchive& archive : skipped) {
        lines << QString::fromStdString(archive.name + ": " + archive.reason);
    }
    return lines.join(QLatin1Char('\n'));
}

// "where is the game ?!", then the folder and why it opens nothing, then the archives skipped.
QString NoGameText(const std::string& folder, const std::vector<PakMgr::SkippedArchive>& skipped) {
    QString text = QStringLiteral("where is the game ?!\n") +
                   QString::fromStdString(folder + ": " + PakMgr::WhyNoGame(folder));
    if (!skipped.empty()) {
        text += QStringLiteral("\n\n") + SkippedList(skipped);
    }
    return text;
}

}  // namespace

void CVellModelBrowserMainFrame::OpenGame() {
    // The picker starts in the game shown, else in the one opened last; only a folder that
    // opens is remembered.
    const QString folder =
        PickFolder(this, m_gameFolder.isEmpty() ? LastFolder(kGameFolderKind) : m_gameFolder);
    if (folder.isEmpty()) {
        return;
    }
    OpenGameFolder(folder);
}

bool CVellModelBrowserMainFrame::OpenGameFolder(const QString& folder) {
    CWaitCursor wait;
    const std::string path = folder.toStdString();
    // Try the folder in a manager of its own first, so that a folder that fails leaves the
    // one opened before fully usable: its entries, its tree and the items that show it.
    // A folder whose every archive is skipped opens nothing, and is not remembered.
    if (const auto trial = PakMgr::CreatePakMgr(); !trial->Open(path)) {
        ShowInfo(this, NoGameText(path, trial->GetSkippedArchives()));
        return false;
    }
    // The old items go before the tree they show is destroyed, and the model of the old
    // game with them: its skins, animations and parts belong to that game.
    if (m_gallery) {
        m_gallery->Forget();
        m_gallery->close();
    }
    m_pane->Forget();
    PutModelAway();
    m_pakMgr->Clear();
    if (!m_pakMgr->Open(path)) {
        // The folder changed under us between the two reads; show what could be read.
        ShowInfo(this, NoGameText(path, m_pakMgr->GetSkippedArchives()));
    }
    m_pakMgr->BuildTree();
    m_pane->ShowTree();
    m_gameFolder = QFileInfo(folder).absoluteFilePath();
    ShowTitle();
    SetLastFolder(kGameFolderKind, m_gameFolder);
    AddRecentFolder(m_gameFolder);
    RebuildRecentMenu();
    m_status->ShowText(
        tr("已打开 %1, %2")
            .arg(tr("%n 个档案", nullptr, static_cast<int>(m_pakMgr->GetArchiveNames().size())),
                 tr("%n 个文件", nullptr, static_cast<int>(TreeModel()->FileCount()))));
    // The archives that could not be read, once the others are shown.
    if (const auto skipped = m_pakMgr->GetSkippedArchives(); !skipped.empty()) {
        ShowInfo(this, tr("这些档案无法读取, 已跳过:\n%1").arg(SkippedList(skipped)));
    }
    return true;
}

void CVellModelBrowserMainFrame::RebuildRecentMenu() {
    m_recentMenu->clear();
    for (const QString& folder : RecentFolders()) {
        QAction* item = m_recentMenu->addAction(folder);
        connect(item, &QAction::triggered, this, [this, folder] {
            // A folder gone, or one that no longer holds an archive, leaves the list.
            if (!QFileInfo(folder).isDir()) {
                ShowInfo(this, tr("%1 已不存在.").arg(folder));
            } else if (OpenGameFolder(folder)) {
                return;
            }
            RemoveRecentFolder(folder);
            RebuildRecentMenu();
        });
    }
    m_recentMenu->setEnabled(!m_recentMenu->isEmpty());
}

void CVellModelBrowserMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedGameFolder(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CVellModelBrowserMainFrame::dropEvent(QDropEvent* event) {
    const QString folder = DroppedGameFolder(event->mimeData());
    if (folder.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    OpenGameFolder(folder);
}

// Releases what is shown; the tree stays.
void CVellModelBrowserMainFrame::OnFileClose() {
    PutModelAway();
}

void CVellModelBrowserMainFrame::PutModelAway() {
    // The model's textures are deleted in the context that made them (none before the view
    // first showed).
    if (m_view->context()) {
        m_view->makeCurrent();
    }
    m_model->Clear();
    Model::selectedBone = -1;
    m_loadedSkins.clear();
    m_modelName.clear();
    m_bar->Reset();
    m_bar->RebuildParts();
    ResetView();
    ShowModelState();
}

QString CVellModelBrowserMainFrame::FileListFilter() const {
    return QStringLiteral("MPQ File Lists (*.txt);;All Files (*.*)");
}

void CVellModelBrowserMainFrame::OnSaveFileList() {
    const QString path =
        PickSaveFileFor(this, kFileListKind, FileListFilter(), QStringLiteral("txt"));
    if (path.isEmpty()) {
        return;
    }
    std::string text;
    const uint32_t count = m_pakMgr->GetFileCount();
    for (uint32_t i = 0; i < count; ++i) {
        text += Base::GbkToUtf8(m_pakMgr->GetFileName(i));
        text += '\n';
    }
    const std::span<const uint8_t> pieces[] = {
        {reinterpret_cast<const uint8_t*>(text.data()), text.size()}};
    if (Base::TryWriteWholeFile(path.toStdString().c_str(), pieces) != 0) {
        ShowMessage({this, QStringLiteral("Save File Lists Failed!"),
                     QStringLiteral("TarnModelBrowser"), MsgButtons::Ok, MsgIcon::Warning});
        return;
    }
    m_status->ShowText(path);
}

void CVellModelBrowserMainFrame::OnExportFile() {
    m_pane->ExportSelected();
}

void CVellModelBrowserMainFrame::OnConvertToObj() {
    m_pane->ConvertToObj();
}

void CVellModelBrowserMainFrame::OnConvertToObjMtl() {
    m_pane->ConvertToObj(true);
}

void CVellModelBrowserMainFrame::OnConvertToGltf() {
    m_pane->ConvertToGltf(m_loadedSkins);
}

void CVellModelBrowserMainFrame::OnConvertToFbx() {
    m_pane->ConvertToFbx(m_loadedSkins);
}

void CVellModelBrowserMainFrame::OnPreviewTexture() {
    m_pane->PreviewTexture();
}

}  // namespace App
