// vell texture end to end: a game folder written by the pak and DDS writers, the PNG read
// back with libpng.
#include <gtest/gtest.h>
#include <png.h>

#include "DdsTestUtil.h"
#include "TestUtil.h"
#include "forge/pak.h"

using namespace DdsTest;
using Forge::DdsFormat;

namespace {

struct Png {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgba;
};

Png ReadPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Png png;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << "not a PNG: " << path;
        return png;
    }
    EXPECT_EQ(image.format & PNG_FORMAT_FLAG_COLORMAP, 0u);
    EXPECT_NE(image.format & PNG_FORMAT_FLAG_ALPHA, 0u);
    image.format = PNG_FORMAT_RGBA;
    png.width = image.width;
    png.height = image.height;
    png.rgba.resize(PNG_IMAGE_SIZE(image));
    EXPECT_TRUE(png_image_finish_read(&image, nullptr, png.rgba.data(), 0, nullptr));
    return png;
}

class TextureCommand : public ::testing::Test {
protected:
    void SetUp() override {
        Forge::DdsHeader cube = Forge::MakeDdsHeader(Compressed(DdsFormat::DXT1, 4, 4));
        cube.caps |= Forge::kDdsCapsComplex;
        cube.caps2 |= Forge::kDdsCaps2CubeMap;
        Forge::SavePak(m_game / "tex.pak",
                       {{.path = "\\tex\\stripes.dds", .data = Stripes()},
                        {.path = "\\tex\\rgb.dds", .data = Rgb()},
                        {.path = "\\tex\\cube.dds", .data = Forge::WriteDds(cube, {})},
                        {.path = "\\tex\\short.dds", .data = std::vector<uint8_t>(60, 1)}});
    }

    // 4×8 DXT1: a red block above a three-colour block with clear pixels.
    static std::vector<uint8_t> Stripes() {
        Indices ramp = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};
        return Forge::WriteDds(
            Compressed(DdsFormat::DXT1, 4, 8),
            Concat({ColourBlock(0xF800, 0, {}), ColourBlock(0x001F, 0xF800, ramp)}));
    }
    static std::vector<uint8_t> Rgb() {
        return Forge::WriteDds(Uncompressed(3, 1, 24, {0xFF0000, 0xFF00, 0xFF, 0}, false),
                               std::vector<uint8_t>{3, 2, 1, 6, 5, 4, 9, 8, 7});
    }

    TestUtil::TempDir m_game;
    TestUtil::TempDir m_out;
};

}  // namespace

TEST_F(TextureCommand, WritesTheDecodedTextureTopRowFirst) {
    std::string png = m_out / "stripes.png";
    auto run = TestUtil::Vell({"texture", m_game.Path(), "tex/stripes.dds", "-o", png});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    Png image = ReadPng(png);
    ASSERT_EQ(image.width, 4u);
    ASSERT_EQ(image.height, 8u);
    EXPECT_EQ(image.rgba, Parse(Stripes()).decoded);
    EXPECT_EQ(PixelAt(image.rgba, 4, 0, 0), (Rgba{248, 0, 0, 255}));
    EXPECT_EQ(PixelAt(image.rgba, 4, 2, 4), (Rgba{124, 0, 124, 255}));
    EXPECT_EQ(PixelAt(image.rgba, 4, 3, 7), (Rgba{165, 0, 83, 0}));
}

TEST_F(TextureCommand, RgbTexturesGetFullAlpha) {
    std::string png = m_out / "rgb.png";
    auto run = TestUtil::Vell({"texture", m_game.Path(), "/tex/rgb.dds", "-o", png});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    Png image = ReadPng(png);
    EXPECT_EQ(image.rgba, (std::vector<uint8_t>{1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255}));
}

TEST_F(TextureCommand, LoadFailuresExitOneWithTheMessage) {
    std::string png = m_out / "x.png";
    auto cube = TestUtil::Vell({"texture", m_game.Path(), "tex/cube.dds", "-o", png});
    EXPECT_EQ(cube.exitCode, 1);
    EXPECT_EQ(cube.err, "vell: can't load dds cubemap.\n");
    auto cut = TestUtil::Vell({"texture", m_game.Path(), "tex/short.dds", "-o", png});
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_EQ(cut.err, "vell: corrupt .dds file: 60 bytes, shorter than the 128-byte header\n");
    auto unwritable =
        TestUtil::Vell({"texture", m_game.Path(), "tex/rgb.dds", "-o", m_out / "missing/x.png"});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_EQ(unwritable.err,
              "vell: can't write " + (m_out / "missing/x.png") + ": No such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists(png));
}

TEST_F(TextureCommand, UsageErrorsExitTwo) {
    EXPECT_EQ(
        TestUtil::Vell({"texture", m_game.Path(), "tex/none.dds", "-o", m_out / "a.png"}).exitCode,
        2);
    EXPECT_EQ(TestUtil::Vell({"texture", m_game.Path(), "tex/rgb.dds"}).exitCode, 2);
    EXPECT_EQ(TestUtil::Vell({"texture", m_game.Path()}).exitCode, 2);
    EXPECT_EQ(
        TestUtil::Vell({"texture", m_out.Path(), "tex/rgb.dds", "-o", m_out / "a.png"}).exitCode,
        2);
}
