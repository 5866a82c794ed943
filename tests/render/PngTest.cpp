// PNG encoding read back with libpng.
#include <gtest/gtest.h>
#include <png.h>

#include "TestUtil.h"
#include "texture/texture.h"

namespace {

std::vector<uint8_t> DecodeRgba(const std::vector<uint8_t>& png, uint32_t& width,
                                uint32_t& height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) {
        return {};
    }
    image.format = PNG_FORMAT_RGBA;
    width = image.width;
    height = image.height;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        return {};
    }
    return rgba;
}

}  // namespace

TEST(Png, EncodesEveryByteOfRgbaTopRowFirst) {
    constexpr uint32_t kWidth = 7, kHeight = 3;
    std::vector<uint8_t> rgba(kWidth * kHeight * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        rgba[i] = static_cast<uint8_t>(i * 37 + 11);
    }
    std::vector<uint8_t> png = Texture::EncodePng(kWidth, kHeight, rgba);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(std::vector<uint8_t>(png.begin(), png.begin() + 4),
              (std::vector<uint8_t>{0x89, 'P', 'N', 'G'}));
    uint32_t width = 0, height = 0;
    EXPECT_EQ(DecodeRgba(png, width, height), rgba);
    EXPECT_EQ(width, kWidth);
    EXPECT_EQ(height, kHeight);
}

TEST(Png, RefusesTooFewPixels) {
    std::vector<uint8_t> rgba(4 * 4 * 4 - 1);
    EXPECT_TRUE(Texture::EncodePng(4, 4, rgba).empty());
    EXPECT_TRUE(Texture::EncodePng(0, 4, rgba).empty());

    TestUtil::TempDir dir;
    rgba.push_back(0);
    Texture::WritePng(dir / "ok.png", 4, 4, rgba);
    std::string bytes = TestUtil::ReadText(dir / "ok.png");
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), Texture::EncodePng(4, 4, rgba));
}
