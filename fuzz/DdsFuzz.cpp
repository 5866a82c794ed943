// DDS parsing and software decoding: the input is a whole .dds file, parsed once with
// decoding and once without, then turned into RGBA.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "dds/dds.h"

namespace {

constexpr std::size_t kHeightOffset = 12;
constexpr std::size_t kWidthOffset = 16;
constexpr std::size_t kDepthOffset = 24;
// A header claiming more pixels than this decodes megabytes of zeros from a few bytes (pixels
// of less than a byte, a linear size below the image), which would take the fuzzer's time;
// the size limits themselves are the unit tests' to check.
constexpr uint64_t kLargestFuzzedImage = uint64_t{1} << 20;

uint32_t Word(const uint8_t* data, std::size_t size, std::size_t offset) {
    uint32_t value = 0;
    if (offset + sizeof value <= size) {
        std::memcpy(&value, data + offset, sizeof value);
    }
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const uint64_t pixels = uint64_t{Word(data, size, kWidthOffset)} *
                            Word(data, size, kHeightOffset) *
                            std::max<uint32_t>(Word(data, size, kDepthOffset), 1);
    if (pixels > kLargestFuzzedImage) {
        return 0;
    }
    for (bool decode : {true, false}) {
        PakMgr::CMemoryRead reader(data, static_cast<uint32_t>(size));
        try {
            Dds::DdsImage image = Dds::ParseDds(reader, decode);
            Dds::DecodeToRgba(image);
            // The PNG encoder decodes straight into its rows, past the decoder's own buffer.
            Dds::EncodePng(image);
        } catch (const Except&) {
            return 0;
        }
    }
    return 0;
}
