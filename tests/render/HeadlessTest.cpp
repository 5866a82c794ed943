// The headless context: drawing with the fixed-function pipeline into its framebuffer.
#include <algorithm>
#include <cstdlib>

#include "GlTest.h"
#include "TestUtil.h"

namespace {

void Quad(float depth, float r, float g, float b) {
    glColor3f(r, g, b);
    glBegin(GL_QUADS);
    glVertex3f(-1, -1, depth);
    glVertex3f(1, -1, depth);
    glVertex3f(1, 1, depth);
    glVertex3f(-1, 1, depth);
    glEnd();
}

class Headless : public ::testing::Test {
protected:
    RenderTest::Gl m_gl{64, 64};
    GlContext::Headless* m_context = &m_gl.Context();
};

}  // namespace

TEST_F(Headless, DrawsWithDepthTestIntoItsFramebuffer) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    Quad(-0.5f, 1, 0, 0);  // nearer
    Quad(0.5f, 0, 1, 0);   // farther, drawn later, hidden
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    std::vector<uint8_t> pixels = m_context->ReadPixels();
    ASSERT_EQ(pixels.size(), 64u * 64 * 4);
    EXPECT_EQ(pixels[0], 255);
    EXPECT_EQ(pixels[1], 0);
    EXPECT_EQ(pixels[(64 * 64 - 1) * 4], 255);
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GE(depthBits, 24);
}

TEST_F(Headless, ResizeChangesTheFramebufferAndViewport) {
    ASSERT_TRUE(m_context->Resize(10, 6));
    EXPECT_EQ(m_context->Width(), 10);
    EXPECT_EQ(m_context->Height(), 6);
    glClearColor(0, 0, 1, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT);
    std::vector<uint8_t> pixels = m_context->ReadPixels();
    ASSERT_EQ(pixels.size(), 10u * 6 * 4);
    EXPECT_EQ(pixels[pixels.size() - 2], 255);
    EXPECT_NEAR(pixels[pixels.size() - 1], 128, 1);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 10);
    EXPECT_EQ(viewport[3], 6);
    EXPECT_FALSE(m_context->Resize(0, 6));
}

TEST_F(Headless, ReadPixelsNumbersRowsFromTheBottom) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 64, 1);
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    std::vector<uint8_t> pixels = m_context->ReadPixels();
    EXPECT_EQ(pixels[0], 255);     // bottom row first
    EXPECT_EQ(pixels[64 * 4], 0);  // second row from the bottom
}

TEST_F(Headless, TwoContextsEachDrawIntoTheirOwnBuffers) {
    std::string error;
    auto other = GlContext::Headless::Create(8, 8, &error);
    ASSERT_NE(other, nullptr) << error;
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_TRUE(m_context->MakeCurrent());
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(m_context->ReadPixels()[0], 255);
    ASSERT_TRUE(other->MakeCurrent());
    EXPECT_EQ(other->ReadPixels()[1], 255);
    EXPECT_EQ(other->ReadPixels()[0], 0);
}

TEST(HeadlessWithoutEgl, CreateReturnsNullWithOneClearLine) {
    EXPECT_EQ(TestUtil::Run(HEADLESS_PROBE, {}).exitCode, 0);

    // An EGL dispatcher that finds no driver has no display to give.
    ::setenv("__EGL_VENDOR_LIBRARY_FILENAMES", "/nonexistent/egl-vendor.json", 1);
    TestUtil::RunResult run = TestUtil::Run(HEADLESS_PROBE, {});
    ::unsetenv("__EGL_VENDOR_LIBRARY_FILENAMES");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind("no OpenGL context: no EGL display (", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}
