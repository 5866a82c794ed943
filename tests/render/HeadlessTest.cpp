// The headless context: the fixed-function pipeline with a depth buffer drawing into its own
// framebuffer, read back bottom row first. (Without EGL: the vell table's rows.)
#include "GlTest.h"

TEST(Headless, ContextsDrawDepthTestedIntoTheirOwnBottomUpBuffers) {
    RenderTest::Gl gl(64, 64);
    ASSERT_TRUE(gl.Ok());
    std::string error;
    auto other = GlContext::Headless::Create(8, 8, &error);
    ASSERT_NE(other, nullptr) << error;
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_TRUE(gl.Context().MakeCurrent());
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 64, 1);  // the bottom row only
    for (const auto& [depth, red] : {std::pair{-0.5f, 1.0f}, {0.5f, 0.5f}}) {  // the far one hides
        glColor3f(red, 0, 0);
        glBegin(GL_QUADS);
        for (const auto& [x, y] : {std::pair{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}) {
            glVertex3f(static_cast<float>(x), static_cast<float>(y), depth);
        }
        glEnd();
    }
    glDisable(GL_SCISSOR_TEST);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    gl.Read();
    EXPECT_EQ(gl.Pixel(63, 0), (RenderTest::Rgba{255, 0, 0, 255}));
    EXPECT_EQ(gl.Pixel(0, 1), (RenderTest::Rgba{0, 0, 0, 255}));
    ASSERT_TRUE(other->MakeCurrent());
    EXPECT_EQ(other->ReadPixels()[1], 255);
}
