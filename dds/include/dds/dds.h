// DDS textures: parsing and software decoding, and PNG encoding. No GL here: the GL textures
// made from these images are in texture/gl.h.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "pakmgr/pakmgr.h"

namespace Dds {

enum class DdsKind { RGBA, RGB, DXT1, DXT2, DXT3, DXT4, DXT5 };

struct DdsInfo {
    uint32_t flags = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t depth = 1;
    uint32_t mipCount = 0;
    uint32_t pixelFlags = 0;
    uint32_t fourCC = 0;
    uint32_t bitCount = 0;
    uint32_t masks[4] = {};  // red, green, blue, alpha
    uint32_t caps = 0;
    uint32_t caps2 = 0;
    uint32_t linearSize = 0;
    DdsKind kind = DdsKind::RGBA;
};

// A DDS file's top image: the header as read, the raw pixel bytes and, when decoded,
// 3 (RGB) or 4 components per pixel, rows top first, one slice per depth.
struct DdsImage {
    DdsInfo info;
    std::vector<uint8_t> raw;
    std::vector<uint8_t> decoded;
    uint32_t components = 0;
};

const char* KindName(DdsKind kind);

// Parses a DDS file from the reader's position. Throws Except on a header cut short, an
// unknown format, a cube map, a side of 0 or above 16384, or a decoded size above 256 MiB.
// `raw` holds the top image's bytes as far as the file has them. RGB, RGBA, DXT2 and DXT4
// are always decoded; DXT1, DXT3 and DXT5 only with `decode`.
DdsImage ParseDds(PakMgr::IRead& reader, bool decode);

// Decodes the top image's raw bytes as ParseDds does: 3 components per pixel for RGB, 4 for
// every other kind; bytes missing from `raw` count as zero. Throws Except on sizes that
// ParseDds would reject.
std::vector<uint8_t> DecodePixels(const DdsInfo& info, std::span<const uint8_t> raw);

// The top image (the first slice of a volume) as 8-bit RGBA, top row first; RGB kinds get
// alpha 255. Decodes when ParseDds was asked not to.
std::vector<uint8_t> DecodeToRgba(const DdsImage& image);

// 8-bit RGBA pixels, top row first, as a PNG file's bytes; empty for a size PNG can't hold.
std::vector<uint8_t> EncodePng(uint32_t width, uint32_t height, std::span<const uint8_t> rgba);
// The top image (the first slice of a volume) as a PNG file's bytes, decoded straight into
// the encoder's rows, and the lowest alpha of its pixels (255 for RGB kinds). Empty bytes for
// a size PNG can't hold; throws Except on sizes that ParseDds would reject.
struct PngPicture {
    std::vector<uint8_t> bytes;
    uint8_t lowestAlpha = 255;
};
PngPicture EncodePng(const DdsImage& image);
// Writes the PNG to `path` through Base::WriteWholeFile. Throws Except when it can't be
// encoded or written.
void WritePng(const std::string& path, uint32_t width, uint32_t height,
              std::span<const uint8_t> rgba);

// Reads the node through the archive manager and parses it as ParseDds(reader, false) does,
// for drawing later in any context; null when the node can't be read. Parse failures throw
// Except.
std::shared_ptr<const DdsImage> LoadImage(PakMgr::ITreeNode* node);

}  // namespace Dds
