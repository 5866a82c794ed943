// LoadPart and ReadSkin: the input holds three files (length-prefixed, see SplitParts), a
// skin, a mesh and a texture, stored in one archive beside each other; the skin node is
// loaded as a part, textures through the GL context when there is one.
#include <cstdint>

#include "FuzzUtil.h"
#include "model/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    auto parts = Fuzz::SplitParts({data, size}, 3);
    Fuzz::HaveGl();
    const std::vector<Forge::PakFile> files = {
        Fuzz::File("\\chars\\hero\\hero.skn", std::move(parts[0])),
        Fuzz::File("\\chars\\hero\\hero.msh", std::move(parts[1])),
        Fuzz::File("\\chars\\hero\\tex\\hero.dds", std::move(parts[2])),
    };
    if (!Fuzz::OpenGame(files)) {
        return 0;
    }
    PakMgr::ITreeNode* skinNode = PakMgr::FindPath(*PakMgr::GetPakMgr(), "chars/hero/hero.skn");
    Model::Mesh mesh;
    Model::Skin skin;
    try {
        Model::LoadPart(skinNode, mesh, skin);
    } catch (const Except&) {
    }
    return 0;
}
