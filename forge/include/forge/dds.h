// The DDS writer (dds/writer.h) under the names forge's callers use, with the header's
// flags named as the tests name them.
#pragma once

#include "dds/writer.h"

namespace Forge {

using DdsHeader = Dds::Header;
inline constexpr std::size_t kDdsHeaderSize = Dds::kHeaderSize;

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

using Dds::DdsDesc;
using Dds::DdsFormat;
using Dds::DdsLevelBytes;
using Dds::EncodeDxt;
using Dds::MakeDdsHeader;
using Dds::PackPixelWords;
using Dds::WriteDds;

}  // namespace Forge
