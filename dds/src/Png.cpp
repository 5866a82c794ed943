// PNG encoding: the rows unfiltered in one zlib stream made by the archives' own compressor
// (libdeflate), several times quicker than libpng's zlib at the same size for the flat,
// blocky pictures decoded textures are. Encoding a model's textures was most of `vell gltf`'s
// time.
#include <zlib.h>

#include <array>

#include "base/file.h"
#include "base/text.h"
#include "dds/dds.h"
#include "pakmgr/writer.h"

namespace Dds {
namespace {

constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr uint8_t kBitDepth = 8;
constexpr uint8_t kColourRgba = 6;
constexpr uint8_t kFilterNone = 0;
// PNG's largest width or height.
constexpr uint32_t kMostSide = 0x7fffffff;
// Quick, and within a few per cent of the smallest for these pictures.
constexpr int kLevel = 3;

void PutBig32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

// A chunk: its data's length, its type, the data, and the CRC of type and data.
void PutChunk(std::vector<uint8_t>& out, const char (&type)[5], std::span<const uint8_t> data) {
    PutBig32(out, static_cast<uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32_z(0, out.data() + typeAt, out.size() - typeAt);
    PutBig32(out, static_cast<uint32_t>(crc));
}

}  // namespace

std::vector<uint8_t> EncodePng(uint32_t width, uint32_t height, std::span<const uint8_t> rgba) {
    if (width < 1 || height < 1 || width > kMostSide || height > kMostSide ||
        rgba.size() < std::size_t{width} * height * 4) {
        return {};
    }
    const std::size_t row = std::size_t{width} * 4;
    std::vector<uint8_t> rows;
    rows.reserve((row + 1) * height);
    for (uint32_t y = 0; y < height; ++y) {
        rows.push_back(kFilterNone);
        const auto start = rgba.begin() + static_cast<std::ptrdiff_t>(row * y);
        rows.insert(rows.end(), start, start + static_cast<std::ptrdiff_t>(row));
    }
    std::vector<uint8_t> stream;
    PakMgr::CompressStream(rows, kLevel, stream);
    if (stream.size() > kMostSide) {
        return {};  // more than a chunk holds
    }
    std::vector<uint8_t> header;
    PutBig32(header, width);
    PutBig32(header, height);
    // Deflate, adaptive filtering, no interlace.
    header.insert(header.end(), {kBitDepth, kColourRgba, 0, 0, 0});
    std::vector<uint8_t> out(kSignature.begin(), kSignature.end());
    out.reserve(out.size() + stream.size() + 64);
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", stream);
    PutChunk(out, "IEND", {});
    return out;
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
