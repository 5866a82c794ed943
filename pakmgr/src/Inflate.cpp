#include "Inflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <memory>

namespace PakMgr {

namespace {

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

libdeflate_decompressor* ThreadDecompressor() {
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
        libdeflate_alloc_decompressor());
    return decompressor.get();
}

uint64_t MaxInflated(std::size_t storedSize) {
    return storedSize * kMaxDeflateRatio + kRatioSlack;
}

// The size is unknown: stream through zlib, growing the output as it fills.
bool InflateUnknownSize(std::span<const uint8_t> stored, std::vector<uint8_t>& out) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return false;
    }
    const uint64_t limit = MaxInflated(stored.size());
    out.resize(std::min<uint64_t>(limit, std::max<std::size_t>(stored.size() * 4, 4096)));
    stream.next_in = const_cast<Bytef*>(stored.data());
    stream.avail_in = static_cast<uInt>(stored.size());
    int status = Z_OK;
    while (status == Z_OK) {
        if (stream.total_out == out.size()) {
            if (out.size() >= limit) {
                break;
            }
            out.resize(std::min<uint64_t>(limit, out.size() * 2));
        }
        stream.next_out = out.data() + stream.total_out;
        stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
        status = inflate(&stream, Z_NO_FLUSH);
    }
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return status == Z_STREAM_END;
}

}  // namespace

bool InflateZlib(std::span<const uint8_t> stored, uint32_t inflatedSize,
                 std::vector<uint8_t>& out) {
    if (stored.empty()) {
        return false;
    }
    if (inflatedSize == 0) {
        return InflateUnknownSize(stored, out);
    }
    if (inflatedSize > MaxInflated(stored.size())) {
        return false;
    }
    out.resize(inflatedSize);
    std::size_t produced = 0;
    libdeflate_result result = libdeflate_zlib_decompress(
        ThreadDecompressor(), stored.data(), stored.size(), out.data(), out.size(), &produced);
    return result == LIBDEFLATE_SUCCESS && produced == inflatedSize;
}

}  // namespace PakMgr
