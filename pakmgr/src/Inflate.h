#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace PakMgr {

// Deflate never expands more than about 1032:1; a claimed size beyond that is a lie.
inline constexpr uint64_t kMaxDeflateRatio = 1032;
inline constexpr uint64_t kRatioSlack = 4096;

// Inflates one zlib stream into `out`. A non-zero `inflatedSize` must be met exactly;
// 0 means unknown and the stream decides. False on a corrupt or truncated stream.
bool InflateZlib(std::span<const uint8_t> stored, uint32_t inflatedSize, std::vector<uint8_t>& out);

}  // namespace PakMgr
