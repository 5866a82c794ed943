// The timeline: a strip over the view's bottom edge, shown while an animation is chosen, with
// play/pause, one frame back and forward, a slider over the frames and the frame number. It
// lies over the view rather than beside it, so the view keeps its size (a frame export draws
// pictures of that size) and no picture drawn by the view shows it.
#pragma once

#include <QIcon>
#include <QWidget>
#include <functional>

class QLabel;
class QSlider;
class QToolButton;

namespace Model {
struct IVellModel;
}

namespace App {

class CVellModelBrowserRenderView;

// The view's keys for the timeline, with the view focused.
inline constexpr int kPlayPauseKey = Qt::Key_Space;
inline constexpr int kFrameBackKey = Qt::Key_Comma;
inline constexpr int kFrameForwardKey = Qt::Key_Period;

class CTimeline final : public QWidget {
    Q_OBJECT
public:
    // A child of `view`; `animationChosen` tells whether the animation list names one.
    CTimeline(CVellModelBrowserRenderView& view, Model::IVellModel& model,
              std::function<bool()> animationChosen);

    // Shown while an animation is chosen, with the model's frame, last frame and pause.
    void Sync();
    // Pauses on the frame shown, or plays on from it.
    void TogglePlay();
    // Holds the frame `delta` frames on, wrapping at the ends as playback does.
    void Step(int delta);
    // Holds `frame` and shows it at once.
    void ShowFrame(int frame);

    QToolButton* PlayButton() const { return m_play; }
    QToolButton* BackButton() const { return m_back; }
    QToolButton* ForwardButton() const { return m_forward; }
    QSlider* Slider() const { return m_slider; }
    QLabel* FrameLabel() const { return m_label; }

Q_SIGNALS:
    // The user moved playback (paused, resumed, stepped or scrubbed).
    void PlaybackChanged();

protected:
    // The view's timeline keys, and its size, which the strip follows.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The buttons' tool tips in the language in use.
    void Retranslate();
    void PlaceOnView();
    QToolButton* MakeButton(const QString& tip);

    CVellModelBrowserRenderView& m_view;
    Model::IVellModel& m_model;
    std::function<bool()> m_animationChosen;
    QToolButton* m_play;
    QToolButton* m_back;
    QToolButton* m_forward;
    QSlider* m_slider;
    QLabel* m_label;
    // Made once: a fresh icon from the style each frame would leave a pixmap in Qt's cache
    // for every frame shown.
    const QIcon m_playIcon;
    const QIcon m_pauseIcon;
};

}  // namespace App
