// The three model formats read back into the writers' descriptions, field by field, every
// count checked against the bytes left before it sizes anything.
#include <cmath>
#include <cstring>

#include "Cursor.h"
#include "model/writer.h"

namespace Model {
namespace {

using Layout::kHeaderBlockSize;
using Layout::kNameSize;

constexpr uint32_t kSkinVersion = 10;
constexpr float kRotationScale = 32767.0f;

class Bytes final {
public:
    explicit Bytes(std::span<const uint8_t> bytes)
        : m_read(bytes.data(), static_cast<uint32_t>(bytes.size())) {
        if (bytes.size() > UINT32_MAX) {
            throw Except(ErrorKind::Corrupt, "file above 4 GiB");
        }
    }
    PakMgr::IRead& Read() { return m_read; }

private:
    PakMgr::CMemoryRead m_read;
};

template <class T>
std::vector<T> ArrayOf(Cursor& in, uint64_t count, const std::string& who, std::string_view what) {
    std::vector<T> out;
    in.Array(out, count, who, what);
    return out;
}

void ReadSubMesh(Cursor& in, bool skinned, SubMeshDesc& sub, const std::string& who) {
    in.Skip(kNameSize, who);
    sub.name = in.Name(kNameSize, who, "name");
    const uint32_t vertices = in.U32(who, "vertex count");
    const uint32_t indices = in.U32(who, "index count");
    in.U32(who, "unused word");
    sub.stripFlag = in.U32(who, "strip flag");
    in.Skip(kHeaderBlockSize - sizeof(Layout::SubMeshHeader), who);
    sub.indices = ArrayOf<uint16_t>(in, indices, who, "indices");
    sub.positions = ArrayOf<Vec3>(in, vertices, who, "positions");
    sub.normals = ArrayOf<Vec3>(in, vertices, who, "normals");
    sub.texCoords = ArrayOf<Vec2>(in, vertices, who, "texture coordinates");
    if (!skinned) {
        return;
    }
    sub.boneSlots = ArrayOf<std::array<uint16_t, 4>>(in, vertices, who, "bone slots");
    sub.boneWeights = ArrayOf<Vec4>(in, vertices, who, "bone weights");
    if (in.AtEnd()) {
        return;
    }
    const uint32_t names = in.U32(who, "bone-name count");
    in.Need(uint64_t{names} * kNameSize, who, "bone names");
    sub.boneNames.emplace();
    for (uint32_t i = 0; i < names; ++i) {
        sub.boneNames->push_back(in.Name(kNameSize, who, "bone name"));
    }
}

// A counted string's bytes, without the terminating zero it ends with.
std::string Counted(Cursor& in, const std::string& who, std::string_view what, bool& terminated) {
    const uint32_t length = in.U32(who, what);
    in.Need(length, who, what);
    std::string text(length, '\0');
    in.Bytes(text.data(), length, who, what);
    terminated = !text.empty() && text.back() == '\0';
    if (terminated) {
        text.pop_back();
    }
    return text;
}

enum class Kind { Colour, Scalar, Text };

// Every name the reader knows, with the kind of value that follows it.
Kind KindOf(const std::string& stored) {
    const std::string name = Cursor::TextOf(stored);
    static const char* const kColours[] = {"g_MaterialAmbient", "g_MaterialDiffuse",
                                           "g_EmissiveColor",   "g_SkinColor",
                                           "g_EyeColor",        "g_CustomColor"};
    static const char* const kScalars[] = {"g_EmissivePower", "g_EmissivePowerRange",
                                           "g_EmissiveAniSpeed", "g_AniTime"};
    static const char* const kTexts[] = {"g_DiffuseTex", "g_MaskTex", "g_TatooTex", "g_EmissiveTex",
                                         "g_DiffuseVolumeTex"};
    for (const char* c : kColours) {
        if (name == c) {
            return Kind::Colour;
        }
    }
    for (const char* c : kScalars) {
        if (name == c) {
            return Kind::Scalar;
        }
    }
    for (const char* c : kTexts) {
        if (name == c) {
            return Kind::Text;
        }
    }
    throw Except(ErrorKind::Unsupported, "unknown material type: %s", name.c_str());
}

SkinParam ReadParam(Cursor& in, const std::string& who) {
    SkinParam param;
    param.name = Counted(in, who, "parameter name", param.terminated);
    const Kind kind = KindOf(param.name);
    param.valueType = in.U32(who, "value type");
    switch (kind) {
        case Kind::Colour:
            param.value = in.Value<Vec4>(who, "colour");
            break;
        case Kind::Scalar:
            param.value = in.Value<float>(who, "scalar");
            break;
        case Kind::Text: {
            bool terminated = true;
            param.value = Counted(in, who, "file name", terminated);
            break;
        }
    }
    return param;
}

#pragma pack(push, 1)
struct VectorKey10 {
    uint32_t frame;
    Vec3 value;
};
struct RotationKey10 {
    uint32_t frame;
    Vec4 value;
};
struct RotationKey11 {
    uint16_t frame;
    std::array<int16_t, 4> value;
};
#pragma pack(pop)

std::vector<VectorKeyDesc> VectorKeys(Cursor& in, uint32_t version, const std::string& who) {
    const uint32_t n = in.U32(who, "key count");
    std::vector<VectorKeyDesc> keys;
    if (version == 10) {
        for (const VectorKey10& k : ArrayOf<VectorKey10>(in, n, who, "keys")) {
            keys.push_back({k.frame, k.value});
        }
    } else {
        for (const VectorKey& k : ArrayOf<VectorKey>(in, n, who, "keys")) {
            keys.push_back({k.frame, {k.value[0], k.value[1], k.value[2]}});
        }
    }
    return keys;
}

std::vector<RotationKeyDesc> RotationKeys(Cursor& in, uint32_t version, const std::string& who) {
    const uint32_t n = in.U32(who, "rotation key count");
    std::vector<RotationKeyDesc> keys;
    if (version == 10) {
        for (const RotationKey10& k : ArrayOf<RotationKey10>(in, n, who, "rotation keys")) {
            keys.push_back({k.frame, k.value, std::nullopt});
        }
        return keys;
    }
    for (const RotationKey11& k : ArrayOf<RotationKey11>(in, n, who, "rotation keys")) {
        Vec4 value{};
        for (std::size_t c = 0; c < 4; ++c) {
            value[c] = static_cast<float>(k.value[c]) / kRotationScale;
        }
        keys.push_back({k.frame, value, k.value});
    }
    return keys;
}

TrackDesc ReadTrack(Cursor& in, uint32_t version, const std::string& who) {
    TrackDesc track;
    track.basePosition = in.Value<Vec3>(who, "base translation");
    track.baseRotation = in.Value<Vec4>(who, "base rotation");
    track.baseScale = in.Value<Vec3>(who, "base scale");
    track.positionKeys = VectorKeys(in, version, who);
    track.rotationKeys = RotationKeys(in, version, who);
    track.scaleKeys = VectorKeys(in, version, who);
    return track;
}

}  // namespace

MeshDesc ReadMeshDesc(std::span<const uint8_t> bytes) {
    Bytes file(bytes);
    Cursor in(file.Read(), ".msh");
    MeshDesc mesh;
    mesh.name = in.Name(kNameSize, "header", "name");
    mesh.version = in.U32("header");
    if (mesh.version < 10 || mesh.version > 13) {
        throw Except(ErrorKind::Version, "unknown .msh file version: %d",
                     static_cast<int>(mesh.version));
    }
    const uint32_t subMeshes = in.U32("header");
    mesh.spare0 = in.U32("header");
    mesh.spare1 = in.U32("header");
    mesh.boxMin = in.Value<Vec3>("header");
    mesh.boxMax = in.Value<Vec3>("header");
    const uint32_t bones = in.U32("header");
    in.SeekTo(kHeaderBlockSize, "header block");
    in.Need(uint64_t{bones} * sizeof(Layout::MeshBone), "bone count " + std::to_string(bones));
    for (uint32_t b = 0; b < bones; ++b) {
        MeshBoneDesc bone;
        bone.name = in.Name(kNameSize, Numbered("bone", b), "name");
        bone.matrix = in.Value<Matrix>(Numbered("bone", b), "matrix");
        mesh.bones.push_back(std::move(bone));
    }
    in.Need(uint64_t{subMeshes} * kHeaderBlockSize, "sub-mesh count " + std::to_string(subMeshes));
    mesh.subMeshes.resize(subMeshes);
    const bool skinned = IsSkinned(mesh);
    for (uint32_t s = 0; s < subMeshes; ++s) {
        ReadSubMesh(in, skinned, mesh.subMeshes[s], Numbered("sub-mesh", s));
    }
    return mesh;
}

SkinDesc ReadSkinDesc(std::span<const uint8_t> bytes) {
    Bytes file(bytes);
    Cursor in(file.Read(), ".skn");
    SkinDesc skin;
    skin.name = in.Name(kNameSize, "header", "name");
    skin.meshName = in.Name(kNameSize, "header", "mesh name");
    skin.version = in.U32("header");
    if (skin.version != kSkinVersion) {
        throw Except(ErrorKind::Version, "unknown .skn file version: %d",
                     static_cast<int>(skin.version));
    }
    const uint32_t materials = in.U32("header");
    in.SeekTo(kHeaderBlockSize, "header block");
    in.Need(uint64_t{materials} * (kHeaderBlockSize + 4),
            "material count " + std::to_string(materials));
    skin.materials.resize(materials);
    for (uint32_t m = 0; m < materials; ++m) {
        const std::string who = Numbered("material", m);
        MaterialDesc& material = skin.materials[m];
        in.Bytes(material.header.data(), kMaterialHeaderSize, who, "header");
        in.Skip(kHeaderBlockSize - kMaterialHeaderSize, who);
        const uint32_t params = in.U32(who, "parameter count");
        // A parameter takes at least its name's length and its value type.
        in.Need(uint64_t{params} * 8, who, "parameters");
        for (uint32_t p = 0; p < params; ++p) {
            material.params.push_back(ReadParam(in, who + " " + Numbered("parameter", p)));
        }
    }
    return skin;
}

AnimationDesc ReadAnimationDesc(std::span<const uint8_t> bytes) {
    Bytes file(bytes);
    Cursor in(file.Read(), ".ani");
    AnimationDesc ani;
    ani.name = in.Name(kNameSize, "header", "name");
    ani.version = in.U32("header");
    if (ani.version != 10 && ani.version != 11) {
        throw Except(ErrorKind::Version, "unknown .ani file version: %d",
                     static_cast<int>(ani.version));
    }
    const uint32_t bones = in.U32("header");
    const uint32_t animations = in.U32("header");
    in.SeekTo(kHeaderBlockSize, "header block");
    in.Need(uint64_t{animations} * (kNameSize + 4),
            "animation count " + std::to_string(animations));
    for (uint32_t a = 0; a < animations; ++a) {
        ani.animationNames.push_back(in.Name(kNameSize, Numbered("animation", a), "name"));
    }
    ani.frameCounts = ArrayOf<uint32_t>(in, animations, "animation table", "frame counts");
    // A track holds at least its base placement and three counts.
    constexpr uint64_t kTrackMinimum = 12 + 16 + 12 + 3 * 4;
    in.Need(uint64_t{bones} * (Layout::kBoneHeaderSize + animations * kTrackMinimum),
            "bone count " + std::to_string(bones));
    ani.bones.resize(bones);
    for (uint32_t b = 0; b < bones; ++b) {
        const std::string who = Numbered("bone", b);
        AnimBoneDesc& bone = ani.bones[b];
        bone.name = in.Name(kNameSize, who, "name");
        bone.parentName = in.Name(kNameSize, who, "parent name");
        in.Skip(Layout::kBoneUnused, who);
        for (uint32_t a = 0; a < animations; ++a) {
            bone.tracks.push_back(ReadTrack(in, ani.version, who + " " + Numbered("track", a)));
        }
    }
    return ani;
}

}  // namespace Model
