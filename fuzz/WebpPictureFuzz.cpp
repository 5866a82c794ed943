// A still WebP picture as the gallery's cache reads one: any bytes, decoded only when their
// size is within the largest picture the cache holds.
#include <cstdint>
#include <span>

#include "media/media.h"

namespace {

constexpr int kMostSide = 256;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Media::WebpPicture picture;
    if (Media::DecodeWebpPicture(std::span<const uint8_t>(data, size), kMostSide, picture)) {
        // A picture decoded holds exactly its pixels, and encodes again.
        if (picture.rgba.size() != std::size_t(picture.width) * std::size_t(picture.height) * 4) {
            __builtin_trap();
        }
        (void)Media::EncodeWebpPicture(picture.width, picture.height, picture.rgba, 1u << 20);
    }
    return 0;
}
