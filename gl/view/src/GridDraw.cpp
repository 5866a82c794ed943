// The ground grid: lines every metre in the plane through the model's lowest point, fading
// with distance from the model, drawn before it so the model stands on them.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "model/model.h"
#include "view/view.h"

namespace View {
namespace {

constexpr float kGridGrey = 0.8f;

float Fade(float x, float z, float cx, float cz) {
    const float distance = std::hypot(x - cx, z - cz);
    return std::max(0.0f, 1.0f - distance / kGridReach);
}

void AddPiece(float x0, float z0, float x1, float z1, float ground, float cx, float cz,
              std::vector<float>& points, std::vector<float>& alpha) {
    points.insert(points.end(), {x0, ground, z0, x1, ground, z1});
    alpha.push_back(Fade(x0, z0, cx, cz));
    alpha.push_back(Fade(x1, z1, cx, cz));
}

}  // namespace

void GridLines(float x, float z, float ground, std::vector<float>& points,
               std::vector<float>& alpha) {
    points.clear();
    alpha.clear();
    // Lines stay on whole metres, so the grid doesn't slide when the model moves.
    const float firstX = std::ceil((x - kGridReach) / kGridSpacing) * kGridSpacing;
    const float firstZ = std::ceil((z - kGridReach) / kGridSpacing) * kGridSpacing;
    const int lines = static_cast<int>(2.0f * kGridReach / kGridSpacing) + 1;
    for (int i = 0; i < lines; ++i) {
        const float lineX = firstX + static_cast<float>(i) * kGridSpacing;
        const float lineZ = firstZ + static_cast<float>(i) * kGridSpacing;
        for (int j = 0; j + 1 < lines; ++j) {
            const float a = firstZ + static_cast<float>(j) * kGridSpacing;
            AddPiece(lineX, a, lineX, a + kGridSpacing, ground, x, z, points, alpha);
            const float b = firstX + static_cast<float>(j) * kGridSpacing;
            AddPiece(b, lineZ, b + kGridSpacing, lineZ, ground, x, z, points, alpha);
        }
    }
}

void CRenderViewCore::DrawGrid() {
    float min[3] = {0, 0, 0};
    float max[3] = {0, 0, 0};
    m_model->GetBoundingBox(min, max);
    // The model's box is drawn mirrored in x; its lowest point sets the ground.
    const float cx = -(min[0] + max[0]) * 0.5f;
    const float cz = (min[2] + max[2]) * 0.5f;
    const float ground = std::min(min[1], max[1]);
    static thread_local std::vector<float> points;
    static thread_local std::vector<float> alpha;
    GridLines(cx, cz, ground, points, alpha);
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Under the model: it never hides a part of the model.
    glDepthMask(GL_FALSE);
    glBegin(GL_LINES);
    for (std::size_t p = 0; p < alpha.size(); ++p) {
        glColor4f(kGridGrey, kGridGrey, kGridGrey, alpha[p]);
        glVertex3fv(&points[p * 3]);
    }
    glEnd();
    glPopAttrib();
}

}  // namespace View
