// The .msh reader: bones with their inverse bind matrices, then the sub-mesh blocks.
#include <algorithm>
#include <cstring>
#include <utility>

#include "Cursor.h"
#include "model/layout.h"
#include "model/pose.h"
#include "model/records.h"

namespace Model {
namespace {

using Layout::kHeaderBlockSize;
using Layout::kNameSize;
using Layout::MeshHeader;
using Layout::SubMeshHeader;
constexpr uint32_t kBoneRecordSize = sizeof(Layout::MeshBone);

template <class T>
T At(const uint8_t* bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

bool KnownVersion(uint32_t version) {
    return version >= 10 && version <= 13;
}

void ReadHeader(Cursor& in, Mesh& mesh) {
    uint8_t header[sizeof(MeshHeader)];
    in.Bytes(header, sizeof header, "header");
    mesh.name = Cursor::TextOf({reinterpret_cast<const char*>(header), kNameSize});
    mesh.version = At<uint32_t>(header, offsetof(MeshHeader, version));
    mesh.subMeshCount = At<uint32_t>(header, offsetof(MeshHeader, subMeshCount));
    mesh.spare0 = At<uint32_t>(header, offsetof(MeshHeader, spare0));
    mesh.spare1 = At<uint32_t>(header, offsetof(MeshHeader, spare1));
    mesh.boxMin = At<Vec3>(header, offsetof(MeshHeader, boxMin));
    mesh.boxMax = At<Vec3>(header, offsetof(MeshHeader, boxMax));
    mesh.boneCount = At<uint32_t>(header, offsetof(MeshHeader, boneCount));
}

void ReadBones(Cursor& in, Mesh& mesh) {
    std::vector<uint8_t> records =
        in.Records(mesh.boneCount, kBoneRecordSize, "bone count " + std::to_string(mesh.boneCount),
                   "bone records");
    mesh.bones.resize(mesh.boneCount);
    mesh.bonePositions.resize(mesh.boneCount);
    for (uint32_t i = 0; i < mesh.boneCount; ++i) {
        const uint8_t* record = records.data() + std::size_t{i} * kBoneRecordSize;
        MeshBone& bone = mesh.bones[i];
        bone.name = Cursor::TextOf({reinterpret_cast<const char*>(record), kNameSize});
        std::memcpy(bone.matrix.data(), record + offsetof(Layout::MeshBone, matrix),
                    sizeof(Matrix));
        const Matrix bind = BindPlacement(bone);
        mesh.bonePositions[i] = {bind[12], bind[13], bind[14]};
    }
    mesh.boneToTrack.assign(mesh.boneCount, 0);
}

// Each table name resolved to the index of the mesh bone of that name; with duplicate
// bone names the last one wins.
std::vector<uint16_t> ResolveBoneNames(const std::vector<std::string>& table,
                                       const std::vector<MeshBone>& bones) {
    std::vector<uint16_t> map(table.size(), kNoBone);
    // A 16-bit map can't name bones from kNoBone on.
    const std::size_t addressable = std::min<std::size_t>(bones.size(), kNoBone);
    for (std::size_t i = 0; i < table.size(); ++i) {
        for (std::size_t j = 0; j < addressable; ++j) {
            if (bones[j].name == table[i]) {
                map[i] = static_cast<uint16_t>(j);
            }
        }
    }
    return map;
}

void ReadSkinning(Cursor& in, const Mesh& mesh, SubMesh& sub, uint32_t vertexCount,
                  const std::string& who) {
    in.Array(sub.boneIndices, vertexCount, who, "bone slots");
    in.Array(sub.boneWeights, vertexCount, who, "bone weights");
    // The last block may end the file without its bone-name table.
    if (in.AtEnd()) {
        return;
    }
    uint32_t nameCount = in.U32(who, "bone-name count");
    std::vector<uint8_t> names = in.Records(nameCount, kNameSize, who, "bone names");
    std::vector<std::string> table(nameCount);
    for (uint32_t i = 0; i < nameCount; ++i) {
        table[i] = Cursor::TextOf(
            {reinterpret_cast<const char*>(names.data()) + std::size_t{i} * kNameSize, kNameSize});
    }
    sub.boneMap = ResolveBoneNames(table, mesh.bones);
}

void ReadSubMesh(Cursor& in, const Mesh& mesh, SubMesh& sub, std::size_t number) {
    const std::string who = Numbered("sub-mesh", number);
    uint8_t header[kHeaderBlockSize];
    in.Bytes(header, sizeof header, who, "header");
    sub.name = Cursor::TextOf(
        {reinterpret_cast<const char*>(header) + offsetof(SubMeshHeader, name), kNameSize});
    uint32_t vertexCount = At<uint32_t>(header, offsetof(SubMeshHeader, vertexCount));
    uint32_t indexCount = At<uint32_t>(header, offsetof(SubMeshHeader, indexCount));
    sub.primitive = (At<uint32_t>(header, offsetof(SubMeshHeader, stripFlag)) & 1) | kTriangles;

    in.Array(sub.indices, indexCount, who, "indices");
    in.Array(sub.positions, vertexCount, who, "positions");
    in.Array(sub.normals, vertexCount, who, "normals");
    in.Array(sub.texCoords, vertexCount, who, "texture coordinates");
    if (!mesh.bones.empty() && mesh.version != 10) {
        ReadSkinning(in, mesh, sub, vertexCount, who);
    }
    sub.skinnedPositions = sub.positions;
    sub.vertexMatrices.assign(vertexCount, kIdentity);
    sub.colors.assign(vertexCount, Vec3{1, 1, 1});
}

}  // namespace

void ReadMesh(Mesh& mesh, PakMgr::IRead& reader) {
    Cursor in(reader, ".msh");
    ReadHeader(in, mesh);
    if (versionCheck && !KnownVersion(mesh.version)) {
        throw Except(ErrorKind::Version, "unknown .msh file version: %d",
                     static_cast<int>(mesh.version));
    }
    in.SeekTo(kHeaderBlockSize, "header block");
    if (mesh.boneCount > 0) {
        ReadBones(in, mesh);
    }
    // Every block has at least its header: a count beyond that is refused before sizing.
    in.Need(uint64_t{mesh.subMeshCount} * kHeaderBlockSize,
            "sub-mesh count " + std::to_string(mesh.subMeshCount), "block headers");
    mesh.subMeshes.assign(mesh.subMeshCount, SubMesh{});
    for (std::size_t s = 0; s < mesh.subMeshes.size(); ++s) {
        ReadSubMesh(in, mesh, mesh.subMeshes[s], s);
    }
}

}  // namespace Model
