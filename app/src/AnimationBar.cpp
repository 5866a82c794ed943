#include "AnimationBar.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QSlider>
#include <QToolTip>

#include "CommandTable.h"
#include "base/text.h"
#include "model/model.h"

namespace App {

namespace {

constexpr int kToolControlWidth = 115;
constexpr int kAnimationDropWidth = 250;
constexpr int kSpeedMax = 120;

QString FromGbk(std::string_view text) {
    return QString::fromStdString(Base::GbkToUtf8(text));
}

}  // namespace

Qt::KeyboardModifiers CPartsButton::TakeClickModifiers() {
    const Qt::KeyboardModifiers modifiers =
        m_clicked ? m_clickModifiers : QGuiApplication::queryKeyboardModifiers();
    m_clicked = false;
    return modifiers;
}

void CPartsButton::mouseReleaseEvent(QMouseEvent* event) {
    m_clickModifiers = event->modifiers();
    m_clicked = true;
    QToolButton::mouseReleaseEvent(event);
    m_clicked = false;
}

CAnimationBar::CAnimationBar(QWidget* parent, QAction* partsAction, Model::IVellModel& model)
    : QObject(parent),
      m_model(model),
      m_list(new QComboBox(parent)),
      m_slider(new QSlider(Qt::Horizontal, parent)),
      m_partsMenu(new QMenu(parent)),
      m_partsButton(new CPartsButton(parent)) {
    m_list->setFixedWidth(kToolControlWidth);
    m_list->view()->setMinimumWidth(kAnimationDropWidth);
    m_list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(m_list, &QComboBox::activated, this, &CAnimationBar::OnAnimationSelect);

    m_slider->setFixedWidth(kToolControlWidth);
    m_slider->setRange(0, kSpeedMax);
    m_slider->setTickPosition(QSlider::NoTicks);
    m_slider->setFocusPolicy(Qt::TabFocus);
    connect(m_slider, &QSlider::valueChanged, this,
            [this](int value) { m_slider->setToolTip(QString::number(value)); });
    connect(m_slider, &QSlider::sliderMoved, this, [this](int value) {
        QToolTip::showText(QCursor::pos(), QString::number(value), m_slider);
    });
    m_slider->installEventFilter(this);

    m_partsButton->setDefaultAction(partsAction);
    m_partsButton->setMenu(m_partsMenu);
    m_partsButton->setPopupMode(QToolButton::MenuButtonPopup);
    m_partsButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_partsButton->setFixedWidth(kToolControlWidth);
    Reset();
    SetSliderPosition(kDefaultSpeed);
}

void CAnimationBar::Reset() {
    m_list->clear();
    m_list->addItem(QString::fromUtf8(kDefaultAnimation));
    m_list->setCurrentIndex(0);
}

bool CAnimationBar::ShowAnimations() {
    // Receives the animation names behind the list's first entry.
    class MyStrList final : public Model::IStringList {
    public:
        explicit MyStrList(QComboBox& list) : m_list(list) {
            m_list.clear();
            m_list.addItem(QString::fromUtf8(kDefaultAnimation));
            m_list.setCurrentIndex(-1);
        }
        void AddString(const std::string& name) override { m_list.addItem(FromGbk(name)); }

    private:
        QComboBox& m_list;
    };
    MyStrList list(*m_list);
    m_model.EnumAnimations(&list);
    if (m_list->count() < 2) {
        return false;
    }
    m_list->setCurrentIndex(1);
    m_model.PlayAnimation(1);
    SetSliderPosition(kDefaultSpeed);
    Q_EMIT PlaybackChanged();
    return true;
}

void CAnimationBar::SetSliderPosition(int position) {
    const QSignalBlocker block(m_slider);
    m_slider->setValue(position);
    m_slider->setToolTip(QString::number(position));
    m_slider->update();
}

void CAnimationBar::OnAnimationSelect(int index) {
    m_model.PlayAnimation(index < 0 ? 0u : static_cast<unsigned>(index));
    SetSliderPosition(kDefaultSpeed);
    Q_EMIT PlaybackChanged();
}

bool CAnimationBar::eventFilter(QObject* watched, QEvent* event) {
    // The slider lets go of the mouse: a drag of the handle or a click on the groove ends,
    // and the position it shows is final. Keys move it without reaching the model.
    if (watched == m_slider && event->type() == QEvent::MouseButtonRelease) {
        m_model.SetSpeed(static_cast<float>(m_slider->value()));
        Q_EMIT PlaybackChanged();
    }
    return false;
}

bool CAnimationBar::AnimationChosen() const {
    return m_list->currentIndex() > 0;
}

QString CAnimationBar::ChosenName() const {
    return AnimationChosen() ? m_list->currentText() : QString();
}

void CAnimationBar::RebuildParts() {
    // Receives the sub-mesh names: one checked item 1000 + n each.
    class MyStrList final : public Model::IStringList {
    public:
        explicit MyStrList(CAnimationBar& bar) : m_bar(bar) {
            m_bar.m_partsMenu->clear();
            m_bar.m_partChecked.clear();
        }
        void AddString(const std::string& name) override {
            const auto id = static_cast<uint16_t>(Cmd::kFirstPart + m_count);
            QAction* item = m_bar.m_partsMenu->addAction(FromGbk(name));
            item->setData(id);
            item->setCheckable(true);
            item->setChecked(true);
            QObject::connect(item, &QAction::triggered, &m_bar,
                             [bar = &m_bar, id] { Q_EMIT bar->PartCommand(id); });
            m_bar.m_partChecked.push_back(true);
            ++m_count;
        }

    private:
        CAnimationBar& m_bar;
        unsigned m_count = 0;
    };
    MyStrList list(*this);
    m_model.EnumSubMeshes(&list);
}

void CAnimationBar::OnPartsButton() {
    const bool show = !(m_partsButton->TakeClickModifiers() & Qt::ControlModifier);
    const QList<QAction*> items = m_partsMenu->actions();
    for (int n = 0; n < items.size(); ++n) {
        items[n]->setChecked(show);
        m_partChecked[static_cast<std::size_t>(n)] = show;
        m_model.SetSubMeshVisible(static_cast<unsigned>(n), show);
    }
}

bool CAnimationBar::TogglePart(uint16_t id) {
    const QList<QAction*> items = m_partsMenu->actions();
    if (items.isEmpty() || id < Cmd::kFirstPart || id >= Cmd::kFirstPart + items.size()) {
        return false;
    }
    const std::size_t n = id - Cmd::kFirstPart;
    // The remembered state decides, not the one Qt toggled before reporting the click.
    const bool show = !m_partChecked[n];
    m_partChecked[n] = show;
    items[static_cast<int>(n)]->setChecked(show);
    m_model.SetSubMeshVisible(static_cast<unsigned>(n), show);
    return true;
}

}  // namespace App
