// Layout constants of DDS files and the size rules shared by parsing, decoding and upload.
#pragma once

#include <cstddef>
#include <cstdint>

#include "texture/texture.h"

namespace Texture::Dds {

inline constexpr uint32_t kHeaderSize = 128;
inline constexpr uint32_t kMaxSide = 16384;
inline constexpr uint64_t kMaxDecodedBytes = 256ull << 20;

inline constexpr uint32_t kFlagPitch = 0x8;
inline constexpr uint32_t kFlagLinearSize = 0x80000;
inline constexpr uint32_t kPixelAlpha = 0x1;
inline constexpr uint32_t kPixelFourCC = 0x4;
inline constexpr uint32_t kCapsComplex = 0x8;
inline constexpr uint32_t kCaps2CubeMap = 0x200;
inline constexpr uint32_t kCaps2Volume = 0x200000;

inline constexpr uint32_t kBlockSide = 4;
inline constexpr uint32_t kBlockPixels = kBlockSide * kBlockSide;

constexpr uint32_t FourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

constexpr bool IsCompressed(DdsKind kind) {
    return kind != DdsKind::RGBA && kind != DdsKind::RGB;
}

// The kinds that OpenGL takes compressed; the others are always decoded.
constexpr bool IsUploadedCompressed(DdsKind kind) {
    return kind == DdsKind::DXT1 || kind == DdsKind::DXT3 || kind == DdsKind::DXT5;
}

constexpr uint32_t BlockBytes(DdsKind kind) {
    return kind == DdsKind::DXT1 ? 8 : 16;
}

constexpr uint32_t Components(DdsKind kind) {
    return kind == DdsKind::RGB ? 3 : 4;
}

constexpr uint64_t BlocksAcross(uint32_t pixels) {
    return (uint64_t{pixels} + kBlockSide - 1) / kBlockSide;
}

// Bytes of decoded output: width × height × depth × components.
constexpr uint64_t DecodedBytes(const DdsInfo& info) {
    return uint64_t{info.width} * info.height * info.depth * Components(info.kind);
}

// Throws Except when the image can't be decoded within the size limits.
void CheckSize(const DdsInfo& info);

}  // namespace Texture::Dds
