// GL textures made from DDS files in the headless context: the compressed upload against
// the software decoder, the decoded upload, and the lookup of the compressed entry point.
#include <EGL/egl.h>

#include "DdsTestUtil.h"
#include "GameFolder.h"
#include "GlTest.h"
#include "forge/pak.h"
#include "texture/texture.h"

using namespace DdsTest;
using Forge::DdsFormat;

namespace {

class DdsTexture : public ::testing::Test {
protected:
    RenderTest::Gl m_gl{64, 64};
    std::unique_ptr<Texture::CDDSTexture> Make(const std::vector<uint8_t>& file) {
        PakMgr::CMemoryRead reader(file.data(), static_cast<uint32_t>(file.size()));
        auto texture = std::make_unique<Texture::CDDSTexture>(&reader);
        texture->Bind();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return texture;
    }
};

// The driver widens 5:6:5 by repeating bits and rounds its thirds down; the decoder shifts
// and rounds to nearest. Both agree on which pixels are clear.
void ExpectClose(const std::vector<uint8_t>& gl, const std::vector<uint8_t>& software) {
    ASSERT_EQ(gl.size(), software.size());
    for (std::size_t i = 0; i < gl.size(); i += 4) {
        ASSERT_NEAR(gl[i + 3], software[i + 3], 1) << "alpha of pixel " << i / 4;
        if (software[i + 3] == 0) {
            ASSERT_EQ(gl[i + 3], 0) << "pixel " << i / 4;
            continue;
        }
        for (std::size_t c = 0; c < 3; ++c) {
            ASSERT_NEAR(gl[i + c], software[i + c], 8) << "pixel " << i / 4 << " channel " << c;
        }
    }
}

// 12×8 (3×2 blocks) encoded by stb, the first two by hand: colours in both DXT1 modes (four,
// three and clear), alphas in both DXT5 modes; DXT3 puts explicit alphas over them all.
std::vector<uint8_t> MixedBlocks(DdsFormat format) {
    const bool dxt1 = format == DdsFormat::DXT1;
    auto blocks = Forge::EncodeDxt(dxt1 ? format : DdsFormat::DXT5, 12, 8, Gradient(12, 8, !dxt1));
    const Indices ramp = {0, 1, 2, 3, 3, 2, 1, 0, 0, 1, 2, 3, 3, 2, 1, 0};
    const Indices eight = {0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7};
    auto first = ColourBlock(0xF81F, 0x07E0, ramp);
    auto second = ColourBlock(0x001F, 0xFFE0, ramp);
    if (!dxt1) {
        first = Concat({InterpolatedAlphaBlock(230, 20, eight), first});
        second = Concat({InterpolatedAlphaBlock(20, 230, eight), second});
    }
    std::copy(first.begin(), first.end(), blocks.begin());
    std::copy(second.begin(), second.end(), blocks.begin() + static_cast<long>(second.size()));
    for (std::size_t at = 0; format == DdsFormat::DXT3 && at < blocks.size(); at += 16) {
        const auto alpha = ExplicitAlphaBlock(at == 0 ? eight : Fill(static_cast<uint8_t>(at / 5)));
        std::copy(alpha.begin(), alpha.end(), blocks.begin() + static_cast<long>(at));
    }
    return blocks;
}

}  // namespace

TEST_F(DdsTexture, CompressedUploadMatchesTheSoftwareDecoder) {
    // clang-format off
    const std::pair<DdsFormat, GLenum> cases[] = {
        {DdsFormat::DXT1, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT},
        {DdsFormat::DXT3, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT},
        {DdsFormat::DXT5, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT},
    };
    // clang-format on
    for (auto [format, glFormat] : cases) {
        SCOPED_TRACE(static_cast<int>(format));
        auto blocks = MixedBlocks(format);
        auto file = Forge::WriteDds(Compressed(format, 12, 8), blocks);
        auto texture = Make(file);
        EXPECT_EQ(RenderTest::LevelParameter(GL_TEXTURE_COMPRESSED), GL_TRUE);
        EXPECT_EQ(RenderTest::LevelParameter(GL_TEXTURE_INTERNAL_FORMAT),
                  static_cast<GLint>(glFormat));
        EXPECT_EQ(RenderTest::CompressedBlocks(), blocks);
        ExpectClose(RenderTest::TexturePixels(), Parse(file).decoded);
    }
}

TEST_F(DdsTexture, OtherKindsUploadDecodedPixels) {
    // 5 pixels of 3 bytes: rows that aren't a multiple of 4 bytes long.
    std::vector<uint32_t> words;
    for (uint32_t i = 0; i < 15; ++i) {
        words.push_back(0x00102030u * (i + 1));
    }
    std::vector<std::vector<uint8_t>> files = {
        Forge::WriteDds(Uncompressed(5, 3, 24, {0xFF0000, 0xFF00, 0xFF, 0}, false),
                        Forge::PackPixelWords(words, 24)),
        Forge::WriteDds(Uncompressed(5, 3, 16, {0x7C00, 0x03E0, 0x001F, 0x8000}, true),
                        Forge::PackPixelWords(words, 16)),
        Forge::WriteDds(Compressed(DdsFormat::DXT2, 8, 4),
                        Concat({ExplicitAlphaBlock(Fill(8)), ColourBlock(0x8410, 0x4208, {}),
                                ExplicitAlphaBlock(Fill(0)), ColourBlock(0xFFFF, 0, {})})),
        Forge::WriteDds(Compressed(DdsFormat::DXT4, 4, 4),
                        Concat({InterpolatedAlphaBlock(128, 0, {}), ColourBlock(0x8410, 0, {})})),
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        auto texture = Make(files[i]);
        EXPECT_EQ(RenderTest::LevelParameter(GL_TEXTURE_COMPRESSED), GL_FALSE);
        EXPECT_EQ(RenderTest::TexturePixels(), Dds::DecodeToRgba(Parse(files[i])));
    }
}

TEST_F(DdsTexture, WithoutTheEntryPointCompressedKindsAreDecoded) {
    static int calls = 0;
    static bool found = false;
    Texture::SetProcAddressFunction([](const char* name) -> void* {
        ++calls;
        return found ? reinterpret_cast<void*>(eglGetProcAddress(name)) : nullptr;
    });
    auto file = Forge::WriteDds(Compressed(DdsFormat::DXT5, 8, 8),
                                Forge::EncodeDxt(DdsFormat::DXT5, 8, 8, Gradient(8, 8, true)));

    auto decoded = Make(file);
    EXPECT_EQ(RenderTest::LevelParameter(GL_TEXTURE_COMPRESSED), GL_FALSE);
    EXPECT_EQ(RenderTest::TexturePixels(), Parse(file).decoded);
    EXPECT_GT(calls, 0);

    // Looked up again while missing.
    found = true;
    auto compressed = Make(file);
    EXPECT_EQ(RenderTest::LevelParameter(GL_TEXTURE_COMPRESSED), GL_TRUE);
}

TEST_F(DdsTexture, BindAndDestructionManageTheName) {
    auto file = Forge::WriteDds(Compressed(DdsFormat::DXT1, 4, 4), ColourBlock(0xF800, 0, {}));
    auto first = Make(file);
    auto second = Make(file);
    GLuint name = first->Name();
    EXPECT_NE(name, second->Name());
    first->Bind();
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), name);
    first.reset();
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_TRUE(glIsTexture(second->Name()));
}

// A file cut short, refused or not inflating makes no texture.
TEST_F(DdsTexture, RejectedFilesMakeNoTexture) {
    auto cube = Compressed(DdsFormat::DXT1, 4, 4);
    cube.cubeMap = true;
    Forge::PakFile broken{.path = "\\t\\broken.dds", .data = std::vector<uint8_t>(200)};
    broken.stream = std::vector<uint8_t>(20, 0x55);  // not a zlib stream
    TestUtil::Game game({{"\\t\\cube.dds", Forge::WriteDds(cube, std::vector<uint8_t>(48))},
                         {"\\t\\short.dds", Forge::WriteDds(Compressed(DdsFormat::DXT1, 8, 8), {})},
                         broken});
    EXPECT_EQ(TestUtil::ErrorOf([&] { Texture::LoadTexture(game.Node("t/cube.dds")); }),
              "can't load dds cubemap.");
    EXPECT_THROW(Texture::LoadTexture(game.Node("t/short.dds")), Except);
    EXPECT_EQ(Texture::LoadTexture(game.Node("t/broken.dds")), nullptr);
    EXPECT_FALSE(glIsTexture(1));
}
