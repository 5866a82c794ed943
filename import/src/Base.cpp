// The base model of an import: the skin and its mesh read from the archives twice, as the
// export's records (what the glTF was made from) and as the writers' descriptions (what an
// edit writes again).
#include <set>

#include "Plan.h"
#include "base/text.h"

namespace Import::Detail {
namespace {

constexpr int kReasonsOfAKind = 5;
constexpr std::size_t kMaxNameBytes = Model::Layout::kNameSize - 1;

// The material names the export gives sub-mesh by sub-mesh: the diffuse texture's stem,
// numbered from _2 when taken, one "untextured" for every sub-mesh without a material.
std::vector<std::string> ExportMaterialNames(const BaseModel& base) {
    std::set<std::string> used;
    auto unique = [&](const std::string& stem) {
        std::string name = stem;
        for (int n = 2; !used.insert(name).second; ++n) {
            name = stem + "_" + std::to_string(n);
        }
        return name;
    };
    std::vector<std::string> names;
    std::string plain;
    for (std::size_t i = 0; i < base.mesh.subMeshes.size(); ++i) {
        const Model::Material* material = Model::MaterialFor(base.skin, i);
        if (!material) {
            plain = plain.empty() ? unique("untextured") : plain;
            names.push_back(plain);
            continue;
        }
        const std::string& diffuse = material->diffuseTexName;
        std::string stem = "untextured";
        if (!diffuse.empty()) {
            stem = Base::GbkToUtf8(diffuse);
            const std::size_t dot = stem.rfind('.');
            stem = dot == std::string::npos || dot == 0 ? stem : stem.substr(0, dot);
        }
        names.push_back(unique(stem));
    }
    return names;
}

}  // namespace

std::vector<uint8_t> FileBytes(PakMgr::ITreeNode* node, const char* kind) {
    std::unique_ptr<PakMgr::IRead> file = node ? PakMgr::GetPakMgr()->LoadFile(node) : nullptr;
    if (!file || file->IsEmpty()) {
        const std::string name = node ? node->GetName() : std::string();
        throw Except(ErrorKind::Io, "can't read %s file: %s", kind, name.c_str());
    }
    std::vector<uint8_t> bytes(file->GetSize());
    file->Seek(0, 0);
    file->Read(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return bytes;
}

std::string ArchivePath(PakMgr::ITreeNode* node) {
    std::string path = Base::GbkToUtf8(PakMgr::NodePath(node, '/'));
    while (!path.empty() && path.front() == '/') {
        path.erase(path.begin());
    }
    return path;
}

std::string GameName(const std::string& utf8, const std::string& what) {
    std::string gbk = Base::Utf8ToGbk(utf8);
    if (Base::GbkToUtf8(gbk) != utf8) {
        Refuse(ErrorKind::Input,
               what + ": the name " + utf8 + " has characters code page 936 lacks: rename it");
    }
    if (gbk.size() > kMaxNameBytes) {
        Refuse(ErrorKind::Input, what + ": the name " + utf8 + " takes " +
                                     std::to_string(gbk.size()) +
                                     " bytes, the game's fields hold " +
                                     std::to_string(kMaxNameBytes) + ": shorten it");
    }
    return gbk;
}

void Report::Why(const std::string& kind, std::string text) {
    for (auto& [seen, count] : m_kinds) {
        if (seen == kind) {
            if (++count <= kReasonsOfAKind) {
                m_reasons.push_back(std::move(text));
            }
            return;
        }
    }
    m_kinds.emplace_back(kind, 1);
    m_reasons.push_back(std::move(text));
}

BaseModel LoadBase(PakMgr::ITreeNode* skinNode) {
    BaseModel base;
    base.skinNode = skinNode;
    const std::string name = skinNode ? Base::LowerAscii(skinNode->GetName()) : std::string();
    if (!name.ends_with(".skn")) {
        throw Except(ErrorKind::Input, "not .skn file: %s", name.c_str());
    }
    base.skinBytes = FileBytes(skinNode, ".skn");
    PakMgr::CMemoryRead skinRead(base.skinBytes.data(),
                                 static_cast<uint32_t>(base.skinBytes.size()));
    Model::ReadSkin(base.skin, skinRead, nullptr);
    base.skin.meshName = Base::LowerAscii(base.skin.meshName);
    PakMgr::ITreeNode* folder = skinNode->GetParent();
    base.meshNode = folder ? folder->FindChild(base.skin.meshName) : nullptr;
    if (!base.meshNode) {
        throw Except(ErrorKind::Io, "can't read .msh file: %s", base.skin.meshName.c_str());
    }
    base.meshBytes = FileBytes(base.meshNode, ".msh");
    PakMgr::CMemoryRead meshRead(base.meshBytes.data(),
                                 static_cast<uint32_t>(base.meshBytes.size()));
    Model::ReadMesh(base.mesh, meshRead);
    base.meshDesc = Model::ReadMeshDesc(base.meshBytes);
    base.skinDesc = Model::ReadSkinDesc(base.skinBytes);
    base.meshName = Base::GbkToUtf8(base.mesh.name);
    base.materialOf = ExportMaterialNames(base);
    return base;
}

}  // namespace Import::Detail
