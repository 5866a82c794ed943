#include <algorithm>
#include <cstring>

#define STB_DXT_IMPLEMENTATION
#include <stb/stb_dxt.h>

#include "base/except.h"
#include "dds/writer.h"

namespace Dds {
namespace {

constexpr uint32_t FourCCOf(DdsFormat format) {
    using Dds::FourCC;
    switch (format) {
        case DdsFormat::DXT1:
            return FourCC('D', 'X', 'T', '1');
        case DdsFormat::DXT2:
            return FourCC('D', 'X', 'T', '2');
        case DdsFormat::DXT3:
            return FourCC('D', 'X', 'T', '3');
        case DdsFormat::DXT4:
            return FourCC('D', 'X', 'T', '4');
        case DdsFormat::DXT5:
            return FourCC('D', 'X', 'T', '5');
        case DdsFormat::Uncompressed:
            break;
    }
    return 0;
}

}  // namespace

std::size_t DdsLevelBytes(const DdsDesc& desc, uint32_t width, uint32_t height) {
    if (desc.format == DdsFormat::Uncompressed) {
        return std::size_t{width} * height * (desc.bitCount / 8);
    }
    std::size_t blocks = std::size_t{(width + 3) / 4} * ((height + 3) / 4);
    return blocks * (desc.format == DdsFormat::DXT1 ? 8 : 16);
}

Header MakeDdsHeader(const DdsDesc& desc) {
    Header h;
    h.flags = kFlagCaps | kFlagHeight | kFlagWidth | kFlagPixelFormat;
    h.width = desc.width;
    h.height = desc.height;
    h.caps = kCapsTexture;
    if (desc.format == DdsFormat::Uncompressed) {
        h.flags |= kFlagPitch;
        h.pitchOrLinearSize = desc.width * desc.bitCount / 8;
        h.pixelFlags = kPixelRgb | (desc.alpha ? kPixelAlpha : 0);
        h.bitCount = desc.bitCount;
        std::copy(std::begin(desc.masks), std::end(desc.masks), h.masks);
    } else {
        h.flags |= kFlagLinearSize;
        h.pitchOrLinearSize = static_cast<uint32_t>(DdsLevelBytes(desc, desc.width, desc.height));
        h.pixelFlags = kPixelFourCC;
        h.fourCC = FourCCOf(desc.format);
    }
    if (desc.mipMapCount > 0) {
        h.flags |= kFlagMipMapCount;
        h.mipMapCount = desc.mipMapCount;
        h.caps |= kCapsComplex | kCapsMipMap;
    }
    if (desc.volume) {
        h.flags |= kFlagDepth;
        h.depth = desc.depth;
        h.caps |= kCapsComplex;
        h.caps2 |= kCaps2Volume;
    }
    if (desc.cubeMap) {
        h.caps |= kCapsComplex;
        h.caps2 |= kCaps2CubeMap | kCaps2AllFaces;
    }
    return h;
}

std::vector<uint8_t> WriteDds(const Header& header, std::span<const uint8_t> pixels) {
    std::vector<uint8_t> bytes(kHeaderSize + pixels.size());
    std::memcpy(bytes.data(), &header, kHeaderSize);
    std::copy(pixels.begin(), pixels.end(), bytes.begin() + kHeaderSize);
    return bytes;
}

std::vector<uint8_t> PackPixelWords(std::span<const uint32_t> words, uint32_t bitCount) {
    const uint32_t bytesPerPixel = bitCount / 8;
    std::vector<uint8_t> bytes;
    bytes.reserve(words.size() * bytesPerPixel);
    for (uint32_t word : words) {
        for (uint32_t i = 0; i < bytesPerPixel; ++i) {
            bytes.push_back(i < 4 ? static_cast<uint8_t>(word >> (8 * i)) : 0);
        }
    }
    return bytes;
}

namespace {

constexpr uint32_t kBlockTexels = 16;
constexpr std::size_t kColourBlockBytes = 8;

// DXT3 keeps each texel's alpha as its top four bits, two texels a byte.
void PutExplicitAlpha(std::vector<uint8_t>& blocks, const unsigned char* source) {
    for (uint32_t i = 0; i < kBlockTexels; i += 2) {
        const auto low = static_cast<uint8_t>(source[4 * i + 3] >> 4);
        const auto high = static_cast<uint8_t>(source[4 * (i + 1) + 3] >> 4);
        blocks.push_back(static_cast<uint8_t>(low | (high << 4)));
    }
}

}  // namespace

std::vector<uint8_t> EncodeDxt(DdsFormat format, uint32_t width, uint32_t height,
                               std::span<const uint8_t> rgba) {
    if (format != DdsFormat::DXT1 && format != DdsFormat::DXT3 && format != DdsFormat::DXT5) {
        throw Except(ErrorKind::Input, "DXT blocks are made as DXT1, DXT3 or DXT5 only");
    }
    if (width == 0 || height == 0 || rgba.size() < std::size_t{width} * height * 4) {
        throw Except(ErrorKind::Input, "DXT blocks need width × height RGBA pixels");
    }
    const bool alpha = format == DdsFormat::DXT5;
    const bool explicitAlpha = format == DdsFormat::DXT3;
    const std::size_t blockBytes = alpha ? 16 : kColourBlockBytes;
    std::vector<uint8_t> blocks;
    blocks.reserve(std::size_t{(width + 3) / 4} * ((height + 3) / 4) * 16);
    unsigned char source[4 * kBlockTexels];
    unsigned char block[16];
    for (uint32_t y = 0; y < height; y += 4) {
        for (uint32_t x = 0; x < width; x += 4) {
            for (uint32_t i = 0; i < kBlockTexels; ++i) {
                uint32_t px = std::min(x + i % 4, width - 1);
                uint32_t py = std::min(y + i / 4, height - 1);
                std::memcpy(source + std::size_t{4} * i,
                            rgba.data() + (std::size_t{py} * width + px) * 4, 4);
            }
            if (explicitAlpha) {
                PutExplicitAlpha(blocks, source);
            }
            stb_compress_dxt_block(block, source, alpha ? 1 : 0, STB_DXT_HIGHQUAL);
            blocks.insert(blocks.end(), block, block + blockBytes);
        }
    }
    return blocks;
}

}  // namespace Dds
