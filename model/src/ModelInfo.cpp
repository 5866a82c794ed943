// What the viewer's info panel shows of the model: its pieces with their sub-meshes and
// textures, its animations and its box.
#include <algorithm>

#include "model/object.h"

namespace Model {
namespace {

void AddTexture(PieceInfo& piece, const std::string& name, const TextureImage& image) {
    if (!name.empty()) {
        piece.textures.push_back({name, image});
    }
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
    std::copy(m_boxMin.begin(), m_boxMin.end(), info.boxMin);
    std::copy(m_boxMax.begin(), m_boxMax.end(), info.boxMax);
    return info;
}

}  // namespace Model
