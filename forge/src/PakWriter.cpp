#include <libdeflate.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "forge/pak.h"

namespace Forge {

namespace {

void PutWord(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, sizeof v);
}

struct Stored {
    std::vector<uint8_t> bytes;
    uint32_t offset = 0;
};

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

    std::vector<uint8_t> pak(kPakHeaderSize + (tableFirst ? tableSize : 0), 0);
    std::vector<Stored> stored(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        stored[i].bytes =
            files[i].stream ? *files[i].stream : ZlibCompress(files[i].data, files[i].level);
        stored[i].offset = static_cast<uint32_t>(pak.size());
        pak.insert(pak.end(), stored[i].bytes.begin(), stored[i].bytes.end());
    }
    const std::size_t tableOffset = tableFirst ? kPakHeaderSize : pak.size();
    if (!tableFirst) {
        pak.resize(pak.size() + tableSize, 0);
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const PakFile& f = files[i];
        uint8_t* record = pak.data() + tableOffset + i * kPakRecordSize;
        // A fixed field, zero-filled: a path that fills it has no terminator, as in the game's
        // files.
        std::copy_n(f.path.data(), std::min(f.path.size(), kPakPathField), record);
        using PakMgr::Layout::Record;
        PutWord(record + offsetof(Record, spare), f.spare);
        PutWord(record + offsetof(Record, inflatedSize),
                f.inflatedSize.value_or(static_cast<uint32_t>(f.data.size())));
        PutWord(record + offsetof(Record, storedSize),
                f.storedSize.value_or(static_cast<uint32_t>(stored[i].bytes.size())));
        PutWord(record + offsetof(Record, offset), f.offset.value_or(stored[i].offset));
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
