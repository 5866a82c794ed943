// One still picture as WebP, for caches of small pictures: lossless when that is small
// enough, else lossy at the best quality that fits.
#include <webp/decode.h>
#include <webp/encode.h>

#include "media/media.h"

namespace Media {

namespace {

constexpr int kBytesPerPixel = 4;
// Lossy qualities tried in turn until the picture fits; the last one is kept whatever it takes.
constexpr float kLossyQualities[] = {80, 50, 20, 0};

// One encoding through libwebp's full interface: lossless keeps every pixel exactly, the
// colour under a transparent pixel too.
std::vector<uint8_t> Encode(int width, int height, std::span<const uint8_t> rgba, bool lossless,
                            float quality) {
    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture)) {
        return {};
    }
    config.lossless = lossless ? 1 : 0;
    config.exact = 1;
    config.quality = quality;
    picture.use_argb = lossless ? 1 : 0;
    picture.width = width;
    picture.height = height;
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    std::vector<uint8_t> bytes;
    if (WebPPictureImportRGBA(&picture, rgba.data(), width * kBytesPerPixel) &&
        WebPEncode(&config, &picture)) {
        bytes.assign(writer.mem, writer.mem + writer.size);
    }
    WebPPictureFree(&picture);
    WebPMemoryWriterClear(&writer);
    return bytes;
}

}  // namespace

std::vector<uint8_t> EncodeWebpPicture(int width, int height, std::span<const uint8_t> rgba,
                                       std::size_t mostBytes) {
    if (width < 1 || height < 1 ||
        rgba.size() != std::size_t(width) * std::size_t(height) * kBytesPerPixel) {
        return {};
    }
    std::vector<uint8_t> bytes = Encode(width, height, rgba, true, 100);
    for (const float quality : kLossyQualities) {
        if (!bytes.empty() && bytes.size() <= mostBytes) {
            break;
        }
        bytes = Encode(width, height, rgba, false, quality);
    }
    return bytes;
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
