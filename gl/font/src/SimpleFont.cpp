#include <GL/gl.h>

#include <cstdarg>
#include <cstdio>

#include "Glyphs.h"
#include "font/font.h"

namespace Font {
namespace {

// The 640 x 480 grid of Printf2D, with pixel centres on whole numbers.
constexpr double kGridLeft = -0.5;
constexpr double kGridRight = 639.5;
constexpr double kGridBottom = -0.5;
constexpr double kGridTop = 479.5;

struct Text {
    char bytes[kTextBufferSize] = {};
    int length = 0;
};

// Formats at most kTextBufferSize - 1 characters; a formatting error leaves no text.
void Format(Text& text, const char* format, std::va_list args) {
    const int produced = std::vsnprintf(text.bytes, sizeof text.bytes, format, args);
    if (produced < 0) {
        text.bytes[0] = '\0';
        text.length = 0;
        return;
    }
    text.length = produced < kTextBufferSize ? produced : kTextBufferSize - 1;
}

void DisableTextStates() {
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_FOG);
}

void CallGlyphLists(const Text& text) {
    glPushAttrib(GL_LIST_BIT);
    glListBase(kFirstList);
    glCallLists(text.length, GL_UNSIGNED_BYTE, text.bytes);
    glPopAttrib();
}

void BuildList(unsigned list, const Glyph& glyph) {
    glNewList(list, GL_COMPILE);
    if (glyph.rows.empty()) {
        // A glyph that only advances: one clear bit, since a list can't keep an empty bitmap.
        constexpr GLubyte kClear = 0;
        glBitmap(1, 1, 0.0f, 0.0f, glyph.advance, 0.0f, &kClear);
    } else {
        glBitmap(glyph.width, glyph.height, glyph.xOrigin, glyph.yOrigin, glyph.advance, 0.0f,
                 glyph.rows.data());
    }
    glEndList();
}

}  // namespace

void CSimpleFont::Create(const char* faceName, int height) {
    const GlyphSet set = RasteriseGlyphs(faceName, height, kGlyphCount);
    if (set.glyphs.empty()) {
        return;
    }
    // glBitmap copies its rows when the list is compiled, through the unpack state.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    for (std::size_t code = 0; code < set.glyphs.size(); ++code) {
        BuildList(kFirstList + static_cast<unsigned>(code), set.glyphs[code]);
    }
    glPopClientAttrib();
}

int CSimpleFont::Printf2D(int x, int y, const float color[3], const char* format, ...) {
    if (!format) {
        return 0;
    }
    Text text;
    std::va_list args;
    va_start(args, format);
    Format(text, format, args);
    va_end(args);

    DisableTextStates();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(kGridLeft, kGridRight, kGridBottom, kGridTop, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glColor3fv(color);
    glRasterPos2i(x, y);
    CallGlyphLists(text);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    return text.length;
}

int CSimpleFont::Printf3D(const float position[3], const float color[3], const char* format, ...) {
    if (!format) {
        return 0;
    }
    Text text;
    std::va_list args;
    va_start(args, format);
    Format(text, format, args);
    va_end(args);

    DisableTextStates();
    // The raster colour is latched when the position is set.
    glColor3fv(color);
    glRasterPos3f(position[0], position[1], position[2]);
    CallGlyphLists(text);
    return text.length;
}

IFont* GetFont() {
    static CSimpleFont font;
    return &font;
}

}  // namespace Font
