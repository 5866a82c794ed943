// DDS header parsing: the kind, the size of the top image and its raw bytes.
#include <algorithm>
#include <array>
#include <bit>
#include <iterator>
#include <limits>

#include "dds/format.h"

namespace Dds {
namespace {

static_assert(std::endian::native == std::endian::little, "the header is read as it lies");

DdsInfo ReadInfo(const Header& header) {
    DdsInfo info;
    info.flags = header.flags;
    info.height = header.height;
    info.width = header.width;
    info.linearSize = header.pitchOrLinearSize;
    info.depth = std::max(header.depth, 1u);
    info.mipCount = header.mipMapCount;
    info.pixelFlags = header.pixelFlags;
    info.fourCC = header.fourCC;
    info.bitCount = header.bitCount;
    std::copy(std::begin(header.masks), std::end(header.masks), info.masks);
    info.caps = header.caps;
    info.caps2 = header.caps2;
    return info;
}

DdsKind KindOf(const DdsInfo& info) {
    if (!(info.pixelFlags & kPixelFourCC)) {
        return info.pixelFlags & kPixelAlpha ? DdsKind::RGBA : DdsKind::RGB;
    }
    switch (info.fourCC) {
        case FourCC('D', 'X', 'T', '1'):
            return DdsKind::DXT1;
        case FourCC('D', 'X', 'T', '2'):
            return DdsKind::DXT2;
        case FourCC('D', 'X', 'T', '3'):
            return DdsKind::DXT3;
        case FourCC('D', 'X', 'T', '4'):
            return DdsKind::DXT4;
        case FourCC('D', 'X', 'T', '5'):
            return DdsKind::DXT5;
        default:
            throw Except(ErrorKind::Unsupported, "unknown texture format.");
    }
}

uint32_t Clamp32(uint64_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>(value, std::numeric_limits<uint32_t>::max()));
}

// a × b without wrapping: products too large for 64 bits stay at the maximum.
uint64_t Times(uint64_t a, uint64_t b) {
    uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? std::numeric_limits<uint64_t>::max() : product;
}

// The bytes of the top image when the header gives neither a pitch nor a linear size.
uint64_t TopImageBytes(const DdsInfo& info) {
    if (!IsCompressed(info.kind)) {
        return uint64_t{info.width} * info.height * info.depth * Components(info.kind);
    }
    uint64_t blocks = BlocksAcross(info.width) * BlocksAcross(info.height) *
                      ((uint64_t{info.depth} + kBlockSide - 1) / kBlockSide);
    return blocks * BlockBytes(info.kind);
}

uint64_t SliceBytes(const DdsInfo& info) {
    if (!IsCompressed(info.kind)) {
        return Times(Times(info.bitCount / 8, std::max(info.height, 1u)), std::max(info.width, 1u));
    }
    return uint64_t{std::max(info.width / kBlockSide, 1u)} *
           std::max(info.height / kBlockSide, 1u) * BlockBytes(info.kind);
}

// A depth of 2 or more counts only for a volume texture; either way the linear size then
// covers every slice that is kept.
void ApplyDepthRule(DdsInfo& info) {
    if (info.depth < 2) {
        return;
    }
    bool volume = (info.caps & kCapsComplex) && (info.caps2 & kCaps2Volume);
    if (!volume) {
        info.depth = 1;
    }
    info.linearSize = Clamp32(Times(SliceBytes(info), info.depth));
    info.flags |= kFlagLinearSize;
}

void CheckSide(const char* name, uint32_t pixels) {
    if (pixels == 0 || pixels > kMaxSide) {
        throw Except(ErrorKind::Corrupt, "corrupt .dds file: %s %u is outside 1 to %u", name,
                     pixels, kMaxSide);
    }
}

uint64_t PixelBytesToRead(const DdsInfo& info) {
    if (info.flags & kFlagLinearSize) {
        return info.linearSize;
    }
    uint64_t row = uint64_t{info.width} * info.bitCount / 8;
    return Times(Times(row, info.height), info.depth);
}

// The bytes the decoder reads for the top image (every slice of a volume).
uint64_t DecodedFromBytes(const DdsInfo& info) {
    if (!IsCompressed(info.kind)) {
        return Times(Times(uint64_t{info.width} * info.height, info.depth), info.bitCount / 8);
    }
    return Times(BlocksAcross(info.width) * BlocksAcross(info.height) * info.depth,
                 BlockBytes(info.kind));
}

}  // namespace

void CheckSize(const DdsInfo& info) {
    CheckSide("width", info.width);
    CheckSide("height", info.height);
    uint64_t bytes =
        Times(Times(uint64_t{info.width} * info.height, info.depth), Components(info.kind));
    if (bytes > kMaxDecodedBytes) {
        throw Except(ErrorKind::Corrupt,
                     "corrupt .dds file: %ux%ux%u pixels decode to %llu bytes, more than %llu",
                     info.width, info.height, info.depth, static_cast<unsigned long long>(bytes),
                     static_cast<unsigned long long>(kMaxDecodedBytes));
    }
}

const char* KindName(DdsKind kind) {
    switch (kind) {
        case DdsKind::RGBA:
            return "RGBA";
        case DdsKind::RGB:
            return "RGB";
        case DdsKind::DXT1:
            return "DXT1";
        case DdsKind::DXT2:
            return "DXT2";
        case DdsKind::DXT3:
            return "DXT3";
        case DdsKind::DXT4:
            return "DXT4";
        case DdsKind::DXT5:
            return "DXT5";
    }
    return "?";
}

DdsImage ParseDds(PakMgr::IRead& reader, bool decode) {
    uint32_t size = reader.GetSize();
    uint32_t position = std::min(reader.Tell(), size);
    if (size - position < kHeaderSize) {
        throw Except(ErrorKind::Corrupt,
                     "corrupt .dds file: %u bytes, shorter than the %u-byte header",
                     size - position, kHeaderSize);
    }
    Header header;
    reader.Read(&header, kHeaderSize);

    DdsImage image;
    DdsInfo& info = image.info;
    info = ReadInfo(header);
    info.kind = KindOf(info);
    CheckSide("width", info.width);
    CheckSide("height", info.height);
    if (!(info.flags & (kFlagPitch | kFlagLinearSize))) {
        info.flags |= kFlagLinearSize;
        info.linearSize = Clamp32(TopImageBytes(info));
    }
    if ((info.caps & kCapsComplex) && (info.caps2 & kCaps2CubeMap)) {
        throw Except(ErrorKind::Unsupported, "can't load dds cubemap.");
    }
    ApplyDepthRule(info);
    CheckSize(info);

    // A file shorter than the top image its header describes is refused: its missing
    // pixels would come out black. (A linear size below that image reads only its bytes.)
    const uint32_t remaining = reader.GetSize() - std::min(reader.Tell(), reader.GetSize());
    const uint64_t needed = DecodedFromBytes(info);
    if (remaining < needed) {
        throw Except(ErrorKind::Corrupt,
                     "corrupt .dds file: %ux%ux%u %s pixels need %llu bytes, the file has %u",
                     info.width, info.height, info.depth, KindName(info.kind),
                     static_cast<unsigned long long>(needed), remaining);
    }
    auto count = static_cast<uint32_t>(std::min<uint64_t>(PixelBytesToRead(info), remaining));
    image.raw.resize(count);
    reader.Read(image.raw.data(), count);

    if (decode || !IsUploadedCompressed(info.kind)) {
        image.decoded = DecodePixels(info, image.raw);
        image.components = Components(info.kind);
    }
    return image;
}

std::vector<uint8_t> DecodeToRgba(const DdsImage& image) {
    const DdsInfo& info = image.info;
    std::vector<uint8_t> decoded =
        image.decoded.empty() ? DecodePixels(info, image.raw) : image.decoded;
    std::size_t pixels = std::size_t{info.width} * info.height;
    if (Components(info.kind) == 4) {
        decoded.resize(pixels * 4);
        return decoded;
    }
    std::vector<uint8_t> rgba(pixels * 4);
    for (std::size_t i = 0; i < pixels; ++i) {
        rgba[4 * i] = decoded[3 * i];
        rgba[4 * i + 1] = decoded[3 * i + 1];
        rgba[4 * i + 2] = decoded[3 * i + 2];
        rgba[4 * i + 3] = 255;
    }
    return rgba;
}

}  // namespace Dds
