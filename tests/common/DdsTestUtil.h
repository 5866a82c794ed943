// Building blocks for DDS tests: S3TC blocks from end points and indices, files made by the
// DDS writer, parsed through an in-memory reader.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dds/dds.h"
#include "forge/dds.h"
#include "pakmgr/pakmgr.h"

namespace DdsTest {

using Rgba = std::array<uint8_t, 4>;
using Indices = std::array<uint8_t, 16>;  // one per pixel, rows top first

// 8 bytes: two 5:6:5 end colours and 2-bit indices, least significant bits first.
inline std::vector<uint8_t> ColourBlock(uint16_t c0, uint16_t c1, const Indices& indices) {
    std::vector<uint8_t> block = {static_cast<uint8_t>(c0), static_cast<uint8_t>(c0 >> 8),
                                  static_cast<uint8_t>(c1), static_cast<uint8_t>(c1 >> 8)};
    uint32_t bits = 0;
    for (int i = 0; i < 16; ++i) {
        bits |= static_cast<uint32_t>(indices[i] & 3) << (2 * i);
    }
    for (int i = 0; i < 4; ++i) {
        block.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    }
    return block;
}

// 8 bytes of 4-bit alphas, low nibble first.
inline std::vector<uint8_t> ExplicitAlphaBlock(const Indices& nibbles) {
    std::vector<uint8_t> block;
    for (int i = 0; i < 16; i += 2) {
        block.push_back(static_cast<uint8_t>((nibbles[i] & 15) | (nibbles[i + 1] & 15) << 4));
    }
    return block;
}

// 8 bytes: two end alphas and 3-bit indices.
inline std::vector<uint8_t> InterpolatedAlphaBlock(uint8_t a0, uint8_t a1, const Indices& indices) {
    std::vector<uint8_t> block{a0, a1};
    uint64_t bits = 0;
    for (int i = 0; i < 16; ++i) {
        bits |= static_cast<uint64_t>(indices[i] & 7) << (3 * i);
    }
    for (int i = 0; i < 6; ++i) {
        block.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    }
    return block;
}

inline std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

inline Indices Fill(uint8_t index) {
    Indices indices;
    indices.fill(index);
    return indices;
}

inline Forge::DdsDesc Compressed(Forge::DdsFormat format, uint32_t width, uint32_t height) {
    return {.width = width, .height = height, .format = format};
}

inline Forge::DdsDesc Uncompressed(uint32_t width, uint32_t height, uint32_t bitCount,
                                   std::array<uint32_t, 4> masks, bool alpha) {
    return {.width = width,
            .height = height,
            .bitCount = bitCount,
            .masks = {masks[0], masks[1], masks[2], masks[3]},
            .alpha = alpha};
}

inline Dds::DdsImage Parse(const std::vector<uint8_t>& file, bool decode = true) {
    PakMgr::CMemoryRead reader(file.data(), static_cast<uint32_t>(file.size()));
    return Dds::ParseDds(reader, decode);
}

inline Rgba PixelAt(const std::vector<uint8_t>& rgba, uint32_t width, uint32_t x, uint32_t y) {
    std::size_t at = (std::size_t{y} * width + x) * 4;
    return {rgba[at], rgba[at + 1], rgba[at + 2], rgba[at + 3]};
}

// A deterministic spread of pixels for round trips.
inline std::vector<uint8_t> Gradient(uint32_t width, uint32_t height, bool withAlpha) {
    std::vector<uint8_t> rgba(std::size_t{width} * height * 4);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = &rgba[(std::size_t{y} * width + x) * 4];
            p[0] = static_cast<uint8_t>(x * 255 / std::max(width - 1, 1u));
            p[1] = static_cast<uint8_t>(y * 255 / std::max(height - 1, 1u));
            p[2] = static_cast<uint8_t>(64 + x * 5 + y * 3);
            p[3] = withAlpha ? static_cast<uint8_t>(255 - (x + y) * 9) : 255;
        }
    }
    return rgba;
}

// The width in a PNG file's header.
inline uint32_t PngWidth(const std::string& bytes) {
    constexpr std::size_t kWidthAt = 16;
    uint32_t width = 0;
    for (std::size_t i = kWidthAt; i < kWidthAt + 4 && i < bytes.size(); ++i) {
        width = width << 8 | static_cast<unsigned char>(bytes[i]);
    }
    return width;
}

}  // namespace DdsTest
