#include "model/pose.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "model/object.h"

namespace Model {
namespace {

// Above this cosine two rotations are blended linearly: sin θ is too small to divide by.
constexpr float kNearlyParallel = 0.9999988f;
constexpr Vec3 kWhite = {1, 1, 1};

template <std::size_t N, typename Key>
std::array<float, N> KeyValue(const Key& key) {
    std::array<float, N> value;
    for (std::size_t i = 0; i < N; ++i) {
        value[i] = key.value[i];
    }
    return value;
}

template <std::size_t N>
std::array<float, N> Lerp(const std::array<float, N>& a, const std::array<float, N>& b, float t) {
    std::array<float, N> r;
    for (std::size_t i = 0; i < N; ++i) {
        r[i] = a[i] + (b[i] - a[i]) * t;
    }
    return r;
}

// The shared walk over key pairs; `between` blends the pair around f.
template <std::size_t N, typename Key, typename Blend>
std::optional<std::array<float, N>> Lookup(std::span<const Key> keys, float frame, Blend between) {
    const int64_t whole = WholeFrame(frame);
    for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
        const Key& a = keys[i];
        const Key& b = keys[i + 1];
        if (a.frame == whole) {
            return KeyValue<N>(a);
        }
        if (b.frame == whole) {
            return KeyValue<N>(b);
        }
        const float fa = a.frame;
        const float fb = b.frame;
        if (fa < frame && frame < fb) {
            return between(KeyValue<N>(a), KeyValue<N>(b), (frame - fa) / (fb - fa));
        }
    }
    return std::nullopt;
}

// The skinning matrix and display colour of every mesh bone, plus "no bone" (identity,
// white) as the last entry.
struct BoneTable {
    std::vector<Matrix> matrices;
    std::vector<Vec4> colors;  // padded to four floats for the blend
    std::size_t none = 0;      // a mesh may have more bones than 16 bits count
};

// Fills the table in place, so that posing frame after frame reuses its storage.
void MakeBoneTable(const Mesh& mesh, const Skeleton& skeleton, BoneTable& table) {
    const std::size_t count = mesh.bones.size();
    table.matrices.assign(count + 1, kIdentity);
    table.colors.assign(count + 1, {1, 1, 1, 0});
    table.none = count;
    for (std::size_t m = 0; m < count; ++m) {
        const uint16_t j = m < mesh.boneToTrack.size() ? mesh.boneToTrack[m] : kNoBone;
        if (j == kNoBone || j >= skeleton.bones.size()) {
            continue;
        }
        table.matrices[m] = Multiply(mesh.bones[m].matrix, skeleton.bones[j].worldMatrix);
        if (j < skeleton.boneColors.size()) {
            const Vec3& c = skeleton.boneColors[j];
            table.colors[m] = {c[0], c[1], c[2], 0};
        }
    }
}

void TransformPoint(const Vec3& p, const float* m, Vec3& out) {
    out[0] = p[0] * m[0] + p[1] * m[4] + p[2] * m[8] + m[12];
    out[1] = p[0] * m[1] + p[1] * m[5] + p[2] * m[9] + m[13];
    out[2] = p[0] * m[2] + p[1] * m[6] + p[2] * m[10] + m[14];
}

// Four floats in one register; the blend below runs a matrix row at a time.
using Float4 = float __attribute__((vector_size(16)));

Float4 LoadRow(const float* p) {
    Float4 row;
    std::memcpy(&row, p, sizeof row);
    return row;
}

// The four rows of w0·a0 + w1·a1 + w2·a2 + w3·a3, stored to `out` and returned.
struct Rows {
    Float4 r[4];
};

Rows BlendMatrices(const float* a0, const float* a1, const float* a2, const float* a3,
                   const Vec4& w, float* out) {
    constexpr int kRowFloats = 4;
    Rows rows;
    for (int i = 0; i < 4; ++i) {
        const int e = i * kRowFloats;
        rows.r[i] = w[0] * LoadRow(a0 + e) + w[1] * LoadRow(a1 + e) + w[2] * LoadRow(a2 + e) +
                    w[3] * LoadRow(a3 + e);
        std::memcpy(out + e, &rows.r[i], sizeof(Float4));
    }
    return rows;
}

// Keeps the per-vertex lists as long as the positions, so every loop below can trust them.
void FitWorkingLists(SubMesh& s) {
    const std::size_t n = s.positions.size();
    if (s.skinnedPositions.size() != n) {
        s.skinnedPositions.resize(n);
    }
    if (s.vertexMatrices.size() != n) {
        s.vertexMatrices.resize(n, kIdentity);
    }
    if (s.colors.size() != n) {
        s.colors.resize(n, kWhite);
    }
}

// Blends the vertices that carry influences; returns how many it blended (a prefix).
std::size_t BlendSubMesh(SubMesh& s, const BoneTable& table) {
    const std::size_t count =
        std::min({s.positions.size(), s.boneIndices.size(), s.boneWeights.size()});
    // Sub-mesh bone slot -> row of the table; slots past the map or naming no mesh bone
    // are influences without a bone.
    std::vector<std::size_t> slotRow(s.boneMap.size());
    for (std::size_t i = 0; i < slotRow.size(); ++i) {
        const uint16_t bone = s.boneMap[i];
        slotRow[i] = bone != kNoBone && bone < table.none ? bone : table.none;
    }
    const std::size_t slotCount = slotRow.size();
    const std::size_t* rows = slotRow.data();
    const Matrix* matrices = table.matrices.data();
    const Vec4* colors = table.colors.data();
    const std::size_t none = table.none;

    for (std::size_t v = 0; v < count; ++v) {
        const std::array<uint16_t, 4>& slots = s.boneIndices[v];
        const Vec4& w = s.boneWeights[v];
        std::size_t r[4];
        for (int k = 0; k < 4; ++k) {
            r[k] = slots[k] < slotCount ? rows[slots[k]] : none;
        }
        const Rows m =
            BlendMatrices(matrices[r[0]].data(), matrices[r[1]].data(), matrices[r[2]].data(),
                          matrices[r[3]].data(), w, s.vertexMatrices[v].data());
        const Float4 c = w[0] * LoadRow(colors[r[0]].data()) + w[1] * LoadRow(colors[r[1]].data()) +
                         w[2] * LoadRow(colors[r[2]].data()) + w[3] * LoadRow(colors[r[3]].data());
        std::memcpy(s.colors[v].data(), &c, sizeof(Vec3));
        const Vec3& p = s.positions[v];
        const Float4 q = p[0] * m.r[0] + p[1] * m.r[1] + p[2] * m.r[2] + m.r[3];
        std::memcpy(s.skinnedPositions[v].data(), &q, sizeof(Vec3));
    }
    return count;
}

// Moves every vertex of the mesh rigidly by `world`.
void PlaceRigidly(Mesh& mesh, const Matrix& world) {
    for (SubMesh& s : mesh.subMeshes) {
        FitWorkingLists(s);
        for (std::size_t v = 0; v < s.positions.size(); ++v) {
            TransformPoint(s.positions[v], world.data(), s.skinnedPositions[v]);
        }
    }
}

}  // namespace

int64_t WholeFrame(float frame) {
    constexpr float kLimit = 9.0e18f;
    if (!(frame > -kLimit && frame < kLimit)) {
        return frame > 0 ? INT64_MAX : INT64_MIN;
    }
    return static_cast<int64_t>(frame);
}

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += a[row * 4 + k] * b[k * 4 + col];
            }
            r[row * 4 + col] = sum;
        }
    }
    return r;
}

Matrix RotationMatrix(const Vec4& q) {
    const float x = q[0], y = q[1], z = q[2], w = q[3];
    Matrix m{};
    m[0] = 1 - 2 * (y * y + z * z);
    m[1] = 2 * x * y + 2 * w * z;
    m[2] = 2 * x * z - 2 * w * y;
    m[4] = 2 * x * y - 2 * w * z;
    m[5] = 1 - 2 * (x * x + z * z);
    m[6] = 2 * y * z + 2 * w * x;
    m[8] = 2 * x * z + 2 * w * y;
    m[9] = 2 * y * z - 2 * w * x;
    m[10] = 1 - 2 * (x * x + y * y);
    m[15] = 1;
    return m;
}

Matrix LocalMatrix(const Vec3& scale, const Vec4& rotation, const Vec3& translation) {
    Matrix s = kIdentity;
    s[0] = scale[0];
    s[5] = scale[1];
    s[10] = scale[2];
    Matrix t = kIdentity;
    t[12] = translation[0];
    t[13] = translation[1];
    t[14] = translation[2];
    return Multiply(Multiply(s, RotationMatrix(rotation)), t);
}

std::optional<Vec3> LookupVector(std::span<const VectorKey> keys, float frame) {
    return Lookup<3>(keys, frame, Lerp<3>);
}

std::optional<Vec4> LookupRotation(std::span<const RotationKey> keys, float frame) {
    return Lookup<4>(keys, frame, Slerp);
}

Vec4 Slerp(const Vec4& q0, const Vec4& q1, float t) {
    float dot = 0, len0 = 0, len1 = 0;
    for (int i = 0; i < 4; ++i) {
        dot += q0[i] * q1[i];
        len0 += q0[i] * q0[i];
        len1 += q1[i] * q1[i];
    }
    const float lengths = std::sqrt(len0) * std::sqrt(len1);
    Vec4 end = q1;
    // A zero-length key has no direction to turn along: it is blended linearly.
    float c = lengths > 0 ? dot / lengths : 1.0f;
    if (c < 0) {
        c = -c;
        for (float& e : end) {
            e = -e;
        }
    }
    if (c > kNearlyParallel) {
        return Lerp<4>(q0, end, t);
    }
    const float theta = std::acos(c);
    const float s = std::sin(theta);
    const float w0 = std::sin((1 - t) * theta);
    const float w1 = std::sin(t * theta);
    Vec4 r;
    for (int i = 0; i < 4; ++i) {
        r[i] = (q0[i] * w0 + end[i] * w1) / s;
    }
    return r;
}

void BindToSkeleton(Mesh& mesh, const Skeleton& skeleton) {
    if (skeleton.bones.empty()) {
        return;
    }
    std::vector<uint16_t> boneToTrack(mesh.bones.size(), kNoBone);
    for (std::size_t m = 0; m < mesh.bones.size(); ++m) {
        // Bones past the 16-bit range can't be named by a track number.
        const std::size_t count = std::min<std::size_t>(skeleton.bones.size(), kNoBone);
        for (std::size_t j = 0; j < count; ++j) {
            if (skeleton.bones[j].name == mesh.bones[m].name) {
                boneToTrack[m] = static_cast<uint16_t>(j);
                break;
            }
        }
    }
    mesh.boneToTrack = std::move(boneToTrack);
}

void PoseSkeleton(Skeleton& skeleton, int32_t animation, float frame,
                  std::span<const std::optional<Matrix>> bindPlacements) {
    const auto hasTrack = [animation](const Bone& bone) {
        return animation >= 0 && static_cast<std::size_t>(animation) < bone.tracks.size();
    };
    for (Bone& bone : skeleton.bones) {
        bone.localMatrix = kIdentity;
        bone.worldMatrix = kIdentity;
        if (!hasTrack(bone)) {
            continue;
        }
        const AnimTrack& track = bone.tracks[static_cast<std::size_t>(animation)];
        const Vec3 t = LookupVector(track.positionKeys, frame).value_or(track.basePosition);
        const Vec4 q = LookupRotation(track.rotationKeys, frame).value_or(track.baseRotation);
        const Vec3 s = LookupVector(track.scaleKeys, frame).value_or(track.baseScale);
        bone.localMatrix = LocalMatrix(s, q, t);
    }
    for (std::size_t j = 0; j < skeleton.bones.size(); ++j) {
        Bone& bone = skeleton.bones[j];
        // A track that this skeleton lacks (an animation index left from another file, a
        // short track list) leaves the bone where the mesh was bound to it.
        if (!hasTrack(bone)) {
            if (j < bindPlacements.size() && bindPlacements[j]) {
                bone.worldMatrix = *bindPlacements[j];
            }
        } else if (bone.parent == kNoParent || bone.parent >= skeleton.bones.size()) {
            bone.worldMatrix = bone.localMatrix;
        } else {
            bone.worldMatrix = Multiply(bone.localMatrix, skeleton.bones[bone.parent].worldMatrix);
        }
    }
}

void SkinMesh(Mesh& mesh, const Skeleton& skeleton) {
    const bool blend = !mesh.bones.empty() && !skeleton.bones.empty();
    thread_local BoneTable table;
    if (blend) {
        MakeBoneTable(mesh, skeleton, table);
    }
    for (SubMesh& s : mesh.subMeshes) {
        FitWorkingLists(s);
        std::size_t blended = 0;
        if (blend && !s.boneMap.empty()) {
            blended = BlendSubMesh(s, table);
        }
        if (mesh.boneCount == 0) {
            continue;
        }
        for (std::size_t v = blended; v < s.positions.size(); ++v) {
            TransformPoint(s.positions[v], s.vertexMatrices[v].data(), s.skinnedPositions[v]);
        }
    }
}

void PoseAttachment(Mesh& mesh, const Skeleton& skeleton) {
    if (skeleton.bones.empty() || mesh.boneToTrack.empty() ||
        mesh.boneToTrack[0] >= skeleton.bones.size()) {
        RestAttachment(mesh);
        return;
    }
    PlaceRigidly(mesh, skeleton.bones[mesh.boneToTrack[0]].worldMatrix);
}

void RestAttachment(Mesh& mesh) {
    if (mesh.bones.empty()) {
        for (SubMesh& s : mesh.subMeshes) {
            s.skinnedPositions = s.positions;
        }
        return;
    }
    PlaceRigidly(mesh, BindPlacement(mesh.bones[0]));
}

void CVellModel::Pose() {
    const int32_t animation = m_playback.animation;
    const bool everyBoneHasATrack =
        std::all_of(m_skeleton.bones.begin(), m_skeleton.bones.end(), [&](const Bone& b) {
            return animation >= 0 && static_cast<std::size_t>(animation) < b.tracks.size();
        });
    std::vector<std::optional<Matrix>> binds;
    if (!everyBoneHasATrack) {
        binds = BindPlacements(std::span(m_meshes).first(kLastPart + 1), m_skeleton);
    }
    PoseSkeleton(m_skeleton, animation, m_playback.currentFrame, binds);
    for (std::size_t slot = kWholeModel; slot <= kLastPart; ++slot) {
        SkinMesh(m_meshes[slot], m_skeleton);
    }
    PoseAttachment(m_meshes[kAttachment], m_skeleton);
    m_posed = true;
    PoseNormalsIfLit();
}

void CVellModel::ResetPose() {
    m_playback.stopped = true;
    m_playback.started = false;
    for (std::size_t slot = kWholeModel; slot <= kLastPart; ++slot) {
        for (SubMesh& s : m_meshes[slot].subMeshes) {
            s.skinnedPositions = s.positions;
        }
    }
    // The skeleton shows every joint at its bind position, unturned.
    const std::vector<std::optional<Matrix>> binds =
        BindPlacements(std::span(m_meshes).first(kLastPart + 1), m_skeleton);
    for (std::size_t j = 0; j < m_skeleton.bones.size(); ++j) {
        Matrix& world = m_skeleton.bones[j].worldMatrix;
        world = kIdentity;
        if (binds[j]) {
            world[12] = (*binds[j])[12];
            world[13] = (*binds[j])[13];
            world[14] = (*binds[j])[14];
        }
    }
    RestAttachment(m_meshes[kAttachment]);
    m_posed = false;
    PoseNormalsIfLit();
}

}  // namespace Model
