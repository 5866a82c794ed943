// Reading textures back from the headless context.
#pragma once

#include <EGL/egl.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "glcontext/glcontext.h"

namespace GlTest {

class HeadlessFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        m_context = GlContext::Headless::Create(64, 64, &error);
        ASSERT_NE(m_context, nullptr) << error;
    }
    std::unique_ptr<GlContext::Headless> m_context;
};

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

}  // namespace GlTest
