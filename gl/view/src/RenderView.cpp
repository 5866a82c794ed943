#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "font/font.h"
#include "model/model.h"
#include "view/view.h"

namespace View {
namespace {

constexpr int32_t kFullTurn = 360;
constexpr float kFrameAngle = 0.2618f;  // 15 degrees in radians
constexpr float kWheelZoomStep = 5.0f;
constexpr float kKeyZoomStep = 2.0f;
constexpr int32_t kKeyTurnStep = 2;
constexpr float kKeyPanStep = 2.0f;
constexpr float kDragPanStep = 0.5f;
constexpr auto kThrottlePause = std::chrono::milliseconds(15);
constexpr char kFontFace[] = "Fixedsys";
constexpr int kFontHeight = 14;

int32_t Signed16(int32_t value) {
    return static_cast<int16_t>(static_cast<uint16_t>(value));
}

float ColorByte(uint32_t color, int shift) {
    return static_cast<float>((color >> shift) & 0xFF) / 255.0f;
}

}  // namespace

Camera FrameBox(const float min[3], const float max[3], float aspect, float zoom) {
    // The distance at which a half-extent of 1 fills a 15-degree half angle.
    const float sine = std::sin(kFrameAngle);
    const float distance = std::sqrt(1.0f / (sine * sine) - 1.0f);
    Camera camera;
    camera.x = max[0] + 0.5f * (min[0] - max[0]);
    camera.y = max[1] + 0.5f * (min[1] - max[1]);
    const float halfHeight = 0.5f * (min[1] - max[1]);
    const float halfWidth = (min[0] - max[0]) / (2.0f * aspect);
    camera.eyeZ = std::max(halfHeight, halfWidth) * distance + zoom;
    return camera;
}

int32_t Turn(int32_t angle, int32_t step) {
    return (angle + step) % kFullTurn;
}

CRenderViewCore::CRenderViewCore(Model::IVellModel* model, Font::IFont* font)
    : m_model(model ? model : GetModel()), m_font(font ? font : Font::GetFont()) {}

void CRenderViewCore::InitGL() {
    glEnable(GL_LINE_SMOOTH);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glShadeModel(GL_SMOOTH);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    m_font->Create(kFontFace, kFontHeight);
}

void CRenderViewCore::ResetView() {
    ResetCamera();
    m_bShowAxes = true;
    m_clrBackground = kDefaultBackground;
}

void CRenderViewCore::ResetCamera() {
    m_nRotX = m_nRotY = m_nRotZ = 0;
    m_fPanX = m_fPanY = m_fZoom = 0;
    m_fRotXExtra = m_fRotYExtra = 0;
}

bool CRenderViewCore::Render() {
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glDisable(GL_CULL_FACE);

    const bool enabled = m_model->IsDrawEnabled();
    glClearColor(ColorByte(m_clrBackground, 16), ColorByte(m_clrBackground, 8),
                 ColorByte(m_clrBackground, 0), ColorByte(m_clrBackground, 24));
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, m_nWidth, m_nHeight);
    SetProjection(m_fAspect);
    PlaceCamera();
    RememberCamera();
    if (m_bShowGrid) {
        DrawGrid();
    }
    if (enabled) {
        m_model->Draw();
    }
    if (m_bShowAxes) {
        DrawAxes(kAxisLength);
    }
    return true;
}

bool CRenderViewCore::RenderFrame() {
    if (m_makeCurrent) {
        m_makeCurrent();
    }
    Render();
    glFlush();
    if (m_swap) {
        m_swap();
    }
    return true;
}

void CRenderViewCore::OnSize(int width, int height) {
    m_nWidth = width;
    m_nHeight = height;
    const int viewHeight = height == 0 ? 1 : height;
    m_fAspect = static_cast<float>(width) / static_cast<float>(viewHeight);
    glViewport(0, 0, width, viewHeight);
    SetProjection(m_fAspect);
    glLoadIdentity();
}

bool CRenderViewCore::OnTimer() {
    if (!m_bActive) {
        return false;
    }
    // The frame shown is drawn before the animation advances.
    const bool draw = !m_bDrawOnChange || m_bDirty;
    if (draw) {
        m_bDirty = false;
        if (m_bDrawOnChange) {
            m_nShownFrame = m_model->GetState().frame;
        }
        RenderFrame();
    }
    m_model->Update();
    if (m_bDrawOnChange && m_model->GetState().frame != m_nShownFrame) {
        m_bDirty = true;
    }
    // Throttled, every frame drawn ends with the pause; a tick that draws nothing needs none.
    if (draw && m_bThrottle) {
        std::this_thread::sleep_for(kThrottlePause);
    }
    return draw;
}

bool CRenderViewCore::PreTranslateMessage(const MouseEvent& event) {
    const int32_t x = Signed16(event.x);
    const int32_t y = Signed16(event.y);
    switch (event.kind) {
        case MouseKind::Wheel:
            if (Signed16(event.wheelDelta) > 0) {
                m_fZoom += kWheelZoomStep;
            } else if (Signed16(event.wheelDelta) < 0) {
                m_fZoom -= kWheelZoomStep;
            }
            break;
        case MouseKind::LeftDown:
        case MouseKind::RightDown:
            lastX = x;
            lastY = y;
            break;
        case MouseKind::Move:
            if (event.keyState == kLeftButton) {
                OnLeftDrag(x, y);
            } else if (event.keyState == kRightButton) {
                OnRightDrag(x, y);
            }
            break;
        case MouseKind::Other:
            break;
    }
    return false;
}

void CRenderViewCore::OnKeyDown(Key key) {
    switch (key) {
        case Key::Escape:
            if (m_close) {
                m_close();
            }
            break;
        case Key::Home:
            m_fZoom += kKeyZoomStep;
            break;
        case Key::End:
            m_fZoom -= kKeyZoomStep;
            break;
        case Key::Up:
            m_nRotX = Turn(m_nRotX, -kKeyTurnStep);
            break;
        case Key::Down:
            m_nRotX = Turn(m_nRotX, kKeyTurnStep);
            break;
        case Key::Right:
            m_nRotZ = Turn(m_nRotZ, -kKeyTurnStep);
            break;
        case Key::Left:
            m_nRotZ = Turn(m_nRotZ, kKeyTurnStep);
            break;
        case Key::PageUp:
            m_fPanY -= kKeyPanStep;
            break;
        case Key::PageDown:
            m_fPanY += kKeyPanStep;
            break;
        case Key::Other:
            break;
    }
}

void CRenderViewCore::SetProjection(float aspect) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(kFieldOfView, aspect, kNearPlane, kFarPlane);
    glMatrixMode(GL_MODELVIEW);
}

void CRenderViewCore::PlaceCamera() {
    float min[3] = {0, 0, 0};
    float max[3] = {0, 0, 0};
    m_model->GetBoundingBox(min, max);
    glLoadIdentity();
    const Camera camera = FrameBox(min, max, m_fAspect, m_fZoom);
    gluLookAt(camera.x, camera.y, camera.eyeZ, camera.x, camera.y, 0.0, 0.0, 1.0, 0.0);
    glTranslatef(m_fPanX, m_fPanY, 0.0f);
    glRotatef(static_cast<float>(m_nRotX) + m_fRotXExtra, 1.0f, 0.0f, 0.0f);
    glRotatef(static_cast<float>(m_nRotY) + m_fRotYExtra, 0.0f, 1.0f, 0.0f);
    glRotatef(static_cast<float>(m_nRotZ), 0.0f, 0.0f, 1.0f);
}

void CRenderViewCore::DrawAxes(float length) {
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_FOG);
    constexpr float kRed[3] = {1, 0, 0};
    constexpr float kGreen[3] = {0, 1, 0};
    constexpr float kBlue[3] = {0, 0, 1};
    glBegin(GL_LINES);
    glColor3fv(kRed);
    glVertex3f(0, 0, 0);
    glVertex3f(length, 0, 0);
    glColor3fv(kGreen);
    glVertex3f(0, 0, 0);
    glVertex3f(0, length, 0);
    glColor3fv(kBlue);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 0, length);
    glEnd();
    const float xEnd[3] = {length, 0, 0};
    const float yEnd[3] = {0, length, 0};
    const float zEnd[3] = {0, 0, length};
    m_font->Printf3D(xEnd, kRed, "X");
    m_font->Printf3D(yEnd, kGreen, "Y");
    m_font->Printf3D(zEnd, kBlue, "Z");
}

// One degree per event, whatever the distance moved.
void CRenderViewCore::OnLeftDrag(int32_t x, int32_t y) {
    if (x > lastX) {
        m_nRotY = Turn(m_nRotY, 1);
        lastX = x;
    } else if (x < lastX) {
        m_nRotY = Turn(m_nRotY, -1);
        lastX = x;
    }
    if (y < lastY) {
        m_nRotX = Turn(m_nRotX, -1);
        lastY = y;
    } else if (y > lastY) {
        m_nRotX = Turn(m_nRotX, 1);
        lastY = y;
    }
}

void CRenderViewCore::OnRightDrag(int32_t x, int32_t y) {
    if (x > lastX) {
        m_fPanX += kDragPanStep;
        lastX = x;
    } else if (x < lastX) {
        m_fPanX -= kDragPanStep;
        lastX = x;
    }
    if (y < lastY) {
        m_fPanY += kDragPanStep;
        lastY = y;
    } else if (y > lastY) {
        m_fPanY -= kDragPanStep;
        lastY = y;
    }
}

}  // namespace View
