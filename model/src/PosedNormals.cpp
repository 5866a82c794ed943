// Posed normals for the lit view: each normal turned with the rotation part of the same
// matrix that placed its vertex, renormalised. The exports keep the normals as read.
#include <cmath>

#include "model/object.h"
#include "model/pose.h"

namespace Model {
namespace {

Vec3 TurnNormal(const Vec3& n, const float* m) {
    Vec3 r = {n[0] * m[0] + n[1] * m[4] + n[2] * m[8], n[0] * m[1] + n[1] * m[5] + n[2] * m[9],
              n[0] * m[2] + n[1] * m[6] + n[2] * m[10]};
    const float length = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
    // A zero normal has no direction to keep.
    if (length > 0) {
        for (float& e : r) {
            e /= length;
        }
    }
    return r;
}

}  // namespace

void PoseNormals(SubMesh& s, const Matrix* rigid) {
    const std::size_t count = s.positions.size();
    s.skinnedNormals.resize(count);
    for (std::size_t v = 0; v < count; ++v) {
        const Vec3 normal = v < s.normals.size() ? s.normals[v] : Vec3{};
        const Matrix* m = rigid                         ? rigid
                          : v < s.vertexMatrices.size() ? &s.vertexMatrices[v]
                                                        : nullptr;
        s.skinnedNormals[v] = m ? TurnNormal(normal, m->data()) : normal;
    }
}

void RestNormals(SubMesh& s) {
    s.skinnedNormals.assign(s.positions.size(), Vec3{});
    std::copy_n(s.normals.begin(), std::min(s.normals.size(), s.positions.size()),
                s.skinnedNormals.begin());
}

void CVellModel::SetLighting(bool on) {
    m_lighting = on;
    if (on) {
        PoseNormalsIfLit();
        return;
    }
    for (Mesh& mesh : m_meshes) {
        for (SubMesh& s : mesh.subMeshes) {
            s.skinnedNormals = {};
        }
    }
}

// The normals follow the positions' rules: skinned parts turn with their vertex matrices
// once posed, the attachment with the one matrix that placed it, the rest stay as read.
void CVellModel::PoseNormalsIfLit() {
    if (!m_lighting) {
        return;
    }
    for (std::size_t slot = kWholeModel; slot <= kLastPart; ++slot) {
        Mesh& mesh = m_meshes[slot];
        const bool skinned = m_posed && mesh.boneCount != 0;
        for (SubMesh& s : mesh.subMeshes) {
            if (skinned) {
                PoseNormals(s, nullptr);
            } else {
                RestNormals(s);
            }
        }
    }
    Mesh& attachment = m_meshes[kAttachment];
    std::optional<Matrix> placement;
    const bool bound = !m_skeleton.bones.empty() && !attachment.boneToTrack.empty() &&
                       attachment.boneToTrack[0] < m_skeleton.bones.size();
    if (m_posed && bound) {
        placement = m_skeleton.bones[attachment.boneToTrack[0]].worldMatrix;
    } else if (!attachment.bones.empty()) {
        placement = BindPlacement(attachment.bones[0]);
    }
    for (SubMesh& s : attachment.subMeshes) {
        if (placement) {
            PoseNormals(s, &*placement);
        } else {
            RestNormals(s);
        }
    }
}

}  // namespace Model
