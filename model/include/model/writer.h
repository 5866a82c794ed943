// Writers of the three model formats (.msh, .skn, .ani) from descriptions that hold every
// field the files store, over the layouts of model/layout.h that the readers use. Header
// counts default to the sizes of the arrays given; the overrides make files that claim
// something else. Names are stored in their fixed fields cut to the field's size (a name
// that fills the field has no terminating zero).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "model/layout.h"
#include "model/records.h"

namespace Model {

// ---- .msh -------------------------------------------------------------------------------

struct MeshBoneDesc {
    std::string name;
    Matrix matrix = kIdentity;  // inverse bind matrix
};

struct SubMeshDesc {
    std::string name;
    uint32_t stripFlag = 0;  // bit 0: one triangle strip
    std::vector<uint16_t> indices;
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;
    std::vector<Vec2> texCoords;
    // Written only in a skinned file (version other than 10 and at least one bone).
    std::vector<std::array<uint16_t, 4>> boneSlots;
    std::vector<Vec4> boneWeights;
    // The bone-name table after the weights; none leaves it out (the last sub-mesh may).
    std::optional<std::vector<std::string>> boneNames;

    std::optional<uint32_t> vertexCount;  // default: positions.size()
    std::optional<uint32_t> indexCount;   // default: indices.size()
    std::optional<uint32_t> boneNameCount;
};

struct MeshDesc {
    std::string name;
    uint32_t version = 11;
    uint32_t spare0 = 0;
    uint32_t spare1 = 0;
    Vec3 boxMin{};
    Vec3 boxMax{};
    std::vector<MeshBoneDesc> bones;
    std::vector<SubMeshDesc> subMeshes;

    std::optional<uint32_t> boneCount;     // default: bones.size()
    std::optional<uint32_t> subMeshCount;  // default: subMeshes.size()
};

bool IsSkinned(const MeshDesc& mesh);
std::vector<uint8_t> WriteMesh(const MeshDesc& mesh);

// ---- .skn -------------------------------------------------------------------------------

struct SkinParam {
    // Stored as a counted string: the bytes of `name` (which may hold zero bytes of its
    // own), then a terminating zero unless `terminated` is false.
    std::string name;
    bool terminated = true;
    uint32_t valueType = 0;
    // A colour, a scalar, or a texture file name (a counted, zero-terminated string).
    std::variant<Vec4, float, std::string> value;
};

SkinParam ColourParam(std::string name, Vec4 colour);
SkinParam ScalarParam(std::string name, float value);
SkinParam TextParam(std::string name, std::string file);

struct MaterialDesc {
    std::array<uint8_t, kMaterialHeaderSize> header{};
    std::vector<SkinParam> params;
    std::optional<uint32_t> paramCount;  // default: params.size()
};

struct SkinDesc {
    std::string name;
    std::string meshName;
    uint32_t version = 10;
    std::vector<MaterialDesc> materials;
    std::optional<uint32_t> materialCount;  // default: materials.size()
};

std::vector<uint8_t> WriteSkin(const SkinDesc& skin);

// ---- .ani -------------------------------------------------------------------------------

struct VectorKeyDesc {
    uint32_t frame = 0;  // version 11 keeps the low 16 bits
    Vec3 value{};
};

struct RotationKeyDesc {
    uint32_t frame = 0;
    Vec4 value{};  // x, y, z, w; version 11 stores value × 32767, rounded
    std::optional<std::array<int16_t, 4>> packed;  // version 11: these integers instead
};

struct TrackDesc {
    Vec3 basePosition{};
    Vec4 baseRotation{0, 0, 0, 1};
    Vec3 baseScale{1, 1, 1};
    std::vector<VectorKeyDesc> positionKeys;
    std::vector<RotationKeyDesc> rotationKeys;
    std::vector<VectorKeyDesc> scaleKeys;
};

struct AnimBoneDesc {
    std::string name;
    std::string parentName;
    std::vector<TrackDesc> tracks;  // one per animation, in animation order
};

struct AnimationDesc {
    std::string name;
    uint32_t version = 11;  // 10: 32-bit frames and float rotations; 11: packed keys
    std::vector<std::string> animationNames;
    std::vector<uint32_t> frameCounts;  // one per animation
    std::vector<AnimBoneDesc> bones;

    std::optional<uint32_t> boneCount;       // default: bones.size()
    std::optional<uint32_t> animationCount;  // default: animationNames.size()
};

std::vector<uint8_t> WriteAnimation(const AnimationDesc& animation);

// ---- the descriptions read back ---------------------------------------------------------
// A file's every stored field as the writers above take them, so that an editor changes
// what it means to and writes the rest as it was: Write…(Read…Desc(bytes)) gives the bytes
// back whenever the file's unused bytes are zero and its texts end where the writers end
// them. Throws Except (Corrupt, Version, Unsupported) as the readers do.
MeshDesc ReadMeshDesc(std::span<const uint8_t> bytes);
SkinDesc ReadSkinDesc(std::span<const uint8_t> bytes);
AnimationDesc ReadAnimationDesc(std::span<const uint8_t> bytes);

}  // namespace Model
