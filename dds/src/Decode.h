// Decoding into a caller's rows, for encoders that want each row of pixels at a place of
// their own (a PNG row follows a filter byte) without a second copy of the picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "dds/dds.h"

namespace Dds {

// Decodes the first slice of the top image as DecodePixels does, Components(info.kind)
// bytes a pixel, row y at first + y × stride. The rows must have room for the image's
// width and height. Throws Except on sizes that ParseDds would reject.
void DecodeRows(const DdsInfo& info, std::span<const uint8_t> raw, uint8_t* first,
                std::size_t stride);

}  // namespace Dds
