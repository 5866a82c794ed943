// The software decoder against blocks and pixels computed by hand, and the header rules.
#include <gtest/gtest.h>

#include <algorithm>

#include "DdsTestUtil.h"
#include "GameFolder.h"
#include "PngRead.h"

using namespace DdsTest;
using Dds::DdsKind;
using Forge::DdsFormat;

namespace {

constexpr uint16_t kRed = 0xF800;    // 31, 0, 0
constexpr uint16_t kBlue = 0x001F;   // 0, 0, 31
constexpr uint16_t kGreen = 0x07E0;  // 0, 63, 0
const Indices kRamp = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};
const Indices kCount = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
const Indices kEight = {0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7};
const std::array<uint32_t, 4> k565 = {0xF800, 0x07E0, 0x001F, 0};
const std::array<uint32_t, 4> kBgr = {0xFF0000, 0xFF00, 0xFF, 0};
const std::array<uint32_t, 4> kBgra = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};

struct Spot {
    uint32_t x, y;
    Rgba rgba;  // the first `components` bytes count
};

struct DecodeRow {
    const char* name;
    Forge::DdsHeader header;
    std::vector<uint8_t> data;
    std::vector<Spot> spots;  // of the decoded pixels
    int64_t raw = -1;         // the top image's bytes kept; -1: not checked
    int64_t linearSize = -1;
    std::vector<uint8_t> decoded = {};  // all of them; empty: not checked
    std::string error = {};             // refused: the message after "corrupt .dds file: "
};

void PrintTo(const DecodeRow& row, std::ostream* os) {
    *os << row.name;
}

template <typename Change = void (*)(Forge::DdsHeader&)>
Forge::DdsHeader Header(
    const Forge::DdsDesc& desc, Change change = [](Forge::DdsHeader&) {}) {
    Forge::DdsHeader header = Forge::MakeDdsHeader(desc);
    change(header);
    return header;
}

Forge::DdsDesc Mips(Forge::DdsDesc desc, uint32_t mips) {
    desc.mipMapCount = mips;
    return desc;
}

Forge::DdsDesc Volume(Forge::DdsDesc desc, uint32_t depth) {
    desc.volume = true;
    desc.depth = depth;
    return desc;
}

std::vector<uint8_t> Blocks(std::initializer_list<uint16_t> colours) {
    std::vector<uint8_t> blocks;
    for (uint16_t c : colours) {
        const auto block = ColourBlock(c, 0, Fill(0));
        blocks.insert(blocks.end(), block.begin(), block.end());
    }
    return blocks;
}

constexpr Rgba kR = {248, 0, 0, 255};
constexpr Rgba kB = {0, 0, 248, 255};
constexpr Rgba kPurple = {165, 0, 83, 255};

// The software decoder against blocks and pixels computed by hand, and the header's rules.
// clang-format off
const DecodeRow kDecodeRows[] = {
    // DXT1: 5:6:5 widened by shift; four colours when c0 > c1 with thirds rounded, else three
    // and a clear one; indices row by row from the low bits.
    {"Dxt1FourColours", Header(Compressed(DdsFormat::DXT1, 4, 4)), ColourBlock(kRed, kBlue, kRamp), {{0, 0, kR}, {1, 3, kB}, {2, 1, kPurple}, {3, 2, {83, 0, 165, 255}}}},
    {"Dxt1ThreeColours", Header(Compressed(DdsFormat::DXT1, 4, 4)), ColourBlock(kBlue, kRed, kRamp), {{0, 0, kB}, {1, 0, kR}, {2, 0, {124, 0, 124, 255}}, {3, 0, {165, 0, 83, 0}}}},
    {"Dxt1EqualEndsAreThreeColours", Header(Compressed(DdsFormat::DXT1, 4, 4)), ColourBlock(kGreen, kGreen, Fill(3)), {{2, 2, {0, 252, 0, 0}}}},
    {"Dxt1IndicesRowByRow", Header(Compressed(DdsFormat::DXT1, 4, 4)), ColourBlock(kRed, kBlue, {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0}), {{1, 0, kB}, {2, 3, kB}, {0, 0, kR}, {1, 1, kR}, {3, 3, kR}}},
    // DXT3: 4-bit alpha × 17 over a colour block that is always four colours.
    {"Dxt3ExplicitAlpha", Header(Compressed(DdsFormat::DXT3, 4, 4)), Concat({ExplicitAlphaBlock(kCount), ColourBlock(kBlue, kRed, Fill(2))}), {{0, 0, {83, 0, 165, 0}}, {1, 0, {83, 0, 165, 17}}, {2, 1, {83, 0, 165, 102}}, {3, 3, {83, 0, 165, 255}}}},
    // DXT5: eight alphas when the first is larger, else six with 0 and 255.
    {"Dxt5EightAlphas", Header(Compressed(DdsFormat::DXT5, 4, 4)), Concat({InterpolatedAlphaBlock(200, 100, kEight), ColourBlock(kBlue, kRed, {})}), {{0, 0, {0, 0, 248, 200}}, {1, 0, {0, 0, 248, 100}}, {2, 0, {0, 0, 248, 186}}, {3, 1, {0, 0, 248, 114}}}},
    {"Dxt5SixAlphas", Header(Compressed(DdsFormat::DXT5, 4, 4)), Concat({InterpolatedAlphaBlock(100, 200, kEight), ColourBlock(kRed, kBlue, {})}), {{0, 0, {248, 0, 0, 100}}, {2, 0, {248, 0, 0, 120}}, {1, 1, {248, 0, 0, 180}}, {2, 1, {248, 0, 0, 0}}, {3, 1, kR}}},
    // DXT2 and DXT4 divide the colours by alpha (80·256 / a); alpha 0 leaves them, 255 caps.
    {"Dxt2Premultiplied", Header(Compressed(DdsFormat::DXT2, 4, 4)), Concat({ExplicitAlphaBlock({15, 5, 0, 8, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15}), ColourBlock(10 << 11, 17 << 11, {0, 0, 0, 1})}), {{0, 0, {80, 0, 0, 255}}, {1, 0, {240, 0, 0, 85}}, {2, 0, {80, 0, 0, 0}}, {3, 0, {255, 0, 0, 136}}}},
    {"Dxt4Premultiplied", Header(Compressed(DdsFormat::DXT4, 4, 4)), Concat({InterpolatedAlphaBlock(170, 85, {0, 1}), ColourBlock(10 << 11, 0, {})}), {{0, 0, {120, 0, 0, 170}}, {1, 0, {240, 0, 0, 85}}}},
    // Blocks: a small image takes its corner, an odd size's edge blocks land in place.
    {"SmallImageIsTheBlocksCorner", Header(Compressed(DdsFormat::DXT5, 2, 2)), Concat({InterpolatedAlphaBlock(210, 0, {0, 1, 7, 7, 2, 3, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7}), ColourBlock(kRed, kBlue, {})}), {{0, 0, {248, 0, 0, 210}}, {1, 0, {248, 0, 0, 0}}, {0, 1, {248, 0, 0, 180}}, {1, 1, {248, 0, 0, 150}}}},
    {"OddSizeEdgeBlocks", Header(Compressed(DdsFormat::DXT1, 6, 5)), Blocks({kRed, kBlue, kGreen, 0xFFFF}), {{3, 3, kR}, {4, 0, kB}, {5, 3, kB}, {0, 4, {0, 252, 0, 255}}, {5, 4, {248, 252, 248, 255}}}},
    // Uncompressed: masks widen to 8 bits.
    {"Rgb565WidensByShift", Header(Uncompressed(3, 1, 16, k565, false)), Forge::PackPixelWords(std::vector<uint32_t>{0xFFFF, 0xF800, 0x0821}, 16), {}, -1, -1, {248, 252, 248, 248, 0, 0, 8, 4, 8}},
    {"OneBitAlphaClearOrFull", Header(Uncompressed(2, 1, 16, {0x7C00, 0x03E0, 0x001F, 0x8000}, true)), Forge::PackPixelWords(std::vector<uint32_t>{0xFC00, 0x001F}, 16), {}, -1, -1, {248, 0, 0, 255, 0, 0, 248, 0}},
    {"FourBitAlphaRepeatsItsNibble", Header(Uncompressed(1, 1, 16, {0x0F00, 0x00F0, 0x000F, 0xF000}, true)), Forge::PackPixelWords(std::vector<uint32_t>{0x7F84}, 16), {}, -1, -1, {240, 128, 64, 119}},
    {"Bgra32", Header(Uncompressed(2, 1, 32, kBgra, true)), Forge::PackPixelWords(std::vector<uint32_t>{0x80112233, 0x00FFEEDD}, 32), {}, -1, -1, {0x11, 0x22, 0x33, 0x80, 0xFF, 0xEE, 0xDD, 0x00}},
    // The last pixel ends the file: three bytes each, nothing read past it.
    {"Bgr24", Header(Uncompressed(2, 1, 24, kBgr, false)), Forge::PackPixelWords(std::vector<uint32_t>{0x80112233, 0x00FFEEDD}, 24), {}, -1, -1, {0x11, 0x22, 0x33, 0xFF, 0xEE, 0xDD}},
    {"Luminance8AndEmptyMasks", Header(Uncompressed(3, 1, 8, {0xFF, 0, 0xF0, 0}, false)), {0x00, 0x7F, 0xFF}, {}, -1, -1, {0, 0, 0, 0x7F, 0, 0x70, 0xFF, 0, 0xF0}},
    {"MaskWiderThan8BitsKeepsLowBits", Header(Uncompressed(1, 1, 32, {0x3FF00000, 0x000FFC00, 0x000003FF, 0}, false)), Forge::PackPixelWords(std::vector<uint32_t>{0x3FF00155}, 32), {}, -1, -1, {0xFF, 0x00, 0x55}},
    {"RgbaWithoutAlphaMaskIsClear", Header(Uncompressed(1, 1, 32, kBgr, true)), Forge::PackPixelWords(std::vector<uint32_t>{0xFF102030}, 32), {}, -1, -1, {0x10, 0x20, 0x30, 0}},
    // Header rules.
    {"DamagedMagicStillLoads", Header(Compressed(DdsFormat::DXT1, 4, 4), [](auto& h) { h.magic = 0x12345678; h.size = 0; }), ColourBlock(kRed, kBlue, {}), {{0, 0, kR}}},
    {"OnlyTheTopMipLevel", Header(Mips(Compressed(DdsFormat::DXT1, 8, 8), 4)), Blocks({kRed, kRed, kRed, kRed, kBlue, kBlue, kBlue}), {{0, 0, kR}, {7, 7, kR}, {4, 3, kR}}, 32},
    {"OnlyTheTopMipLevelUncompressed", Header(Mips(Uncompressed(2, 2, 24, kBgr, false), 2)), std::vector<uint8_t>(15, 0x11), {}, 12},
    {"LinearSizeIsReadExactly", Header(Compressed(DdsFormat::DXT1, 8, 4), [](auto& h) { h.pitchOrLinearSize = 8; }), Blocks({kRed, kBlue}), {{0, 0, kR}, {4, 0, {0, 0, 0, 255}}}, 8},
    {"WithoutSizeFlagsTheKindGivesTheSize", Header(Compressed(DdsFormat::DXT5, 5, 5), [](auto& h) { h.flags &= ~(Forge::kDdsLinearSize | Forge::kDdsPitch); h.pitchOrLinearSize = 3; }), std::vector<uint8_t>(164), {}, 64, 64},
    {"WithoutPitchFlagTheKindGivesTheSize", Header(Uncompressed(3, 2, 32, {0xFF, 0xFF00, 0xFF0000, 0}, false), [](auto& h) { h.flags &= ~Forge::kDdsPitch; }), std::vector<uint8_t>(100), {}, -1, 18},
    {"DepthWithoutVolumeCapsIsOneSlice", Header(Uncompressed(2, 2, 32, kBgr, false), [](auto& h) { h.depth = 3; }), std::vector<uint8_t>(48, 0x40), {}, 16, 16, std::vector<uint8_t>(12, 0x40)},
    {"VolumeKeepsEverySlice", Header(Volume(Uncompressed(2, 1, 32, kBgra, true), 3)), Forge::PackPixelWords(std::vector<uint32_t>{1 << 24, 2 << 24, 3 << 24, 4 << 24, 5 << 24, 6 << 24}, 32), {{0, 0, {0, 0, 0, 1}}, {1, 2, {0, 0, 0, 6}}}, -1, 24},
    {"CompressedVolumeSlicesAreBlockRuns", Header(Volume(Compressed(DdsFormat::DXT1, 4, 4), 2)), Blocks({kRed, kBlue}), {{3, 3, kR}, {0, 4, kB}}, -1, 16},
    {"CompressedSliceCountsWholeBlocks", Header(Volume(Compressed(DdsFormat::DXT1, 6, 6), 2)), std::vector<uint8_t>(128), {}, -1, 16},
    {"PitchValueIsIgnored", Header(Uncompressed(2, 2, 16, k565, false), [](auto& h) { h.pitchOrLinearSize = 1000; }), Forge::PackPixelWords(std::vector<uint32_t>{0xF800, 0, 0, 0x001F, 0xFFFF}, 16), {}, 8, -1, {248, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 248}},
    // Bit count 0: rows of no bytes. The texture loads, opaque black.
    {"PitchFlagOnACompressedKindReadsNoPixels", Header(Compressed(DdsFormat::DXT1, 4, 4), [](auto& h) { h.flags = (h.flags & ~Forge::kDdsLinearSize) | Forge::kDdsPitch; }), ColourBlock(kRed, 0, {}), {{3, 3, {0, 0, 0, 255}}}, 0},
    {"CubeMapFlagWithoutComplexCapsLoads", Header(Compressed(DdsFormat::DXT1, 4, 4), [](auto& h) { h.caps2 = Forge::kDdsCaps2CubeMap; }), std::vector<uint8_t>(8), {}},
    // Pixel data shorter than the header says is refused, never read past; 8192 × 8192 passes
    // the decoded-size check (the reader rejection table holds the one row more).
    {"ShortRgba", Header(Uncompressed(2, 2, 32, kBgra, true)), {1, 2, 3, 4, 5, 6}, {}, -1, -1, {}, "2x2x1 RGBA pixels need 16 bytes, the file has 6"},
    {"Dxt5ColourHalfMissing", Header(Compressed(DdsFormat::DXT5, 4, 4)), InterpolatedAlphaBlock(255, 0, Fill(0)), {}, -1, -1, {}, "4x4x1 DXT5 pixels need 16 bytes, the file has 8"},
    {"Dxt3NoPixels", Header(Compressed(DdsFormat::DXT3, 8, 8)), {}, {}, -1, -1, {}, "8x8x1 DXT3 pixels need 64 bytes, the file has 0"},
    {"HugeLinearSize", Header(Compressed(DdsFormat::DXT1, 16, 16), [](auto& h) { h.pitchOrLinearSize = 0xFFFFFFFF; }), std::vector<uint8_t>(40), {}, -1, -1, {}, "16x16x1 DXT1 pixels need 128 bytes, the file has 40"},
    {"HalfAGigabyteBetweenPixels", Header(Uncompressed(4, 4, 32, {0xFF, 0, 0, 0}, false), [](auto& h) { h.bitCount = 0xFFFFFFF8; }), std::vector<uint8_t>(64, 7), {}, -1, -1, {}, "4x4x1 RGB pixels need 8589934576 bytes, the file has 64"},
    {"LargestPicture", Header(Compressed(DdsFormat::DXT1, 8192, 8192)), std::vector<uint8_t>(8), {}, -1, -1, {}, "8192x8192x1 DXT1 pixels need 33554432 bytes, the file has 8"},
    // Less than a byte per pixel: no bytes are read for any pixel.
    {"NarrowPixelsReadNothing", Header(Uncompressed(4, 4, 32, {0xFF, 0, 0, 0}, false), [](auto& h) { h.bitCount = 4; }), std::vector<uint8_t>(64, 7), {}, -1, -1, std::vector<uint8_t>(48, 0)},
};
// clang-format on

class Decode : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(Decode, GivesThePixels) {
    const DecodeRow& row = GetParam();
    if (!row.error.empty()) {
        EXPECT_EQ(TestUtil::ErrorOf([&] { Parse(Forge::WriteDds(row.header, row.data)); }),
                  "corrupt .dds file: " + row.error);
        return;
    }
    const Dds::DdsImage image = Parse(Forge::WriteDds(row.header, row.data));
    for (const Spot& spot : row.spots) {
        const std::size_t at = (std::size_t{spot.y} * row.header.width + spot.x) * image.components;
        ASSERT_LE(at + image.components, image.decoded.size());
        for (uint32_t c = 0; c < image.components; ++c) {
            EXPECT_EQ(image.decoded[at + c], spot.rgba[c]) << spot.x << "," << spot.y << " " << c;
        }
    }
    if (row.raw >= 0) {
        EXPECT_EQ(static_cast<int64_t>(image.raw.size()), row.raw);
    }
    if (row.linearSize >= 0) {
        EXPECT_EQ(image.info.linearSize, row.linearSize);
    }
    if (!row.decoded.empty()) {
        EXPECT_EQ(image.decoded, row.decoded);
    }
}

// The PNG encoder decodes into its own rows: every kind, size and short file above must
// come out as the decoder's RGBA, with its lowest alpha, whether or not parsing decoded.
TEST_P(Decode, AsPngGivesTheSamePixels) {
    const DecodeRow& row = GetParam();
    if (!row.error.empty()) {
        return;
    }
    const std::vector<uint8_t> file = Forge::WriteDds(row.header, row.data);
    const std::vector<uint8_t> rgba = Dds::DecodeToRgba(Parse(file));
    uint8_t lowest = 255;
    for (std::size_t i = 3; i < rgba.size(); i += 4) {
        lowest = std::min(lowest, rgba[i]);
    }
    for (const bool decode : {false, true}) {
        const Dds::PngPicture picture = Dds::EncodePng(Parse(file, decode));
        const ReadBack back = ReadPng(picture.bytes);
        ASSERT_TRUE(back.ok) << "decoded when parsed: " << decode;
        EXPECT_EQ(back.width, row.header.width);
        EXPECT_EQ(back.height, row.header.height);
        EXPECT_TRUE(back.rgba == rgba) << "decoded when parsed: " << decode;
        EXPECT_EQ(picture.lowestAlpha, lowest) << "decoded when parsed: " << decode;
    }
}

INSTANTIATE_TEST_SUITE_P(Dds, Decode, ::testing::ValuesIn(kDecodeRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

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
        const Dds::DdsInfo info = Parse(Forge::WriteDds(desc, pixels)).info;
        pixels.resize(pixels.size() - bits / 8 - 1);
        auto decoded = Dds::DecodePixels(info, pixels);
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

TEST(DdsImageRules, CompressedKindsDecodeOnlyWhenAsked) {
    auto file = Forge::WriteDds(Compressed(DdsFormat::DXT3, 4, 4), std::vector<uint8_t>(16, 1));
    EXPECT_TRUE(Parse(file, false).decoded.empty());
    auto dxt2 = Forge::WriteDds(Compressed(DdsFormat::DXT2, 4, 4), std::vector<uint8_t>(16, 1));
    EXPECT_EQ(Parse(dxt2, false).decoded.size(), 64u);
    auto rgb = Forge::WriteDds(Uncompressed(1, 1, 24, {0xFF, 0, 0, 0}, false),
                               std::vector<uint8_t>{9, 9, 9});
    auto image = Parse(rgb, false);
    EXPECT_EQ(image.decoded, (std::vector<uint8_t>{9, 0, 0}));
    EXPECT_EQ(Dds::DecodeToRgba(image), (std::vector<uint8_t>{9, 0, 0, 255}));
    EXPECT_EQ(Dds::DecodeToRgba(Parse(file, false)), Parse(file, true).decoded);
}

// The limit one row on without decoding; DecodePixels checks sizes itself.
TEST(DdsRejects, OneRowOverTheLargestPictureAndDecodePixelsChecksSizes) {
    Forge::DdsHeader header = Forge::MakeDdsHeader(Compressed(DdsFormat::DXT1, 8192, 8193));
    EXPECT_EQ(
        TestUtil::ErrorOf([&] { Parse(Forge::WriteDds(header, std::vector<uint8_t>(8)), false); }),
        "corrupt .dds file: 8192x8193x1 pixels decode to 268468224 bytes, more than 268435456");
    Dds::DdsInfo info;
    info.width = 0;
    info.height = 4;
    EXPECT_THROW(Dds::DecodePixels(info, {}), Except);
}

TEST(DdsTruncated, ReaderPositionIsWhereTheFileStarts) {
    auto file = Forge::WriteDds(Compressed(DdsFormat::DXT1, 4, 4), ColourBlock(kRed, 0, {}));
    std::vector<uint8_t> padded = file;
    padded.insert(padded.begin(), 10, 0xEE);
    PakMgr::CMemoryRead reader(padded.data(), static_cast<uint32_t>(padded.size()));
    reader.Seek(10, 0);
    EXPECT_EQ(PixelAt(Dds::ParseDds(reader, true).decoded, 4, 0, 0), (Rgba{248, 0, 0, 255}));
    reader.Seek(static_cast<int32_t>(padded.size()) - 100, 0);
    EXPECT_THROW(Dds::ParseDds(reader, true), Except);
}
