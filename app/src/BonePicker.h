// Picking a bone with a click in the view while the skeleton is drawn: a left click that
// doesn't turn the model (no move between press and release) names the bone whose joint is
// nearest the pointer.
#pragma once

#include <QObject>
#include <QPoint>

namespace App {

class CVellModelBrowserRenderView;

// How near a joint a click must land, in logical pixels.
inline constexpr float kPickRadius = 8.0f;

class CBonePicker final : public QObject {
    Q_OBJECT
public:
    explicit CBonePicker(CVellModelBrowserRenderView& view);

Q_SIGNALS:
    // A click in the view while the skeleton is drawn: the bone under it, or -1.
    void BonePicked(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CVellModelBrowserRenderView& m_view;
    QPoint m_pressedAt;
    bool m_pressed = false;
};

// "骨骼 Bip01 Spine(3), 父骨骼 Bip01 Pelvis(2)": a bone as the status bar names it ("父骨骼 无"
// for a root), from the model's bones; empty for an index out of range.
QString BoneText(int index);

}  // namespace App
