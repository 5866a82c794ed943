// What the viewer's info panel shows of the model: its pieces with their sub-meshes and
// textures, its animations, the bones of its meshes before a skeleton, and its size.
#include <algorithm>
#include <set>
#include <string_view>

#include "model/object.h"

namespace Model {
namespace {

// Materials often share a texture: each file is listed once.
void AddTexture(PieceInfo& piece, const std::string& name, const TextureImage& image) {
    const bool listed = std::any_of(piece.textures.begin(), piece.textures.end(),
                                    [&](const TextureInfo& t) { return t.name == name; });
    if (!name.empty() && !listed) {
        piece.textures.push_back({name, image});
    }
}

// The extent of the vertices drawn now, as posed: what an export of the pose measures. The
// mesh header's box is the camera's, and far larger than the model on some files.
void PosedExtent(const std::array<Mesh, kSlotCount>& meshes, ModelInfo& info) {
    bool any = false;
    for (const Mesh& mesh : meshes) {
        for (const SubMesh& s : mesh.subMeshes) {
            if (!s.visible) {
                continue;
            }
            for (const Vec3& p : s.skinnedPositions) {
                for (std::size_t c = 0; c < p.size(); ++c) {
                    info.boxMin[c] = any ? std::min(info.boxMin[c], p[c]) : p[c];
                    info.boxMax[c] = any ? std::max(info.boxMax[c], p[c]) : p[c];
                }
                any = true;
            }
        }
    }
}

// Before an animation gives the skeleton, the bones are the meshes' own: their distinct
// names, in slot order, without parents (a mesh file has none).
std::vector<std::string> MeshBoneNames(const std::array<Mesh, kSlotCount>& meshes) {
    std::vector<std::string> names;
    std::set<std::string_view> seen;
    for (const Mesh& mesh : meshes) {
        for (const MeshBone& bone : mesh.bones) {
            if (seen.insert(bone.name).second) {
                names.push_back(bone.name);
            }
        }
    }
    return names;
}

}  // namespace

ModelInfo CVellModel::GetInfo() {
    ModelInfo info;
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        const Mesh& mesh = m_meshes[slot];
        if (mesh.subMeshes.empty()) {
            continue;
        }
        PieceInfo piece{slot, m_skins[slot].name, m_skins[slot].meshName, {}, {}};
        for (const SubMesh& s : mesh.subMeshes) {
            piece.subMeshes.push_back({s.name, static_cast<unsigned>(s.positions.size()),
                                       static_cast<unsigned>(s.indices.size() / 3), s.visible});
        }
        for (const Material& m : m_skins[slot].materials) {
            AddTexture(piece, m.diffuseTexName, m.diffuseTex);
            AddTexture(piece, m.maskTexName, m.maskTex);
            AddTexture(piece, m.tattooTexName, m.tattooTex);
            AddTexture(piece, m.emissiveTexName, m.emissiveTex);
        }
        info.pieces.push_back(std::move(piece));
    }
    const std::size_t animations =
        std::min(m_skeleton.animationNames.size(), m_skeleton.frameCounts.size());
    for (std::size_t a = 0; a < animations; ++a) {
        const uint32_t frames = std::min<uint32_t>(m_skeleton.frameCounts[a], INT32_MAX);
        info.animations.push_back({m_skeleton.animationNames[a], static_cast<int>(frames) - 1});
    }
    PosedExtent(m_meshes, info);
    if (m_skeleton.bones.empty()) {
        info.meshBones = MeshBoneNames(m_meshes);
    }
    return info;
}

}  // namespace Model
