// The bitmap font in a real GL context: its display lists, where texts land, and the
// state it changes.
#include <gtest/gtest.h>

#include <string>

#include "GlTest.h"
#include "font/font.h"

namespace {

using RenderTest::Rgba;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr float kYellow[3] = {1, 1, 0};
constexpr float kOrigin[3] = {0, 0, 0};

class FontTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_gl.Ok());
        m_font.Create("Fixedsys", 14);
        glViewport(0, 0, kWidth, kHeight);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    static float RasterX() {
        GLfloat position[4] = {};
        glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
        return position[0];
    }
    static bool Lit(const Rgba& p) { return p[0] > 0 || p[1] > 0 || p[2] > 0; }

    RenderTest::Gl m_gl{kWidth, kHeight};
    Font::CSimpleFont m_font;
};

TEST_F(FontTest, BuildsListsForCodes0To254Only) {
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(glIsList(Font::kFirstList));
    EXPECT_TRUE(glIsList(Font::kFirstList + 'A'));
    EXPECT_TRUE(glIsList(Font::kFirstList + 254));
    EXPECT_FALSE(glIsList(Font::kFirstList + 255));
    EXPECT_FALSE(glIsList(Font::kFirstList - 1));
}

TEST_F(FontTest, Printf2DPutsTheTextAtTheBottomLeftOfTheGrid) {
    EXPECT_EQ(m_font.Printf2D(0, 0, kYellow, "%s", "AW"), 2);
    m_gl.Read();
    const int near = m_gl.Count(0, 0, 24, 16, Lit);
    EXPECT_GT(near, 10);
    EXPECT_EQ(m_gl.CountAll(Lit), near);
    EXPECT_TRUE(RenderTest::Near(m_gl.Pixel(0, 0), {0, 0, 0, 0}));
    const int yellow = m_gl.Count(
        0, 0, 24, 16, [](const Rgba& p) { return p[0] == 255 && p[1] == 255 && p[2] == 0; });
    EXPECT_EQ(yellow, near);
}

TEST_F(FontTest, Printf2DScalesTheGridNotTheGlyphs) {
    // Grid (320, 240) is the middle of a 640 x 480 grid, whatever the viewport.
    m_font.Printf2D(320, 240, kYellow, "X");
    m_gl.Read();
    EXPECT_GT(m_gl.Count(kWidth / 2 - 2, kHeight / 2 - 2, kWidth / 2 + 12, kHeight / 2 + 14, Lit),
              6);
    EXPECT_EQ(m_gl.Count(0, 0, kWidth / 2 - 4, kHeight - 1, Lit), 0);
}

TEST_F(FontTest, GlyphsAdvanceByOneCellEach) {
    m_font.Printf2D(100, 100, kYellow, "ii");
    const float afterNarrow = RasterX();
    m_font.Printf2D(100, 100, kYellow, "WW");
    const float afterWide = RasterX();
    m_font.Printf2D(100, 100, kYellow, "%c%c", 1, 2);  // control codes only advance
    const float afterControl = RasterX();
    m_font.Printf2D(100, 100, kYellow, "W");
    const float afterOne = RasterX();
    EXPECT_FLOAT_EQ(afterNarrow, afterWide);
    EXPECT_FLOAT_EQ(afterControl, afterWide);
    const float start = 100.5f * kWidth / 640.0f;
    EXPECT_GT(afterOne - start, 4.0f);
    EXPECT_LT(afterOne - start, 14.0f);
    EXPECT_FLOAT_EQ(afterWide - start, 2 * (afterOne - start));
}

TEST_F(FontTest, Byte255DrawsNothing) {
    EXPECT_EQ(m_font.Printf2D(100, 100, kYellow, "\xff"), 1);
    const float start = 100.5f * kWidth / 640.0f;
    EXPECT_FLOAT_EQ(RasterX(), start);
    m_gl.Read();
    EXPECT_EQ(m_gl.CountAll(Lit), 0);
}

TEST_F(FontTest, NullFormatReturnsZeroAndChangesNothing) {
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    const char* none = nullptr;
    EXPECT_EQ(m_font.Printf3D(kOrigin, kYellow, none), 0);
    EXPECT_EQ(m_font.Printf2D(0, 0, kYellow, none), 0);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    m_gl.Read();
    EXPECT_EQ(m_gl.CountAll(Lit), 0);
}

TEST_F(FontTest, Printf3DTurnsOffLightingTexturingBlendingAndFog) {
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glEnable(GL_FOG);
    m_font.Printf3D(kOrigin, kYellow, "%d", 7);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_FOG));
}

TEST_F(FontTest, Printf3DDrawsAtTheProjectedPoint) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const float centre[3] = {0, 0, 0};
    EXPECT_EQ(m_font.Printf3D(centre, kYellow, "%s", "M"), 1);
    m_gl.Read();
    const int near =
        m_gl.Count(kWidth / 2 - 2, kHeight / 2 - 4, kWidth / 2 + 12, kHeight / 2 + 14, Lit);
    EXPECT_GT(near, 6);
    EXPECT_EQ(m_gl.CountAll(Lit), near);
}

TEST_F(FontTest, Printf2DRestoresTheMatrices) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(2, 3, 4);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(5, 6, 7);
    m_font.Printf2D(10, 10, kYellow, "abc");
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[12], 5.0f);
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    EXPECT_EQ(m[5], 3.0f);
}

TEST_F(FontTest, LongTextIsCutTo1023Characters) {
    const std::string longText(3000, 'x');
    EXPECT_EQ(m_font.Printf3D(kOrigin, kYellow, "%s", longText.c_str()), 1023);
    EXPECT_EQ(m_font.Printf2D(0, 0, kYellow, "%s%s", "ab", "cd"), 4);
}

TEST_F(FontTest, UnknownFaceFallsBackToAMonospaceFace) {
    Font::CSimpleFont other;
    other.Create("No Such Face At All", 14);
    m_font.Printf2D(0, 0, kYellow, "WW");
    const float ours = RasterX();
    other.Printf2D(0, 0, kYellow, "ii");
    EXPECT_FLOAT_EQ(RasterX(), ours);
    EXPECT_TRUE(glIsList(Font::kFirstList + 254));
}

TEST_F(FontTest, ListsDoNotDependOnTheUnpackState) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_TRUE);
    Font::CSimpleFont rebuilt;
    rebuilt.Create("Fixedsys", 14);
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 8);  // restored
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    rebuilt.Printf2D(0, 0, kYellow, "W");
    const std::vector<uint8_t> fromRebuilt = m_gl.Context().ReadPixels();
    glClear(GL_COLOR_BUFFER_BIT);
    m_font.Printf2D(0, 0, kYellow, "W");
    EXPECT_EQ(m_gl.Context().ReadPixels(), fromRebuilt);
}

}  // namespace
