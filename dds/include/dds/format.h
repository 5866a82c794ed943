// Layout constants of DDS files and the size rules shared by parsing, decoding and upload.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dds/dds.h"
#include "dds/layout.h"

namespace Dds {

inline constexpr uint32_t kMaxSide = 16384;
inline constexpr uint64_t kMaxDecodedBytes = 256ull << 20;

inline constexpr uint32_t kBlockSide = 4;
inline constexpr uint32_t kBlockPixels = kBlockSide * kBlockSide;

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

}  // namespace Dds
