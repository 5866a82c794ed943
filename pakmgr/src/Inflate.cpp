#include "Inflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
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

}  // namespace

bool PlausibleSize(std::size_t storedSize, uint64_t inflatedSize) {
    return storedSize > 0 && inflatedSize <= MaxInflated(storedSize);
}

// The size is unknown: stream through zlib, growing the output as it fills.
bool InflateUnknownSize(std::span<const uint8_t> stored, std::vector<uint8_t>& out) {
    if (stored.empty()) {
        return false;
    }
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

bool InflateHead(std::size_t storedSize, const StoredPieces& read, std::span<uint8_t> out) {
    constexpr std::size_t kPieceSize = 64u << 10;
    z_stream stream{};
    if (storedSize == 0 || inflateInit(&stream) != Z_OK) {
        return false;
    }
    std::vector<uint8_t> piece(std::min(storedSize, kPieceSize));
    std::size_t unread = storedSize;
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    int status = Z_OK;
    while (status == Z_OK && stream.avail_out > 0) {
        if (stream.avail_in == 0) {
            if (unread == 0) {
                break;  // the stored bytes ran out before the stream ended
            }
            const std::span<uint8_t> next(piece.data(), std::min(unread, piece.size()));
            if (!read(next)) {
                break;
            }
            unread -= next.size();
            stream.next_in = next.data();
            stream.avail_in = static_cast<uInt>(next.size());
        }
        status = inflate(&stream, Z_NO_FLUSH);
    }
    const bool full = stream.total_out == out.size() && (status == Z_OK || status == Z_STREAM_END);
    inflateEnd(&stream);
    return full;
}

bool InflateExact(std::span<const uint8_t> stored, std::span<uint8_t> out) {
    if (!PlausibleSize(stored.size(), out.size())) {
        return false;
    }
    std::size_t produced = 0;
    libdeflate_result result = libdeflate_zlib_decompress(
        ThreadDecompressor(), stored.data(), stored.size(), out.data(), out.size(), &produced);
    return result == LIBDEFLATE_SUCCESS && produced == out.size();
}

}  // namespace PakMgr
