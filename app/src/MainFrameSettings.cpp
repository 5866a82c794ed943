// The view settings, the readers' version check, the about box and the window's layout
// between runs.
#include <GL/gl.h>

#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

#include "AboutDlg.h"
#include "CommandTable.h"
#include "Dialogs.h"
#include "GlView.h"
#include "MainFrame.h"
#include "Settings.h"
#include "TreePane.h"
#include "model/model.h"

namespace App {

namespace {

struct RenderMode {
    uint16_t id;
    GLenum mode;
};
constexpr RenderMode kRenderModes[] = {
    {Cmd::kRenderPoint, GL_POINT}, {Cmd::kRenderLine, GL_LINE}, {Cmd::kRenderFill, GL_FILL}};

constexpr const char* kGeometryKey = "window/geometry";
constexpr const char* kTreeKey = "window/tree";
constexpr const char* kToolBarKey = "window/toolBar";
constexpr const char* kStatusBarKey = "window/statusBar";
constexpr const char* kInfoPanelKey = "window/infoPanel";

QColor FromRgb(uint32_t rgb) {
    return QColor(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>(rgb & 0xFF));
}

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
    const auto color = PickColor(this, FromRgb(m_view->Core().m_clrBackground));
    if (!color) {
        return;
    }
    m_view->Core().m_clrBackground = (static_cast<uint32_t>(color->red()) << 16) |
                                     (static_cast<uint32_t>(color->green()) << 8) |
                                     static_cast<uint32_t>(color->blue());
}

void CVellModelBrowserMainFrame::OnModelColor() {
    if (const auto color = PickColor(this, m_view->ModelColor())) {
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

// Colours and render modes are not remembered: they start at their defaults.
void CVellModelBrowserMainFrame::RestoreLayout() {
    const QSettings settings;
    restoreGeometry(settings.value(QLatin1String(kGeometryKey)).toByteArray());
    if (!settings.value(QLatin1String(kTreeKey), true).toBool()) {
        OnViewTree();
    }
    if (!settings.value(QLatin1String(kToolBarKey), true).toBool()) {
        OnViewToolBar();
    }
    if (!settings.value(QLatin1String(kStatusBarKey), true).toBool()) {
        OnViewStatusBar();
    }
    if (settings.value(QLatin1String(kInfoPanelKey), false).toBool()) {
        ShowInfoPanel(true);
    }
}

void CVellModelBrowserMainFrame::SaveLayout() {
    QSettings settings;
    settings.setValue(QLatin1String(kGeometryKey), saveGeometry());
    if (m_treeShown) {
        SetRememberedTreeWidth(m_splitter->sizes().value(0));
    }
    settings.setValue(QLatin1String(kTreeKey), m_treeShown);
    settings.setValue(QLatin1String(kToolBarKey), m_toolBarShown);
    settings.setValue(QLatin1String(kStatusBarKey), m_statusBarShown);
    settings.setValue(QLatin1String(kInfoPanelKey), UIGetCheck(Cmd::kModelInfo));
}

}  // namespace App
