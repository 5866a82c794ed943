// 视图 / 缩略图: the gallery window, tied to the tree (its selection and its filter) and to
// the view (a double-click renders).
#include "Dialogs.h"
#include "Gallery.h"
#include "MainFrame.h"
#include "TreePane.h"
#include "pakmgr/pakmgr.h"

namespace App {

void CVellModelBrowserMainFrame::OnGallery() {
    PakMgr::ITreeNode* folder = m_pane->SelectedFolder();
    if (!folder) {
        folder = m_pakMgr->GetRoot();
    }
    if (!folder || m_pakMgr->GetFileCount() == 0) {
        ShowInfo(this, tr("请先打开游戏目录."));
        return;
    }
    if (!m_gallery) {
        CGallery::Hooks hooks;
        hooks.select = [this](PakMgr::ITreeNode* node) { m_pane->SelectNode(node); };
        hooks.render = [this](PakMgr::ITreeNode* node) {
            m_pane->SelectNode(node);
            LoadSkin(node);
        };
        m_gallery = new CGallery(this, std::move(hooks));
        connect(m_pane, &CTreePane::FilterChanged, m_gallery, &CGallery::SetFilter);
        // First over the middle of the main window; where the user leaves it afterwards.
        m_gallery->move(geometry().center() - m_gallery->rect().center());
    }
    m_gallery->ShowFolder(folder, m_pane->FilterText());
    m_gallery->show();
    m_gallery->raise();
    m_gallery->activateWindow();
}

}  // namespace App
