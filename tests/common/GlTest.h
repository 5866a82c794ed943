// One headless GL context for every test program: a sized one whose colour buffer the
// rendering tests read and count, one shared by a whole program, and texture read-back.
#pragma once

#include <EGL/egl.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "glcontext/glcontext.h"

namespace RenderTest {

using Rgba = std::array<int, 4>;

inline constexpr Rgba kBackground = {0x33, 0x33, 0xB2, 0};

// The view's default background as the colour buffer holds it (alpha 0).
inline bool IsBackground(const Rgba& p) {
    return p[0] == kBackground[0] && p[1] == kBackground[1] && p[2] == kBackground[2];
}

inline bool Near(const Rgba& p, const Rgba& want, int tolerance = 3) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(p[i] - want[i]) > tolerance) {
            return false;
        }
    }
    return true;
}

// A headless context of a fixed size; every read returns the whole colour buffer.
class Gl {
public:
    Gl(int width, int height) {
        std::string error;
        m_context = GlContext::Headless::Create(width, height, &error);
        if (!m_context) {
            ADD_FAILURE() << "no headless GL context: " << error;
        }
    }
    bool Ok() const { return m_context != nullptr; }
    int Width() const { return m_context->Width(); }
    int Height() const { return m_context->Height(); }
    GlContext::Headless& Context() { return *m_context; }

    // Reads the colour buffer; Pixel then answers from that copy.
    void Read() { m_pixels = m_context->ReadPixels(); }
    // Outside the picture: {-1, -1, -1, -1}.
    Rgba Pixel(int x, int y) const {
        if (x < 0 || y < 0 || x >= Width() || y >= Height()) {
            return {-1, -1, -1, -1};
        }
        const std::size_t at = (static_cast<std::size_t>(y) * Width() + x) * 4;
        return {m_pixels[at], m_pixels[at + 1], m_pixels[at + 2], m_pixels[at + 3]};
    }
    // Pixels inside the rectangle [x0, x1] × [y0, y1] (clipped) that satisfy `test`.
    template <typename Test>
    int Count(int x0, int y0, int x1, int y1, Test test) const {
        int n = 0;
        for (int y = std::max(y0, 0); y <= std::min(y1, Height() - 1); ++y) {
            for (int x = std::max(x0, 0); x <= std::min(x1, Width() - 1); ++x) {
                n += test(Pixel(x, y)) ? 1 : 0;
            }
        }
        return n;
    }
    template <typename Test>
    int CountAll(Test test) const {
        return Count(0, 0, Width() - 1, Height() - 1, test);
    }

private:
    std::unique_ptr<GlContext::Headless> m_context;
    std::vector<uint8_t> m_pixels;
};

// The context the textures of loaded skins and frame captures use when a test needs no
// pixels of its own: made once, current on the test thread for the whole program.
inline GlContext::Headless* SharedGl() {
    static std::unique_ptr<GlContext::Headless> context = [] {
        std::string error;
        auto made = GlContext::Headless::Create(64, 48, &error);
        if (!made) {
            std::fprintf(stderr, "no headless GL context: %s\n", error.c_str());
        }
        return made;
    }();
    if (context) {
        context->MakeCurrent();
    }
    return context.get();
}

struct Point {
    int x = 0;
    int y = 0;
};

// Where a scene point lands in window pixels under the current matrices (as Render left
// them); `mirrored` for points of the model, which is drawn mirrored in x.
inline Point ScreenOf(float x, float y, float z, bool mirrored) {
    GLdouble modelview[16];
    GLdouble projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble wx = 0, wy = 0, wz = 0;
    gluProject(mirrored ? -x : x, y, z, modelview, projection, viewport, &wx, &wy, &wz);
    return {static_cast<int>(std::floor(wx)), static_cast<int>(std::floor(wy))};
}

inline GLint LevelParameter(GLenum name) {
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &value);
    return value;
}

// The bound texture's top level as 8-bit RGBA.
inline std::vector<uint8_t> TexturePixels() {
    std::vector<uint8_t> pixels(std::size_t(LevelParameter(GL_TEXTURE_WIDTH)) *
                                LevelParameter(GL_TEXTURE_HEIGHT) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// The bound texture's top level as the compressed blocks the driver holds.
inline std::vector<uint8_t> CompressedBlocks() {
    auto get = reinterpret_cast<PFNGLGETCOMPRESSEDTEXIMAGEPROC>(
        eglGetProcAddress("glGetCompressedTexImage"));
    std::vector<uint8_t> blocks(LevelParameter(GL_TEXTURE_COMPRESSED_IMAGE_SIZE));
    if (get) {
        get(GL_TEXTURE_2D, 0, blocks.data());
    }
    return blocks;
}

}  // namespace RenderTest
