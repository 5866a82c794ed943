// The key help and the file viewer, opened from the frame's commands.
#include "HelpDlg.h"
#include "MainFrame.h"
#include "TreePane.h"

namespace App {

void CVellModelBrowserMainFrame::OnViewFile() {
    m_pane->ViewFile();
}

void CVellModelBrowserMainFrame::OnHelpKeys() {
    // One help window: F1 again brings it forward.
    auto* help = findChild<CHelpDlg*>();
    if (!help) {
        help = new CHelpDlg(this);
        help->setAttribute(Qt::WA_DeleteOnClose);
    }
    help->show();
    help->raise();
    help->activateWindow();
}

}  // namespace App
