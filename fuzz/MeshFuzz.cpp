// ReadMesh on the input as a whole .msh file, with the version switch on and off.
#include <cstdint>

#include "model/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // The last byte picks the switch so that both sets of versions stay reachable.
    Model::versionCheck = size == 0 || (data[size - 1] & 1) == 0;
    PakMgr::CMemoryRead reader(data, static_cast<uint32_t>(size));
    Model::Mesh mesh;
    try {
        Model::ReadMesh(mesh, reader);
    } catch (const Except&) {
    }
    return 0;
}
