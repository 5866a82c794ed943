// Software decoding of DDS pixels into 8-bit RGB or RGBA.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "Decode.h"
#include "dds/format.h"

namespace Dds {
namespace {

static_assert(std::endian::native == std::endian::little,
              "pixel words are read in the machine's byte order");

// One output pixel as 4 bytes r, g, b, a in memory.
constexpr uint32_t Pack(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return r | g << 8 | b << 16 | a << 24;
}

template <typename T>
T Load(const uint8_t* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// ---- Uncompressed pixels --------------------------------------------------------------

// A channel mask as shifts: the masked bits moved down to bit 0, kept to 8 bits, and moved
// up so that an n-bit channel fills the top n bits of its byte.
struct Channel {
    uint32_t mask = 0;
    uint32_t down = 0;
    uint32_t up = 0;
    uint32_t bits = 0;
};

Channel MakeChannel(uint32_t mask) {
    if (mask == 0) {
        return {};
    }
    auto down = static_cast<uint32_t>(std::countr_zero(mask));
    auto bits = std::min(static_cast<uint32_t>(std::countr_one(mask >> down)), 8u);
    return {mask, down, 8 - bits, bits};
}

inline uint32_t Extract(uint32_t word, Channel c) {
    return ((((word & c.mask) >> c.down) & 255) << c.up) & 255;
}

// How a narrow alpha channel is stretched to 8 bits.
enum class AlphaWidening { OneBit, Nibble, None };

AlphaWidening WideningOf(Channel alpha) {
    if (8 - alpha.bits >= 7) {
        return AlphaWidening::OneBit;
    }
    return 8 - alpha.bits >= 4 ? AlphaWidening::Nibble : AlphaWidening::None;
}

template <AlphaWidening kWidening>
inline uint32_t WidenAlpha(uint32_t alpha) {
    if constexpr (kWidening == AlphaWidening::OneBit) {
        return alpha != 0 ? 255 : 0;
    } else if constexpr (kWidening == AlphaWidening::Nibble) {
        return alpha | alpha >> 4;
    } else {
        return alpha;
    }
}

struct Channels {
    Channel r, g, b, a;
};

// Four 32-bit pixels at once, in the compiler's portable vector type.
using Words = uint32_t __attribute__((vector_size(16)));

inline Words ExtractWords(Words words, Channel c) {
    return (((words & c.mask) >> c.down) & 255) << c.up & 255;
}

template <AlphaWidening kWidening>
inline Words WidenAlphaWords(Words alpha) {
    if constexpr (kWidening == AlphaWidening::OneBit) {
        return reinterpret_cast<Words>(alpha != 0) & 255;
    } else if constexpr (kWidening == AlphaWidening::Nibble) {
        return alpha | alpha >> 4;
    } else {
        return alpha;
    }
}

// The whole-pixel loops take their channels by value so that the compiler knows the output
// stores can't change them.
template <uint32_t kBytes, AlphaWidening kWidening>
void RgbaRun(const uint8_t* src, uint8_t* dst, std::size_t count, Channels ch) {
    const Channel r = ch.r, g = ch.g, b = ch.b, a = ch.a;
    std::size_t i = 0;
    if constexpr (kBytes == 4) {
        for (; i + 4 <= count; i += 4) {
            Words words;
            std::memcpy(&words, src + i * 4, sizeof words);
            Words pixels = ExtractWords(words, r) | ExtractWords(words, g) << 8 |
                           ExtractWords(words, b) << 16 |
                           WidenAlphaWords<kWidening>(ExtractWords(words, a)) << 24;
            std::memcpy(dst + i * 4, &pixels, sizeof pixels);
        }
    }
    for (; i < count; ++i) {
        uint32_t word = 0;
        std::memcpy(&word, src + i * kBytes, kBytes);
        uint32_t pixel = Pack(Extract(word, r), Extract(word, g), Extract(word, b),
                              WidenAlpha<kWidening>(Extract(word, a)));
        std::memcpy(dst + i * 4, &pixel, 4);
    }
}

template <uint32_t kBytes>
void RgbRun(const uint8_t* src, uint8_t* dst, std::size_t count, Channels ch) {
    const Channel r = ch.r, g = ch.g, b = ch.b;
    for (std::size_t i = 0; i < count; ++i) {
        uint32_t word = 0;
        std::memcpy(&word, src + i * kBytes, kBytes);
        dst[i * 3] = static_cast<uint8_t>(Extract(word, r));
        dst[i * 3 + 1] = static_cast<uint8_t>(Extract(word, g));
        dst[i * 3 + 2] = static_cast<uint8_t>(Extract(word, b));
    }
}

template <uint32_t kBytes>
void PixelRun(bool rgba, const uint8_t* src, uint8_t* dst, std::size_t count, Channels ch) {
    if (!rgba) {
        RgbRun<kBytes>(src, dst, count, ch);
        return;
    }
    switch (WideningOf(ch.a)) {
        case AlphaWidening::OneBit:
            return RgbaRun<kBytes, AlphaWidening::OneBit>(src, dst, count, ch);
        case AlphaWidening::Nibble:
            return RgbaRun<kBytes, AlphaWidening::Nibble>(src, dst, count, ch);
        case AlphaWidening::None:
            return RgbaRun<kBytes, AlphaWidening::None>(src, dst, count, ch);
    }
}

// Pixels whose bytes all lie inside the data, 1 to 4 bytes each.
void DecodeWholePixels(uint32_t bytesPerPixel, bool rgba, const uint8_t* src, uint8_t* dst,
                       std::size_t count, Channels ch) {
    switch (bytesPerPixel) {
        case 1:
            return PixelRun<1>(rgba, src, dst, count, ch);
        case 2:
            return PixelRun<2>(rgba, src, dst, count, ch);
        case 3:
            return PixelRun<3>(rgba, src, dst, count, ch);
        default:
            return PixelRun<4>(rgba, src, dst, count, ch);
    }
}

// A pixel's word from its bytes (at most 4 are used), with bytes past the data as zero.
uint32_t PixelWord(std::span<const uint8_t> raw, uint64_t offset, uint32_t bytesPerPixel) {
    uint32_t word = 0;
    if (offset < raw.size()) {
        auto count =
            static_cast<std::size_t>(std::min<uint64_t>({bytesPerPixel, 4, raw.size() - offset}));
        std::memcpy(&word, raw.data() + offset, count);
    }
    return word;
}

void DecodeOnePixel(uint32_t word, bool rgba, uint8_t* dst, Channels ch) {
    dst[0] = static_cast<uint8_t>(Extract(word, ch.r));
    dst[1] = static_cast<uint8_t>(Extract(word, ch.g));
    dst[2] = static_cast<uint8_t>(Extract(word, ch.b));
    if (!rgba) {
        return;
    }
    uint32_t alpha = Extract(word, ch.a);
    switch (WideningOf(ch.a)) {
        case AlphaWidening::OneBit:
            alpha = WidenAlpha<AlphaWidening::OneBit>(alpha);
            break;
        case AlphaWidening::Nibble:
            alpha = WidenAlpha<AlphaWidening::Nibble>(alpha);
            break;
        case AlphaWidening::None:
            break;
    }
    dst[3] = static_cast<uint8_t>(alpha);
}

// Rows of `width` pixels, `rows` of them (every slice's), each written `stride` bytes after
// the one before.
void DecodeUncompressed(const DdsInfo& info, std::span<const uint8_t> raw, uint8_t* out,
                        std::size_t stride, std::size_t rows) {
    const bool rgba = info.kind == DdsKind::RGBA;
    const uint32_t components = Components(info.kind);
    const Channels ch{MakeChannel(info.masks[0]), MakeChannel(info.masks[1]),
                      MakeChannel(info.masks[2]), MakeChannel(info.masks[3])};
    const uint32_t bytesPerPixel = info.bitCount / 8;
    const std::size_t width = info.width;
    const std::size_t wholeInData =
        bytesPerPixel >= 1 && bytesPerPixel <= 4 ? raw.size() / bytesPerPixel : 0;

    for (std::size_t row = 0; row < rows; ++row) {
        const std::size_t first = row * width;
        uint8_t* dst = out + row * stride;
        const std::size_t whole = std::min(width, wholeInData - std::min(wholeInData, first));
        if (whole > 0) {
            DecodeWholePixels(bytesPerPixel, rgba, raw.data() + first * bytesPerPixel, dst, whole,
                              ch);
        }
        for (std::size_t i = whole; i < width; ++i) {
            uint32_t word = PixelWord(raw, uint64_t{first + i} * bytesPerPixel, bytesPerPixel);
            DecodeOnePixel(word, rgba, dst + i * components, ch);
        }
    }
}

// ---- S3TC blocks ------------------------------------------------------------------------

using Block = std::array<uint32_t, kBlockPixels>;

struct Rgb {
    uint32_t r, g, b;
};

// 5:6:5 widened by shifting only, without repeating the top bits.
constexpr Rgb Widen565(uint32_t c) {
    return {(c >> 11) << 3, ((c >> 5) & 63) << 2, (c & 31) << 3};
}

using Palette = std::array<uint32_t, 4>;

// The colour part of a block: two 5:6:5 end colours, then 2-bit indices. Where the
// three-colour mode is allowed, c0 <= c1 selects it, with a clear colour 3.
template <bool kThreeColourAllowed>
inline Palette ColourPalette(const uint8_t* block) {
    const uint32_t c0 = Load<uint16_t>(block);
    const uint32_t c1 = Load<uint16_t>(block + 2);
    const Rgb e0 = Widen565(c0);
    const Rgb e1 = Widen565(c1);
    auto third = [](uint32_t a, uint32_t b) { return (2 * a + b + 1) / 3; };
    Palette palette;
    palette[0] = Pack(e0.r, e0.g, e0.b, 255);
    palette[1] = Pack(e1.r, e1.g, e1.b, 255);
    if (!kThreeColourAllowed || c0 > c1) {
        palette[2] = Pack(third(e0.r, e1.r), third(e0.g, e1.g), third(e0.b, e1.b), 255);
        palette[3] = Pack(third(e1.r, e0.r), third(e1.g, e0.g), third(e1.b, e0.b), 255);
    } else {
        palette[2] = Pack((e0.r + e1.r) / 2, (e0.g + e1.g) / 2, (e0.b + e1.b) / 2, 255);
        palette[3] = Pack(third(e1.r, e0.r), third(e1.g, e0.g), third(e1.b, e0.b), 0);
    }
    return palette;
}

constexpr uint32_t kColourBits = 0x00FFFFFF;

// Where a block's 16 pixels go: 4 rows of 4 pixels, `stride` bytes apart.
struct Target {
    uint8_t* at;
    std::size_t stride;

    // Writes pixel(i) for i = 0…15, a row of four at a time.
    template <typename PixelOf>
    void Write(PixelOf pixel) const {
#pragma GCC unroll 4
        for (uint32_t row = 0; row < kBlockSide; ++row) {
            uint32_t pixels[kBlockSide];
#pragma GCC unroll 4
            for (uint32_t column = 0; column < kBlockSide; ++column) {
                pixels[column] = pixel(row * kBlockSide + column);
            }
            std::memcpy(at + row * stride, pixels, sizeof pixels);
        }
    }
};

inline void DecodeDxt1(const uint8_t* block, Target out) {
    const Palette palette = ColourPalette<true>(block);
    const uint32_t indices = Load<uint32_t>(block + 4);
    out.Write([&](uint32_t i) { return palette[(indices >> (2 * i)) & 3]; });
}

inline Palette OpaqueColourBits(const uint8_t* colourBlock) {
    Palette palette = ColourPalette<false>(colourBlock);
    for (uint32_t& colour : palette) {
        colour &= kColourBits;
    }
    return palette;
}

// 4-bit alphas, row by row, low nibble first, over a four-colour block.
inline void DecodeExplicitAlpha(const uint8_t* block, Target out) {
    const Palette palette = OpaqueColourBits(block + 8);
    const uint64_t alphas = Load<uint64_t>(block);
    const uint32_t indices = Load<uint32_t>(block + 12);
    out.Write([&](uint32_t i) {
        uint32_t alpha = static_cast<uint32_t>((alphas >> (4 * i)) & 15) * 17;
        return palette[(indices >> (2 * i)) & 3] | alpha << 24;
    });
}

// The eight alphas of an interpolated-alpha block, computed for both modes at once in
// 16-bit lanes (the largest sum, 7 × 255 + 3, fits) and the mode's set picked: the mode is
// as random as the data, and a mispredicted branch costs more than the arithmetic.
using Lanes = uint16_t __attribute__((vector_size(16)));
using WideLanes = uint32_t __attribute__((vector_size(32)));

inline std::array<uint32_t, 8> AlphaTable(uint32_t a0, uint32_t a1) {
    constexpr Lanes kEight0 = {7, 0, 6, 5, 4, 3, 2, 1};
    constexpr Lanes kEight1 = {0, 7, 1, 2, 3, 4, 5, 6};
    constexpr Lanes kSix0 = {5, 0, 4, 3, 2, 1, 0, 0};
    constexpr Lanes kSix1 = {0, 5, 1, 2, 3, 4, 0, 0};
    constexpr Lanes kSixAdd = {2, 2, 2, 2, 2, 2, 0, 255 * 5};  // alpha 6 is 0, alpha 7 255
    const auto first = static_cast<uint16_t>(a0);
    const auto second = static_cast<uint16_t>(a1);
    const Lanes eight = (kEight0 * first + kEight1 * second + 3) / 7;
    const Lanes six = (kSix0 * first + kSix1 * second + kSixAdd) / 5;
    const Lanes chosen = a0 > a1 ? eight : six;
    const WideLanes shifted = __builtin_convertvector(chosen, WideLanes) << 24;
    std::array<uint32_t, 8> table;
    std::memcpy(table.data(), &shifted, sizeof table);
    return table;
}

// Two end alphas and 3-bit indices, over a four-colour block.
inline void DecodeInterpolatedAlpha(const uint8_t* block, Target out) {
    const std::array<uint32_t, 8> table = AlphaTable(block[0], block[1]);
    const Palette palette = OpaqueColourBits(block + 8);
    uint64_t alphas = 0;
    std::memcpy(&alphas, block + 2, 6);
    const uint32_t indices = Load<uint32_t>(block + 12);
    out.Write([&](uint32_t i) {
        return palette[(indices >> (2 * i)) & 3] | table[(alphas >> (3 * i)) & 7];
    });
}

// DXT2 and DXT4 store colours multiplied by alpha. A colour at or above its alpha (full
// brightness, or a rounding overshoot) saturates at 255 rather than wrapping to dark.
inline void Unpremultiply(Block& out) {
    for (uint32_t& pixel : out) {
        uint32_t alpha = pixel >> 24;
        if (alpha == 0) {
            continue;
        }
        auto undo = [&](uint32_t shift) {
            return std::min<uint32_t>(((pixel >> shift) & 255) * 256 / alpha, 255);
        };
        pixel = Pack(undo(0), undo(8), undo(16), alpha);
    }
}

template <DdsKind kKind>
inline void DecodeBlock(const uint8_t* block, Target out) {
    if constexpr (kKind == DdsKind::DXT1) {
        DecodeDxt1(block, out);
    } else if constexpr (kKind == DdsKind::DXT2 || kKind == DdsKind::DXT3) {
        DecodeExplicitAlpha(block, out);
    } else {
        DecodeInterpolatedAlpha(block, out);
    }
}

constexpr bool IsPremultiplied(DdsKind kind) {
    return kind == DdsKind::DXT2 || kind == DdsKind::DXT4;
}

// Writes the part of a block that lies inside the image.
inline void StoreBlock(const Block& block, uint8_t* slice, std::size_t stride, uint32_t width,
                       uint32_t height, uint32_t x, uint32_t y) {
    const uint32_t rows = std::min(kBlockSide, height - y);
    const uint32_t columns = std::min(kBlockSide, width - x);
    uint8_t* dst = slice + y * stride + std::size_t{x} * 4;
    for (uint32_t row = 0; row < rows; ++row, dst += stride) {
        std::memcpy(dst, &block[std::size_t{row} * kBlockSide], std::size_t{columns} * 4);
    }
}

// The blocks of `slices` slices, into rows `stride` bytes apart.
template <DdsKind kKind>
void DecodeBlocks(const DdsInfo& info, std::span<const uint8_t> raw, uint8_t* out,
                  std::size_t stride, uint32_t slices) {
    constexpr uint32_t kBytes = BlockBytes(kKind);
    const std::size_t sliceBytes = stride * info.height;
    std::size_t offset = 0;
    Block pixels;
    const Target staging{reinterpret_cast<uint8_t*>(pixels.data()), std::size_t{kBlockSide} * 4};
    for (uint32_t z = 0; z < slices; ++z) {
        uint8_t* slice = out + z * sliceBytes;
        for (uint32_t y = 0; y < info.height; y += kBlockSide) {
            const bool wholeRows = y + kBlockSide <= info.height;
            for (uint32_t x = 0; x < info.width; x += kBlockSide, offset += kBytes) {
                std::array<uint8_t, kBytes> padded{};
                const uint8_t* block = padded.data();
                if (offset + kBytes <= raw.size()) {
                    block = raw.data() + offset;
                } else if (offset < raw.size()) {
                    // Bytes missing at the end of a short file count as zero.
                    std::memcpy(padded.data(), raw.data() + offset, raw.size() - offset);
                }
                if (!IsPremultiplied(kKind) && wholeRows && x + kBlockSide <= info.width) {
                    DecodeBlock<kKind>(block, {slice + y * stride + std::size_t{x} * 4, stride});
                    continue;
                }
                DecodeBlock<kKind>(block, staging);
                if constexpr (IsPremultiplied(kKind)) {
                    Unpremultiply(pixels);
                }
                StoreBlock(pixels, slice, stride, info.width, info.height, x, y);
            }
        }
    }
}

void DecodeSlices(const DdsInfo& info, std::span<const uint8_t> raw, uint8_t* out,
                  std::size_t stride, uint32_t slices) {
    switch (info.kind) {
        case DdsKind::RGBA:
        case DdsKind::RGB:
            return DecodeUncompressed(info, raw, out, stride, std::size_t{info.height} * slices);
        case DdsKind::DXT1:
            return DecodeBlocks<DdsKind::DXT1>(info, raw, out, stride, slices);
        case DdsKind::DXT2:
            return DecodeBlocks<DdsKind::DXT2>(info, raw, out, stride, slices);
        case DdsKind::DXT3:
            return DecodeBlocks<DdsKind::DXT3>(info, raw, out, stride, slices);
        case DdsKind::DXT4:
            return DecodeBlocks<DdsKind::DXT4>(info, raw, out, stride, slices);
        case DdsKind::DXT5:
            return DecodeBlocks<DdsKind::DXT5>(info, raw, out, stride, slices);
    }
}

}  // namespace

std::vector<uint8_t> DecodePixels(const DdsInfo& info, std::span<const uint8_t> raw) {
    CheckSize(info);
    std::vector<uint8_t> out(DecodedBytes(info));
    DecodeSlices(info, raw, out.data(), std::size_t{info.width} * Components(info.kind),
                 info.depth);
    return out;
}

void DecodeRows(const DdsInfo& info, std::span<const uint8_t> raw, uint8_t* first,
                std::size_t stride) {
    CheckSize(info);
    DecodeSlices(info, raw, first, stride, 1);
}

}  // namespace Dds
