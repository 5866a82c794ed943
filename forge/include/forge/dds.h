// DDS writer with control over every header field, for well-formed and broken textures.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "dds/layout.h"

namespace Forge {

using DdsHeader = Dds::Header;
inline constexpr std::size_t kDdsHeaderSize = Dds::kHeaderSize;

// The header's flags under the names the tests use.
inline constexpr uint32_t kDdsCaps = Dds::kFlagCaps;
inline constexpr uint32_t kDdsHeight = Dds::kFlagHeight;
inline constexpr uint32_t kDdsWidth = Dds::kFlagWidth;
inline constexpr uint32_t kDdsPitch = Dds::kFlagPitch;
inline constexpr uint32_t kDdsPixelFormat = Dds::kFlagPixelFormat;
inline constexpr uint32_t kDdsMipMapCount = Dds::kFlagMipMapCount;
inline constexpr uint32_t kDdsLinearSize = Dds::kFlagLinearSize;
inline constexpr uint32_t kDdsDepth = Dds::kFlagDepth;
inline constexpr uint32_t kDdpfAlphaPixels = Dds::kPixelAlpha;
inline constexpr uint32_t kDdpfFourCC = Dds::kPixelFourCC;
inline constexpr uint32_t kDdpfRgb = Dds::kPixelRgb;
inline constexpr uint32_t kDdsCapsComplex = Dds::kCapsComplex;
inline constexpr uint32_t kDdsCapsTexture = Dds::kCapsTexture;
inline constexpr uint32_t kDdsCapsMipMap = Dds::kCapsMipMap;
inline constexpr uint32_t kDdsCaps2CubeMap = Dds::kCaps2CubeMap;
inline constexpr uint32_t kDdsCaps2AllFaces = Dds::kCaps2AllFaces;
inline constexpr uint32_t kDdsCaps2Volume = Dds::kCaps2Volume;

enum class DdsFormat { Uncompressed, DXT1, DXT2, DXT3, DXT4, DXT5 };

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
