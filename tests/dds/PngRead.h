// PNG files read back by libpng, which checks every chunk's CRC and the zlib stream's
// checksum.
#pragma once

#include <png.h>

#include <cstdint>
#include <vector>

namespace DdsTest {

struct ReadBack {
    bool ok = false;
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgba;
};

inline ReadBack ReadPng(const std::vector<uint8_t>& png) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ReadBack out;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) {
        return out;
    }
    image.format = PNG_FORMAT_RGBA;
    out.rgba.resize(PNG_IMAGE_SIZE(image));
    out.ok = png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr) != 0;
    out.width = image.width;
    out.height = image.height;
    png_image_free(&image);
    return out;
}

}  // namespace DdsTest
