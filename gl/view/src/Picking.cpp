// Picking a bone in the view: its joint projected with the camera of the last picture, the
// nearest to the pointer within a few pixels.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "model/model.h"
#include "view/view.h"

namespace View {

void CRenderViewCore::RememberCamera() {
    glGetDoublev(GL_MODELVIEW_MATRIX, m_modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, m_projection);
    glGetIntegerv(GL_VIEWPORT, m_viewport);
}

bool CRenderViewCore::JointOnScreen(std::size_t index, float& x, float& y) const {
    const std::vector<Model::BoneInfo> bones = m_model->GetBones();
    return index < bones.size() && Project(bones[index].joint, x, y);
}

bool CRenderViewCore::Project(const float joint[3], float& x, float& y) const {
    // The model is drawn mirrored in x.
    double wx = 0;
    double wy = 0;
    double wz = 0;
    if (gluProject(-joint[0], joint[1], joint[2], m_modelview, m_projection, m_viewport, &wx, &wy,
                   &wz) != GL_TRUE ||
        wz < 0.0 || wz > 1.0) {
        return false;
    }
    x = static_cast<float>(wx);
    y = static_cast<float>(m_viewport[1] + m_viewport[3] - wy);
    return true;
}

int CRenderViewCore::PickJoint(float x, float y, float radius) const {
    const std::vector<Model::BoneInfo> bones = m_model->GetBones();
    int nearest = -1;
    float best = radius;
    for (std::size_t i = 0; i < bones.size(); ++i) {
        float jx = 0;
        float jy = 0;
        if (!Project(bones[i].joint, jx, jy)) {
            continue;
        }
        // Of joints drawn at the same place the later one wins: it is drawn over the others.
        const float distance = std::hypot(jx - x, jy - y);
        if (distance <= best) {
            best = distance;
            nearest = static_cast<int>(i);
        }
    }
    return nearest;
}

}  // namespace View
