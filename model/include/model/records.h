// The model records that the three model-file readers fill (.msh, .skn, .ani), and the
// readers themselves.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/layout.h"
#include "pakmgr/pakmgr.h"

namespace Dds {
struct DdsImage;
}

namespace Model {

using Vec2 = std::array<float, 2>;
using Vec3 = std::array<float, 3>;
using Vec4 = std::array<float, 4>;  // a colour, or a quaternion x, y, z, w
// Row-major for row vectors: p' = p × M, the translation in elements 12, 13, 14.
using Matrix = std::array<float, 16>;

inline constexpr Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
inline constexpr uint16_t kNoBone = 0xFFFF;        // empty bone slot, unmatched bone name
inline constexpr uint32_t kNoParent = 0xFFFFFFFF;  // a root bone's parent
inline constexpr uint32_t kTriangles = 4;          // GL_TRIANGLES
inline constexpr uint32_t kTriangleStrip = 5;      // GL_TRIANGLE_STRIP

// While on, each reader rejects the file versions it does not know (.msh 10 to 13,
// .skn 10, .ani 10 and 11). On at start. Atomic: models load on several threads at once.
inline std::atomic<bool> versionCheck = true;

// The process-wide pseudo-random generator the bone colours come from: results 0 to
// 32767, state × 214013 + 2531011. The model object seeds it once.
void SeedRandom(uint32_t seed);
int NextRandom();

// ---- .msh -------------------------------------------------------------------------------

struct MeshBone {
    std::string name;
    Matrix matrix{};  // inverse bind matrix: model space into the bone's space
};

struct SubMesh {
    std::string name;
    std::vector<uint16_t> indices;
    std::vector<Vec3> positions;  // bind pose, model space
    std::vector<Vec3> normals;
    std::vector<Vec2> texCoords;
    std::vector<std::array<uint16_t, 4>> boneIndices;  // slots into boneMap; kNoBone = empty
    std::vector<Vec4> boneWeights;
    uint32_t primitive = kTriangles;
    std::vector<Vec3> skinnedPositions;  // what is drawn and exported
    std::vector<Vec3> colors;
    std::vector<Matrix> vertexMatrices;
    std::vector<uint16_t> boneMap;  // bone-name table entry -> index in Mesh::bones, or kNoBone
    bool visible = true;
    // Posed normals for the lit view, kept only while it is lit; the exports use `normals`.
    std::vector<Vec3> skinnedNormals;
};

struct Mesh {
    std::string name;
    uint32_t version = 0;
    uint32_t subMeshCount = 0;
    uint32_t spare0 = 0;
    uint32_t spare1 = 0;
    Vec3 boxMin{};
    Vec3 boxMax{};
    uint32_t boneCount = 0;
    std::vector<MeshBone> bones;
    std::vector<SubMesh> subMeshes;
    std::vector<Vec3> bonePositions;    // each bone's bind position
    std::vector<uint16_t> boneToTrack;  // mesh bone -> skeleton bone, filled when bound
};

// ---- .skn -------------------------------------------------------------------------------

inline constexpr std::size_t kMaterialHeaderSize = Layout::kMaterialHeaderSize;

// A texture as loaded: the DDS image parsed and checked, on the CPU. Drawing makes GL
// textures of it in each context it is drawn in.
using TextureImage = std::shared_ptr<const Dds::DdsImage>;

struct Material {
    std::array<uint8_t, kMaterialHeaderSize> header{};
    Vec4 ambient{};
    Vec4 diffuse{};
    Vec4 emissiveColor{};
    Vec4 skinColor{};
    Vec4 eyeColor{};
    Vec4 customColor{};
    float emissivePower = 0;
    float emissivePowerRange = 0;
    float emissiveAniSpeed = 0;
    float aniTime = 0;
    std::string diffuseTexName;  // lower-cased file names
    std::string maskTexName;
    std::string tattooTexName;
    std::string emissiveTexName;
    TextureImage diffuseTex;  // empty when none was loaded
    TextureImage maskTex;
    TextureImage tattooTex;
    TextureImage emissiveTex;
};

struct Skin {
    std::string name;
    std::string meshName;  // lower-cased by LoadPart
    uint32_t version = 0;
    uint32_t materialCount = 0;
    std::vector<Material> materials;  // material i dresses sub-mesh i
    // The .skn node LoadPart read, below whose folder the textures were found; null for a
    // skin read from bytes alone.
    PakMgr::ITreeNode* node = nullptr;
};

// The material of sub-mesh `subMesh`, or null when the skin has fewer materials: such a
// sub-mesh is untextured.
inline const Material* MaterialFor(const Skin& skin, std::size_t subMesh) {
    return subMesh < skin.materials.size() ? &skin.materials[subMesh] : nullptr;
}

// The glow a material gives in other tools' terms: emissiveColor × emissivePower per colour
// channel (a negative or non-finite share counts as none). A glow image under a black
// product glows as painted: the image alone names the glow, so the product is white. That
// stand-in is for an image the export has (`glowImage`): a glow texture named but missing or
// unreadable leaves a black product black.
Vec3 Emission(const Material& material, bool glowImage);

// ---- .ani -------------------------------------------------------------------------------

#pragma pack(push, 1)
// Packed exactly as the version 11 file stores translation and scale keys.
struct VectorKey {
    uint16_t frame = 0;
    float value[3] = {};
};
struct RotationKey {
    uint16_t frame = 0;
    float value[4] = {};  // x, y, z, w
};
#pragma pack(pop)
static_assert(sizeof(VectorKey) == 14);
static_assert(sizeof(RotationKey) == 18);

struct AnimTrack {
    Vec3 basePosition{};
    Vec4 baseRotation{};
    Vec3 baseScale{};
    std::vector<VectorKey> positionKeys;
    std::vector<RotationKey> rotationKeys;
    std::vector<VectorKey> scaleKeys;
};

struct Bone {
    std::string name;
    std::string parentName;
    std::string spareName0;  // not filled by the reader
    std::string spareName1;
    std::vector<AnimTrack> tracks;  // track a belongs to animation a
    uint32_t index = 0;
    uint32_t parent = kNoParent;
    Matrix localMatrix{};  // pose, zero until posed
    Matrix worldMatrix{};
};

struct Skeleton {
    std::string name;
    uint32_t version = 0;
    uint32_t boneCount = 0;
    uint32_t animationCount = 0;
    std::vector<std::string> animationNames;
    std::vector<uint32_t> frameCounts;
    std::vector<Bone> bones;
    std::vector<Vec3> boneColors;  // one random display colour per bone
};

// ---- readers ----------------------------------------------------------------------------
// Every failure throws Except with a message naming the file kind and the fault.

// Fills a freshly constructed Mesh from a .msh file image positioned at 0.
void ReadMesh(Mesh& mesh, PakMgr::IRead& reader);

// Fills the Skin from a .skn image; textures are looked up below the skin node's folder
// and loaded through Dds::LoadImage (no GL involved). Without a node only the names
// are read.
void ReadSkin(Skin& skin, PakMgr::IRead& reader, PakMgr::ITreeNode* skinNode);

// Reads the .skn node and the .msh it names among its siblings, through GetPakMgr().
void LoadPart(PakMgr::ITreeNode* skinNode, Mesh& mesh, Skin& skin);

// Reads the .ani node into the Skeleton. Throws Except when the node's name lacks ".ani" or
// the file can't be loaded (the Skeleton is then untouched) and when the file is not a sound
// animation file (the Skeleton is then reset and may be partly filled: read into a spare).
void ReadAnimation(PakMgr::ITreeNode* node, Skeleton& skeleton);
// The file image alone, positioned at 0 (resets the Skeleton first).
void ReadAnimation(PakMgr::IRead& reader, Skeleton& skeleton);

}  // namespace Model
