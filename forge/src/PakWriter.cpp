#include <libdeflate.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "forge/pak.h"
#include "pakmgr/writer.h"

namespace Forge {

namespace {

void PutWord(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, sizeof v);
}

}  // namespace

std::vector<uint8_t> ZlibCompress(std::span<const uint8_t> data, int level) {
    std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> compressor(
        libdeflate_alloc_compressor(std::clamp(level, 0, 12)), &libdeflate_free_compressor);
    std::vector<uint8_t> out(libdeflate_zlib_compress_bound(compressor.get(), data.size()));
    std::size_t n = libdeflate_zlib_compress(compressor.get(), data.data(), data.size(), out.data(),
                                             out.size());
    out.resize(n);
    return out;
}

std::vector<uint8_t> WritePak(const std::vector<PakFile>& files, const PakLayout& layout) {
    const bool tableFirst = layout.table == PakLayout::Table::AfterHeader;
    const std::size_t tableSize = files.size() * kPakRecordSize;

    // The archive's own writer lays it out; the fields asked for are then put over the truth.
    PakMgr::ArchiveTable table(kPakHeaderSize + (tableFirst ? tableSize : 0));
    std::vector<std::vector<uint8_t>> streams(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const PakFile& f = files[i];
        streams[i] = f.stream ? *f.stream : ZlibCompress(f.data, f.level);
        // A path that fills the field has no terminator, as in the game's files.
        table.Add(std::string_view(f.path).substr(0, kPakPathField),
                  static_cast<uint32_t>(f.data.size()), streams[i].size(), f.spare);
        PakMgr::Layout::Record& record = table.Records().back();
        record.inflatedSize = f.inflatedSize.value_or(record.inflatedSize);
        record.storedSize = f.storedSize.value_or(record.storedSize);
        record.offset = f.offset.value_or(record.offset);
    }
    const std::size_t tableOffset = tableFirst ? kPakHeaderSize : table.End();
    std::vector<uint8_t> pak = table.Header(false);
    std::vector<uint8_t> records = table.TableBytes();
    if (tableFirst) {
        pak.insert(pak.end(), records.begin(), records.end());
    }
    for (const std::vector<uint8_t>& stream : streams) {
        pak.insert(pak.end(), stream.begin(), stream.end());
    }
    if (!tableFirst) {
        pak.insert(pak.end(), records.begin(), records.end());
    }
    using PakMgr::Layout::Header;
    PutWord(pak.data() + offsetof(Header, recordCount),
            layout.recordCount.value_or(static_cast<uint32_t>(files.size())));
    PutWord(pak.data() + offsetof(Header, tableOffset),
            layout.tableOffset.value_or(static_cast<uint32_t>(tableOffset)));
    if (layout.cutTo && *layout.cutTo < pak.size()) {
        pak.resize(*layout.cutTo);
    }
    return pak;
}

void SaveBytes(const std::string& path, std::span<const uint8_t> bytes) {
    std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "wb"),
                                                            &std::fclose);
    if (!file || (!bytes.empty() && std::fwrite(bytes.data(), bytes.size(), 1, file.get()) != 1)) {
        throw std::runtime_error("can't write " + path);
    }
}

void SavePak(const std::string& path, const std::vector<PakFile>& files, const PakLayout& layout) {
    SaveBytes(path, WritePak(files, layout));
}

}  // namespace Forge
