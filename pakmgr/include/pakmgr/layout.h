// The byte layout of a .pak archive: read here, written by the test writers in forge.
// Every number is a little-endian 32-bit word.
#pragma once

#include <cstddef>
#include <cstdint>

namespace PakMgr::Layout {

struct Header {
    uint8_t unused[256];
    uint32_t spare;
    uint32_t recordCount;
    uint32_t tableOffset;  // from the start of the archive
};
static_assert(sizeof(Header) == 268);
static_assert(offsetof(Header, recordCount) == 260 && offsetof(Header, tableOffset) == 264);

// One file of the table. The path runs to the first NUL (or the field's end), components
// separated by '\'.
struct Record {
    char path[256];
    uint32_t spare;
    uint32_t inflatedSize;  // 0 means unknown
    uint32_t storedSize;
    uint32_t offset;  // of the stored bytes, from the start of the archive
    uint8_t unused[44];
};
static_assert(sizeof(Record) == 316);
static_assert(offsetof(Record, spare) == 256 && offsetof(Record, inflatedSize) == 260 &&
              offsetof(Record, storedSize) == 264 && offsetof(Record, offset) == 268);

inline constexpr std::size_t kHeaderSize = sizeof(Header);
inline constexpr std::size_t kRecordSize = sizeof(Record);
inline constexpr std::size_t kPathFieldSize = sizeof(Record::path);

}  // namespace PakMgr::Layout
