// The render view's camera formula and its mouse and key rules, as tables of inputs and
// the view they leave.
#include <gtest/gtest.h>

#include <tuple>
#include <variant>

#include "ViewGuard.h"
#include "view/view.h"

namespace {

using View::CRenderViewCore;
using View::Key;
using View::MouseEvent;
using View::MouseKind;
constexpr uint32_t kLeft = View::kLeftButton;
constexpr uint32_t kRight = View::kRightButton;

MouseEvent Move(int x, int y, uint32_t keys) {
    return {MouseKind::Move, keys, x, y, 0};
}
MouseEvent Press(MouseKind kind, int x, int y) {
    return {kind, 0, x, y, 0};
}
MouseEvent Wheel(int delta) {
    return {MouseKind::Wheel, 0, 0, 0, delta};
}

struct CameraCase {
    float min[3];
    float max[3];
    float aspect;
    float zoom;
    float x, y, eyeZ;
};

TEST(CameraFormula, FramesTheBox) {
    // clang-format off
    const CameraCase cases[] = {
        {{-1, 0, -1}, {1, 2, 1}, 4.0f / 3.0f, 0, 0, 1, -2.799f},
        // A wide box in a square view: the half height (-1) is nearer zero than the
        // aspect-scaled half width (-4); the zoom is added.
        {{-4, -1, 0}, {4, 1, 0}, 1, 0, 0, 0, -3.73205f},
        {{-4, -1, 0}, {4, 1, 0}, 1, 5, 0, 0, -3.73205f + 5},
        // Eight times wider than tall: the half width scales to -0.5 and wins.
        {{-4, -1, 0}, {4, 1, 0}, 8, 0, 0, 0, -0.5f * 3.73205f},
        // The empty model's box puts the eye on the positive side.
        {{10, 10, 10}, {-10, -10, -10}, 1, 0, 0, 0, 37.3205f},
    };
    // clang-format on
    for (const CameraCase& c : cases) {
        const View::Camera camera = View::FrameBox(c.min, c.max, c.aspect, c.zoom);
        EXPECT_FLOAT_EQ(camera.x, c.x);
        EXPECT_FLOAT_EQ(camera.y, c.y);
        EXPECT_NEAR(camera.eyeZ, c.eyeZ, 0.005f) << c.aspect << " " << c.zoom;
    }
}

using Input = std::variant<MouseEvent, Key>;

struct ViewCase {
    const char* name;
    std::vector<Input> inputs;
    int rotX, rotY, rotZ;
    float panX, panY, zoom;
    int lastX, lastY;  // where the shared last position ends
};

std::vector<Input> Repeat(Input input, int times) {
    return std::vector<Input>(static_cast<std::size_t>(times), input);
}

std::vector<Input> LeftSweep(int from, int to) {
    std::vector<Input> inputs = {Press(MouseKind::LeftDown, from, 0)};
    for (int x = from - 1; x >= to; --x) {
        inputs.push_back(Move(x, 0, kLeft));
    }
    return inputs;
}

void PrintTo(const ViewCase& row, std::ostream* os) {
    *os << row.name;
}

// clang-format off
const ViewCase kViewCases[] = {
    // One degree per message however far the mouse went; up the window turns X back.
    {"LeftDrag", {Press(MouseKind::LeftDown, 10, 10), Move(40, 10, kLeft), Move(80, 10, kLeft), Move(110, 10, kLeft), Move(110, 0, kLeft), Move(110, 50, kLeft)}, 0, 3, 0, 0, 0, 0, 110, 50},
    {"LeftDragUp", {Press(MouseKind::LeftDown, 0, 10), Move(0, 0, kLeft)}, -1, 0, 0, 0, 0, 0, 0, 0},
    // Any other button or key held with the left one is no drag; nothing moves.
    {"LeftDragNeedsOnlyTheLeftButton", {Press(MouseKind::LeftDown, 0, 0), Move(20, 20, kLeft | View::kShiftKey), Move(30, 30, kLeft | View::kControlKey), Move(40, 40, kLeft | kRight), Move(50, 50, 0)}, 0, 0, 0, 0, 0, 0, 0, 0},
    {"FullTurnLeftComesBackToZero", LeftSweep(1000, 640), 0, 0, 0, 0, 0, 0, 640, 0},
    {"OneStepLeft", LeftSweep(1000, 999), 0, -1, 0, 0, 0, 0, 999, 0},
    {"RightDragPansHalfAUnit", {Press(MouseKind::RightDown, 100, 100), Move(300, 100, kRight), Move(301, 90, kRight)}, 0, 0, 0, 1.0f, 0.5f, 0, 301, 90},
    {"RightDragDownAndLeft", {Press(MouseKind::RightDown, 100, 100), Move(99, 101, kRight), Move(50, 101, kRight | View::kMiddleButton)}, 0, 0, 0, -0.5f, -0.5f, 0, 99, 101},
    // Positions are signed 16-bit: 0xFFFF is -1, left of a press at 0x10000 (0).
    {"Signed16BitPositions", {Press(MouseKind::LeftDown, 0x10000, 0), Move(0xFFFF, 0, kLeft)}, 0, -1, 0, 0, 0, 0, -1, 0},
    {"WheelStepsOncePerMessage", {Wheel(120), Wheel(240), Wheel(-1), Wheel(0), Wheel(120)}, 0, 0, 0, 0, 0, 10, 0, 0},
    {"WheelDeltaIsSigned16Bit", {Wheel(0xFF88)}, 0, 0, 0, 0, 0, -5, 0, 0},
    {"HomeZoomsIn", {Key::Home}, 0, 0, 0, 0, 0, 2, 0, 0},
    {"EndZoomsOut", {Key::End}, 0, 0, 0, 0, 0, -2, 0, 0},
    {"UpTurnsXBack", {Key::Up}, -2, 0, 0, 0, 0, 0, 0, 0},
    {"DownTurnsX", {Key::Down}, 2, 0, 0, 0, 0, 0, 0, 0},
    {"RightTurnsZBack", {Key::Right}, 0, 0, -2, 0, 0, 0, 0, 0},
    {"LeftTurnsZ", {Key::Left}, 0, 0, 2, 0, 0, 0, 0, 0},
    {"PageUpPansDown", {Key::PageUp}, 0, 0, 0, 0, -2, 0, 0, 0},
    {"PageDownPansUp", {Key::PageDown}, 0, 0, 0, 0, 2, 0, 0, 0},
    {"OtherKeysAndEscapeWithoutAWindow", {Key::Other, Key::Escape}, 0, 0, 0, 0, 0, 0, 0, 0},
    {"KeyTurnsWrapAtAFullTurn", Repeat(Key::Up, 180), 0, 0, 0, 0, 0, 0, 0, 0},
    {"KeyTurnsBeforeTheWrap", Repeat(Key::Left, 179), 0, 0, 358, 0, 0, 0, 0, 0},
};
// clang-format on

class ViewRules : public ::testing::TestWithParam<ViewCase> {
protected:
    void SetUp() override {
        View::lastX = 0;
        View::lastY = 0;
    }
    RenderTest::SavedSwitches m_saved;
    std::unique_ptr<Model::IVellModel> m_model = View::CreateModel();
    CRenderViewCore m_view{m_model.get()};
};

TEST_P(ViewRules, InputsLeaveTheView) {
    const ViewCase& c = GetParam();
    for (const Input& input : c.inputs) {
        if (const auto* mouse = std::get_if<MouseEvent>(&input)) {
            EXPECT_FALSE(m_view.PreTranslateMessage(*mouse));  // never consumed
        } else {
            m_view.OnKeyDown(std::get<Key>(input));
        }
    }
    EXPECT_EQ(std::tuple(m_view.m_nRotX, m_view.m_nRotY, m_view.m_nRotZ),
              std::tuple(c.rotX, c.rotY, c.rotZ));
    EXPECT_FLOAT_EQ(m_view.m_fPanX, c.panX);
    EXPECT_FLOAT_EQ(m_view.m_fPanY, c.panY);
    EXPECT_FLOAT_EQ(m_view.m_fZoom, c.zoom);
    EXPECT_EQ(std::pair(View::lastX, View::lastY), std::pair(c.lastX, c.lastY));
}

INSTANTIATE_TEST_SUITE_P(Inputs, ViewRules, ::testing::ValuesIn(kViewCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ResetCamera leaves the axes and the background, ResetView restores them too.
TEST_F(ViewRules, ResetsAndTheSharedLastPosition) {
    for (const bool wholeView : {false, true}) {
        m_view.m_nRotZ = 5;
        m_view.m_fZoom = -7;
        m_view.m_bShowAxes = false;
        m_view.m_clrBackground = 0x010203;
        wholeView ? m_view.ResetView() : m_view.ResetCamera();
        EXPECT_EQ(m_view.m_nRotZ, 0);
        EXPECT_EQ(m_view.m_fZoom, 0.0f);
        EXPECT_EQ(m_view.m_bShowAxes, wholeView);
        EXPECT_EQ(m_view.m_clrBackground, wholeView ? 0x3333B2u : 0x010203u);
    }

    // Every view shares the last position: a press in one is where a drag in another starts.
    CRenderViewCore other(m_model.get());
    other.PreTranslateMessage(Press(MouseKind::RightDown, 70, 80));
    m_view.PreTranslateMessage(Move(71, 80, kLeft));
    EXPECT_EQ(m_view.m_nRotY, 1);

    int closes = 0;
    m_view.SetCloseRequest([&] { ++closes; });
    m_view.OnKeyDown(Key::Escape);
    m_view.OnKeyDown(Key::Home);
    EXPECT_EQ(closes, 1);
}

}  // namespace
