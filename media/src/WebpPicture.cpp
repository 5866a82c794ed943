// One still picture as WebP, for caches of small pictures: lossless when that is small
// enough, else lossy.
#include <webp/decode.h>
#include <webp/encode.h>

#include "media/media.h"

namespace Media {

namespace {

constexpr float kLossyQuality = 80;
constexpr int kBytesPerPixel = 4;

// libwebp's buffers go back to libwebp.
std::vector<uint8_t> Taken(uint8_t* out, std::size_t size) {
    std::vector<uint8_t> bytes(out, out + size);
    WebPFree(out);
    return bytes;
}

}  // namespace

std::vector<uint8_t> EncodeWebpPicture(int width, int height, std::span<const uint8_t> rgba,
                                       std::size_t mostBytes) {
    if (width < 1 || height < 1 ||
        rgba.size() != std::size_t(width) * std::size_t(height) * kBytesPerPixel) {
        return {};
    }
    const int stride = width * kBytesPerPixel;
    uint8_t* out = nullptr;
    const std::size_t size = WebPEncodeLosslessRGBA(rgba.data(), width, height, stride, &out);
    if (size > 0 && size <= mostBytes) {
        return Taken(out, size);
    }
    WebPFree(out);
    out = nullptr;
    const std::size_t lossy =
        WebPEncodeRGBA(rgba.data(), width, height, stride, kLossyQuality, &out);
    return Taken(out, lossy);
}

bool DecodeWebpPicture(std::span<const uint8_t> bytes, int mostSide, WebpPicture& picture) {
    int width = 0;
    int height = 0;
    // The size is checked before anything is decoded or allocated.
    if (!WebPGetInfo(bytes.data(), bytes.size(), &width, &height) || width < 1 || height < 1 ||
        width > mostSide || height > mostSide) {
        return false;
    }
    picture.rgba.resize(std::size_t(width) * std::size_t(height) * kBytesPerPixel);
    if (!WebPDecodeRGBAInto(bytes.data(), bytes.size(), picture.rgba.data(), picture.rgba.size(),
                            width * kBytesPerPixel)) {
        picture.rgba.clear();
        return false;
    }
    picture.width = width;
    picture.height = height;
    return true;
}

}  // namespace Media
