// Writing pak archives in the layout the manager reads (pakmgr/layout.h): the header, one zlib
// stream per file one after another, then the table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pakmgr/layout.h"

namespace PakMgr {

// Offsets and sizes are 32-bit words: no archive, and so no file in one, reaches 4 GiB.
inline constexpr uint64_t kMaxArchiveBytes = 0xFFFFFFFFu;
// What an archive written by `vell pack` carries at the start of its header's unused bytes,
// so that packing again may replace it (and nothing else).
inline constexpr std::string_view kPackMark = "written by vell pack";

// Compression levels, libdeflate's: 1 (fastest) to 12 (smallest).
inline constexpr int kMinPackLevel = 1;
inline constexpr int kMaxPackLevel = 12;
// Files below this size are compressed by zlib rather than libdeflate (smaller streams).
inline constexpr std::size_t kSmallFileBytes = 1024;

// The zlib stream of `data` at `level` into `out` (replaced), as `vell pack` stores a file.
void CompressStream(std::span<const uint8_t> data, int level, std::vector<uint8_t>& out);
// The most bytes CompressInto writes for `size` bytes at `level`.
std::size_t CompressBound(std::size_t size, int level);
// The same stream into `out`, which holds at least CompressBound bytes and need not be
// cleared first (the bytes past the stream are left undefined); returns the stream's size.
// Throws std::length_error for a smaller buffer.
std::size_t CompressInto(std::span<const uint8_t> data, int level, std::span<uint8_t> out);

// The table of an archive being laid out: each stream placed after the one before.
class ArchiveTable {
public:
    // The first stream goes at `firstOffset`: right after the header, unless the table comes
    // first.
    explicit ArchiveTable(uint64_t firstOffset = Layout::kHeaderSize) : m_end(firstOffset) {}

    // Whether a stream of `storedSize` bytes and its record still fit below kMaxArchiveBytes.
    bool Fits(uint64_t storedSize) const;
    // Places a stream of `storedSize` bytes at the end and records it under `path` (the
    // field's bytes: code page 936, '\' between components; at most the field's 256 bytes).
    // Throws Except (Input) when the path or the stream doesn't fit.
    void Add(std::string_view path, uint32_t inflatedSize, uint64_t storedSize, uint32_t spare = 0);

    // Where the next stream goes: the table's offset once the last is placed.
    uint64_t End() const { return m_end; }
    std::size_t Count() const { return m_records.size(); }
    // The records so far, for a writer of deliberately broken archives to change.
    std::span<Layout::Record> Records() { return m_records; }

    // The header of the archive with the table at End(); with the pack mark or zeros.
    std::vector<uint8_t> Header(bool packMark) const;
    std::vector<uint8_t> TableBytes() const;

private:
    uint64_t m_end;
    std::vector<Layout::Record> m_records;
};

// A whole archive in memory: the streams after the header in the order given, then the
// table. `paths`, `inflatedSizes` and `streams` go together, one item a file.
std::vector<uint8_t> ArchiveBytes(std::span<const std::string> paths,
                                  std::span<const uint32_t> inflatedSizes,
                                  std::span<const std::vector<uint8_t>> streams, bool packMark);

// Whether the archive's first 268 bytes say `vell pack` wrote it.
bool HasPackMark(std::span<const uint8_t> header);
// The same for an archive file; false when it can't be read.
bool IsPackedArchive(const std::string& path);

}  // namespace PakMgr
