#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace PakMgr {

// Deflate never expands more than about 1032:1; a claimed size beyond that is a lie.
inline constexpr uint64_t kMaxDeflateRatio = 1032;
inline constexpr uint64_t kRatioSlack = 4096;

// Whether a stream of `storedSize` bytes can possibly inflate to `inflatedSize`.
bool PlausibleSize(std::size_t storedSize, uint64_t inflatedSize);

// Inflates one zlib stream into exactly `out.size()` bytes; false on a corrupt or truncated
// stream or one of another length.
bool InflateExact(std::span<const uint8_t> stored, std::span<uint8_t> out);

// Inflates one zlib stream of unknown inflated size into `out`.
bool InflateUnknownSize(std::span<const uint8_t> stored, std::vector<uint8_t>& out);

// Fills `piece` with the next stored bytes; false when they can't be read.
using StoredPieces = std::function<bool(std::span<uint8_t> piece)>;

// Inflates only the first `out.size()` bytes of a zlib stream of `storedSize` bytes, asking
// `read` for its stored bytes piece by piece, so the cost follows what is wanted rather than
// the stream's length. False when the stream is corrupt or ends early; a fault beyond the
// bytes wanted goes unseen.
bool InflateHead(std::size_t storedSize, const StoredPieces& read, std::span<uint8_t> out);

}  // namespace PakMgr
