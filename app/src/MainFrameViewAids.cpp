// The inspection aids beside the original view settings: the light and the ground grid.
// Every one starts off, so the picture is the plain one until the user asks.
#include "BonePicker.h"
#include "CommandTable.h"
#include "GlView.h"
#include "InfoPanel.h"
#include "MainFrame.h"
#include "StatusLine.h"
#include "model/model.h"

namespace App {

void CVellModelBrowserMainFrame::OnLighting() {
    m_lighting = !m_lighting;
    m_model->SetLighting(m_lighting);
    UISetCheck(Cmd::kLighting, m_lighting);
}

void CVellModelBrowserMainFrame::OnGroundGrid() {
    bool& grid = m_view->Core().m_bShowGrid;
    grid = !grid;
    UISetCheck(Cmd::kGroundGrid, grid);
}

void CVellModelBrowserMainFrame::OnBonesOnTop() {
    Model::bonesOnTop = !Model::bonesOnTop;
    UISetCheck(Cmd::kBonesOnTop, Model::bonesOnTop);
}

void CVellModelBrowserMainFrame::OnModelInfo() {
    ShowInfoPanel(!UIGetCheck(Cmd::kModelInfo));
}

void CVellModelBrowserMainFrame::ShowInfoPanel(bool show) {
    m_info->setVisible(show);
    if (show) {
        m_info->Fill();
    }
    UISetCheck(Cmd::kModelInfo, show);
    PushUiState(true);
}

void CVellModelBrowserMainFrame::SelectBone(int index) {
    const QString text = BoneText(index);
    Model::selectedBone = text.isEmpty() ? -1 : index;
    m_info->ShowSelectedBone(Model::selectedBone);
    m_view->Redraw();
    if (text.isEmpty()) {
        ShowModelState();
    } else {
        m_status->ShowText(text);
    }
}

}  // namespace App
