// LoadPart and ReadSkin: the input holds three files (length-prefixed, see SplitParts), a
// skin, a mesh and a texture, stored in one archive beside each other; the skin node is
// loaded as a part, textures through the GL context when there is one. The mesh takes the
// name the skin asks for.
#include <cstdint>
#include <cstring>

#include "FuzzGl.h"
#include "FuzzUtil.h"
#include "base/text.h"
#include "model/records.h"

namespace {

constexpr std::size_t kNameField = 256;

// The mesh is stored under the name the skin's header gives, lower-cased as the part
// loader looks it up, so that any skin finds its mesh; a name that can't be one file's
// falls back to hero.msh.
std::string MeshPath(const std::vector<uint8_t>& skin) {
    std::string name;
    if (skin.size() >= 2 * kNameField) {
        const char* field = reinterpret_cast<const char*>(skin.data()) + kNameField;
        name.assign(field, strnlen(field, kNameField));
    }
    name = Base::LowerAscii(name);
    if (name.empty() || name.find('\\') != std::string::npos) {
        name = "hero.msh";
    }
    return "\\chars\\hero\\" + name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    auto parts = Fuzz::SplitParts({data, size}, 3);
    Fuzz::HaveGl();
    const std::string meshPath = MeshPath(parts[0]);
    const std::vector<Forge::PakFile> files = {
        Fuzz::File("\\chars\\hero\\hero.skn", std::move(parts[0])),
        Fuzz::File(meshPath, std::move(parts[1])),
        Fuzz::File("\\chars\\hero\\tex\\hero.dds", std::move(parts[2])),
    };
    if (!Fuzz::OpenGame(files)) {
        return 0;
    }
    PakMgr::ITreeNode* skinNode = PakMgr::FindPath(*PakMgr::GetPakMgr(), "chars/hero/hero.skn");
    Model::Mesh mesh;
    Model::Skin skin;
    Fuzz::Refusable([&] { Model::LoadPart(skinNode, mesh, skin); });
    return 0;
}
