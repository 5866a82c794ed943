// Still WebP pictures as the gallery's cache keeps them: lossless and exact while small
// enough, lossy past the limit, and any bytes that are no such picture (or too large a one)
// refused before anything is decoded.
#include <gtest/gtest.h>

#include "media/media.h"

namespace {

// A picture of `width` × `height`: a smooth ramp, or noise that no lossless coder shrinks.
std::vector<uint8_t> Pixels(int width, int height, bool noise) {
    std::vector<uint8_t> rgba(std::size_t(width) * std::size_t(height) * 4);
    uint32_t state = 12345;
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        state = state * 1103515245u + 12345u;
        rgba[i] = noise ? static_cast<uint8_t>(state >> 24)
                        : static_cast<uint8_t>(i % 4 == 3 ? 255 : (i / 4) % 251);
    }
    return rgba;
}

TEST(WebpPicture, SmallPicturesComeBackExactlyLargeOnesWithinTheirBytes) {
    struct Row {
        int width;
        int height;
        bool noise;
        std::size_t mostBytes;
        bool exact;  // lossless
    };
    const Row rows[] = {
        {128, 128, false, 24u << 10, true},
        {1, 1, false, 24u << 10, true},
        {128, 128, true, 24u << 10, false},
        {64, 32, true, 1u << 20, true},
    };
    for (const Row& row : rows) {
        const std::vector<uint8_t> rgba = Pixels(row.width, row.height, row.noise);
        const std::vector<uint8_t> bytes =
            Media::EncodeWebpPicture(row.width, row.height, rgba, row.mostBytes);
        ASSERT_FALSE(bytes.empty()) << row.width;
        if (!row.exact) {
            EXPECT_LE(bytes.size(), row.mostBytes) << row.width;
        }
        Media::WebpPicture back;
        ASSERT_TRUE(Media::DecodeWebpPicture(bytes, 256, back)) << row.width;
        EXPECT_EQ(back.width, row.width);
        EXPECT_EQ(back.height, row.height);
        EXPECT_EQ(back.rgba == rgba, row.exact) << row.width;
    }
}

TEST(WebpPicture, BytesThatAreNoPictureOrTooLargeAreRefused) {
    const std::vector<uint8_t> big =
        Media::EncodeWebpPicture(300, 10, Pixels(300, 10, false), 1u << 20);
    std::vector<uint8_t> cut = Media::EncodeWebpPicture(16, 16, Pixels(16, 16, true), 1u << 20);
    cut.resize(cut.size() / 2);
    const std::vector<uint8_t> rows[] = {
        {}, {'R', 'I', 'F', 'F'}, std::vector<uint8_t>(64, 0xFF), big, cut,
    };
    for (const std::vector<uint8_t>& bytes : rows) {
        Media::WebpPicture picture;
        EXPECT_FALSE(Media::DecodeWebpPicture(bytes, 256, picture)) << bytes.size();
        EXPECT_TRUE(picture.rgba.empty());
    }
    // Pixels that don't fit the size make nothing.
    EXPECT_TRUE(Media::EncodeWebpPicture(4, 4, Pixels(4, 3, false), 1u << 20).empty());
    EXPECT_TRUE(Media::EncodeWebpPicture(0, 4, {}, 1u << 20).empty());
}

}  // namespace
