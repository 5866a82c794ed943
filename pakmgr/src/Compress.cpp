// The zlib stream a file is stored as. Two compressors: zlib's block choices keep the smallest
// files about 10% smaller than libdeflate's at the same level, and most files of a game are
// small; libdeflate is twice as fast on everything else.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <new>

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

    void Compress(std::span<const uint8_t> data, std::vector<uint8_t>& out) {
        deflateReset(&m_stream);
        // Small files only: their sizes fit zlib's counters.
        out.resize(deflateBound(&m_stream, static_cast<uLong>(data.size())));
        m_stream.next_in = const_cast<Bytef*>(data.data());
        m_stream.avail_in = static_cast<uInt>(data.size());
        m_stream.next_out = out.data();
        m_stream.avail_out = static_cast<uInt>(out.size());
        if (deflate(&m_stream, Z_FINISH) != Z_STREAM_END) {
            throw std::bad_alloc();  // the bound was too small: zlib's own promise broken
        }
        out.resize(m_stream.total_out);
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

void DeflateCompress(std::span<const uint8_t> data, int level, std::vector<uint8_t>& out) {
    libdeflate_compressor& compressor = ThreadCompressor(level, [](int l) {
        DeflateCompressor made(libdeflate_alloc_compressor(l));
        if (!made) {
            throw std::bad_alloc();
        }
        return made;
    });
    out.resize(libdeflate_zlib_compress_bound(&compressor, data.size()));
    out.resize(
        libdeflate_zlib_compress(&compressor, data.data(), data.size(), out.data(), out.size()));
}

}  // namespace

void CompressStream(std::span<const uint8_t> data, int level, std::vector<uint8_t>& out) {
    level = std::clamp(level, kMinPackLevel, kMaxPackLevel);
    if (data.size() < kSmallFileBytes && level <= kZlibTopLevel) {
        ThreadCompressor(level, [](int l) {
            return std::make_unique<ZlibCompressor>(l);
        }).Compress(data, out);
    } else {
        DeflateCompress(data, level, out);
    }
}

}  // namespace PakMgr
