// The import: the input is a glTF (its first byte says: 0 a .glb, else a .gltf's JSON)
// imported onto a small skinned character that forge writes, opened once. Every failure is
// an Except; nothing is written.
#include <cstdint>

#include "FuzzUtil.h"
#include "forge/scene.h"
#include "import/import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const bool opened =
        Fuzz::OpenGame(SceneFiles::FilesOf(SceneFiles::Scene{.blended = true}));
    if (!opened || size == 0) {
        return 0;
    }
    PakMgr::ITreeNode* skin = PakMgr::FindPath(*PakMgr::GetPakMgr(), SceneFiles::kSkinArg);
    const bool binary = data[0] == 0;
    Fuzz::Refusable([&] {
        Import::PlanImport(skin, {data + 1, size - 1}, binary, Fuzz::FreshFolder("side"), {});
    });
    return 0;
}
