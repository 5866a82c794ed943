// PNG encoding through libpng's simplified writing interface.
#include <png.h>

#include "base/file.h"
#include "base/text.h"
#include "dds/dds.h"

namespace Dds {

std::vector<uint8_t> EncodePng(uint32_t width, uint32_t height, std::span<const uint8_t> rgba) {
    if (rgba.size() < std::size_t{width} * height * 4) {
        return {};
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGBA;
    // Fast filtering and compression: the pixels are written once, into room for the
    // largest PNG they can make, instead of compressed once to measure and once to write.
    image.flags = PNG_IMAGE_FLAG_FAST;
    const auto stride = static_cast<png_int_32>(width * 4);
    png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
    std::vector<uint8_t> bytes(size);
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, rgba.data(), stride, nullptr)) {
        png_image_free(&image);
        return {};
    }
    bytes.resize(size);
    return bytes;
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
