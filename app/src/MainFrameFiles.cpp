// The game folder, the tree pane and the file commands.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QLineEdit>
#include <QMenu>
#include <QTreeView>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "CommandTable.h"
#include "Dialogs.h"
#include "GlView.h"
#include "MainFrame.h"
#include "model/model.h"
#include "pakmgr/pakmgr.h"

namespace App {

namespace {

constexpr int kMaxShownExpanded = 2000;  // expand the filtered tree only when this small

QString U(const char* text) {
    return QString::fromUtf8(text);
}
QString FromGbk(std::string_view text) {
    return QString::fromStdString(PakMgr::GbkToUtf8(text));
}

// The wait cursor for the length of a command.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

// Makes a folder the current directory for the length of an export and restores the one
// before, whatever happens in between.
class CCurrentDirectory {
public:
    explicit CCurrentDirectory(const QString& folder) {
        std::error_code ec;
        m_previous = std::filesystem::current_path(ec);
        if (ec) {
            return;
        }
        std::filesystem::current_path(folder.toStdString(), ec);
        m_switched = !ec;
    }
    ~CCurrentDirectory() {
        if (m_switched) {
            std::error_code ec;
            std::filesystem::current_path(m_previous, ec);
        }
    }
    CCurrentDirectory(const CCurrentDirectory&) = delete;
    CCurrentDirectory& operator=(const CCurrentDirectory&) = delete;
    bool Switched() const { return m_switched; }

private:
    std::filesystem::path m_previous;
    bool m_switched = false;
};

bool Contains(std::string_view name, std::string_view part) {
    return name.find(part) != std::string_view::npos;
}

}  // namespace

void CVellModelBrowserMainFrame::OpenGame() {
    const QString folder = PickFolder(this);
    if (folder.isEmpty()) {
        return;
    }
    OpenGameFolder(folder);
}

void CVellModelBrowserMainFrame::OpenGameFolder(const QString& folder) {
    CWaitCursor wait;
    const std::string path = folder.toStdString();
    // Try the folder in a manager of its own first, so that a folder that fails leaves the
    // one opened before fully usable: its entries, its tree and the items that show it.
    if (!PakMgr::CreatePakMgr()->Open(path)) {
        ShowInfo(this, U("where is the game ?!"));
        return;
    }
    // The old items go before the tree they show is destroyed.
    m_treeModel->Clear();
    m_expandedBeforeFilter.clear();
    m_pakMgr->Clear();
    if (!m_pakMgr->Open(path)) {
        // The folder changed under us between the two reads; show what could be read.
        ShowInfo(this, U("where is the game ?!"));
    }
    SetTreeView();
}

bool CVellModelBrowserMainFrame::SetTreeView() {
    CProgress progress(m_progressPane, m_progress);
    const int count = static_cast<int>(m_pakMgr->GetFileCount());
    progress.SetRange(0, count);
    m_treeModel->Clear();
    m_expandedBeforeFilter.clear();
    m_loadedSkins.clear();
    if (m_pakMgr->BuildTree()) {
        m_treeModel->SetRoot(m_pakMgr->GetRoot());
        m_prepareTimer->start();
    }
    // The model reads folders when they are first shown: the tree is complete now.
    progress.SetPosition(count);
    if (!m_filter->text().isEmpty()) {
        OnFilterChanged(m_filter->text());
    }
    return true;
}

PakMgr::ITreeNode* CVellModelBrowserMainFrame::SelectedFile() const {
    const QModelIndex index = m_tree->currentIndex();
    if (!index.isValid() || m_treeModel->IsFolder(index)) {
        return nullptr;
    }
    return m_treeModel->NodeAt(index);
}

std::unique_ptr<QMenu> CVellModelBrowserMainFrame::BuildTreePopup(const QModelIndex& index) {
    if (!index.isValid() || m_treeModel->IsFolder(index) || index != m_tree->currentIndex()) {
        return nullptr;
    }
    auto menu = std::make_unique<QMenu>(QStringLiteral("TreePopup"));
    const uint16_t items[] = {Cmd::kRenderSkin,     Cmd::kApplyAnimate, Cmd::kExportAnimate,
                              Cmd::kExportFile,     Cmd::kConvertToObj, Cmd::kConvertToGltf,
                              Cmd::kLoadAttachment, Cmd::kShowAxes};
    for (const uint16_t id : items) {
        menu->addAction(Action(id));
        if (id != Cmd::kShowAxes) {
            Action(id)->setEnabled(false);
        }
    }
    Action(Cmd::kLoadAttachment)->setVisible(false);
    Action(Cmd::kConvertToGltf)->setVisible(false);
    if (PakMgr::ITreeNode* node = m_treeModel->NodeAt(index)) {
        const std::string_view name = node->Name();
        Action(Cmd::kExportFile)->setEnabled(true);
        if (Contains(name, ".skn")) {
            Action(Cmd::kRenderSkin)->setEnabled(true);
            const bool loaded = !m_model->IsEmpty();
            Action(Cmd::kConvertToObj)->setEnabled(loaded);
            Action(Cmd::kConvertToGltf)->setEnabled(loaded);
            Action(Cmd::kConvertToGltf)->setVisible(loaded);
            Action(Cmd::kLoadAttachment)->setEnabled(loaded);
            Action(Cmd::kLoadAttachment)->setVisible(loaded);
        } else if (Contains(name, ".ani")) {
            Action(Cmd::kApplyAnimate)->setEnabled(true);
            Action(Cmd::kExportAnimate)->setEnabled(m_comboAnimations->currentIndex() > 0);
        }
    }
    return menu;
}

void CVellModelBrowserMainFrame::OnTreeRClick(const QPoint& position) {
    const std::unique_ptr<QMenu> menu = BuildTreePopup(m_tree->indexAt(position));
    if (menu) {
        menu->exec(m_tree->viewport()->mapToGlobal(position));
    }
}

void CVellModelBrowserMainFrame::ExportIntoPickedFolder(
    const std::function<void(PakMgr::ITreeNode*)>& work) {
    PakMgr::ITreeNode* node = SelectedFile();
    if (!node) {
        return;
    }
    const QString folder = PickFolder(this);
    if (folder.isEmpty()) {
        return;
    }
    // The writers use relative names: without the switch they would write somewhere else.
    CCurrentDirectory directory(folder);
    if (!directory.Switched()) {
        ShowInfo(this, U("can't open folder ") + folder);
        return;
    }
    work(node);
}

void CVellModelBrowserMainFrame::OnExportFile() {
    ExportIntoPickedFolder([this](PakMgr::ITreeNode* node) {
        const std::unique_ptr<PakMgr::IRead> reader = m_pakMgr->LoadFile(node);
        if (!reader) {
            ShowInfo(this, U("can't read ") + FromGbk(node->Name()));
            return;
        }
        // Only the file's own name, made safe: nothing lands outside the chosen folder.
        const std::string name = PakMgr::SafeFileName(node->Name());
        if (!reader->SaveToFile(name)) {
            ShowInfo(this, U("can't write ") + QString::fromStdString(name) + U(": ") +
                               QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        ShowInfo(this, FromGbk(node->Name()) + U(" 导出已完成."));
    });
}

void CVellModelBrowserMainFrame::OnConvertToObj() {
    ExportIntoPickedFolder([this](PakMgr::ITreeNode* node) {
        const std::string comment = PakMgr::Utf8ToGbk(windowTitle().toStdString());
        try {
            if (m_model->ExportObj(comment, node)) {
                ShowInfo(this, U("已转换为工程文件 ."));
            }
        } catch (const Except& e) {
            ShowInfo(this, FromGbk(e.what()));
        }
    });
}

// The shown model with its skeleton and animations as one glTF file; textures are found
// below the selected skin's folder.
void CVellModelBrowserMainFrame::OnConvertToGltf() {
    PakMgr::ITreeNode* node = SelectedFile();
    if (!node) {
        return;
    }
    const QString path =
        PickSaveFile(this, QStringLiteral("glTF (*.glb *.gltf)"), QStringLiteral("glb"));
    if (path.isEmpty()) {
        return;
    }
    try {
        // The parts and the attachment may keep their textures in folders of their own.
        std::vector<PakMgr::ITreeNode*> skins = m_loadedSkins;
        if (std::find(skins.begin(), skins.end(), node) == skins.end()) {
            skins.push_back(node);
        }
        m_model->ExportGltf(path.toStdString(), skins);
        ShowInfo(this, U("已转换为glTF文件 ."));
    } catch (const Except& e) {
        ShowInfo(this, FromGbk(e.what()));
    }
}

QString CVellModelBrowserMainFrame::FileListFilter() const {
    return QStringLiteral("MPQ File Lists (*.txt);;All Files (*.*)");
}

void CVellModelBrowserMainFrame::OnSaveFileList() {
    const QString path = PickSaveFile(this, FileListFilter(), QStringLiteral("txt"));
    if (path.isEmpty()) {
        return;
    }
    std::string text;
    const uint32_t count = m_pakMgr->GetFileCount();
    for (uint32_t i = 0; i < count; ++i) {
        text += PakMgr::GbkToUtf8(m_pakMgr->GetFileName(i));
        text += '\n';
    }
    const std::span<const uint8_t> pieces[] = {
        {reinterpret_cast<const uint8_t*>(text.data()), text.size()}};
    if (PakMgr::TryWriteWholeFile(path.toStdString().c_str(), pieces) != 0) {
        ShowMessage({this, QStringLiteral("Save File Lists Failed!"),
                     QStringLiteral("TarnModelBrowser"), MsgButtons::Ok, MsgIcon::Warning});
    }
}

void CVellModelBrowserMainFrame::OnFilterChanged(const QString& text) {
    const bool wasFiltering = m_treeModel->Filtering();
    if (!wasFiltering && !text.isEmpty()) {
        m_expandedBeforeFilter.clear();
        for (CTreeModel::Item* item : m_treeModel->Folders()) {
            if (m_tree->isExpanded(m_treeModel->IndexOf(item))) {
                m_expandedBeforeFilter.push_back(item);
            }
        }
    }
    const std::size_t matches = m_treeModel->SetFilter(text);
    if (m_treeModel->Filtering()) {
        if (matches > 0 && matches <= kMaxShownExpanded) {
            m_tree->expandAll();
        }
        return;
    }
    if (wasFiltering) {
        // Parents come before their children, so every item is reachable when expanded.
        for (CTreeModel::Item* item : m_expandedBeforeFilter) {
            m_tree->expand(m_treeModel->IndexOf(item));
        }
        m_expandedBeforeFilter.clear();
    }
}

}  // namespace App
