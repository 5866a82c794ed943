// The skin, parts, animation and frame-export commands, and what the status bar says of
// the model shown.
#include <QApplication>
#include <QComboBox>

#include "AnimationBar.h"
#include "CommandTable.h"
#include "Dialogs.h"
#include "GlView.h"
#include "MainFrame.h"
#include "Settings.h"
#include "StatusLine.h"
#include "Timeline.h"
#include "TreePane.h"
#include "base/text.h"
#include "model/model.h"
#include "pakmgr/pakmgr.h"
#include "view/view.h"

namespace App {

namespace {

QString FromGbk(std::string_view text) {
    return QString::fromStdString(Base::GbkToUtf8(text));
}

}  // namespace

void CVellModelBrowserMainFrame::OnRenderSkin() {
    if (PakMgr::ITreeNode* node = m_pane->SelectedFile()) {
        LoadSkin(node);
    }
}

void CVellModelBrowserMainFrame::LoadSkin(PakMgr::ITreeNode* node) {
    bool intoPart = false;
    // Textures are made (and those replaced deleted) in the view's context.
    m_view->makeCurrent();
    try {
        intoPart = m_model->Load(node);
    } catch (const Except& e) {
        ShowInfo(this, FromGbk(e.what()));
        return;
    }
    if (!intoPart) {
        m_loadedSkins.clear();
        Model::selectedBone = -1;
    }
    m_loadedSkins.push_back(node);
    if (!intoPart) {
        m_bar->Reset();
        ResetView();
    }
    m_bar->RebuildParts();
    m_modelName = FromGbk(node->Name());
    ShowModelState();
}

void CVellModelBrowserMainFrame::OnLoadAttachment() {
    PakMgr::ITreeNode* node = m_pane->SelectedFile();
    if (!node) {
        return;
    }
    m_view->makeCurrent();
    try {
        m_model->LoadAttachment(node);
    } catch (const Except& e) {
        ShowInfo(this, FromGbk(e.what()));
        return;
    }
    m_loadedSkins.push_back(node);
    m_bar->RebuildParts();
    ShowModelState();
}

void CVellModelBrowserMainFrame::OnApplyAnimate() {
    if (PakMgr::ITreeNode* node = m_pane->SelectedFile()) {
        LoadAnimation(node);
    }
}

void CVellModelBrowserMainFrame::LoadAnimation(PakMgr::ITreeNode* node) {
    try {
        m_model->LoadAnimation(node);
    } catch (const Except& e) {
        ShowInfo(this, FromGbk(e.what()));
        return;
    }
    Model::selectedBone = -1;
    if (m_bar->ShowAnimations()) {
        m_view->ResetCamera();
    }
    ShowModelState();
}

void CVellModelBrowserMainFrame::OnPartsButton() {
    m_bar->OnPartsButton();
}

void CVellModelBrowserMainFrame::ResetView() {
    m_view->ResetView();
    // The axes are shown again: their check mark says so.
    UISetCheck(Cmd::kShowAxes, true);
    PushUiState(true);
}

// What is shown changed: a message up until now gives way to the state.
void CVellModelBrowserMainFrame::ShowModelState() {
    m_status->EndMessage();
    ShowPlayPosition(m_model->GetState().frame);
}

// An animation playing or held at speed 0 shows its frame and the last one ("walk 12/39");
// otherwise the counts of what is shown ("hero.skn: 1200 顶点, 800 三角形, 40 骨骼").
void CVellModelBrowserMainFrame::ShowPlayPosition(int frame) {
    m_timeline->Sync();
    const Model::ModelState state = m_model->GetState();
    const QString name = m_bar->ChosenName();
    if (!name.isEmpty() && frame >= 0) {
        m_status->ShowState(
            QStringLiteral("%1 %2/%3").arg(name.trimmed()).arg(frame).arg(state.lastFrame));
        return;
    }
    if (m_modelName.isEmpty()) {
        m_status->ShowState({});
        return;
    }
    // Each count in its own plural form: "1 bone", "30 bones".
    const auto Count = [](const char* text, unsigned n) {
        return tr(text, nullptr, static_cast<int>(n));
    };
    m_status->ShowState(tr("%1: %2, %3, %4")
                            .arg(m_modelName, Count(QT_TR_N_NOOP("%n 顶点"), state.vertices),
                                 Count(QT_TR_N_NOOP("%n 三角形"), state.triangles),
                                 Count(QT_TR_N_NOOP("%n 骨骼"), state.bones)));
}

void CVellModelBrowserMainFrame::OnExportAnimate() {
    const int selection = m_bar->List()->currentIndex();
    const unsigned count = m_model->GetFrameCount(selection < 0 ? 0u : unsigned(selection));
    if (count == 0) {
        return;
    }
    const MsgAnswer answer = ShowMessage({this, QStringLiteral("%1 pictures.").arg(count),
                                          QString(), MsgButtons::OkCancel, MsgIcon::Information});
    if (answer != MsgAnswer::Ok) {
        return;
    }
    const QString folder = PickFolderFor(this, kFramesExportKind);
    if (folder.isEmpty()) {
        return;
    }

    // Draws and counts the exported frames: the wait cursor and the progress bar live
    // exactly as long as the export.
    class MyAnimate final : public Model::IAnimate {
    public:
        MyAnimate(CVellModelBrowserRenderView& view, CStatusLine& status)
            : m_view(view), m_progress(status) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            m_view.makeCurrent();
        }
        ~MyAnimate() override { QApplication::restoreOverrideCursor(); }
        int GetWidth() override { return m_view.Core().m_nWidth; }
        int GetHeight() override { return m_view.Core().m_nHeight; }
        void Advance() override { View::GetModel()->Update(); }
        void Render() override { m_view.RenderFrame(); }
        void SetProgressRange(unsigned short low, unsigned short high) override {
            m_progress.SetRange(low, high);
        }
        void StepProgress() override { m_progress.Step(); }

    private:
        CVellModelBrowserRenderView& m_view;
        CProgress m_progress;
    };

    bool ok = false;
    try {
        MyAnimate animate(*m_view, *m_status);
        ok = m_model->ExportFrames(folder.toStdString(), &animate);
    } catch (const Except& e) {
        ShowInfo(this, FromGbk(e.what()));
        return;
    }
    m_view->Redraw();
    if (ok) {
        m_status->ShowText(folder);
        ShowInfo(this, QStringLiteral("export animate ok."));
    }
}

}  // namespace App
