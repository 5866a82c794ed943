// DDS writer with control over every header field, for well-formed and broken textures.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace Forge {

inline constexpr std::size_t kDdsHeaderSize = 128;

// Header flags, pixel-format flags and caps as the DDS format names them.
inline constexpr uint32_t kDdsCaps = 0x1;
inline constexpr uint32_t kDdsHeight = 0x2;
inline constexpr uint32_t kDdsWidth = 0x4;
inline constexpr uint32_t kDdsPitch = 0x8;
inline constexpr uint32_t kDdsPixelFormat = 0x1000;
inline constexpr uint32_t kDdsMipMapCount = 0x20000;
inline constexpr uint32_t kDdsLinearSize = 0x80000;
inline constexpr uint32_t kDdsDepth = 0x800000;
inline constexpr uint32_t kDdpfAlphaPixels = 0x1;
inline constexpr uint32_t kDdpfFourCC = 0x4;
inline constexpr uint32_t kDdpfRgb = 0x40;
inline constexpr uint32_t kDdsCapsComplex = 0x8;
inline constexpr uint32_t kDdsCapsTexture = 0x1000;
inline constexpr uint32_t kDdsCapsMipMap = 0x400000;
inline constexpr uint32_t kDdsCaps2CubeMap = 0x200;
inline constexpr uint32_t kDdsCaps2AllFaces = 0xFC00;
inline constexpr uint32_t kDdsCaps2Volume = 0x200000;

enum class DdsFormat { Uncompressed, DXT1, DXT2, DXT3, DXT4, DXT5 };

// The 128 bytes in file order; every field may be set to anything before writing.
struct DdsHeader {
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
static_assert(sizeof(DdsHeader) == kDdsHeaderSize);

// What a well-formed header describes.
struct DdsDesc {
    uint32_t width = 1;
    uint32_t height = 1;
    DdsFormat format = DdsFormat::Uncompressed;
    // Uncompressed only: bits per pixel, the channel masks and whether the alpha flag is set.
    uint32_t bitCount = 32;
    uint32_t masks[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    bool alpha = true;
    uint32_t mipMapCount = 0;  // > 0: the mip-map flag, count and caps
    uint32_t depth = 0;        // > 0 with `volume`: a volume texture's slices
    bool volume = false;
    bool cubeMap = false;
};

// The header a well-formed file of this description has: the pitch of the top level for
// uncompressed data, its linear size for compressed data.
DdsHeader MakeDdsHeader(const DdsDesc& desc);

// Header followed by the pixel bytes as given (every level, every slice, back to back).
std::vector<uint8_t> WriteDds(const DdsHeader& header, std::span<const uint8_t> pixels);
inline std::vector<uint8_t> WriteDds(const DdsDesc& desc, std::span<const uint8_t> pixels) {
    return WriteDds(MakeDdsHeader(desc), pixels);
}

// Bytes of one level of this size in the description's format.
std::size_t DdsLevelBytes(const DdsDesc& desc, uint32_t width, uint32_t height);

// Uncompressed pixel words stored with bitCount / 8 little-endian bytes each.
std::vector<uint8_t> PackPixelWords(std::span<const uint32_t> words, uint32_t bitCount);

// 8-bit RGBA pixels (top row first) compressed to DXT1 or DXT5 blocks; blocks at the right
// and bottom edges repeat the last column and row.
std::vector<uint8_t> EncodeDxt(DdsFormat format, uint32_t width, uint32_t height,
                               std::span<const uint8_t> rgba);

}  // namespace Forge
