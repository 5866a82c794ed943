// DDS parsing and software decoding: the input is a whole .dds file, parsed once with
// decoding and once without, then turned into RGBA.
#include <cstdint>

#include "texture/texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    for (bool decode : {true, false}) {
        PakMgr::CMemoryRead reader(data, static_cast<uint32_t>(size));
        try {
            Texture::DdsImage image = Texture::ParseDds(reader, decode);
            Texture::DecodeToRgba(image);
        } catch (const Except&) {
            return 0;
        }
    }
    return 0;
}
