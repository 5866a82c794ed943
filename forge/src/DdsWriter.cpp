#include <algorithm>
#include <cstring>
#include <stdexcept>

#define STB_DXT_IMPLEMENTATION
#include <stb/stb_dxt.h>

#include "forge/dds.h"

namespace Forge {
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

DdsHeader MakeDdsHeader(const DdsDesc& desc) {
    DdsHeader h;
    h.flags = kDdsCaps | kDdsHeight | kDdsWidth | kDdsPixelFormat;
    h.width = desc.width;
    h.height = desc.height;
    h.caps = kDdsCapsTexture;
    if (desc.format == DdsFormat::Uncompressed) {
        h.flags |= kDdsPitch;
        h.pitchOrLinearSize = desc.width * desc.bitCount / 8;
        h.pixelFlags = kDdpfRgb | (desc.alpha ? kDdpfAlphaPixels : 0);
        h.bitCount = desc.bitCount;
        std::copy(std::begin(desc.masks), std::end(desc.masks), h.masks);
    } else {
        h.flags |= kDdsLinearSize;
        h.pitchOrLinearSize = static_cast<uint32_t>(DdsLevelBytes(desc, desc.width, desc.height));
        h.pixelFlags = kDdpfFourCC;
        h.fourCC = FourCCOf(desc.format);
    }
    if (desc.mipMapCount > 0) {
        h.flags |= kDdsMipMapCount;
        h.mipMapCount = desc.mipMapCount;
        h.caps |= kDdsCapsComplex | kDdsCapsMipMap;
    }
    if (desc.volume) {
        h.flags |= kDdsDepth;
        h.depth = desc.depth;
        h.caps |= kDdsCapsComplex;
        h.caps2 |= kDdsCaps2Volume;
    }
    if (desc.cubeMap) {
        h.caps |= kDdsCapsComplex;
        h.caps2 |= kDdsCaps2CubeMap | kDdsCaps2AllFaces;
    }
    return h;
}

std::vector<uint8_t> WriteDds(const DdsHeader& header, std::span<const uint8_t> pixels) {
    std::vector<uint8_t> bytes(kDdsHeaderSize + pixels.size());
    std::memcpy(bytes.data(), &header, kDdsHeaderSize);
    std::copy(pixels.begin(), pixels.end(), bytes.begin() + kDdsHeaderSize);
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

std::vector<uint8_t> EncodeDxt(DdsFormat format, uint32_t width, uint32_t height,
                               std::span<const uint8_t> rgba) {
    if (format != DdsFormat::DXT1 && format != DdsFormat::DXT5) {
        throw std::invalid_argument("EncodeDxt makes DXT1 or DXT5 only");
    }
    if (width == 0 || height == 0 || rgba.size() < std::size_t{width} * height * 4) {
        throw std::invalid_argument("EncodeDxt needs width × height RGBA pixels");
    }
    const bool alpha = format == DdsFormat::DXT5;
    const std::size_t blockBytes = alpha ? 16 : 8;
    std::vector<uint8_t> blocks;
    blocks.reserve(std::size_t{(width + 3) / 4} * ((height + 3) / 4) * blockBytes);
    unsigned char source[64];
    unsigned char block[16];
    for (uint32_t y = 0; y < height; y += 4) {
        for (uint32_t x = 0; x < width; x += 4) {
            for (uint32_t i = 0; i < 16; ++i) {
                uint32_t px = std::min(x + i % 4, width - 1);
                uint32_t py = std::min(y + i / 4, height - 1);
                std::memcpy(source + std::size_t{4} * i,
                            rgba.data() + (std::size_t{py} * width + px) * 4, 4);
            }
            stb_compress_dxt_block(block, source, alpha ? 1 : 0, STB_DXT_HIGHQUAL);
            blocks.insert(blocks.end(), block, block + blockBytes);
        }
    }
    return blocks;
}

}  // namespace Forge
