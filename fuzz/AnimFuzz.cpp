// ReadAnimation on the input as a whole .ani file, with the version switch on and off.
#include <cstdint>

#include "model/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Model::versionCheck = size == 0 || (data[size - 1] & 1) == 0;
    PakMgr::CMemoryRead reader(data, static_cast<uint32_t>(size));
    Model::Skeleton skeleton;
    try {
        Model::ReadAnimation(reader, skeleton);
    } catch (const Except&) {
    }
    return 0;
}
