// The software decoder against blocks and pixels computed by hand, and the header rules.
#include <gtest/gtest.h>

#include "DdsTestUtil.h"

using namespace DdsTest;
using Forge::DdsFormat;
using Texture::DdsKind;

namespace {

constexpr uint16_t kRed = 0xF800;    // 31, 0, 0
constexpr uint16_t kBlue = 0x001F;   // 0, 0, 31
constexpr uint16_t kGreen = 0x07E0;  // 0, 63, 0
const Indices kRamp = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};
const Indices kCount = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

std::vector<uint8_t> DecodeOne(DdsFormat format, const std::vector<uint8_t>& block) {
    Texture::DdsImage image = Parse(Forge::WriteDds(Compressed(format, 4, 4), block));
    EXPECT_EQ(image.components, 4u);
    return image.decoded;
}

}  // namespace

TEST(DdsDxt1, FourColourModeWidensByShiftAndRoundsThirds) {
    auto out = DecodeOne(DdsFormat::DXT1, ColourBlock(kRed, kBlue, kRamp));
    for (uint32_t y = 0; y < 4; ++y) {
        EXPECT_EQ(PixelAt(out, 4, 0, y), (Rgba{248, 0, 0, 255}));
        EXPECT_EQ(PixelAt(out, 4, 1, y), (Rgba{0, 0, 248, 255}));
        EXPECT_EQ(PixelAt(out, 4, 2, y), (Rgba{165, 0, 83, 255}));  // (2·248 + 0 + 1) / 3
        EXPECT_EQ(PixelAt(out, 4, 3, y), (Rgba{83, 0, 165, 255}));
    }
}

TEST(DdsDxt1, ThreeColourModeHasAHalfwayColourAndATransparentOne) {
    auto out = DecodeOne(DdsFormat::DXT1, ColourBlock(kBlue, kRed, kRamp));
    EXPECT_EQ(PixelAt(out, 4, 0, 0), (Rgba{0, 0, 248, 255}));
    EXPECT_EQ(PixelAt(out, 4, 1, 0), (Rgba{248, 0, 0, 255}));
    EXPECT_EQ(PixelAt(out, 4, 2, 0), (Rgba{124, 0, 124, 255}));
    EXPECT_EQ(PixelAt(out, 4, 3, 0), (Rgba{165, 0, 83, 0}));  // (c0 + 2·c1 + 1) / 3, clear
}

TEST(DdsDxt1, EqualEndColoursSelectTheThreeColourMode) {
    auto out = DecodeOne(DdsFormat::DXT1, ColourBlock(kGreen, kGreen, Fill(3)));
    EXPECT_EQ(PixelAt(out, 4, 2, 2), (Rgba{0, 252, 0, 0}));
}

TEST(DdsDxt1, IndicesRunRowByRowFromTheLowBits) {
    Indices indices = Fill(0);
    indices[1] = 1;   // x 1, y 0
    indices[14] = 1;  // x 2, y 3
    auto out = DecodeOne(DdsFormat::DXT1, ColourBlock(kRed, kBlue, indices));
    for (uint32_t i = 0; i < 16; ++i) {
        Rgba expected = indices[i] ? Rgba{0, 0, 248, 255} : Rgba{248, 0, 0, 255};
        EXPECT_EQ(PixelAt(out, 4, i % 4, i / 4), expected) << i;
    }
}

TEST(DdsDxt3, ExplicitAlphaTimesSeventeenOverFourColourBlock) {
    // c0 < c1 would be the three-colour mode in DXT1; here index 2 is still two thirds.
    auto block = Concat({ExplicitAlphaBlock(kCount), ColourBlock(kBlue, kRed, Fill(2))});
    auto out = DecodeOne(DdsFormat::DXT3, block);
    for (uint32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(PixelAt(out, 4, i % 4, i / 4), (Rgba{83, 0, 165, static_cast<uint8_t>(i * 17)}))
            << i;
    }
}

TEST(DdsDxt5, EightAlphaModeWhenFirstIsLarger) {
    Indices indices;
    for (int i = 0; i < 16; ++i) {
        indices[i] = static_cast<uint8_t>(i % 8);
    }
    auto block = Concat({InterpolatedAlphaBlock(200, 100, indices), ColourBlock(kBlue, kRed, {})});
    auto out = DecodeOne(DdsFormat::DXT5, block);
    const uint8_t expected[8] = {200, 100, 186, 171, 157, 143, 129, 114};
    for (uint32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(PixelAt(out, 4, i % 4, i / 4), (Rgba{0, 0, 248, expected[i % 8]})) << i;
    }
}

TEST(DdsDxt5, SixAlphaModeWithZeroAndFullWhenFirstIsNotLarger) {
    Indices indices;
    for (int i = 0; i < 16; ++i) {
        indices[i] = static_cast<uint8_t>(i % 8);
    }
    auto block = Concat({InterpolatedAlphaBlock(100, 200, indices), ColourBlock(kRed, kBlue, {})});
    auto out = DecodeOne(DdsFormat::DXT5, block);
    const uint8_t expected[8] = {100, 200, 120, 140, 160, 180, 0, 255};
    for (uint32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(PixelAt(out, 4, i % 4, i / 4)[3], expected[i % 8]) << i;
    }
}

TEST(DdsPremultiplied, Dxt2DividesColoursByAlpha) {
    Indices nibbles = Fill(15);
    nibbles[1] = 5;                        // alpha 85
    nibbles[2] = 0;                        // alpha 0: left as is
    nibbles[3] = 8;                        // alpha 136
    constexpr uint16_t kRed10 = 10 << 11;  // red 80
    constexpr uint16_t kRed17 = 17 << 11;  // red 136
    Indices colours = Fill(0);
    colours[3] = 1;
    auto block = Concat({ExplicitAlphaBlock(nibbles), ColourBlock(kRed10, kRed17, colours)});
    auto out = DecodeOne(DdsFormat::DXT2, block);
    EXPECT_EQ(PixelAt(out, 4, 0, 0), (Rgba{80, 0, 0, 255}));   // 80·256 / 255
    EXPECT_EQ(PixelAt(out, 4, 1, 0), (Rgba{240, 0, 0, 85}));   // 80·256 / 85
    EXPECT_EQ(PixelAt(out, 4, 2, 0), (Rgba{80, 0, 0, 0}));     // alpha 0: unchanged
    EXPECT_EQ(PixelAt(out, 4, 3, 0), (Rgba{255, 0, 0, 136}));  // full brightness saturates
}

TEST(DdsPremultiplied, Dxt4DividesColoursByInterpolatedAlpha) {
    Indices alphas = Fill(0);
    alphas[1] = 1;
    auto block = Concat({InterpolatedAlphaBlock(170, 85, alphas), ColourBlock(10 << 11, 0, {})});
    auto out = DecodeOne(DdsFormat::DXT4, block);
    EXPECT_EQ(PixelAt(out, 4, 0, 0), (Rgba{120, 0, 0, 170}));
    EXPECT_EQ(PixelAt(out, 4, 1, 0), (Rgba{240, 0, 0, 85}));
}

TEST(DdsBlocks, SmallImageWritesOnlyItsCornerOfTheBlock) {
    Indices alphas = Fill(7);
    alphas[0] = 0;
    alphas[1] = 1;
    alphas[4] = 2;
    alphas[5] = 3;
    auto block = Concat({InterpolatedAlphaBlock(210, 0, alphas), ColourBlock(kRed, kBlue, {})});
    Texture::DdsImage image = Parse(Forge::WriteDds(Compressed(DdsFormat::DXT5, 2, 2), block));
    ASSERT_EQ(image.decoded.size(), 2u * 2 * 4);
    EXPECT_EQ(PixelAt(image.decoded, 2, 0, 0)[3], 210);
    EXPECT_EQ(PixelAt(image.decoded, 2, 1, 0)[3], 0);
    EXPECT_EQ(PixelAt(image.decoded, 2, 0, 1)[3], 180);  // (6·210 + 3) / 7
    EXPECT_EQ(PixelAt(image.decoded, 2, 1, 1)[3], 150);
}

TEST(DdsBlocks, EdgeBlocksOfAnOddSizeLandInPlace) {
    // 6×5: two blocks across, two down; each block one colour.
    const uint16_t colours[4] = {kRed, kBlue, kGreen, 0xFFFF};
    std::vector<uint8_t> blocks;
    for (uint16_t c : colours) {
        auto b = ColourBlock(c, 0, Fill(0));
        blocks.insert(blocks.end(), b.begin(), b.end());
    }
    Texture::DdsImage image = Parse(Forge::WriteDds(Compressed(DdsFormat::DXT1, 6, 5), blocks));
    ASSERT_EQ(image.decoded.size(), 6u * 5 * 4);
    EXPECT_EQ(PixelAt(image.decoded, 6, 3, 3), (Rgba{248, 0, 0, 255}));
    EXPECT_EQ(PixelAt(image.decoded, 6, 4, 0), (Rgba{0, 0, 248, 255}));
    EXPECT_EQ(PixelAt(image.decoded, 6, 5, 3), (Rgba{0, 0, 248, 255}));
    EXPECT_EQ(PixelAt(image.decoded, 6, 0, 4), (Rgba{0, 252, 0, 255}));
    EXPECT_EQ(PixelAt(image.decoded, 6, 5, 4), (Rgba{248, 252, 248, 255}));
}

struct UncompressedCase {
    const char* name;
    uint32_t width;
    uint32_t bits;
    std::array<uint32_t, 4> masks;
    bool alpha;
    std::vector<uint32_t> words;
    std::vector<uint8_t> decoded;
};

TEST(DdsUncompressed, MasksWidenToEightBits) {
    const UncompressedCase cases[] = {
        {"565 widens by shift",
         3,
         16,
         {0xF800, 0x07E0, 0x001F, 0},
         false,
         {0xFFFF, 0xF800, 0x0821},
         {248, 252, 248, 248, 0, 0, 8, 4, 8}},
        {"one-bit alpha is clear or full",
         2,
         16,
         {0x7C00, 0x03E0, 0x001F, 0x8000},
         true,
         {0xFC00, 0x001F},
         {248, 0, 0, 255, 0, 0, 248, 0}},
        {"four-bit alpha repeats its nibble",
         1,
         16,
         {0x0F00, 0x00F0, 0x000F, 0xF000},
         true,
         {0x7F84},
         {240, 128, 64, 119}},
        {"32-bit BGRA",
         2,
         32,
         {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
         true,
         {0x80112233, 0x00FFEEDD},
         {0x11, 0x22, 0x33, 0x80, 0xFF, 0xEE, 0xDD, 0x00}},
        // The last pixel ends the file: three bytes each, nothing read past it.
        {"24-bit BGR",
         2,
         24,
         {0xFF0000, 0xFF00, 0xFF, 0},
         false,
         {0x80112233, 0x00FFEEDD},
         {0x11, 0x22, 0x33, 0xFF, 0xEE, 0xDD}},
        {"8-bit luminance and empty masks",
         3,
         8,
         {0xFF, 0, 0xF0, 0},
         false,
         {0x00, 0x7F, 0xFF},
         {0, 0, 0, 0x7F, 0, 0x70, 0xFF, 0, 0xF0}},
        {"mask wider than 8 bits keeps its low bits",
         1,
         32,
         {0x3FF00000, 0x000FFC00, 0x000003FF, 0},
         false,
         {0x3FF00155},
         {0xFF, 0x00, 0x55}},
        {"RGBA without an alpha mask is clear",
         1,
         32,
         {0xFF0000, 0xFF00, 0xFF, 0},
         true,
         {0xFF102030},
         {0x10, 0x20, 0x30, 0}},
    };
    for (const UncompressedCase& c : cases) {
        auto desc = Uncompressed(c.width, 1, c.bits, c.masks, c.alpha);
        EXPECT_EQ(Parse(Forge::WriteDds(desc, Forge::PackPixelWords(c.words, c.bits))).decoded,
                  c.decoded)
            << c.name;
    }
    auto rgb = Parse(Forge::WriteDds(Uncompressed(1, 1, 16, {0xF800, 0x07E0, 0x001F, 0}, false),
                                     Forge::PackPixelWords(std::vector<uint32_t>{0}, 16)));
    EXPECT_EQ(rgb.info.kind, DdsKind::RGB);
    EXPECT_EQ(rgb.components, 3u);
}

TEST(DdsUncompressed, LongRunsMatchSinglePixels) {
    // Enough pixels for the whole-pixel loops, with the last few cut off the data's end.
    constexpr uint32_t kWidth = 37;
    std::vector<uint32_t> words;
    for (uint32_t i = 0; i < kWidth * 3; ++i) {
        words.push_back(i * 0x01030507u);
    }
    for (uint32_t bits : {16u, 24u, 32u}) {
        auto desc = Uncompressed(kWidth, 3, bits, {0xF800, 0x07E0, 0x001F, 0xFF0000}, true);
        auto pixels = Forge::PackPixelWords(words, bits);
        const Texture::DdsInfo info = Parse(Forge::WriteDds(desc, pixels)).info;
        pixels.resize(pixels.size() - bits / 8 - 1);
        auto decoded = Texture::DecodePixels(info, pixels);
        for (uint32_t i = 0; i < words.size(); ++i) {
            uint32_t w = words[i] & (bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1);
            if (i == words.size() - 1) {
                w = 0;
            } else if (i == words.size() - 2 && bits > 8) {
                w &= (1u << (bits - 8)) - 1;  // its last byte is missing
            }
            Rgba expected{static_cast<uint8_t>((w >> 11 & 31) << 3),
                          static_cast<uint8_t>((w >> 5 & 63) << 2),
                          static_cast<uint8_t>((w & 31) << 3), static_cast<uint8_t>(w >> 16)};
            ASSERT_EQ(PixelAt(decoded, kWidth, i % kWidth, i / kWidth), expected)
                << bits << " bits, pixel " << i;
        }
    }
}

TEST(DdsImageRules, DamagedMagicStillLoads) {
    Forge::DdsHeader header = Forge::MakeDdsHeader(Compressed(DdsFormat::DXT1, 4, 4));
    header.magic = 0x12345678;
    header.size = 0;
    auto image = Parse(Forge::WriteDds(header, ColourBlock(kRed, kBlue, {})));
    EXPECT_EQ(PixelAt(image.decoded, 4, 0, 0), (Rgba{248, 0, 0, 255}));
}

TEST(DdsImageRules, OnlyTheTopMipLevelIsRead) {
    auto desc = Compressed(DdsFormat::DXT1, 8, 8);
    desc.mipMapCount = 4;
    std::vector<uint8_t> levels;
    for (int i = 0; i < 4; ++i) {
        auto b = ColourBlock(kRed, 0, {});  // top level: 4 red blocks
        levels.insert(levels.end(), b.begin(), b.end());
    }
    for (int i = 0; i < 3; ++i) {
        auto b = ColourBlock(kBlue, 0, {});  // 4×4, 2×2, 1×1
        levels.insert(levels.end(), b.begin(), b.end());
    }
    auto image = Parse(Forge::WriteDds(desc, levels));
    EXPECT_EQ(image.info.mipCount, 4u);
    EXPECT_EQ(image.raw.size(), 32u);
    EXPECT_EQ(image.decoded.size(), 8u * 8 * 4);
    for (uint32_t y = 0; y < 8; ++y) {
        for (uint32_t x = 0; x < 8; ++x) {
            ASSERT_EQ(PixelAt(image.decoded, 8, x, y), (Rgba{248, 0, 0, 255}));
        }
    }

    auto rgb = Uncompressed(2, 2, 24, {0xFF0000, 0xFF00, 0xFF, 0}, false);
    rgb.mipMapCount = 2;
    std::vector<uint8_t> rgbLevels(15, 0x11);  // 2×2 then 1×1
    EXPECT_EQ(Parse(Forge::WriteDds(rgb, rgbLevels)).raw.size(), 12u);
}

TEST(DdsImageRules, TheLinearSizeGivenIsReadExactly) {
    Forge::DdsHeader header = Forge::MakeDdsHeader(Compressed(DdsFormat::DXT1, 8, 4));
    header.pitchOrLinearSize = 8;  // one block of two
    auto blocks = Concat({ColourBlock(kRed, 0, {}), ColourBlock(kBlue, 0, {})});
    auto image = Parse(Forge::WriteDds(header, blocks));
    EXPECT_EQ(image.raw.size(), 8u);
    EXPECT_EQ(PixelAt(image.decoded, 8, 0, 0), (Rgba{248, 0, 0, 255}));
    EXPECT_EQ(PixelAt(image.decoded, 8, 4, 0), (Rgba{0, 0, 0, 255}));  // zero block
}

TEST(DdsImageRules, WithoutPitchOrLinearSizeTheKindGivesTheSize) {
    Forge::DdsHeader header = Forge::MakeDdsHeader(Compressed(DdsFormat::DXT5, 5, 5));
    header.flags &= ~(Forge::kDdsLinearSize | Forge::kDdsPitch);
    header.pitchOrLinearSize = 3;
    std::vector<uint8_t> blocks(4 * 16 + 100, 0);
    auto image = Parse(Forge::WriteDds(header, blocks));
    EXPECT_TRUE(image.info.flags & Forge::kDdsLinearSize);
    EXPECT_EQ(image.info.linearSize, 64u);
    EXPECT_EQ(image.raw.size(), 64u);

    auto rgb = Forge::MakeDdsHeader(Uncompressed(3, 2, 32, {0xFF, 0xFF00, 0xFF0000, 0}, false));
    rgb.flags &= ~Forge::kDdsPitch;
    EXPECT_EQ(Parse(Forge::WriteDds(rgb, std::vector<uint8_t>(100))).info.linearSize, 18u);
}

TEST(DdsImageRules, DepthWithoutVolumeCapsIsOneSlice) {
    Forge::DdsHeader header =
        Forge::MakeDdsHeader(Uncompressed(2, 2, 32, {0xFF0000, 0xFF00, 0xFF, 0}, false));
    header.depth = 3;
    auto image = Parse(Forge::WriteDds(header, std::vector<uint8_t>(48, 0x40)));
    EXPECT_EQ(image.info.depth, 1u);
    EXPECT_TRUE(image.info.flags & Forge::kDdsLinearSize);
    EXPECT_EQ(image.info.linearSize, 16u);
    EXPECT_EQ(image.raw.size(), 16u);
    EXPECT_EQ(image.decoded.size(), 12u);
}

TEST(DdsImageRules, VolumeKeepsEverySlice) {
    auto desc = Uncompressed(2, 1, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, true);
    desc.volume = true;
    desc.depth = 3;
    auto words = std::vector<uint32_t>{0x01000000, 0x02000000, 0x03000000,
                                       0x04000000, 0x05000000, 0x06000000};
    auto image = Parse(Forge::WriteDds(desc, Forge::PackPixelWords(words, 32)));
    EXPECT_EQ(image.info.depth, 3u);
    EXPECT_EQ(image.info.linearSize, 24u);
    ASSERT_EQ(image.decoded.size(), 24u);
    for (uint32_t i = 0; i < 6; ++i) {
        EXPECT_EQ(image.decoded[i * 4 + 3], i + 1);
    }
    // The picture of a volume is its first slice.
    EXPECT_EQ(Texture::DecodeToRgba(image).size(), 8u);
}

TEST(DdsImageRules, CompressedVolumeSlicesAreBlockRunsOfTheirOwn) {
    auto desc = Compressed(DdsFormat::DXT1, 4, 4);
    desc.volume = true;
    desc.depth = 2;
    auto blocks = Concat({ColourBlock(kRed, 0, {}), ColourBlock(kBlue, 0, {})});
    auto image = Parse(Forge::WriteDds(desc, blocks));
    EXPECT_EQ(image.info.linearSize, 16u);  // one block's slice × 2
    ASSERT_EQ(image.decoded.size(), 2u * 16 * 4);
    EXPECT_EQ(PixelAt(image.decoded, 4, 3, 3), (Rgba{248, 0, 0, 255}));
    EXPECT_EQ(PixelAt(image.decoded, 4, 0, 4), (Rgba{0, 0, 248, 255}));  // slice 2, row 0

    // A compressed slice's size counts whole blocks only (6 / 4 = 1 across).
    desc.width = 6;
    desc.height = 6;
    EXPECT_EQ(Parse(Forge::WriteDds(desc, std::vector<uint8_t>(128))).info.linearSize, 16u);
}

TEST(DdsImageRules, ThePitchValueItselfIsIgnored) {
    Forge::DdsHeader header =
        Forge::MakeDdsHeader(Uncompressed(2, 2, 16, {0xF800, 0x07E0, 0x001F, 0}, false));
    header.pitchOrLinearSize = 1000;  // rows are still 2 × 16 / 8 bytes
    auto pixels = Forge::PackPixelWords(std::vector<uint32_t>{0xF800, 0, 0, 0x001F, 0xFFFF}, 16);
    auto image = Parse(Forge::WriteDds(header, pixels));
    EXPECT_EQ(image.raw.size(), 8u);
    EXPECT_EQ(image.decoded, (std::vector<uint8_t>{248, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 248}));
}

TEST(DdsImageRules, PitchFlagOnACompressedKindReadsNoPixels) {
    // Bit count 0: rows of no bytes. The texture loads, opaque black.
    Forge::DdsHeader header = Forge::MakeDdsHeader(Compressed(DdsFormat::DXT1, 4, 4));
    header.flags = (header.flags & ~Forge::kDdsLinearSize) | Forge::kDdsPitch;
    auto image = Parse(Forge::WriteDds(header, ColourBlock(kRed, 0, {})));
    EXPECT_TRUE(image.raw.empty());
    EXPECT_EQ(PixelAt(image.decoded, 4, 3, 3), (Rgba{0, 0, 0, 255}));
}

TEST(DdsImageRules, CubeMapFlagWithoutComplexCapsLoads) {
    Forge::DdsHeader header = Forge::MakeDdsHeader(Compressed(DdsFormat::DXT1, 4, 4));
    header.caps2 = Forge::kDdsCaps2CubeMap;
    EXPECT_NO_THROW(Parse(Forge::WriteDds(header, std::vector<uint8_t>(8))));
}

TEST(DdsImageRules, CompressedKindsDecodeOnlyWhenAsked) {
    auto file = Forge::WriteDds(Compressed(DdsFormat::DXT3, 4, 4), std::vector<uint8_t>(16, 1));
    EXPECT_TRUE(Parse(file, false).decoded.empty());
    auto dxt2 = Forge::WriteDds(Compressed(DdsFormat::DXT2, 4, 4), std::vector<uint8_t>(16, 1));
    EXPECT_EQ(Parse(dxt2, false).decoded.size(), 64u);
    auto rgb = Forge::WriteDds(Uncompressed(1, 1, 24, {0xFF, 0, 0, 0}, false),
                               std::vector<uint8_t>{9, 9, 9});
    auto image = Parse(rgb, false);
    EXPECT_EQ(image.decoded, (std::vector<uint8_t>{9, 0, 0}));
    EXPECT_EQ(Texture::DecodeToRgba(image), (std::vector<uint8_t>{9, 0, 0, 255}));
    EXPECT_EQ(Texture::DecodeToRgba(Parse(file, false)), Parse(file, true).decoded);
}

namespace {

std::string ParseError(const std::vector<uint8_t>& file) {
    try {
        Parse(file);
    } catch (const Except& e) {
        return e.what();
    }
    return "(no error)";
}

}  // namespace

// The reader rejection table holds the messages; here the limit itself: 8192 × 8192 passes
// the decoded-size check (it is refused only for lacking its pixels), one row more is not.
TEST(DdsRejects, LargestPictureParsesAndDecodePixelsChecksSizesItself) {
    Forge::DdsHeader header = Forge::MakeDdsHeader(Compressed(DdsFormat::DXT1, 8192, 8192));
    EXPECT_EQ(ParseError(Forge::WriteDds(header, std::vector<uint8_t>(8))),
              "corrupt .dds file: 8192x8192x1 DXT1 pixels need 33554432 bytes, the file has 8");
    header.height = 8193;
    EXPECT_THROW(Parse(Forge::WriteDds(header, std::vector<uint8_t>(8)), false), Except);
    Texture::DdsInfo info;
    info.width = 0;
    info.height = 4;
    EXPECT_THROW(Texture::DecodePixels(info, {}), Except);
}

// ---- Files shorter than their data ----------------------------------------------------

TEST(DdsTruncated, PixelDataShorterThanTheHeaderSaysIsRefused) {
    Forge::DdsHeader huge = Forge::MakeDdsHeader(Compressed(DdsFormat::DXT1, 16, 16));
    huge.pitchOrLinearSize = 0xFFFFFFFF;
    Forge::DdsHeader wide = Forge::MakeDdsHeader(Uncompressed(4, 4, 32, {0xFF, 0, 0, 0}, false));
    wide.bitCount = 0xFFFFFFF8;  // 512 MiB between pixels
    const std::pair<std::vector<uint8_t>, std::string> rows[] = {
        {Forge::WriteDds(Uncompressed(2, 2, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, true),
                         std::vector<uint8_t>{1, 2, 3, 4, 5, 6}),
         "2x2x1 RGBA pixels need 16 bytes, the file has 6"},
        {Forge::WriteDds(Compressed(DdsFormat::DXT5, 4, 4),
                         InterpolatedAlphaBlock(255, 0, Fill(0))),  // colour half missing
         "4x4x1 DXT5 pixels need 16 bytes, the file has 8"},
        {Forge::WriteDds(Compressed(DdsFormat::DXT3, 8, 8), {}),
         "8x8x1 DXT3 pixels need 64 bytes, the file has 0"},
        {Forge::WriteDds(huge, std::vector<uint8_t>(40)),
         "16x16x1 DXT1 pixels need 128 bytes, the file has 40"},
        {Forge::WriteDds(wide, std::vector<uint8_t>(64, 7)),
         "4x4x1 RGB pixels need 8589934576 bytes, the file has 64"},
    };
    for (const auto& [file, missing] : rows) {
        EXPECT_EQ(ParseError(file), "corrupt .dds file: " + missing);
    }
    Forge::DdsHeader narrow = wide;
    narrow.bitCount = 4;  // less than a byte per pixel: no bytes are read for any pixel
    EXPECT_EQ(Parse(Forge::WriteDds(narrow, std::vector<uint8_t>(64, 7))).decoded,
              std::vector<uint8_t>(48, 0));
}

TEST(DdsTruncated, ReaderPositionIsWhereTheFileStarts) {
    auto file = Forge::WriteDds(Compressed(DdsFormat::DXT1, 4, 4), ColourBlock(kRed, 0, {}));
    std::vector<uint8_t> padded(10, 0xEE);
    padded.insert(padded.end(), file.begin(), file.end());
    PakMgr::CMemoryRead reader(padded.data(), static_cast<uint32_t>(padded.size()));
    reader.Seek(10, 0);
    EXPECT_EQ(PixelAt(Texture::ParseDds(reader, true).decoded, 4, 0, 0), (Rgba{248, 0, 0, 255}));
    reader.Seek(static_cast<int32_t>(padded.size()) - 100, 0);
    EXPECT_THROW(Texture::ParseDds(reader, true), Except);
}

// ---- Writer and decoder together ------------------------------------------------------

TEST(DdsEncoded, StbBlocksDecodeCloseToTheirSource) {
    constexpr uint32_t kWidth = 29, kHeight = 21;  // 8 × 6 blocks, the last ones partial
    for (DdsFormat format : {DdsFormat::DXT1, DdsFormat::DXT5}) {
        bool alpha = format == DdsFormat::DXT5;
        auto source = Gradient(kWidth, kHeight, alpha);
        auto blocks = Forge::EncodeDxt(format, kWidth, kHeight, source);
        EXPECT_EQ(blocks.size(), 8u * 6 * (alpha ? 16 : 8));
        auto file = Forge::WriteDds(Compressed(format, kWidth, kHeight), blocks);
        auto decoded = Parse(file).decoded;
        ASSERT_EQ(decoded.size(), source.size());
        for (std::size_t i = 0; i < source.size(); ++i) {
            ASSERT_NEAR(decoded[i], source[i], 24) << "byte " << i;
        }
    }
}
