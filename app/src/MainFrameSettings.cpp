// The view settings, the readers' version check and the about box.
#include <GL/gl.h>

#include "AboutDlg.h"
#include "CommandTable.h"
#include "Dialogs.h"
#include "GlView.h"
#include "MainFrame.h"
#include "model/model.h"

namespace App {

namespace {

struct RenderMode {
    uint16_t id;
    GLenum mode;
};
constexpr RenderMode kRenderModes[] = {
    {Cmd::kRenderPoint, GL_POINT}, {Cmd::kRenderLine, GL_LINE}, {Cmd::kRenderFill, GL_FILL}};

}  // namespace

void CVellModelBrowserMainFrame::OnRenderPoint() {
    OnRenderMode(Cmd::kRenderPoint);
}
void CVellModelBrowserMainFrame::OnRenderLine() {
    OnRenderMode(Cmd::kRenderLine);
}
void CVellModelBrowserMainFrame::OnRenderFill() {
    OnRenderMode(Cmd::kRenderFill);
}

void CVellModelBrowserMainFrame::OnRenderMode(uint16_t id) {
    std::size_t chosen = 0;
    while (kRenderModes[chosen].id != id) {
        ++chosen;
    }
    if (m_renderModes[chosen]) {
        return;
    }
    for (std::size_t i = 0; i < m_renderModes.size(); ++i) {
        m_renderModes[i] = i == chosen;
        UISetCheck(kRenderModes[i].id, m_renderModes[i]);
    }
    PushUiState(true);
    m_view->makeCurrent();
    m_model->SetPolygonMode(kRenderModes[chosen].mode);
}

void CVellModelBrowserMainFrame::OnBackgroundColor() {
    const auto color = PickColor(this);
    if (!color) {
        return;
    }
    m_view->Core().m_clrBackground = (static_cast<uint32_t>(color->red()) << 16) |
                                     (static_cast<uint32_t>(color->green()) << 8) |
                                     static_cast<uint32_t>(color->blue());
}

void CVellModelBrowserMainFrame::OnModelColor() {
    if (const auto color = PickColor(this)) {
        m_view->SetModelColor(*color);
    }
}

void CVellModelBrowserMainFrame::OnShowAxes() {
    bool& axes = m_view->Core().m_bShowAxes;
    axes = !axes;
    UISetCheck(Cmd::kShowAxes, axes);
    PushUiState(true);
}

void CVellModelBrowserMainFrame::OnShowSkeleton() {
    UISetCheck(Cmd::kShowSkeleton, m_model->ToggleSkeleton());
}

void CVellModelBrowserMainFrame::OnVersionCheck() {
    UISetCheck(Cmd::kVersionCheck, m_model->ToggleVersionCheck());
}

void CVellModelBrowserMainFrame::OnThrottle() {
    bool& throttle = m_view->Core().m_bThrottle;
    throttle = !throttle;
}

std::unique_ptr<CAboutDlg> CVellModelBrowserMainFrame::MakeAboutDlg() {
    return std::make_unique<CAboutDlg>(this, *m_view);
}

void CVellModelBrowserMainFrame::OnAppAbout() {
    MakeAboutDlg()->exec();
}

}  // namespace App
