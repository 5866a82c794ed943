// The render view's core, free of any window toolkit: the camera, the scene drawn each
// frame, the frame timer's work and the mouse and key rules. A window (the Qt widget) or
// the headless frame exporter owns the GL context and feeds this its events.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace Model {
struct IVellModel;
struct IModelRenderer;
}  // namespace Model
namespace Font {
struct IFont;
}

namespace View {

// A model object (reading through PakMgr::GetPakMgr()) that draws with the current GL
// context, making its textures in the context's store at the first draw there.
std::unique_ptr<Model::IVellModel> CreateModel();
// The program's one such model.
Model::IVellModel* GetModel();
// The drawing half such models are made with, for models built by hand.
std::unique_ptr<Model::IModelRenderer> CreateRenderer();

// Buttons and modifier keys held during a mouse event.
inline constexpr uint32_t kLeftButton = 0x0001;
inline constexpr uint32_t kRightButton = 0x0002;
inline constexpr uint32_t kShiftKey = 0x0004;
inline constexpr uint32_t kControlKey = 0x0008;
inline constexpr uint32_t kMiddleButton = 0x0010;

enum class MouseKind { Move, LeftDown, RightDown, Wheel, Other };

struct MouseEvent {
    MouseKind kind = MouseKind::Other;
    uint32_t keyState = 0;  // the k...Button and k...Key flags held
    // Window position; only the low 16 bits count, read as signed.
    int32_t x = 0;
    int32_t y = 0;
    int32_t wheelDelta = 0;  // only the low 16 bits count, read as signed
};

enum class Key { Escape, Home, End, Up, Down, Left, Right, PageUp, PageDown, Other };

// The last mouse position, shared by every view of the process: written by button presses
// and by every move that changes the camera.
inline int32_t lastX = 0;
inline int32_t lastY = 0;

inline constexpr uint32_t kDefaultBackground = 0x3333B2;  // 0x00RRGGBB
inline constexpr float kAxisLength = 10.0f;
inline constexpr double kFieldOfView = 45.0;
inline constexpr double kNearPlane = 10.0;
inline constexpr double kFarPlane = 50000.0;
// The ground grid: a line every metre (100 units), fading out this far from the model.
inline constexpr float kGridSpacing = 100.0f;
inline constexpr float kGridReach = 2000.0f;

// The grid's lines in the ground plane (y = ground) within kGridReach of (x, z), on the
// multiples of kGridSpacing, each cut into one-spacing pieces: pairs of points, x y z each,
// with each point's opacity (1 at the centre, 0 at the reach) in `alpha`.
void GridLines(float x, float z, float ground, std::vector<float>& points,
               std::vector<float>& alpha);

// Where the camera stands to frame a bounding box: it looks from (x, y, eyeZ) at (x, y, 0).
struct Camera {
    float x = 0;
    float y = 0;
    float eyeZ = 0;
};
Camera FrameBox(const float min[3], const float max[3], float aspect, float zoom);

// An angle in degrees turned by `step`, reduced by the truncating remainder by 360: the
// result keeps its sign and stays strictly between -360 and 360.
int32_t Turn(int32_t angle, int32_t step);

class CRenderViewCore {
public:
    // Null arguments mean the program's one model and one font.
    explicit CRenderViewCore(Model::IVellModel* model = nullptr, Font::IFont* font = nullptr);

    // How a drawn frame is presented; RenderFrame calls it after glFlush.
    void SetSwapBuffers(std::function<void()> swap) { m_swap = std::move(swap); }
    // What RenderFrame does first: a window that shares its thread makes its context current.
    void SetMakeCurrent(std::function<void()> makeCurrent) {
        m_makeCurrent = std::move(makeCurrent);
    }
    // With draw-on-change a timer tick draws only when the picture would differ from the one
    // shown: after Invalidate, or when the tick before moved the animation to another frame.
    // Without it (the default) every active tick draws.
    void SetDrawOnChange(bool on) { m_bDrawOnChange = on; }
    // Something the picture shows changed: the next tick draws.
    void Invalidate() { m_bDirty = true; }
    // The animation frame of the last picture the timer drew (-1: none was playing).
    int ShownFrame() const { return m_nShownFrame; }
    // How Escape asks the top-level window to close.
    void SetCloseRequest(std::function<void()> close) { m_close = std::move(close); }

    // The fixed GL state and the font's glyph lists; once, with the context current.
    void InitGL();
    void ResetView();
    void ResetCamera();
    // Draws the whole scene into the current draw buffer without presenting it.
    bool Render();
    // Render, glFlush, then the swap callback.
    bool RenderFrame();
    void OnSize(int width, int height);
    // One tick of the frame timer: draw, then advance the animation, then the optional pause.
    // True when it drew.
    bool OnTimer();
    // The mouse camera. Always false: the event still goes on to normal handling.
    bool PreTranslateMessage(const MouseEvent& event);
    void OnKeyDown(Key key);
    // Where the last Render drew the joint of bone `index`: window pixels from the top left.
    // False when there is no such bone or it lies behind the eye.
    bool JointOnScreen(std::size_t index, float& x, float& y) const;
    // The bone whose joint the last Render drew nearest to (x, y) (window pixels from the top
    // left), within `radius` pixels; -1 when none is that near.
    int PickJoint(float x, float y, float radius) const;

    int32_t m_nWidth = 0;
    int32_t m_nHeight = 0;
    float m_fAspect = 1.0f;
    int32_t m_nRotX = 0;
    int32_t m_nRotY = 0;
    int32_t m_nRotZ = 0;
    float m_fPanX = 0;
    float m_fPanY = 0;
    float m_fZoom = 0;
    bool m_bActive = false;
    bool m_bThrottle = false;
    bool m_bShowAxes = true;
    uint32_t m_clrBackground = kDefaultBackground;
    // Inspection aids, all off at start so that the picture is the plain one.
    bool m_bShowGrid = false;  // the ground grid under the model
    // Turns in degrees added to m_nRotX and m_nRotY, fractions allowed, for pictures drawn
    // from a camera of their own (a turntable's steps); the view's input leaves them alone.
    float m_fRotXExtra = 0;
    float m_fRotYExtra = 0;

private:
    void SetProjection(float aspect);
    void PlaceCamera();
    void DrawAxes(float length);
    void DrawGrid();
    void RememberCamera();
    bool Project(const float joint[3], float& x, float& y) const;
    void OnLeftDrag(int32_t x, int32_t y);
    void OnRightDrag(int32_t x, int32_t y);

    Model::IVellModel* m_model;
    Font::IFont* m_font;
    // The camera of the last Render, for picking.
    double m_modelview[16] = {};
    double m_projection[16] = {};
    int m_viewport[4] = {};
    std::function<void()> m_swap;
    std::function<void()> m_makeCurrent;
    bool m_bDrawOnChange = false;
    bool m_bDirty = true;
    int m_nShownFrame = -1;
    std::function<void()> m_close;
};

}  // namespace View
