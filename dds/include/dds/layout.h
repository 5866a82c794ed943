// The layout of a DDS file's 128-byte header, its flags and four-character codes: read by the
// parser here, written by the test writer in forge. Words are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Dds {

// The header in file order, with the values every well-formed file has as defaults.
struct Header {
    uint32_t magic = 0x20534444;  // "DDS "
    uint32_t size = 124;
    uint32_t flags = 0;
    uint32_t height = 0;
    uint32_t width = 0;
    uint32_t pitchOrLinearSize = 0;
    uint32_t depth = 0;
    uint32_t mipMapCount = 0;
    uint32_t reserved1[11] = {};
    uint32_t pixelFormatSize = 32;
    uint32_t pixelFlags = 0;
    uint32_t fourCC = 0;
    uint32_t bitCount = 0;
    uint32_t masks[4] = {};  // red, green, blue, alpha
    uint32_t caps = 0;
    uint32_t caps2 = 0;
    uint32_t caps3 = 0;
    uint32_t caps4 = 0;
    uint32_t reserved2 = 0;
};
static_assert(sizeof(Header) == 128);
static_assert(offsetof(Header, flags) == 8 && offsetof(Header, pitchOrLinearSize) == 20 &&
              offsetof(Header, pixelFlags) == 80 && offsetof(Header, fourCC) == 84 &&
              offsetof(Header, masks) == 92 && offsetof(Header, caps) == 108 &&
              offsetof(Header, caps2) == 112);
inline constexpr uint32_t kHeaderSize = sizeof(Header);

// Header flags.
inline constexpr uint32_t kFlagCaps = 0x1;
inline constexpr uint32_t kFlagHeight = 0x2;
inline constexpr uint32_t kFlagWidth = 0x4;
inline constexpr uint32_t kFlagPitch = 0x8;
inline constexpr uint32_t kFlagPixelFormat = 0x1000;
inline constexpr uint32_t kFlagMipMapCount = 0x20000;
inline constexpr uint32_t kFlagLinearSize = 0x80000;
inline constexpr uint32_t kFlagDepth = 0x800000;
// Pixel-format flags.
inline constexpr uint32_t kPixelAlpha = 0x1;
inline constexpr uint32_t kPixelFourCC = 0x4;
inline constexpr uint32_t kPixelRgb = 0x40;
// Caps and caps2.
inline constexpr uint32_t kCapsComplex = 0x8;
inline constexpr uint32_t kCapsTexture = 0x1000;
inline constexpr uint32_t kCapsMipMap = 0x400000;
inline constexpr uint32_t kCaps2CubeMap = 0x200;
inline constexpr uint32_t kCaps2AllFaces = 0xFC00;
inline constexpr uint32_t kCaps2Volume = 0x200000;

constexpr uint32_t FourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

}  // namespace Dds
