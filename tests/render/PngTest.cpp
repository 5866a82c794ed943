// PNG encoding read back with libpng: every byte, rows top first, an odd width; too few
// pixels make no PNG, and the file written holds the encoding.
#include <gtest/gtest.h>
#include <png.h>

#include "TestUtil.h"
#include "texture/texture.h"

TEST(Png, EncodesEveryByteOfRgbaTopRowFirst) {
    std::vector<uint8_t> rgba(7 * 3 * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        rgba[i] = static_cast<uint8_t>(i * 37 + 11);
    }
    const std::vector<uint8_t> png = Texture::EncodePng(7, 3, rgba);
    png_image image{.version = PNG_IMAGE_VERSION};
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size()));
    EXPECT_EQ(image.width, 7u);
    EXPECT_EQ(image.height, 3u);
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> decoded(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, decoded.data(), 0, nullptr));
    EXPECT_EQ(decoded, rgba);

    EXPECT_TRUE(
        Texture::EncodePng(7, 3, std::vector<uint8_t>(rgba.begin(), rgba.end() - 1)).empty());
    EXPECT_TRUE(Texture::EncodePng(0, 4, rgba).empty());
    TestUtil::TempDir dir;
    Texture::WritePng(dir / "ok.png", 7, 3, rgba);
    EXPECT_EQ(TestUtil::ReadBytes(dir / "ok.png"), png);
}
