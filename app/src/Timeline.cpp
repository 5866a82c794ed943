#include "Timeline.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include "GlView.h"
#include "model/model.h"

namespace App {

namespace {

constexpr int kStripMargin = 2;

bool IsTimelineKey(const QKeyEvent& key) {
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier) {
        return false;
    }
    return key.key() == kPlayPauseKey || key.key() == kFrameBackKey ||
           key.key() == kFrameForwardKey;
}

}  // namespace

CTimeline::CTimeline(CVellModelBrowserRenderView& view, Model::IVellModel& model,
                     std::function<bool()> animationChosen)
    : QWidget(&view),
      m_view(view),
      m_model(model),
      m_animationChosen(std::move(animationChosen)),
      m_play(MakeButton(QString())),
      m_back(MakeButton(QString())),
      m_forward(MakeButton(QString())),
      m_slider(new QSlider(Qt::Horizontal, this)),
      m_label(new QLabel(this)),
      m_playIcon(style()->standardIcon(QStyle::SP_MediaPlay)),
      m_pauseIcon(style()->standardIcon(QStyle::SP_MediaPause)) {
    setObjectName(QStringLiteral("timeline"));
    setAutoFillBackground(true);
    m_back->setIcon(style()->standardIcon(QStyle::SP_MediaSeekBackward));
    m_forward->setIcon(style()->standardIcon(QStyle::SP_MediaSeekForward));
    // The keyboard stays with the view: its keys drive the timeline.
    m_slider->setFocusPolicy(Qt::NoFocus);
    m_slider->setTracking(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kStripMargin, kStripMargin, kStripMargin, kStripMargin);
    layout->addWidget(m_play);
    layout->addWidget(m_back);
    layout->addWidget(m_forward);
    layout->addWidget(m_slider, 1);
    layout->addWidget(m_label);
    connect(m_play, &QToolButton::clicked, this, &CTimeline::TogglePlay);
    connect(m_back, &QToolButton::clicked, this, [this] { Step(-1); });
    connect(m_forward, &QToolButton::clicked, this, [this] { Step(1); });
    // Every value the slider passes while dragged is a frame to show.
    connect(m_slider, &QSlider::valueChanged, this, &CTimeline::ShowFrame);
    view.installEventFilter(this);
    hide();
    Retranslate();
    Sync();
}

void CTimeline::Retranslate() {
    m_play->setToolTip(tr("播放/暂停 (Space)"));
    m_back->setToolTip(tr("上一帧 (,)"));
    m_forward->setToolTip(tr("下一帧 (.)"));
}

void CTimeline::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        Retranslate();
    }
    QWidget::changeEvent(event);
}

QToolButton* CTimeline::MakeButton(const QString& tip) {
    auto* button = new QToolButton(this);
    button->setToolTip(tip);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRaise(true);
    return button;
}

void CTimeline::Sync() {
    const Model::ModelState state = m_model.GetState();
    const bool shown = m_animationChosen() && state.frame >= 0 && state.lastFrame >= 0;
    if (shown) {
        const QSignalBlocker block(m_slider);
        m_slider->setRange(0, state.lastFrame);
        m_slider->setValue(state.frame);
        m_label->setText(QStringLiteral("%1 / %2").arg(state.frame).arg(state.lastFrame));
        const QIcon& icon = state.paused ? m_playIcon : m_pauseIcon;
        if (m_play->icon().cacheKey() != icon.cacheKey()) {
            m_play->setIcon(icon);
        }
        PlaceOnView();
    }
    setVisible(shown);
}

void CTimeline::PlaceOnView() {
    const int height = sizeHint().height();
    setGeometry(0, m_view.height() - height, m_view.width(), height);
    raise();
}

void CTimeline::TogglePlay() {
    if (!isVisible()) {
        return;
    }
    m_model.Pause(!m_model.GetState().paused);
    m_view.Redraw();
    Sync();
    Q_EMIT PlaybackChanged();
}

void CTimeline::Step(int delta) {
    const Model::ModelState state = m_model.GetState();
    if (!isVisible() || state.lastFrame < 0) {
        return;
    }
    const int count = state.lastFrame + 1;
    ShowFrame(((state.frame + delta) % count + count) % count);
}

void CTimeline::ShowFrame(int frame) {
    if (!isVisible()) {
        return;
    }
    m_model.SetFrame(frame);
    // Drawn now rather than at the next tick: a drag shows every frame it passes.
    m_view.Redraw();
    m_view.OnTimer();
    Sync();
    Q_EMIT PlaybackChanged();
}

bool CTimeline::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &m_view) {
        return false;
    }
    if (event->type() == QEvent::Resize && isVisible()) {
        PlaceOnView();
        return false;
    }
    if (event->type() != QEvent::KeyPress || !isVisible()) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!IsTimelineKey(*key)) {
        return false;
    }
    if (key->key() == kPlayPauseKey) {
        if (!key->isAutoRepeat()) {
            TogglePlay();
        }
    } else {
        Step(key->key() == kFrameForwardKey ? 1 : -1);
    }
    return true;
}

}  // namespace App
