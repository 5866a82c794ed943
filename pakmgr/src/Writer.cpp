// The archive layout written: header, streams, table; the same structs the reader reads.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "base/except.h"
#include "base/file.h"
#include "base/text.h"
#include "pakmgr/writer.h"

namespace PakMgr {

namespace {

using Layout::kHeaderSize;
using Layout::kPathFieldSize;
using Layout::kRecordSize;

template <class T>
std::span<const uint8_t> BytesOf(const T& value) {
    return {reinterpret_cast<const uint8_t*>(&value), sizeof value};
}

}  // namespace

bool ArchiveTable::Fits(uint64_t storedSize) const {
    const uint64_t tableSize = (m_records.size() + 1) * uint64_t{kRecordSize};
    return storedSize <= kMaxArchiveBytes && m_end + storedSize + tableSize <= kMaxArchiveBytes;
}

void ArchiveTable::Add(std::string_view path, uint32_t inflatedSize, uint64_t storedSize,
                       uint32_t spare) {
    if (path.size() > kPathFieldSize) {
        throw Except(ErrorKind::Input, "path of %zu bytes, longer than the record's %zu: %.*s",
                     path.size(), kPathFieldSize, static_cast<int>(kPathFieldSize), path.data());
    }
    if (!Fits(storedSize)) {
        throw Except(ErrorKind::Input, "the archive would pass 4 GiB at %.*s",
                     static_cast<int>(path.size()), path.data());
    }
    Layout::Record record{};
    std::copy(path.begin(), path.end(), record.path);
    record.spare = spare;
    record.inflatedSize = inflatedSize;
    record.storedSize = static_cast<uint32_t>(storedSize);
    record.offset = static_cast<uint32_t>(m_end);
    m_records.push_back(record);
    m_end += storedSize;
}

std::vector<uint8_t> ArchiveTable::Header(bool packMark) const {
    Layout::Header header{};
    if (packMark) {
        std::copy(kPackMark.begin(), kPackMark.end(), header.unused);
    }
    header.recordCount = static_cast<uint32_t>(m_records.size());
    header.tableOffset = static_cast<uint32_t>(m_end);
    const std::span<const uint8_t> bytes = BytesOf(header);
    return {bytes.begin(), bytes.end()};
}

std::vector<uint8_t> ArchiveTable::TableBytes() const {
    const auto* first = reinterpret_cast<const uint8_t*>(m_records.data());
    return {first, first + m_records.size() * kRecordSize};
}

std::vector<uint8_t> ArchiveBytes(std::span<const std::string> paths,
                                  std::span<const uint32_t> inflatedSizes,
                                  std::span<const std::vector<uint8_t>> streams, bool packMark) {
    ArchiveTable table;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        table.Add(paths[i], inflatedSizes[i], streams[i].size());
    }
    std::vector<uint8_t> archive = table.Header(packMark);
    archive.reserve(table.End() + table.Count() * kRecordSize);
    for (const std::vector<uint8_t>& stream : streams) {
        archive.insert(archive.end(), stream.begin(), stream.end());
    }
    const std::vector<uint8_t> records = table.TableBytes();
    archive.insert(archive.end(), records.begin(), records.end());
    return archive;
}

bool HasPackMark(std::span<const uint8_t> header) {
    return header.size() >= kHeaderSize &&
           std::equal(kPackMark.begin(), kPackMark.end(), header.begin());
}

bool IsPackedArchive(const std::string& path) {
    const Base::FileHandle file = Base::FileHandle::Open(path.c_str(), O_RDONLY | O_CLOEXEC);
    uint8_t header[kHeaderSize];
    return file.IsOpen() &&
           ::pread(file.Get(), header, sizeof header, 0) == static_cast<ssize_t>(sizeof header) &&
           HasPackMark(header);
}

}  // namespace PakMgr
