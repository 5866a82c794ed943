// Pak archive writer with control over every field, for well-formed and broken archives.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pakmgr/layout.h"

namespace Forge {

inline constexpr std::size_t kPakHeaderSize = PakMgr::Layout::kHeaderSize;
inline constexpr std::size_t kPakRecordSize = PakMgr::Layout::kRecordSize;
inline constexpr std::size_t kPakPathField = PakMgr::Layout::kPathFieldSize;

struct PakFile {
    // The path field's bytes as stored (code page 936, '\' between components). The reader
    // replaces the first byte with '\' whatever it is. Longer than the field: cut, no NUL.
    std::string path;
    std::vector<uint8_t> data;  // the file's inflated bytes

    // Overrides of what the writer would store; unset means "the truth".
    std::optional<uint32_t> inflatedSize;  // 0 = unknown
    std::optional<uint32_t> storedSize;
    std::optional<uint32_t> offset;
    uint32_t spare = 0;
    std::optional<std::vector<uint8_t>> stream;  // stored bytes used instead of deflating data
    int level = 6;                               // zlib compression level
};

struct PakLayout {
    enum class Table { AtEnd, AfterHeader };
    Table table = Table::AtEnd;
    std::optional<uint32_t> recordCount;  // the header's record count
    std::optional<uint32_t> tableOffset;  // the header's table offset
    std::optional<std::size_t> cutTo;     // the archive cut to this many bytes
};

std::vector<uint8_t> ZlibCompress(std::span<const uint8_t> data, int level = 6);
std::vector<uint8_t> WritePak(const std::vector<PakFile>& files, const PakLayout& layout = {});
// Writes the archive to `path`; throws std::runtime_error when it can't.
void SavePak(const std::string& path, const std::vector<PakFile>& files,
             const PakLayout& layout = {});
void SaveBytes(const std::string& path, std::span<const uint8_t> bytes);

inline std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

}  // namespace Forge
