// The .skn reader and the part loader: a skin's materials with their textures, then the
// mesh the skin names.
#include <array>
#include <cmath>
#include <cstring>

#include "Cursor.h"
#include "base/text.h"
#include "dds/dds.h"
#include "model/layout.h"
#include "model/records.h"

namespace Model {
namespace {

using Layout::kHeaderBlockSize;
using Layout::kNameSize;
using Layout::SkinHeader;
constexpr uint32_t kSkippedAfterMaterialHeader = kHeaderBlockSize - Layout::kMaterialHeaderSize;
constexpr uint32_t kMaterialBlockMinimum = kHeaderBlockSize + 4;  // header block, parameter count
constexpr uint32_t kSupportedVersion = 10;

enum class ValueKind { Colour, Scalar, Texture, Dropped };

struct Parameter {
    const char* name;
    ValueKind kind;
    Vec4 Material::*colour = nullptr;
    float Material::*scalar = nullptr;
    std::string Material::*textureName = nullptr;
    TextureImage Material::*texture = nullptr;
};

// In the order the names are compared; the first equal one decides.
const std::array<Parameter, 15> kParameters = {{
    {"g_MaterialAmbient", ValueKind::Colour, &Material::ambient},
    {"g_MaterialDiffuse", ValueKind::Colour, &Material::diffuse},
    {"g_DiffuseTex", ValueKind::Texture, nullptr, nullptr, &Material::diffuseTexName,
     &Material::diffuseTex},
    {"g_MaskTex", ValueKind::Texture, nullptr, nullptr, &Material::maskTexName, &Material::maskTex},
    {"g_EmissiveColor", ValueKind::Colour, &Material::emissiveColor},
    {"g_EmissivePower", ValueKind::Scalar, nullptr, &Material::emissivePower},
    {"g_EmissivePowerRange", ValueKind::Scalar, nullptr, &Material::emissivePowerRange},
    {"g_EmissiveAniSpeed", ValueKind::Scalar, nullptr, &Material::emissiveAniSpeed},
    {"g_SkinColor", ValueKind::Colour, &Material::skinColor},
    {"g_TatooTex", ValueKind::Texture, nullptr, nullptr, &Material::tattooTexName,
     &Material::tattooTex},
    {"g_EyeColor", ValueKind::Colour, &Material::eyeColor},
    {"g_CustomColor", ValueKind::Colour, &Material::customColor},
    {"g_EmissiveTex", ValueKind::Texture, nullptr, nullptr, &Material::emissiveTexName,
     &Material::emissiveTex},
    {"g_DiffuseVolumeTex", ValueKind::Dropped},
    {"g_AniTime", ValueKind::Scalar, nullptr, &Material::aniTime},
}};

const Parameter* FindParameter(const std::string& name) {
    for (const Parameter& p : kParameters) {
        if (name == p.name) {
            return &p;
        }
    }
    return nullptr;
}

// A u32 length and that many bytes; the text up to the first zero byte.
std::string CountedString(Cursor& in, const std::string& who, std::string_view what) {
    uint32_t length = in.U32(who, std::string(what) + " length");
    in.Need(length, who, what);
    std::string buffer(length, '\0');
    in.Bytes(buffer.data(), length, who, what);
    return Cursor::TextOf(buffer);
}

TextureImage FindTexture(PakMgr::ITreeNode* skinNode, const std::string& name) {
    PakMgr::ITreeNode* folder = skinNode ? skinNode->GetParent() : nullptr;
    if (!folder || name.empty()) {
        return nullptr;
    }
    PakMgr::ITreeNode* node = folder->FindNode(name);
    return node ? Dds::LoadImage(node) : nullptr;
}

void ReadParameter(Cursor& in, Material& material, PakMgr::ITreeNode* skinNode,
                   const std::string& who) {
    std::string name = CountedString(in, who, "parameter name");
    const Parameter* parameter = FindParameter(name);
    if (!parameter) {
        throw Except(ErrorKind::Unsupported, "unknown material type: %s", name.c_str());
    }
    in.U32(who, "value type");
    switch (parameter->kind) {
        case ValueKind::Colour:
            in.Bytes((material.*parameter->colour).data(), sizeof(Vec4), who, parameter->name);
            break;
        case ValueKind::Scalar:
            material.*parameter->scalar = in.Value<float>(who, parameter->name);
            break;
        case ValueKind::Texture: {
            std::string file = CountedString(in, who, parameter->name);
            file = Base::LowerAscii(file);
            material.*parameter->textureName = file;
            material.*parameter->texture = FindTexture(skinNode, file);
            break;
        }
        case ValueKind::Dropped:
            CountedString(in, who, parameter->name);
            break;
    }
}

void ReadMaterial(Cursor& in, Material& material, PakMgr::ITreeNode* skinNode, std::size_t number) {
    const std::string who = Numbered("material", number);
    in.Bytes(material.header.data(), kMaterialHeaderSize, who, "header");
    in.Skip(kSkippedAfterMaterialHeader, who);
    uint32_t paramCount = in.U32(who, "parameter count");
    for (uint32_t p = 0; p < paramCount; ++p) {
        ReadParameter(in, material, skinNode, who + " parameter " + std::to_string(p));
    }
}

template <class T>
T At(const uint8_t* bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

}  // namespace

void ReadSkin(Skin& skin, PakMgr::IRead& reader, PakMgr::ITreeNode* skinNode) {
    Cursor in(reader, ".skn");
    uint8_t header[sizeof(SkinHeader)];
    in.Bytes(header, sizeof header, "header");
    const char* text = reinterpret_cast<const char*>(header);
    skin.name = Cursor::TextOf({text + offsetof(SkinHeader, name), kNameSize});
    skin.meshName = Cursor::TextOf({text + offsetof(SkinHeader, meshName), kNameSize});
    skin.version = At<uint32_t>(header, offsetof(SkinHeader, version));
    skin.materialCount = At<uint32_t>(header, offsetof(SkinHeader, materialCount));
    if (versionCheck && skin.version != kSupportedVersion) {
        throw Except(ErrorKind::Version, "unknown .skn file version: %d",
                     static_cast<int>(skin.version));
    }
    in.SeekTo(kHeaderBlockSize, "header block");
    in.Need(uint64_t{skin.materialCount} * kMaterialBlockMinimum,
            "material count " + std::to_string(skin.materialCount), "material blocks");
    skin.materials.assign(skin.materialCount, Material{});
    for (std::size_t m = 0; m < skin.materials.size(); ++m) {
        ReadMaterial(in, skin.materials[m], skinNode, m);
    }
}

void LoadPart(PakMgr::ITreeNode* skinNode, Mesh& mesh, Skin& skin) {
    PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
    std::unique_ptr<PakMgr::IRead> skinFile = skinNode ? mgr->LoadFile(skinNode) : nullptr;
    if (!skinFile || skinFile->IsEmpty()) {
        std::string name = skinNode ? skinNode->GetName() : std::string();
        throw Except(ErrorKind::Io, "can't read .skn file: %s", name.c_str());
    }
    ReadSkin(skin, *skinFile, skinNode);
    skin.node = skinNode;
    skin.meshName = Base::LowerAscii(skin.meshName);

    PakMgr::ITreeNode* folder = skinNode->GetParent();
    PakMgr::ITreeNode* meshNode = folder ? folder->FindChild(skin.meshName) : nullptr;
    std::unique_ptr<PakMgr::IRead> meshFile = meshNode ? mgr->LoadFile(meshNode) : nullptr;
    if (!meshFile || meshFile->IsEmpty()) {
        throw Except(ErrorKind::Io, "can't read .msh file: %s", skin.meshName.c_str());
    }
    ReadMesh(mesh, *meshFile);
}

Vec3 Emission(const Material& material, bool glowImage) {
    Vec3 glow{};
    bool black = true;
    for (std::size_t c = 0; c < glow.size(); ++c) {
        const float share = material.emissiveColor[c] * material.emissivePower;
        glow[c] = std::isfinite(share) && share > 0 ? share : 0.0f;
        black = black && glow[c] == 0;
    }
    if (black && glowImage) {
        glow = {1, 1, 1};
    }
    return glow;
}

}  // namespace Model
