#include "ByteSink.h"
#include "model/writer.h"

namespace Model {
namespace {

constexpr std::size_t kNameField = Model::Layout::kNameSize;
constexpr std::size_t kHeaderUnused =
    Model::Layout::kHeaderBlockSize - sizeof(Model::Layout::MeshHeader);
constexpr std::size_t kSubMeshUnused =
    Model::Layout::kHeaderBlockSize - sizeof(Model::Layout::SubMeshHeader);

uint32_t Count(std::optional<uint32_t> given, std::size_t actual) {
    return given.value_or(static_cast<uint32_t>(actual));
}

void PutSubMesh(ByteSink& out, const SubMeshDesc& sub, bool skinned) {
    out.Zeros(kNameField);
    out.PutField(sub.name, kNameField);
    out.Put(Count(sub.vertexCount, sub.positions.size()));
    out.Put(Count(sub.indexCount, sub.indices.size()));
    out.Put(uint32_t{0});
    out.Put(sub.stripFlag);
    out.Zeros(kSubMeshUnused);

    out.PutAll<uint16_t>(sub.indices);
    out.PutAll<Vec3>(sub.positions);
    out.PutAll<Vec3>(sub.normals);
    out.PutAll<Vec2>(sub.texCoords);
    if (!skinned) {
        return;
    }
    out.PutAll<std::array<uint16_t, 4>>(sub.boneSlots);
    out.PutAll<Vec4>(sub.boneWeights);
    if (sub.boneNames) {
        out.Put(Count(sub.boneNameCount, sub.boneNames->size()));
        for (const std::string& name : *sub.boneNames) {
            out.PutField(name, kNameField);
        }
    }
}

}  // namespace

bool IsSkinned(const MeshDesc& mesh) {
    return mesh.version != 10 && Count(mesh.boneCount, mesh.bones.size()) > 0;
}

std::vector<uint8_t> WriteMesh(const MeshDesc& mesh) {
    ByteSink out;
    out.PutField(mesh.name, kNameField);
    out.Put(mesh.version);
    out.Put(Count(mesh.subMeshCount, mesh.subMeshes.size()));
    out.Put(mesh.spare0);
    out.Put(mesh.spare1);
    out.Put(mesh.boxMin);
    out.Put(mesh.boxMax);
    out.Put(Count(mesh.boneCount, mesh.bones.size()));
    out.Zeros(kHeaderUnused);

    for (const MeshBoneDesc& bone : mesh.bones) {
        out.PutField(bone.name, kNameField);
        out.Put(bone.matrix);
    }
    const bool skinned = IsSkinned(mesh);
    for (const SubMeshDesc& sub : mesh.subMeshes) {
        PutSubMesh(out, sub, skinned);
    }
    return out.Take();
}

}  // namespace Model
