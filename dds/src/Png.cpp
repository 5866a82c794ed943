// PNG encoding: the rows unfiltered in one zlib stream made by the archives' own compressor
// (libdeflate), several times quicker than libpng's zlib at the same size for the flat,
// blocky pictures decoded textures are. Encoding a model's textures was most of `vell gltf`'s
// time, and fresh memory most of that: a DDS image is decoded straight into the rows and the
// stream compressed straight into the file, into buffers nothing clears first.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "Decode.h"
#include "base/file.h"
#include "base/text.h"
#include "dds/dds.h"
#include "dds/format.h"
#include "pakmgr/writer.h"

namespace Dds {
namespace {

constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr uint8_t kBitDepth = 8;
constexpr uint8_t kColourRgba = 6;
constexpr uint8_t kFilterNone = 0;
constexpr std::size_t kRgba = 4;
// PNG's largest width or height, and the largest chunk.
constexpr uint32_t kMostSide = 0x7fffffff;
constexpr std::size_t kMostChunk = 0x7fffffff;
// Quick, and within a few per cent of the smallest for these pictures.
constexpr int kLevel = 3;

// A chunk's length and type before its data, its CRC after.
constexpr std::size_t kChunkHead = 8;
constexpr std::size_t kChunkTail = 4;
constexpr std::size_t kHeaderData = 13;
constexpr std::size_t kIdatAt = kSignature.size() + kChunkHead + kHeaderData + kChunkTail;
constexpr std::size_t kStreamAt = kIdatAt + kChunkHead;
// After the stream: its chunk's CRC, then the end chunk.
constexpr std::size_t kAfterStream = kChunkTail + kChunkHead + kChunkTail;

uint8_t* PutBig32(uint8_t* at, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        *at++ = static_cast<uint8_t>(value >> shift);
    }
    return at;
}

// A chunk of `size` bytes of data already in place after its head at `at`: its length and
// type before them, the CRC of type and data after. Returns the end of the chunk.
uint8_t* CloseChunk(uint8_t* at, const char (&type)[5], std::size_t size) {
    PutBig32(at, static_cast<uint32_t>(size));
    std::memcpy(at + 4, type, 4);
    const uLong crc = crc32_z(0, at + 4, 4 + size);
    return PutBig32(at + kChunkHead + size, static_cast<uint32_t>(crc));
}

bool FitsPng(uint32_t width, uint32_t height) {
    return width >= 1 && height >= 1 && width <= kMostSide && height <= kMostSide;
}

// Rows of `width` RGBA pixels, each after its filter byte, as the whole file.
std::vector<uint8_t> EncodeRows(uint32_t width, uint32_t height, std::span<const uint8_t> rows) {
    const std::size_t bound = PakMgr::CompressBound(rows.size(), kLevel);
    const auto file = std::make_unique_for_overwrite<uint8_t[]>(kStreamAt + bound + kAfterStream);
    uint8_t* at = std::copy(kSignature.begin(), kSignature.end(), file.get());
    uint8_t* header = PutBig32(PutBig32(at + kChunkHead, width), height);
    // Deflate, adaptive filtering, no interlace.
    const std::array<uint8_t, 5> rest = {kBitDepth, kColourRgba, 0, 0, 0};
    std::copy(rest.begin(), rest.end(), header);
    at = CloseChunk(at, "IHDR", kHeaderData);
    const std::size_t stream = PakMgr::CompressInto(rows, kLevel, {file.get() + kStreamAt, bound});
    if (stream > kMostChunk) {
        return {};
    }
    at = CloseChunk(at, "IDAT", stream);
    at = CloseChunk(at, "IEND", 0);
    return {file.get(), at};
}

// Room for the rows, each a filter byte and the pixels; nothing cleared.
struct Rows {
    Rows(uint32_t width, uint32_t height)
        : stride(std::size_t{width} * kRgba + 1),
          size(stride * height),
          bytes(std::make_unique_for_overwrite<uint8_t[]>(size)) {
        for (std::size_t at = 0; at < size; at += stride) {
            bytes[at] = kFilterNone;
        }
    }
    uint8_t* Pixels(std::size_t row) { return bytes.get() + row * stride + 1; }

    std::size_t stride;
    std::size_t size;
    std::unique_ptr<uint8_t[]> bytes;
};

void CopyRows(Rows& rows, uint32_t height, std::span<const uint8_t> rgba) {
    const std::size_t row = rows.stride - 1;
    for (std::size_t y = 0; y < height; ++y) {
        std::memcpy(rows.Pixels(y), rgba.data() + row * y, row);
    }
}

uint8_t LowestAlpha(Rows& rows, uint32_t height) {
    uint8_t lowest = 255;
    for (std::size_t y = 0; y < height; ++y) {
        const uint8_t* pixel = rows.Pixels(y);
        for (std::size_t i = 3; i < rows.stride - 1; i += kRgba) {
            lowest = std::min(lowest, pixel[i]);
        }
    }
    return lowest;
}

}  // namespace

std::vector<uint8_t> EncodePng(uint32_t width, uint32_t height, std::span<const uint8_t> rgba) {
    if (!FitsPng(width, height) || rgba.size() < std::size_t{width} * height * kRgba) {
        return {};
    }
    Rows rows(width, height);
    CopyRows(rows, height, rgba);
    return EncodeRows(width, height, {rows.bytes.get(), rows.size});
}

PngPicture EncodePng(const DdsImage& image) {
    const DdsInfo& info = image.info;
    CheckSize(info);
    if (!FitsPng(info.width, info.height)) {
        return {};
    }
    Rows rows(info.width, info.height);
    if (Components(info.kind) != kRgba) {
        CopyRows(rows, info.height, DecodeToRgba(image));
    } else if (!image.decoded.empty()) {
        CopyRows(rows, info.height, image.decoded);
    } else {
        DecodeRows(info, image.raw, rows.Pixels(0), rows.stride);
    }
    return {EncodeRows(info.width, info.height, {rows.bytes.get(), rows.size}),
            LowestAlpha(rows, info.height)};
}

void WritePng(const std::string& path, uint32_t width, uint32_t height,
              std::span<const uint8_t> rgba) {
    const std::vector<uint8_t> bytes = EncodePng(width, height, rgba);
    if (bytes.empty()) {
        throw Except(ErrorKind::Io, "can't encode %s as PNG", Base::Utf8ToGbk(path).c_str());
    }
    Base::WriteWholeFile(path, bytes);
}

}  // namespace Dds
