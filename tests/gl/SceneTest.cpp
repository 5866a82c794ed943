// The render view's scene in a real GL context: clear colour, size rule, axes and their
// labels, the frame timer's order of work.
#include <gtest/gtest.h>

#include "ViewGuard.h"

namespace {

using RenderTest::Rgba;

constexpr int kSide = 200;

class Scene : public RenderTest::ViewTest {
protected:
    Scene() : ViewTest(kSide, kSide) {}
    // Pixels of that colour within `radius` of the point.
    int Around(RenderTest::Point p, const Rgba& colour, int radius = 1) const {
        return m_gl.Count(p.x - radius, p.y - radius, p.x + radius, p.y + radius,
                          [&](const Rgba& q) { return RenderTest::Near(q, colour, 40); });
    }
};

constexpr Rgba kRed = {255, 0, 0, 255};
constexpr Rgba kGreen = {0, 255, 0, 255};
constexpr Rgba kBlue = {0, 0, 255, 255};

// The empty model draws nothing, keeps the matrix stack, and leaves lighting, texturing and
// culling off.
TEST_F(Scene, ClearsToTheBackgroundColour) {
    m_view.m_bShowAxes = false;
    GLint before = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &before);
    for (const GLenum s : {GL_LIGHTING, GL_CULL_FACE, GL_TEXTURE_2D}) {
        glEnable(s);
    }
    Picture();
    GLint after = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &after);
    EXPECT_EQ(before, after);
    for (const GLenum s : {GL_LIGHTING, GL_CULL_FACE, GL_TEXTURE_2D}) {
        EXPECT_FALSE(glIsEnabled(s)) << s;
    }
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(m_gl.CountAll(RenderTest::IsBackground), kSide * kSide);
    EXPECT_EQ(m_gl.Pixel(0, 0)[3], 0);  // the colour's top byte is the clear alpha

    m_view.m_clrBackground = 0xFF102030;
    Picture();
    EXPECT_EQ(m_gl.Pixel(7, 9), (Rgba{0x10, 0x20, 0x30, 0xFF}));
}

// The empty model's box puts the eye on +Z, looking at the origin: red runs right, green
// up, each labelled beside its end; blue shows when turned sideways; a pan moves them.
TEST_F(Scene, AxesAndTheirLabels) {
    Picture();
    const RenderTest::Point origin = RenderTest::ScreenOf(0, 0, 0, false);
    const RenderTest::Point xMiddle = RenderTest::ScreenOf(5, 0, 0, false);
    const RenderTest::Point yMiddle = RenderTest::ScreenOf(0, 5, 0, false);
    EXPECT_NEAR(origin.x, kSide / 2, 1);
    EXPECT_NEAR(origin.y, kSide / 2, 1);
    EXPECT_GT(xMiddle.x, origin.x + 10);
    EXPECT_GT(yMiddle.y, origin.y + 10);
    EXPECT_GT(Around(xMiddle, kRed), 0);
    EXPECT_GT(Around(yMiddle, kGreen), 0);
    EXPECT_EQ(Around(xMiddle, kGreen), 0);
    EXPECT_TRUE(RenderTest::IsBackground(m_gl.Pixel(5, 5)));
    const RenderTest::Point xEnd = RenderTest::ScreenOf(10, 0, 0, false);
    const RenderTest::Point yEnd = RenderTest::ScreenOf(0, 10, 0, false);
    const auto red = [](const Rgba& p) { return RenderTest::Near(p, kRed, 40); };
    const auto green = [](const Rgba& p) { return RenderTest::Near(p, kGreen, 40); };
    // The glyphs rise from the raster position, clear of the lines; nothing red beyond.
    EXPECT_GT(m_gl.Count(xEnd.x, xEnd.y + 2, xEnd.x + 12, xEnd.y + 14, red), 4);
    EXPECT_GT(m_gl.Count(yEnd.x + 2, yEnd.y, yEnd.x + 12, yEnd.y + 14, green), 4);
    EXPECT_EQ(m_gl.Count(xEnd.x + 20, 0, kSide - 1, kSide - 1, red), 0);

    m_view.m_fPanX = 5;
    Picture();
    const RenderTest::Point panned = RenderTest::ScreenOf(0, 5, 0, false);
    EXPECT_GT(panned.x, yMiddle.x + 10);
    EXPECT_GT(Around(panned, kGreen), 0);
    m_view.m_nRotY = 90;
    Picture();
    const RenderTest::Point zMiddle = RenderTest::ScreenOf(0, 0, 5, false);
    EXPECT_GT(Around(zMiddle, kBlue), 0);
    EXPECT_EQ(Around(zMiddle, kRed), 0);
}

// A height of 0 gives a viewport 1 high until drawn.
TEST_F(Scene, SizeOfNoHeightSetsAViewport) {
    m_view.OnSize(320, 0);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[3], 1);
    m_view.Render();
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 320);
    EXPECT_EQ(viewport[3], 0);
}

// RenderFrame presents once, Render never; the timer draws, then advances, only when active.
TEST_F(Scene, PresentingAndTheTimersOrderOfWork) {
    int swaps = 0;
    std::vector<int> swapsAtUpdate;
    m_view.SetSwapBuffers([&] { ++swaps; });
    m_model.SetClock([&] {
        swapsAtUpdate.push_back(swaps);
        return 0u;
    });
    EXPECT_TRUE(m_view.Render());
    EXPECT_EQ(swaps, 0);
    EXPECT_TRUE(m_view.RenderFrame());
    EXPECT_EQ(swaps, 1);
    m_view.OnTimer();
    EXPECT_EQ(swaps, 1);  // inactive: nothing drawn, nothing advanced
    EXPECT_TRUE(swapsAtUpdate.empty());
    m_view.m_bActive = true;
    m_view.OnTimer();
    m_view.m_bThrottle = true;
    m_view.OnTimer();
    EXPECT_EQ(swaps, 3);
    EXPECT_EQ(swapsAtUpdate, (std::vector<int>{2, 3}));
}

// Drawing on change: a tick draws when told the picture changed, or when the tick before
// moved the animation to another frame; the context is made current before each drawing.
TEST_F(Scene, DrawOnChangeDrawsNewFramesAndWhatWasInvalidated) {
    Load(SceneFiles::Scene{});
    uint32_t tick = 1000;
    m_model.SetClock([&] { return tick; });
    m_model.Update();  // the clock's first reading
    m_model.PlayAnimation(1);
    int current = 0;
    int swaps = 0;
    m_view.SetMakeCurrent([&] { ++current; });
    m_view.SetSwapBuffers([&] { ++swaps; });
    m_view.SetDrawOnChange(true);
    m_view.m_bActive = true;
    EXPECT_TRUE(m_view.OnTimer());   // the first picture
    EXPECT_FALSE(m_view.OnTimer());  // the same frame
    m_view.Invalidate();
    EXPECT_TRUE(m_view.OnTimer());
    tick += 40;  // 2.4 frames on: drawn at the next tick
    EXPECT_FALSE(m_view.OnTimer());
    EXPECT_TRUE(m_view.OnTimer());
    EXPECT_EQ(m_view.ShownFrame(), 2);
    EXPECT_FALSE(m_view.OnTimer());
    EXPECT_EQ(swaps, 3);
    EXPECT_EQ(current, swaps);
}

}  // namespace
