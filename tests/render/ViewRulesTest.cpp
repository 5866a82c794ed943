// The render view's camera formula and its mouse and key rules.
#include <gtest/gtest.h>

#include "RenderTestUtil.h"
#include "render/view.h"

namespace {

using Render::CRenderViewCore;
using Render::Key;
using Render::MouseEvent;
using Render::MouseKind;

MouseEvent Move(int x, int y, uint32_t keys) {
    return {MouseKind::Move, keys, x, y, 0};
}
MouseEvent Press(MouseKind kind, int x, int y) {
    return {kind, 0, x, y, 0};
}
MouseEvent Wheel(int delta) {
    return {MouseKind::Wheel, 0, 0, 0, delta};
}

class ViewRules : public ::testing::Test {
protected:
    void SetUp() override {
        Render::lastX = 0;
        Render::lastY = 0;
    }
    RenderTest::SavedSwitches m_saved;
    std::unique_ptr<Model::IVellModel> m_model = Render::CreateModel();
    CRenderViewCore m_view{m_model.get()};
};

TEST(CameraFormula, FramesTheWorkedExampleBox) {
    const float min[3] = {-1, 0, -1};
    const float max[3] = {1, 2, 1};
    const Render::Camera camera = Render::FrameBox(min, max, 4.0f / 3.0f, 0.0f);
    EXPECT_FLOAT_EQ(camera.x, 0.0f);
    EXPECT_FLOAT_EQ(camera.y, 1.0f);
    EXPECT_NEAR(camera.eyeZ, -2.799f, 0.0005f);
}

TEST(CameraFormula, PicksTheCandidateNearerZeroAndAddsTheZoom) {
    // A wide box in a square view: the aspect-scaled half width (-4) loses to the half
    // height (-1).
    const float min[3] = {-4, -1, 0};
    const float max[3] = {4, 1, 0};
    EXPECT_NEAR(Render::FrameBox(min, max, 1.0f, 0.0f).eyeZ, -3.73205f, 0.0005f);
    EXPECT_NEAR(Render::FrameBox(min, max, 1.0f, 5.0f).eyeZ, -3.73205f + 5.0f, 0.0005f);
    // In a view eight times wider than tall the half width scales to -0.5 and wins.
    EXPECT_NEAR(Render::FrameBox(min, max, 8.0f, 0.0f).eyeZ, -0.5f * 3.73205f, 0.0005f);
}

TEST(CameraFormula, EmptyModelBoxPutsTheEyeOnThePositiveSide) {
    const float min[3] = {10, 10, 10};
    const float max[3] = {-10, -10, -10};
    const Render::Camera camera = Render::FrameBox(min, max, 1.0f, 0.0f);
    EXPECT_FLOAT_EQ(camera.x, 0.0f);
    EXPECT_FLOAT_EQ(camera.y, 0.0f);
    EXPECT_NEAR(camera.eyeZ, 37.3205f, 0.005f);
}

TEST(TurnRule, TruncatingRemainderKeepsTheSign) {
    EXPECT_EQ(Render::Turn(359, 1), 0);
    EXPECT_EQ(Render::Turn(-359, -1), 0);
    EXPECT_EQ(Render::Turn(-1, -2), -3);
    EXPECT_EQ(Render::Turn(358, 2), 0);
    EXPECT_EQ(Render::Turn(-358, -3), -1);
}

TEST_F(ViewRules, ResetViewRestoresDefaults) {
    m_view.m_nRotX = 10;
    m_view.m_fPanY = 3;
    m_view.m_fZoom = -7;
    m_view.m_bShowAxes = false;
    m_view.m_clrBackground = 0x123456;
    m_view.ResetView();
    EXPECT_EQ(m_view.m_nRotX, 0);
    EXPECT_EQ(m_view.m_fPanY, 0.0f);
    EXPECT_EQ(m_view.m_fZoom, 0.0f);
    EXPECT_TRUE(m_view.m_bShowAxes);
    EXPECT_EQ(m_view.m_clrBackground, 0x3333B2u);
}

TEST_F(ViewRules, ResetCameraLeavesAxesAndBackground) {
    m_view.m_nRotZ = 5;
    m_view.m_fPanX = 1;
    m_view.m_bShowAxes = false;
    m_view.m_clrBackground = 0x010203;
    m_view.ResetCamera();
    EXPECT_EQ(m_view.m_nRotZ, 0);
    EXPECT_EQ(m_view.m_fPanX, 0.0f);
    EXPECT_FALSE(m_view.m_bShowAxes);
    EXPECT_EQ(m_view.m_clrBackground, 0x010203u);
}

TEST_F(ViewRules, LeftDragTurnsOneDegreePerMessage) {
    m_view.PreTranslateMessage(Press(MouseKind::LeftDown, 10, 10));
    // A drag of 100 pixels to the right in three messages.
    m_view.PreTranslateMessage(Move(40, 10, Render::kLeftButton));
    m_view.PreTranslateMessage(Move(80, 10, Render::kLeftButton));
    m_view.PreTranslateMessage(Move(110, 10, Render::kLeftButton));
    EXPECT_EQ(m_view.m_nRotY, 3);
    EXPECT_EQ(m_view.m_nRotX, 0);
    EXPECT_EQ(Render::lastX, 110);
    // Up the window (smaller y) turns X back; down turns it forward.
    m_view.PreTranslateMessage(Move(110, 0, Render::kLeftButton));
    EXPECT_EQ(m_view.m_nRotX, -1);
    m_view.PreTranslateMessage(Move(110, 50, Render::kLeftButton));
    EXPECT_EQ(m_view.m_nRotX, 0);
    EXPECT_EQ(Render::lastY, 50);
}

TEST_F(ViewRules, LeftDragNeedsExactlyTheLeftButton) {
    m_view.PreTranslateMessage(Press(MouseKind::LeftDown, 0, 0));
    m_view.PreTranslateMessage(Move(20, 20, Render::kLeftButton | Render::kShiftKey));
    m_view.PreTranslateMessage(Move(30, 30, Render::kLeftButton | Render::kControlKey));
    m_view.PreTranslateMessage(Move(40, 40, Render::kLeftButton | Render::kRightButton));
    m_view.PreTranslateMessage(Move(50, 50, 0));
    EXPECT_EQ(m_view.m_nRotX, 0);
    EXPECT_EQ(m_view.m_nRotY, 0);
    EXPECT_EQ(m_view.m_fPanX, 0.0f);
    // Moves that change nothing leave the last position alone.
    EXPECT_EQ(Render::lastX, 0);
    EXPECT_EQ(Render::lastY, 0);
}

TEST_F(ViewRules, FullTurnLeftComesBackToZero) {
    m_view.PreTranslateMessage(Press(MouseKind::LeftDown, 1000, 0));
    m_view.PreTranslateMessage(Move(999, 0, Render::kLeftButton));
    EXPECT_EQ(m_view.m_nRotY, -1);
    for (int x = 998; x >= 640; --x) {
        m_view.PreTranslateMessage(Move(x, 0, Render::kLeftButton));
    }
    EXPECT_EQ(m_view.m_nRotY, 0);  // -360 rem 360
}

TEST_F(ViewRules, RightDragPansHalfAUnitPerMessage) {
    m_view.PreTranslateMessage(Press(MouseKind::RightDown, 100, 100));
    m_view.PreTranslateMessage(Move(300, 100, Render::kRightButton));
    m_view.PreTranslateMessage(Move(301, 90, Render::kRightButton));
    EXPECT_FLOAT_EQ(m_view.m_fPanX, 1.0f);
    EXPECT_FLOAT_EQ(m_view.m_fPanY, 0.5f);  // up the window pans up
    m_view.PreTranslateMessage(Move(301, 95, Render::kRightButton));
    EXPECT_FLOAT_EQ(m_view.m_fPanY, 0.0f);
    m_view.PreTranslateMessage(Move(250, 95, Render::kRightButton | Render::kMiddleButton));
    EXPECT_FLOAT_EQ(m_view.m_fPanX, 1.0f);
    EXPECT_EQ(m_view.m_nRotY, 0);
}

TEST_F(ViewRules, PositionsAreSigned16Bit) {
    // 0xFFFF in the low word is -1: left of a press at 0.
    m_view.PreTranslateMessage(Press(MouseKind::LeftDown, 0x10000, 0));
    EXPECT_EQ(Render::lastX, 0);
    m_view.PreTranslateMessage(Move(0xFFFF, 0, Render::kLeftButton));
    EXPECT_EQ(m_view.m_nRotY, -1);
    EXPECT_EQ(Render::lastX, -1);
}

TEST_F(ViewRules, WheelStepsOncePerMessageWhateverTheDelta) {
    m_view.PreTranslateMessage(Wheel(120));
    EXPECT_FLOAT_EQ(m_view.m_fZoom, 5.0f);
    m_view.PreTranslateMessage(Wheel(240));
    EXPECT_FLOAT_EQ(m_view.m_fZoom, 10.0f);
    m_view.PreTranslateMessage(Wheel(-1));
    EXPECT_FLOAT_EQ(m_view.m_fZoom, 5.0f);
    m_view.PreTranslateMessage(Wheel(0));
    EXPECT_FLOAT_EQ(m_view.m_fZoom, 5.0f);
    m_view.PreTranslateMessage(Wheel(0xFF88));  // -120 in 16 bits
    EXPECT_FLOAT_EQ(m_view.m_fZoom, 0.0f);
}

TEST_F(ViewRules, EventsAreNeverConsumed) {
    EXPECT_FALSE(m_view.PreTranslateMessage(Wheel(120)));
    EXPECT_FALSE(m_view.PreTranslateMessage(Press(MouseKind::LeftDown, 1, 1)));
    EXPECT_FALSE(m_view.PreTranslateMessage(Move(5, 5, Render::kLeftButton)));
    EXPECT_FALSE(m_view.PreTranslateMessage({}));
}

TEST_F(ViewRules, LastPositionIsSharedByEveryView) {
    CRenderViewCore other(m_model.get());
    other.PreTranslateMessage(Press(MouseKind::RightDown, 70, 80));
    m_view.PreTranslateMessage(Move(71, 80, Render::kLeftButton));
    EXPECT_EQ(m_view.m_nRotY, 1);
}

TEST_F(ViewRules, Keys) {
    m_view.OnKeyDown(Key::Home);
    EXPECT_FLOAT_EQ(m_view.m_fZoom, 2.0f);
    m_view.OnKeyDown(Key::End);
    m_view.OnKeyDown(Key::End);
    EXPECT_FLOAT_EQ(m_view.m_fZoom, -2.0f);
    m_view.OnKeyDown(Key::Up);
    EXPECT_EQ(m_view.m_nRotX, -2);
    m_view.OnKeyDown(Key::Down);
    m_view.OnKeyDown(Key::Down);
    EXPECT_EQ(m_view.m_nRotX, 2);
    m_view.OnKeyDown(Key::Right);
    EXPECT_EQ(m_view.m_nRotZ, -2);
    m_view.OnKeyDown(Key::Left);
    m_view.OnKeyDown(Key::Left);
    EXPECT_EQ(m_view.m_nRotZ, 2);
    m_view.OnKeyDown(Key::PageUp);
    EXPECT_FLOAT_EQ(m_view.m_fPanY, -2.0f);
    m_view.OnKeyDown(Key::PageDown);
    m_view.OnKeyDown(Key::PageDown);
    EXPECT_FLOAT_EQ(m_view.m_fPanY, 2.0f);
    m_view.OnKeyDown(Key::Other);
    EXPECT_FLOAT_EQ(m_view.m_fPanY, 2.0f);
}

TEST_F(ViewRules, KeyTurnsWrapAtAFullTurn) {
    for (int i = 0; i < 180; ++i) {
        m_view.OnKeyDown(Key::Up);
    }
    EXPECT_EQ(m_view.m_nRotX, 0);
    for (int i = 0; i < 179; ++i) {
        m_view.OnKeyDown(Key::Left);
    }
    EXPECT_EQ(m_view.m_nRotZ, 358);
    m_view.OnKeyDown(Key::Left);
    EXPECT_EQ(m_view.m_nRotZ, 0);
}

TEST_F(ViewRules, EscapeAsksToCloseOnce) {
    int closes = 0;
    m_view.SetCloseRequest([&] { ++closes; });
    m_view.OnKeyDown(Key::Escape);
    EXPECT_EQ(closes, 1);
    m_view.OnKeyDown(Key::Home);
    EXPECT_EQ(closes, 1);
}

TEST_F(ViewRules, EscapeWithoutAWindowDoesNothing) {
    m_view.OnKeyDown(Key::Escape);
    EXPECT_EQ(m_view.m_fZoom, 0.0f);
}

}  // namespace
