#include "BonePicker.h"

#include <QMouseEvent>

#include "GlView.h"
#include "base/text.h"
#include "model/model.h"
#include "view/view.h"

namespace App {

CBonePicker::CBonePicker(CVellModelBrowserRenderView& view) : QObject(&view), m_view(view) {
    view.installEventFilter(this);
}

bool CBonePicker::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &m_view || (event->type() != QEvent::MouseButtonPress &&
                               event->type() != QEvent::MouseButtonRelease)) {
        return false;
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) {
        return false;
    }
    const QPoint at = mouse->position().toPoint();
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressedAt = at;
        m_pressed = true;
        return false;
    }
    // A drag turns the model; only a click picks.
    const bool click = m_pressed && at == m_pressedAt;
    m_pressed = false;
    if (click && (Model::showSkeleton || Model::bonesOnTop)) {
        const qreal ratio = m_view.devicePixelRatio();
        Q_EMIT BonePicked(m_view.Core().PickJoint(static_cast<float>(at.x() * ratio),
                                                  static_cast<float>(at.y() * ratio),
                                                  static_cast<float>(kPickRadius * ratio)));
    }
    return false;
}

QString BoneText(int index) {
    const std::vector<Model::BoneInfo> bones = View::GetModel()->GetBones();
    if (index < 0 || static_cast<std::size_t>(index) >= bones.size()) {
        return {};
    }
    const auto name = [&](std::size_t i) {
        return QString::fromStdString(Base::GbkToUtf8(bones[i].name)) +
               QStringLiteral("(%1)").arg(i);
    };
    const uint32_t parent = bones[static_cast<std::size_t>(index)].parent;
    const QString parentText = parent < bones.size() ? name(parent) : QString::fromUtf8("无");
    return QString::fromUtf8("骨骼 %1, 父骨骼 %2")
        .arg(name(static_cast<std::size_t>(index)), parentText);
}

}  // namespace App
