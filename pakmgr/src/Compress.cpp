// The zlib stream a file is stored as. Two compressors: zlib's block choices keep the smallest
// files about 10% smaller than libdeflate's at the same level, and most files of a game are
// small; libdeflate is twice as fast on everything else.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>

#include "pakmgr/writer.h"

namespace PakMgr {

namespace {

// zlib's levels stop at 9; libdeflate's above it parse better than zlib on any size.
constexpr int kZlibTopLevel = 9;

class ZlibCompressor {
public:
    explicit ZlibCompressor(int level) {
        if (deflateInit(&m_stream, level) != Z_OK) {
            throw std::bad_alloc();
        }
    }
    ~ZlibCompressor() { deflateEnd(&m_stream); }
    ZlibCompressor(const ZlibCompressor&) = delete;
    ZlibCompressor& operator=(const ZlibCompressor&) = delete;

    std::size_t Bound(std::size_t size) {
        return deflateBound(&m_stream, static_cast<uLong>(size));
    }

    // Small inputs only: their sizes fit zlib's counters.
    std::size_t Compress(std::span<const uint8_t> data, std::span<uint8_t> out) {
        deflateReset(&m_stream);
        m_stream.next_in = const_cast<Bytef*>(data.data());
        m_stream.avail_in = static_cast<uInt>(data.size());
        m_stream.next_out = out.data();
        m_stream.avail_out =
            static_cast<uInt>(std::min<std::size_t>(out.size(), std::numeric_limits<uInt>::max()));
        if (deflate(&m_stream, Z_FINISH) != Z_STREAM_END) {
            throw std::bad_alloc();  // the bound was too small: zlib's own promise broken
        }
        return m_stream.total_out;
    }

private:
    z_stream m_stream{};
};

struct FreeDeflate {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
using DeflateCompressor = std::unique_ptr<libdeflate_compressor, FreeDeflate>;

// One compressor of each kind a thread, made again only when the level changes.
template <typename Make>
auto& ThreadCompressor(int level, Make make) {
    thread_local decltype(make(level)) compressor;
    thread_local int compressorLevel = 0;
    if (!compressor || compressorLevel != level) {
        compressor = make(level);
        compressorLevel = level;
    }
    return *compressor;
}

libdeflate_compressor& Deflater(int level) {
    return ThreadCompressor(level, [](int l) {
        DeflateCompressor made(libdeflate_alloc_compressor(l));
        if (!made) {
            throw std::bad_alloc();
        }
        return made;
    });
}

ZlibCompressor& Zlib(int level) {
    return ThreadCompressor(level, [](int l) { return std::make_unique<ZlibCompressor>(l); });
}

bool ZlibTakes(std::size_t size, int level) {
    return size < kSmallFileBytes && level <= kZlibTopLevel;
}

int Clamped(int level) {
    return std::clamp(level, kMinPackLevel, kMaxPackLevel);
}

}  // namespace

std::size_t CompressBound(std::size_t size, int level) {
    level = Clamped(level);
    return ZlibTakes(size, level) ? Zlib(level).Bound(size)
                                  : libdeflate_zlib_compress_bound(&Deflater(level), size);
}

std::size_t CompressInto(std::span<const uint8_t> data, int level, std::span<uint8_t> out) {
    level = Clamped(level);
    if (out.size() < CompressBound(data.size(), level)) {
        throw std::length_error("a compression buffer below its bound");
    }
    if (ZlibTakes(data.size(), level)) {
        return Zlib(level).Compress(data, out);
    }
    return libdeflate_zlib_compress(&Deflater(level), data.data(), data.size(), out.data(),
                                    out.size());
}

void CompressStream(std::span<const uint8_t> data, int level, std::vector<uint8_t>& out) {
    out.resize(CompressBound(data.size(), level));
    out.resize(CompressInto(data, level, out));
}

}  // namespace PakMgr
