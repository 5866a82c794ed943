// PNG encoding read back by libpng, which checks every chunk's CRC and the zlib stream's
// checksum: the pixels come back exactly, for sizes odd and even, a single row or column,
// and pictures that compress well or not at all; sizes PNG can't hold give no bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "PngRead.h"
#include "dds/dds.h"

namespace {

using DdsTest::ReadPng;

enum class Fill { Flat, Noise, Gradient };

std::vector<uint8_t> Picture(uint32_t width, uint32_t height, Fill fill) {
    std::vector<uint8_t> rgba(std::size_t{width} * height * 4);
    std::mt19937 random(7);
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        switch (fill) {
            case Fill::Flat:
                rgba[i] = i % 4 == 3 ? 255 : 40;
                break;
            case Fill::Noise:
                rgba[i] = static_cast<uint8_t>(random());
                break;
            case Fill::Gradient:
                rgba[i] = static_cast<uint8_t>(i / 4 % width + i % 4 * 60);
                break;
        }
    }
    return rgba;
}

struct Row {
    const char* name;
    uint32_t width;
    uint32_t height;
    Fill fill;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

class Png : public testing::TestWithParam<Row> {};

TEST_P(Png, PixelsComeBackExactly) {
    const Row& row = GetParam();
    const std::vector<uint8_t> rgba = Picture(row.width, row.height, row.fill);
    const DdsTest::ReadBack back = ReadPng(Dds::EncodePng(row.width, row.height, rgba));
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.width, row.width);
    EXPECT_EQ(back.height, row.height);
    EXPECT_TRUE(back.rgba == rgba);
}

const Row kRows[] = {
    {"OnePixel", 1, 1, Fill::Noise},
    {"OddSize", 3, 5, Fill::Gradient},
    {"OneRow", 300, 1, Fill::Gradient},
    {"OneColumn", 1, 300, Fill::Noise},
    {"FlatCompresses", 512, 512, Fill::Flat},
    {"NoiseDoesNot", 256, 128, Fill::Noise},
    // Below the size the archives' compressor hands to zlib, and above it.
    {"SmallStream", 8, 8, Fill::Gradient},
    // Stored, not compressed: the stream within a few bytes of its bound.
    {"SmallNoise", 4, 4, Fill::Noise},
    {"LargeGradient", 1024, 64, Fill::Gradient},
};
INSTANTIATE_TEST_SUITE_P(Sizes, Png, testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PngRefuses, SizesWithoutPixels) {
    const std::vector<uint8_t> four(4, 255);
    EXPECT_TRUE(Dds::EncodePng(0, 1, four).empty());
    EXPECT_TRUE(Dds::EncodePng(1, 0, four).empty());
    EXPECT_TRUE(Dds::EncodePng(2, 1, four).empty());  // fewer bytes than the size wants
    EXPECT_FALSE(Dds::EncodePng(1, 1, four).empty());
}

TEST(Png, FlatPictureIsSmall) {
    const std::vector<uint8_t> flat = Picture(512, 512, Fill::Flat);
    EXPECT_LT(Dds::EncodePng(512, 512, flat).size(), flat.size() / 50);
}

}  // namespace
