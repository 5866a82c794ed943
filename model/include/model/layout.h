// The byte layouts of the three model formats: read by the readers here, written by the test
// writers in forge. Numbers are little-endian; names are zero-terminated text in fields of
// kNameSize bytes. Each file opens with a header block of kHeaderBlockSize bytes whose first
// part is the header struct below, the rest unused.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Model::Layout {

inline constexpr std::size_t kNameSize = 256;
inline constexpr std::size_t kHeaderBlockSize = 1024;

// .msh: the header, then boneCount MeshBone records, then subMeshCount sub-mesh blocks (a
// SubMeshHeader padded to kHeaderBlockSize, then the indices and vertex arrays).
struct MeshHeader {
    char name[kNameSize];
    uint32_t version;
    uint32_t subMeshCount;
    uint32_t spare0;
    uint32_t spare1;
    float boxMin[3];
    float boxMax[3];
    uint32_t boneCount;
};
static_assert(sizeof(MeshHeader) == 300 && offsetof(MeshHeader, version) == 256 &&
              offsetof(MeshHeader, boxMin) == 272 && offsetof(MeshHeader, boneCount) == 296);

struct MeshBone {
    char name[kNameSize];
    float matrix[16];  // the inverse bind matrix, row-major for row vectors
};
static_assert(sizeof(MeshBone) == 320);

struct SubMeshHeader {
    char unused[kNameSize];
    char name[kNameSize];
    uint32_t vertexCount;
    uint32_t indexCount;
    uint32_t unused2;
    uint32_t stripFlag;  // bit 0: one triangle strip, else a triangle list
};
static_assert(sizeof(SubMeshHeader) == 528 && offsetof(SubMeshHeader, vertexCount) == 512 &&
              offsetof(SubMeshHeader, stripFlag) == 524);

// .skn: the header, then materialCount material blocks: a kMaterialHeaderSize-byte header
// padded to kHeaderBlockSize, a parameter count and the parameters.
struct SkinHeader {
    char name[kNameSize];
    char meshName[kNameSize];
    uint32_t version;
    uint32_t materialCount;
};
static_assert(sizeof(SkinHeader) == 520 && offsetof(SkinHeader, version) == 512);
inline constexpr std::size_t kMaterialHeaderSize = 520;

// .ani: the header, then from kHeaderBlockSize the animation names (kNameSize each) and frame
// counts (a word each), then the bones: a name, a parent name and kBoneUnused bytes, then one
// track per animation.
struct AnimHeader {
    char name[kNameSize];
    uint32_t version;
    uint32_t boneCount;
    uint32_t animationCount;
};
static_assert(sizeof(AnimHeader) == 268 && offsetof(AnimHeader, animationCount) == 264);
inline constexpr std::size_t kBoneUnused = 512;
inline constexpr std::size_t kBoneHeaderSize = 2 * kNameSize + kBoneUnused;

}  // namespace Model::Layout
