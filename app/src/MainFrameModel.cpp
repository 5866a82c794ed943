// The skin, parts, animation and frame-export commands.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QSlider>
#include <QTreeView>

#include "CommandTable.h"
#include "Dialogs.h"
#include "GlView.h"
#include "MainFrame.h"
#include "model/model.h"
#include "pakmgr/pakmgr.h"
#include "render/view.h"

namespace App {

namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}
QString FromGbk(std::string_view text) {
    return QString::fromStdString(PakMgr::GbkToUtf8(text));
}

}  // namespace

void CVellModelBrowserMainFrame::ResetAnimationList() {
    m_comboAnimations->clear();
    m_comboAnimations->addItem(U(kDefaultAnimation));
    m_comboAnimations->setCurrentIndex(0);
}

void CVellModelBrowserMainFrame::SetSliderPosition(int position) {
    const QSignalBlocker block(m_sliderSpeed);
    m_sliderSpeed->setValue(position);
    m_sliderSpeed->setToolTip(QString::number(position));
    m_sliderSpeed->update();
}

void CVellModelBrowserMainFrame::RebuildPartsMenu() {
    // Receives the sub-mesh names: one checked item 1000 + n each.
    class MyStrList final : public Model::IStringList {
    public:
        MyStrList(CVellModelBrowserMainFrame& frame, QMenu& menu) : m_frame(frame), m_menu(menu) {
            m_menu.clear();
            m_frame.m_partChecked.clear();
        }
        void AddString(const std::string& name) override {
            const auto id = static_cast<uint16_t>(Cmd::kFirstPart + m_count);
            QAction* item = m_menu.addAction(FromGbk(name));
            item->setData(id);
            item->setCheckable(true);
            item->setChecked(true);
            QObject::connect(item, &QAction::triggered, &m_frame,
                             [f = &m_frame, id] { f->OnCommand(id); });
            m_frame.m_partChecked.push_back(true);
            ++m_count;
        }

    private:
        CVellModelBrowserMainFrame& m_frame;
        QMenu& m_menu;
        unsigned m_count = 0;
    };
    MyStrList list(*this, *m_menuParts);
    m_model->EnumSubMeshes(&list);
}

void CVellModelBrowserMainFrame::OnRenderSkin() {
    PakMgr::ITreeNode* node = SelectedFile();
    if (!node) {
        return;
    }
    bool intoPart = false;
    try {
        intoPart = m_model->Load(node);
    } catch (const Except& e) {
        ShowInfo(this, FromGbk(e.what()));
        return;
    }
    if (!intoPart) {
        m_loadedSkins.clear();
    }
    m_loadedSkins.push_back(node);
    if (!intoPart) {
        ResetAnimationList();
        m_view->ResetView();
        UISetCheck(Cmd::kShowAxes, true);
        PushUiState(true);
    }
    RebuildPartsMenu();
}

void CVellModelBrowserMainFrame::OnLoadAttachment() {
    PakMgr::ITreeNode* node = SelectedFile();
    if (!node) {
        return;
    }
    try {
        m_model->LoadAttachment(node);
    } catch (const Except& e) {
        ShowInfo(this, FromGbk(e.what()));
        return;
    }
    m_loadedSkins.push_back(node);
    RebuildPartsMenu();
}

void CVellModelBrowserMainFrame::OnApplyAnimate() {
    PakMgr::ITreeNode* node = SelectedFile();
    if (!node) {
        return;
    }
    try {
        m_model->LoadAnimation(node);
    } catch (const Except& e) {
        ShowInfo(this, FromGbk(e.what()));
        return;
    }
    // Receives the animation names behind the list's first entry.
    class MyStrList final : public Model::IStringList {
    public:
        explicit MyStrList(QComboBox& list) : m_list(list) {
            m_list.clear();
            m_list.addItem(U(kDefaultAnimation));
            m_list.setCurrentIndex(-1);
        }
        void AddString(const std::string& name) override { m_list.addItem(FromGbk(name)); }

    private:
        QComboBox& m_list;
    };
    MyStrList list(*m_comboAnimations);
    m_model->EnumAnimations(&list);
    if (m_comboAnimations->count() >= 2) {
        m_comboAnimations->setCurrentIndex(1);
        m_model->PlayAnimation(1);
        SetSliderPosition(kDefaultSpeed);
        m_view->ResetCamera();
    }
}

void CVellModelBrowserMainFrame::OnAnimationSelect(int index) {
    m_model->PlayAnimation(index < 0 ? 0u : static_cast<unsigned>(index));
    SetSliderPosition(kDefaultSpeed);
}

void CVellModelBrowserMainFrame::OnSpeedNotify() {
    m_model->SetSpeed(static_cast<float>(m_sliderSpeed->value()));
}

void CVellModelBrowserMainFrame::OnPartsButton() {
    const bool show = !(m_partsButton->TakeClickModifiers() & Qt::ControlModifier);
    const QList<QAction*> items = m_menuParts->actions();
    for (int n = 0; n < items.size(); ++n) {
        items[n]->setChecked(show);
        m_partChecked[static_cast<std::size_t>(n)] = show;
        m_model->SetSubMeshVisible(static_cast<unsigned>(n), show);
    }
}

bool CVellModelBrowserMainFrame::OnPartToggle(uint16_t id) {
    const QList<QAction*> items = m_menuParts->actions();
    if (items.isEmpty() || id < Cmd::kFirstPart || id >= Cmd::kFirstPart + items.size()) {
        return false;
    }
    const std::size_t n = id - Cmd::kFirstPart;
    // The remembered state decides, not the one Qt toggled before reporting the click.
    const bool show = !m_partChecked[n];
    m_partChecked[n] = show;
    items[static_cast<int>(n)]->setChecked(show);
    m_model->SetSubMeshVisible(static_cast<unsigned>(n), show);
    return true;
}

void CVellModelBrowserMainFrame::OnExportAnimate() {
    const int selection = m_comboAnimations->currentIndex();
    const unsigned count = m_model->GetFrameCount(selection < 0 ? 0u : unsigned(selection));
    if (count == 0) {
        return;
    }
    const MsgAnswer answer = ShowMessage({this, QStringLiteral("%1 pictures.").arg(count),
                                          QString(), MsgButtons::OkCancel, MsgIcon::Information});
    if (answer != MsgAnswer::Ok) {
        return;
    }
    const QString folder = PickFolder(this);
    if (folder.isEmpty()) {
        return;
    }

    // Draws and counts the exported frames: the wait cursor and the progress bar live
    // exactly as long as the export.
    class MyAnimate final : public Model::IAnimate {
    public:
        explicit MyAnimate(CVellModelBrowserMainFrame& frame)
            : m_frame(frame), m_progress(frame.m_progressPane, frame.m_progress) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            m_frame.m_view->makeCurrent();
        }
        ~MyAnimate() override { QApplication::restoreOverrideCursor(); }
        int GetWidth() override { return m_frame.m_view->Core().m_nWidth; }
        int GetHeight() override { return m_frame.m_view->Core().m_nHeight; }
        void Advance() override { Render::GetModel()->Update(); }
        void Render() override { m_frame.m_view->RenderFrame(); }
        void SetProgressRange(unsigned short low, unsigned short high) override {
            m_progress.SetRange(low, high);
        }
        void StepProgress() override { m_progress.Step(); }

    private:
        CVellModelBrowserMainFrame& m_frame;
        CProgress m_progress;
    };

    bool ok = false;
    try {
        MyAnimate animate(*this);
        ok = m_model->ExportFrames(folder.toStdString(), &animate);
    } catch (const Except& e) {
        ShowInfo(this, FromGbk(e.what()));
        return;
    }
    m_view->update();
    if (ok) {
        ShowInfo(this, QStringLiteral("export animate ok."));
    }
}

}  // namespace App
