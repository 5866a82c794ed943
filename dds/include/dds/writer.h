// The DDS writer, over the header layout of dds/layout.h that the parser uses: a header
// made from a description or given field by field, uncompressed pixel words, and DXT blocks
// compressed by stb_dxt.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "dds/layout.h"

namespace Dds {

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
Header MakeDdsHeader(const DdsDesc& desc);

// Header followed by the pixel bytes as given (every level, every slice, back to back).
std::vector<uint8_t> WriteDds(const Header& header, std::span<const uint8_t> pixels);
inline std::vector<uint8_t> WriteDds(const DdsDesc& desc, std::span<const uint8_t> pixels) {
    return WriteDds(MakeDdsHeader(desc), pixels);
}

// Bytes of one level of this size in the description's format.
std::size_t DdsLevelBytes(const DdsDesc& desc, uint32_t width, uint32_t height);

// Uncompressed pixel words stored with bitCount / 8 little-endian bytes each.
std::vector<uint8_t> PackPixelWords(std::span<const uint32_t> words, uint32_t bitCount);

// 8-bit RGBA pixels (top row first) compressed to DXT1, DXT3 or DXT5 blocks; blocks at the
// right and bottom edges repeat the last column and row. Throws Except (Input) for another
// format or fewer pixels than the size needs.
std::vector<uint8_t> EncodeDxt(DdsFormat format, uint32_t width, uint32_t height,
                               std::span<const uint8_t> rgba);

}  // namespace Dds
