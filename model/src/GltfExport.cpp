// glTF 2.0 export: the model as shown, with its skeleton, skin and every animation, mirrored
// in x the way the view draws it, so that the file at every integer frame shows what the
// view shows at that frame.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "GltfMath.h"
#include "GltfWriter.h"
#include "Pose.h"
#include "VellModel.h"
#include "texture/texture.h"

namespace Model {
namespace {

using namespace Gltf;

constexpr float kFramesPerSecond = 60.0f;
// Weights whose sum is this close to 1 are taken as meaning 1.
constexpr float kWeightTolerance = 1e-5f;
constexpr std::size_t kInfluencesPerSet = 4;
constexpr std::size_t kMaxInfluences = 2 * kInfluencesPerSet;
constexpr std::size_t kByteJoints = 256;
// Sampled animation data beyond this many bytes is refused rather than allocated.
constexpr std::size_t kMaxAnimationBytes = std::size_t{512} << 20;
constexpr int kLinear = 9729;
constexpr int kRepeat = 10497;
constexpr Vec3 kNoMove = {0, 0, 0};
constexpr Vec3 kUnitScale = {1, 1, 1};
constexpr Vec3 kNoScale = {0, 0, 0};
constexpr const char* kSlotNames[kSlotCount] = {"model", "body", "boots",  "glove",   "hair",
                                                "head",  "leg",  "helmet", "costume", "attachment"};

struct Node {
    std::string name;
    std::vector<int> children;
    Trs trs;
    int mesh = -1;
    int skin = -1;
};

struct Primitive {
    std::map<std::string, int> attributes;
    int indices = -1;
    int material = -1;
    std::string name;
    std::size_t subMesh = 0;
};

struct MeshEntry {
    std::string name;
    std::vector<Primitive> primitives;
};

struct Channel {
    int node = 0;
    const char* path = "";
    int input = 0;
    int output = 0;
};

struct Animation {
    std::string name;
    std::vector<Channel> channels;
};

struct Influence {
    int joint = 0;
    float weight = 0;
};

float Finite(float v) {
    return std::isfinite(v) ? v : 0.0f;
}

// A sub-mesh's per-vertex list cut or padded to the number of positions.
template <typename T>
std::vector<T> Fitted(const std::vector<T>& values, std::size_t count, T fill) {
    std::vector<T> out(values.begin(), values.begin() + std::min(values.size(), count));
    out.resize(count, fill);
    return out;
}

bool StrictlyIncreasing(const auto& keys) {
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (keys[i].frame <= keys[i - 1].frame) {
            return false;
        }
    }
    return true;
}

// The keyed value at an integer frame, as the pose's key lookup gives it. Sorted keys are
// searched by halves and only the pair that decides is handed to the lookup; other lists
// take the lookup's own walk.
template <typename Key, typename Lookup>
auto KeyAt(std::span<const Key> keys, bool sorted, uint32_t frame, Lookup lookup) {
    const float f = static_cast<float>(frame);
    if (!sorted || keys.size() < 2) {
        return lookup(keys, f);
    }
    auto at = std::lower_bound(keys.begin(), keys.end(), frame,
                               [](const Key& k, uint32_t n) { return k.frame < n; });
    std::size_t i = static_cast<std::size_t>(at - keys.begin());
    if (i == keys.size() || (i == 0 && keys[0].frame != frame)) {
        return lookup(keys.subspan(0, 0), f);  // nothing decides
    }
    if (keys[i].frame != frame) {
        --i;  // the pair around the frame
    } else if (i == keys.size() - 1) {
        --i;
    }
    return lookup(keys.subspan(i, 2), f);
}

uint32_t LastKeyFrame(const AnimTrack& track) {
    uint32_t last = 0;
    auto scan = [&](const auto& keys) {
        if (keys.size() >= 2) {
            for (const auto& k : keys) {
                last = std::max<uint32_t>(last, k.frame);
            }
        }
    };
    scan(track.positionKeys);
    scan(track.rotationKeys);
    scan(track.scaleKeys);
    return last;
}

class GltfBuilder {
public:
    GltfBuilder(const std::array<Mesh, kSlotCount>& meshes,
                const std::array<Skin, kSlotCount>& skins, const Skeleton& skeleton,
                const std::vector<PakMgr::ITreeNode*>& skinNodes)
        : m_meshes(meshes), m_skins(skins), m_skeleton(skeleton), m_skinNodes(skinNodes) {}

    void Build();
    std::string Json(const std::string& bufferUri) const;
    const std::vector<uint8_t>& Bin() const { return m_bin.Bytes(); }

private:
    bool Animated() const { return !m_skeleton.bones.empty(); }
    int AddNode(Node node, int parent);
    int SkeletonRoot();
    void BuildAnimatedSkeleton();
    void BuildBindSkeleton();
    Trs RestPose(std::size_t bone) const;
    void BindMeshBones();
    int StaticJoint();
    int OriginJoint();
    int AddJoint(int node, const Matrix& inverseBind);

    void BuildMeshes();
    void BuildAttachment();
    std::optional<Primitive> MakePrimitive(std::size_t slot, std::size_t index, bool skinned);
    bool SubMeshBlends(const Mesh& mesh, const SubMesh& subMesh) const;
    void AddSkinAttributes(Primitive& primitive, std::size_t slot, const SubMesh& subMesh,
                           std::size_t count);
    std::vector<Influence> Influences(std::size_t slot, const SubMesh& subMesh, std::size_t v);
    int MaterialFor(std::size_t slot, std::size_t index);
    int TextureMaterial(const std::string& textureName);
    std::unique_ptr<PakMgr::IRead> TextureFile(const std::string& textureName) const;
    void PrepareTextures();

    void BuildAnimations();
    std::vector<uint32_t> SampledFrames(std::size_t animation) const;
    void BuildAnimation(std::size_t animation);
    void AddChannel(Animation& animation, int node, const char* path, std::vector<float> values,
                    int components, int input);

    void MakeNamesUnique();
    void WriteNodes(JsonWriter& json) const;
    void WriteMeshes(JsonWriter& json) const;
    void WriteMaterials(JsonWriter& json) const;
    void WriteSkin(JsonWriter& json) const;
    void WriteAnimations(JsonWriter& json) const;

    const std::array<Mesh, kSlotCount>& m_meshes;
    const std::array<Skin, kSlotCount>& m_skins;
    const Skeleton& m_skeleton;
    const std::vector<PakMgr::ITreeNode*>& m_skinNodes;

    BinaryBuffer m_bin;
    std::vector<Node> m_nodes;
    std::vector<int> m_sceneNodes;
    std::vector<MeshEntry> m_meshEntries;
    std::vector<Animation> m_animations;

    int m_skeletonRoot = -1;
    std::vector<int> m_boneNodes;  // skeleton bone (or bind-skeleton bone) -> node
    std::vector<int> m_joints;     // joint -> node
    std::vector<Matrix> m_inverseBinds;
    std::vector<bool> m_inverseBindSet;
    std::array<std::vector<int>, kSlotCount> m_meshBoneJoints;  // per slot: mesh bone -> joint
    int m_staticJoint = -1;
    int m_originJoint = -1;
    bool m_skinUsed = false;
    bool m_narrowJoints = true;

    struct MaterialEntry {
        std::string name;
        int texture = -1;
    };
    std::vector<MaterialEntry> m_materials;
    std::vector<int> m_images;  // texture -> buffer view of the PNG
    std::map<std::string, int> m_textureMaterials;
    std::map<std::string, std::vector<uint8_t>> m_pngs;  // texture name -> PNG, empty if none
    int m_plainMaterial = -1;
    int m_singleTime = -1;  // the input of channels that hold one value
    std::size_t m_animationBytes = 0;
    int m_inverseBindAccessor = -1;
};

int GltfBuilder::AddNode(Node node, int parent) {
    m_nodes.push_back(std::move(node));
    const int index = static_cast<int>(m_nodes.size() - 1);
    if (parent >= 0) {
        m_nodes[static_cast<std::size_t>(parent)].children.push_back(index);
    } else {
        m_sceneNodes.push_back(index);
    }
    return index;
}

// Every joint hangs below this one node, the skin's common root.
int GltfBuilder::SkeletonRoot() {
    if (m_skeletonRoot < 0) {
        std::string name = PakMgr::GbkToUtf8(m_skeleton.name);
        m_skeletonRoot = AddNode({.name = name.empty() ? "skeleton" : name}, -1);
    }
    return m_skeletonRoot;
}

int GltfBuilder::AddJoint(int node, const Matrix& inverseBind) {
    m_joints.push_back(node);
    m_inverseBinds.push_back(inverseBind);
    m_inverseBindSet.push_back(true);
    return static_cast<int>(m_joints.size() - 1);
}

// The share of a vertex that an influence without a bone keeps in place.
int GltfBuilder::StaticJoint() {
    if (m_staticJoint < 0) {
        const int node = AddNode({.name = "vell_static"}, SkeletonRoot());
        m_staticJoint = AddJoint(node, kIdentity);
    }
    return m_staticJoint;
}

// The share that weights summing below 1 leave out: while an animation plays the pose moves
// it to the origin (every animation scales this joint to nothing); at rest it stays.
int GltfBuilder::OriginJoint() {
    if (m_originJoint < 0) {
        m_originJoint = AddJoint(AddNode({.name = "vell_origin"}, SkeletonRoot()), kIdentity);
    }
    return m_originJoint;
}

Trs GltfBuilder::RestPose(std::size_t bone) const {
    Trs trs;
    const auto& tracks = m_skeleton.bones[bone].tracks;
    if (!tracks.empty()) {
        const AnimTrack& track = tracks.front();
        trs.translation = LookupVector(track.positionKeys, 0.0f).value_or(track.basePosition);
        trs.rotation = LookupRotation(track.rotationKeys, 0.0f).value_or(track.baseRotation);
        trs.scale = LookupVector(track.scaleKeys, 0.0f).value_or(track.baseScale);
    }
    trs.translation[0] = -trs.translation[0];
    trs.rotation = MirrorRotation(trs.rotation);
    return trs;
}

// Bones become nodes; a bone links to its parent only when the parent comes first in the
// list, as the pose multiplies in list order.
void GltfBuilder::BuildAnimatedSkeleton() {
    const int root = SkeletonRoot();
    const std::size_t count = m_skeleton.bones.size();
    m_boneNodes.assign(count, -1);
    for (std::size_t j = 0; j < count; ++j) {
        const Bone& bone = m_skeleton.bones[j];
        const int parent = bone.parent < j ? m_boneNodes[bone.parent] : root;
        m_boneNodes[j] = AddNode({.name = PakMgr::GbkToUtf8(bone.name)}, parent);
        m_joints.push_back(m_boneNodes[j]);
        m_inverseBinds.push_back(kIdentity);
        m_inverseBindSet.push_back(false);
    }
    BindMeshBones();
    // Rest pose: the bind pose where mesh bones give it (every joint then leaves the mesh
    // as read), else the first animation's first frame.
    std::vector<Matrix> world(count, kIdentity);
    for (std::size_t j = 0; j < count; ++j) {
        const Bone& bone = m_skeleton.bones[j];
        const Matrix parentWorld = bone.parent < j ? world[bone.parent] : kIdentity;
        Trs trs = RestPose(j);
        std::optional<Matrix> bind =
            m_inverseBindSet[j] ? Inverse(m_inverseBinds[j]) : std::nullopt;
        std::optional<Matrix> parentInverse = Inverse(parentWorld);
        if (bind && parentInverse) {
            if (auto local = Decompose(Multiply(*bind, *parentInverse))) {
                trs = *local;
            }
        }
        m_nodes[static_cast<std::size_t>(m_boneNodes[j])].trs = trs;
        world[j] = Multiply(Compose(trs), parentWorld);
        if (!m_inverseBindSet[j]) {
            m_inverseBinds[j] = Inverse(world[j]).value_or(kIdentity);
        }
    }
}

// Each mesh bone bound to a skeleton bone is a joint with its inverse bind matrix; a second
// mesh bone on the same skeleton bone with another matrix gets a node of its own that
// follows the bone.
void GltfBuilder::BindMeshBones() {
    std::vector<std::vector<int>> jointsOfBone(m_skeleton.bones.size());
    for (std::size_t slot = kWholeModel; slot <= kLastPart; ++slot) {
        const Mesh& mesh = m_meshes[slot];
        m_meshBoneJoints[slot].assign(mesh.bones.size(), -1);
        for (std::size_t m = 0; m < mesh.bones.size(); ++m) {
            const uint16_t j = m < mesh.boneToTrack.size() ? mesh.boneToTrack[m] : kNoBone;
            if (j == kNoBone || j >= m_skeleton.bones.size()) {
                continue;
            }
            const Matrix inverseBind = MirrorMatrix(mesh.bones[m].matrix);
            std::vector<int>& joints = jointsOfBone[j];
            if (joints.empty()) {
                m_inverseBinds[j] = inverseBind;
                m_inverseBindSet[j] = true;
                joints.push_back(static_cast<int>(j));
            }
            auto same = std::find_if(joints.begin(), joints.end(), [&](int joint) {
                return m_inverseBinds[static_cast<std::size_t>(joint)] == inverseBind;
            });
            if (same == joints.end()) {
                const std::string name = m_nodes[static_cast<std::size_t>(m_boneNodes[j])].name +
                                         "." + std::to_string(joints.size());
                joints.push_back(AddJoint(AddNode({.name = name}, m_boneNodes[j]), inverseBind));
                same = joints.end() - 1;
            }
            m_meshBoneJoints[slot][m] = *same;
        }
    }
}

// Without an animation the joints are the mesh bones by name, placed at their bind pose;
// the mesh stays as read.
void GltfBuilder::BuildBindSkeleton() {
    std::map<std::string, int> jointOf;
    for (std::size_t slot = kWholeModel; slot <= kLastPart; ++slot) {
        const Mesh& mesh = m_meshes[slot];
        m_meshBoneJoints[slot].assign(mesh.bones.size(), -1);
        for (std::size_t m = 0; m < mesh.bones.size(); ++m) {
            const MeshBone& bone = mesh.bones[m];
            auto found = jointOf.find(bone.name);
            if (found == jointOf.end()) {
                Node node{.name = PakMgr::GbkToUtf8(bone.name)};
                const Matrix bind = MirrorMatrix(Inverse(bone.matrix).value_or(kIdentity));
                auto trs = Decompose(bind);
                if (trs && std::all_of(trs->scale.begin(), trs->scale.end(),
                                       [](float s) { return std::abs(s) > 1e-6f; })) {
                    node.trs = *trs;
                } else {
                    node.trs.translation = {bind[12], bind[13], bind[14]};
                }
                const Matrix world = Compose(node.trs);
                const int index = AddNode(std::move(node), SkeletonRoot());
                m_boneNodes.push_back(index);
                found =
                    jointOf.emplace(bone.name, AddJoint(index, Inverse(world).value_or(kIdentity)))
                        .first;
            }
            m_meshBoneJoints[slot][m] = found->second;
        }
    }
}

bool GltfBuilder::SubMeshBlends(const Mesh& mesh, const SubMesh& subMesh) const {
    if (mesh.bones.empty() || subMesh.boneMap.empty() || subMesh.boneIndices.empty() ||
        subMesh.boneWeights.empty()) {
        return false;
    }
    return true;
}

std::vector<Influence> GltfBuilder::Influences(std::size_t slot, const SubMesh& subMesh,
                                               std::size_t v) {
    std::vector<Influence> list;
    auto add = [&](int joint, float weight) {
        for (Influence& i : list) {
            if (i.joint == joint) {
                i.weight += weight;
                return;
            }
        }
        list.push_back({joint, weight});
    };
    const std::vector<int>& joints = m_meshBoneJoints[slot];
    float sum = 0;
    if (v < subMesh.boneIndices.size() && v < subMesh.boneWeights.size()) {
        for (std::size_t k = 0; k < 4; ++k) {
            const float w = Finite(subMesh.boneWeights[v][k]);
            if (!(w > 0)) {
                continue;
            }
            const uint16_t s = subMesh.boneIndices[v][k];
            const uint16_t m = s < subMesh.boneMap.size() ? subMesh.boneMap[s] : kNoBone;
            const int joint = m < joints.size() ? joints[m] : -1;
            add(joint >= 0 ? joint : StaticJoint(), w);
            sum += w;
        }
    } else {
        // A vertex past the influence lists keeps its place.
        add(StaticJoint(), 1);
        sum = 1;
    }
    if (sum < 1 - kWeightTolerance) {
        // The pose scales the vertex matrix by the weights as stored; before an animation
        // nothing moves at all.
        add(Animated() ? OriginJoint() : StaticJoint(), 1 - sum);
        sum = 1;
    }
    std::sort(list.begin(), list.end(),
              [](const Influence& a, const Influence& b) { return a.weight > b.weight; });
    // Normalised so that the float sum is 1: the largest takes up the rounding.
    float rest = 0;
    for (std::size_t i = 1; i < list.size(); ++i) {
        list[i].weight /= sum;
        rest += list[i].weight;
    }
    list[0].weight = 1 - rest;
    return list;
}

void GltfBuilder::AddSkinAttributes(Primitive& primitive, std::size_t slot, const SubMesh& subMesh,
                                    std::size_t count) {
    const bool blends = SubMeshBlends(m_meshes[slot], subMesh);
    std::vector<std::array<uint16_t, kMaxInfluences>> joints(count);
    std::vector<std::array<float, kMaxInfluences>> weights(count);
    std::size_t sets = 1;
    for (std::size_t v = 0; v < count; ++v) {
        std::vector<Influence> list;
        if (blends) {
            list = Influences(slot, subMesh, v);
        } else {
            list = {{StaticJoint(), 1.0f}};
        }
        joints[v].fill(0);
        weights[v].fill(0);
        for (std::size_t i = 0; i < list.size() && i < kMaxInfluences; ++i) {
            joints[v][i] = static_cast<uint16_t>(list[i].joint);
            weights[v][i] = list[i].weight;
        }
        if (list.size() > kInfluencesPerSet) {
            sets = 2;
        }
    }
    for (std::size_t set = 0; set < sets; ++set) {
        std::vector<uint16_t> j;
        std::vector<float> w;
        j.reserve(count * kInfluencesPerSet);
        w.reserve(count * kInfluencesPerSet);
        for (std::size_t v = 0; v < count; ++v) {
            for (std::size_t k = 0; k < kInfluencesPerSet; ++k) {
                j.push_back(joints[v][set * kInfluencesPerSet + k]);
                w.push_back(weights[v][set * kInfluencesPerSet + k]);
            }
        }
        Accessor a{.count = count, .type = "VEC4"};
        if (m_narrowJoints) {
            const std::vector<uint8_t> narrow(j.begin(), j.end());
            a.view = m_bin.AddView(std::span<const uint8_t>(narrow), Target::Vertices);
            a.componentType = kUnsignedByte;
        } else {
            a.view = m_bin.AddView(std::span<const uint16_t>(j), Target::Vertices);
            a.componentType = kUnsignedShort;
        }
        const std::string suffix = std::to_string(set);
        primitive.attributes["JOINTS_" + suffix] = m_bin.AddAccessor(std::move(a));
        primitive.attributes["WEIGHTS_" + suffix] =
            m_bin.AddFloats(w, "VEC4", 4, false, Target::Vertices);
    }
    m_skinUsed = true;
}

// Triangles with the winding turned, as the mirror turns it; strips become lists, and
// degenerate triangles and corners past the vertices are left out.
std::vector<uint32_t> Triangles(const SubMesh& subMesh, std::size_t vertexCount) {
    const std::vector<uint16_t>& idx = subMesh.indices;
    std::vector<uint32_t> out;
    auto add = [&](uint32_t a, uint32_t b, uint32_t c) {
        if (a == b || b == c || a == c || a >= vertexCount || b >= vertexCount ||
            c >= vertexCount) {
            return;
        }
        out.insert(out.end(), {a, c, b});
    };
    if (subMesh.primitive == kTriangles) {
        out.reserve(idx.size());
        for (std::size_t t = 0; t + 2 < idx.size(); t += 3) {
            add(idx[t], idx[t + 1], idx[t + 2]);
        }
        return out;
    }
    out.reserve(idx.size() * 3);
    for (std::size_t k = 2; k < idx.size(); ++k) {
        if (k % 2 == 0) {
            add(idx[k - 2], idx[k - 1], idx[k]);
        } else {
            add(idx[k - 1], idx[k - 2], idx[k]);
        }
    }
    return out;
}

std::optional<Primitive> GltfBuilder::MakePrimitive(std::size_t slot, std::size_t index,
                                                    bool skinned) {
    const SubMesh& subMesh = m_meshes[slot].subMeshes[index];
    const std::size_t count = subMesh.positions.size();
    const std::vector<uint32_t> triangles = Triangles(subMesh, count);
    if (count == 0 || triangles.empty()) {
        return std::nullopt;
    }
    Primitive primitive;
    primitive.name = PakMgr::GbkToUtf8(subMesh.name);
    primitive.subMesh = index;

    std::vector<float> positions, normals, texCoords;
    positions.reserve(count * 3);
    for (const Vec3& p : subMesh.positions) {
        positions.insert(positions.end(), {-Finite(p[0]), Finite(p[1]), Finite(p[2])});
    }
    normals.reserve(count * 3);
    for (const Vec3& n : Fitted(subMesh.normals, count, Vec3{0, 0, 0})) {
        // Normals must be unit length in the file; one with no direction points up.
        const Vec4 unit = Normalized({-Finite(n[0]), Finite(n[1]), Finite(n[2]), 0});
        const bool none = unit[3] != 0;
        normals.insert(normals.end(),
                       {none ? 0.0f : unit[0], none ? 1.0f : unit[1], none ? 0.0f : unit[2]});
    }
    texCoords.reserve(count * 2);
    for (const Vec2& t : Fitted(subMesh.texCoords, count, Vec2{0, 0})) {
        texCoords.insert(texCoords.end(), {Finite(t[0]), Finite(t[1])});
    }
    primitive.attributes["POSITION"] =
        m_bin.AddFloats(positions, "VEC3", 3, true, Target::Vertices);
    primitive.attributes["NORMAL"] = m_bin.AddFloats(normals, "VEC3", 3, false, Target::Vertices);
    primitive.attributes["TEXCOORD_0"] =
        m_bin.AddFloats(texCoords, "VEC2", 2, false, Target::Vertices);
    if (skinned) {
        AddSkinAttributes(primitive, slot, subMesh, count);
    }

    Accessor indices{.count = triangles.size(), .type = "SCALAR"};
    // 16-bit indices would reserve 65535 as the restart value.
    if (count <= 0xFFFF) {
        std::vector<uint16_t> narrow(triangles.begin(), triangles.end());
        indices.view = m_bin.AddView(std::span<const uint16_t>(narrow), Target::Indices);
        indices.componentType = kUnsignedShort;
    } else {
        indices.view = m_bin.AddView(std::span<const uint32_t>(triangles), Target::Indices);
        indices.componentType = kUnsignedInt;
    }
    primitive.indices = m_bin.AddAccessor(std::move(indices));
    primitive.material = MaterialFor(slot, index);
    return primitive;
}

void GltfBuilder::BuildMeshes() {
    // Joint numbers go in bytes when they fit, as most tools write them; the joints that
    // hold shares in place or send them to the origin may still be added.
    m_narrowJoints = m_joints.size() + 2 <= kByteJoints;
    for (std::size_t slot = kWholeModel; slot <= kLastPart; ++slot) {
        const Mesh& mesh = m_meshes[slot];
        bool skinned = false;
        for (const SubMesh& s : mesh.subMeshes) {
            skinned = skinned || (s.visible && SubMeshBlends(mesh, s));
        }
        MeshEntry entry;
        for (std::size_t i = 0; i < mesh.subMeshes.size(); ++i) {
            if (!mesh.subMeshes[i].visible) {
                continue;
            }
            if (auto primitive = MakePrimitive(slot, i, skinned)) {
                entry.primitives.push_back(std::move(*primitive));
            }
        }
        if (entry.primitives.empty()) {
            continue;
        }
        const std::string name = PakMgr::GbkToUtf8(mesh.name);
        entry.name = name.empty() ? kSlotNames[slot] : name;
        m_meshEntries.push_back(std::move(entry));
        Node node{.name = m_meshEntries.back().name};
        node.mesh = static_cast<int>(m_meshEntries.size() - 1);
        node.skin = skinned ? 0 : -1;
        AddNode(std::move(node), -1);
    }
}

// The attachment moves rigidly with its bone: a plain mesh under the bone's node.
void GltfBuilder::BuildAttachment() {
    const Mesh& mesh = m_meshes[kAttachment];
    MeshEntry entry;
    for (std::size_t i = 0; i < mesh.subMeshes.size(); ++i) {
        if (!mesh.subMeshes[i].visible) {
            continue;
        }
        if (auto primitive = MakePrimitive(kAttachment, i, false)) {
            entry.primitives.push_back(std::move(*primitive));
        }
    }
    if (entry.primitives.empty()) {
        return;
    }
    const std::string name = PakMgr::GbkToUtf8(mesh.name);
    entry.name = name.empty() ? kSlotNames[kAttachment] : name;
    m_meshEntries.push_back(std::move(entry));
    Node node{.name = m_meshEntries.back().name};
    node.mesh = static_cast<int>(m_meshEntries.size() - 1);
    int parent = -1;
    if (Animated() && !mesh.boneToTrack.empty() &&
        mesh.boneToTrack.front() < m_skeleton.bones.size()) {
        parent = m_boneNodes[mesh.boneToTrack.front()];
    }
    AddNode(std::move(node), parent);
}

int GltfBuilder::MaterialFor(std::size_t slot, std::size_t index) {
    const Material* material = Model::MaterialFor(m_skins[slot], index);
    if (material && !material->diffuseTexName.empty()) {
        const int textured = TextureMaterial(material->diffuseTexName);
        if (textured >= 0) {
            return textured;
        }
    }
    if (m_plainMaterial < 0) {
        m_materials.push_back({"untextured", -1});
        m_plainMaterial = static_cast<int>(m_materials.size() - 1);
    }
    return m_plainMaterial;
}

int GltfBuilder::TextureMaterial(const std::string& textureName) {
    auto found = m_textureMaterials.find(textureName);
    if (found != m_textureMaterials.end()) {
        return found->second;
    }
    int material = -1;
    auto png = m_pngs.find(textureName);
    if (png != m_pngs.end() && !png->second.empty()) {
        m_images.push_back(m_bin.AddView(std::span<const uint8_t>(png->second), Target::None));
        m_materials.push_back(
            {PakMgr::GbkToUtf8(textureName), static_cast<int>(m_images.size() - 1)});
        material = static_cast<int>(m_materials.size() - 1);
    }
    m_textureMaterials.emplace(textureName, material);
    return material;
}

// The texture file found below the folders of the loaded skins; null when there is none.
std::unique_ptr<PakMgr::IRead> GltfBuilder::TextureFile(const std::string& textureName) const {
    for (PakMgr::ITreeNode* skinNode : m_skinNodes) {
        PakMgr::ITreeNode* folder = skinNode ? skinNode->GetParent() : nullptr;
        PakMgr::ITreeNode* node = folder ? folder->FindNode(textureName) : nullptr;
        if (!node) {
            continue;
        }
        std::unique_ptr<PakMgr::IRead> file = PakMgr::GetPakMgr()->LoadFile(node);
        if (file && !file->IsEmpty()) {
            return file;
        }
    }
    return nullptr;
}

// A DDS file decoded in software and encoded as PNG; empty when it can't be decoded (the
// sub-mesh then gets the plain material).
std::vector<uint8_t> PngOf(PakMgr::IRead& file) {
    try {
        const Texture::DdsImage image = Texture::ParseDds(file, true);
        return Texture::EncodePng(image.info.width, image.info.height,
                                  Texture::DecodeToRgba(image));
    } catch (const Except&) {
        return {};
    }
}

// Every diffuse texture that a visible sub-mesh names: read from the archives in turn, then
// decoded and encoded on every core, the bulk of an export's time.
void GltfBuilder::PrepareTextures() {
    std::vector<std::string> names;
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        for (std::size_t i = 0; i < m_meshes[slot].subMeshes.size(); ++i) {
            const Material* material = Model::MaterialFor(m_skins[slot], i);
            if (m_meshes[slot].subMeshes[i].visible && material &&
                !material->diffuseTexName.empty() &&
                std::find(names.begin(), names.end(), material->diffuseTexName) == names.end()) {
                names.push_back(material->diffuseTexName);
            }
        }
    }
    std::vector<std::unique_ptr<PakMgr::IRead>> files;
    for (const std::string& name : names) {
        files.push_back(TextureFile(name));
    }
    std::vector<std::vector<uint8_t>> pngs(names.size());
    std::atomic<std::size_t> next = 0;
    auto work = [&] {
        for (std::size_t i = next++; i < files.size(); i = next++) {
            if (files[i]) {
                pngs[i] = PngOf(*files[i]);
            }
        }
    };
    const std::size_t workers =
        std::min<std::size_t>(names.size(), std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::thread> threads;
    for (std::size_t w = 1; w < workers; ++w) {
        threads.emplace_back(work);
    }
    work();
    for (std::thread& t : threads) {
        t.join();
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        m_pngs.emplace(names[i], std::move(pngs[i]));
    }
}

// A channel over the sampled frames; one that never changes keeps a single value.
void GltfBuilder::AddChannel(Animation& animation, int node, const char* path,
                             std::vector<float> values, int components, int input) {
    const auto n = static_cast<std::size_t>(components);
    bool constant = true;
    for (std::size_t i = n; i < values.size() && constant; ++i) {
        constant = values[i] == values[i % n];
    }
    if (constant) {
        values.resize(n);
        if (m_singleTime < 0) {
            const float zero = 0;
            m_singleTime =
                m_bin.AddFloats(std::span<const float>(&zero, 1), "SCALAR", 1, true, Target::None);
        }
        input = m_singleTime;
    }
    const int output =
        m_bin.AddFloats(values, components == 4 ? "VEC4" : "VEC3", components, false, Target::None);
    animation.channels.push_back({node, path, input, output});
}

// Every integer frame up to one past the last key, where every track has fallen back to its
// base values; the animation's last frame, when later, holds those values too.
std::vector<uint32_t> GltfBuilder::SampledFrames(std::size_t a) const {
    const uint32_t frameCount = std::max<uint32_t>(m_skeleton.frameCounts[a], 1);
    uint32_t lastKey = 0;
    for (const Bone& bone : m_skeleton.bones) {
        if (a < bone.tracks.size()) {
            lastKey = std::max(lastKey, LastKeyFrame(bone.tracks[a]));
        }
    }
    const uint32_t sampled = std::min(frameCount, lastKey + 2);
    std::vector<uint32_t> frames(sampled);
    for (uint32_t f = 0; f < sampled; ++f) {
        frames[f] = f;
    }
    if (frameCount > sampled) {
        frames.push_back(frameCount - 1);
    }
    return frames;
}

void GltfBuilder::BuildAnimation(std::size_t a) {
    const std::vector<uint32_t> frames = SampledFrames(a);
    constexpr std::size_t kFloatsPerSample = 10;
    m_animationBytes += frames.size() * m_skeleton.bones.size() * kFloatsPerSample * sizeof(float);
    if (m_animationBytes > kMaxAnimationBytes) {
        throw Except("animations too long to export: %zu frames", frames.size());
    }
    Animation animation;
    animation.name = a < m_skeleton.animationNames.size()
                         ? PakMgr::GbkToUtf8(m_skeleton.animationNames[a])
                         : std::to_string(a);
    std::vector<float> times;
    for (uint32_t f : frames) {
        times.push_back(static_cast<float>(f) / kFramesPerSecond);
    }
    const int input = m_bin.AddFloats(times, "SCALAR", 1, true, Target::None);

    const AnimTrack still;  // a bone without this animation's track stays at identity
    for (std::size_t j = 0; j < m_skeleton.bones.size(); ++j) {
        const Bone& bone = m_skeleton.bones[j];
        const AnimTrack& track = a < bone.tracks.size() ? bone.tracks[a] : still;
        const Vec3 baseScale = a < bone.tracks.size() ? track.baseScale : kUnitScale;
        const Vec4 baseRotation = a < bone.tracks.size() ? track.baseRotation : Vec4{0, 0, 0, 1};
        const std::span<const VectorKey> positions(track.positionKeys);
        const std::span<const RotationKey> rotations(track.rotationKeys);
        const std::span<const VectorKey> scales(track.scaleKeys);
        const bool sortedT = StrictlyIncreasing(positions);
        const bool sortedR = StrictlyIncreasing(rotations);
        const bool sortedS = StrictlyIncreasing(scales);
        std::vector<float> t, r, s;
        Vec4 previous{0, 0, 0, 1};
        for (uint32_t f : frames) {
            const Vec3 tv = KeyAt(positions, sortedT, f, LookupVector).value_or(track.basePosition);
            Vec4 q =
                MirrorRotation(KeyAt(rotations, sortedR, f, LookupRotation).value_or(baseRotation));
            const Vec3 sv = KeyAt(scales, sortedS, f, LookupVector).value_or(baseScale);
            // q and -q turn alike; staying on one side keeps the blend between frames short.
            if (q[0] * previous[0] + q[1] * previous[1] + q[2] * previous[2] + q[3] * previous[3] <
                0) {
                q = {-q[0], -q[1], -q[2], -q[3]};
            }
            previous = q;
            t.insert(t.end(), {-Finite(tv[0]), Finite(tv[1]), Finite(tv[2])});
            r.insert(r.end(), q.begin(), q.end());
            s.insert(s.end(), {Finite(sv[0]), Finite(sv[1]), Finite(sv[2])});
        }
        const int node = m_boneNodes[j];
        AddChannel(animation, node, "translation", std::move(t), 3, input);
        AddChannel(animation, node, "rotation", std::move(r), 4, input);
        AddChannel(animation, node, "scale", std::move(s), 3, input);
    }
    if (m_originJoint >= 0) {
        AddChannel(animation, m_joints[static_cast<std::size_t>(m_originJoint)], "scale",
                   {kNoScale.begin(), kNoScale.end()}, 3, input);
    }
    m_animations.push_back(std::move(animation));
}

void GltfBuilder::BuildAnimations() {
    for (std::size_t a = 0; a < m_skeleton.frameCounts.size(); ++a) {
        BuildAnimation(a);
    }
}

void WriteTrs(JsonWriter& json, const Trs& trs) {
    if (trs.translation != kNoMove) {
        json.Key("translation");
        json.Floats(trs.translation);
    }
    if (trs.rotation != Vec4{0, 0, 0, 1}) {
        json.Key("rotation");
        json.Floats(trs.rotation);
    }
    if (trs.scale != kUnitScale) {
        json.Key("scale");
        json.Floats(trs.scale);
    }
}

void GltfBuilder::WriteNodes(JsonWriter& json) const {
    json.Key("nodes");
    json.BeginArray();
    for (const Node& node : m_nodes) {
        json.BeginObject();
        json.Key("name");
        json.String(node.name);
        if (!node.children.empty()) {
            json.Key("children");
            json.Integers(node.children);
        }
        WriteTrs(json, node.trs);
        if (node.mesh >= 0) {
            json.Key("mesh");
            json.Integer(node.mesh);
        }
        if (node.skin >= 0) {
            json.Key("skin");
            json.Integer(node.skin);
        }
        json.EndObject();
    }
    json.EndArray();
}

void GltfBuilder::WriteMeshes(JsonWriter& json) const {
    json.Key("meshes");
    json.BeginArray();
    for (const MeshEntry& mesh : m_meshEntries) {
        json.BeginObject();
        json.Key("name");
        json.String(mesh.name);
        json.Key("primitives");
        json.BeginArray();
        for (const Primitive& p : mesh.primitives) {
            json.BeginObject();
            json.Key("attributes");
            json.BeginObject();
            for (const auto& [semantic, accessor] : p.attributes) {
                json.Key(semantic);
                json.Integer(accessor);
            }
            json.EndObject();
            json.Key("indices");
            json.Integer(p.indices);
            json.Key("material");
            json.Integer(p.material);
            json.Key("mode");
            json.Integer(kTriangles);
            json.Key("extras");
            json.BeginObject();
            json.Key("name");
            json.String(p.name);
            json.Key("subMesh");
            json.Integer(static_cast<int64_t>(p.subMesh));
            json.EndObject();
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
    }
    json.EndArray();
}

void GltfBuilder::WriteMaterials(JsonWriter& json) const {
    if (m_materials.empty()) {
        return;
    }
    json.Key("materials");
    json.BeginArray();
    for (const MaterialEntry& m : m_materials) {
        json.BeginObject();
        json.Key("name");
        json.String(m.name);
        json.Key("pbrMetallicRoughness");
        json.BeginObject();
        if (m.texture >= 0) {
            json.Key("baseColorTexture");
            json.BeginObject();
            json.Key("index");
            json.Integer(m.texture);
            json.EndObject();
        }
        json.Key("metallicFactor");
        json.Integer(0);
        json.Key("roughnessFactor");
        json.Integer(1);
        json.EndObject();
        if (m.texture >= 0) {
            // The view draws only texels with alpha above one half.
            json.Key("alphaMode");
            json.String("MASK");
            json.Key("alphaCutoff");
            json.Number(0.5);
        }
        // The view draws both sides of every face.
        json.Key("doubleSided");
        json.Bool(true);
        json.EndObject();
    }
    json.EndArray();
    if (m_images.empty()) {
        return;
    }
    json.Key("images");
    json.BeginArray();
    for (int view : m_images) {
        json.BeginObject();
        json.Key("bufferView");
        json.Integer(view);
        json.Key("mimeType");
        json.String("image/png");
        json.EndObject();
    }
    json.EndArray();
    json.Key("samplers");
    json.BeginArray();
    json.BeginObject();
    json.Key("magFilter");
    json.Integer(kLinear);
    json.Key("minFilter");
    json.Integer(kLinear);
    json.Key("wrapS");
    json.Integer(kRepeat);
    json.Key("wrapT");
    json.Integer(kRepeat);
    json.EndObject();
    json.EndArray();
    json.Key("textures");
    json.BeginArray();
    for (std::size_t i = 0; i < m_images.size(); ++i) {
        json.BeginObject();
        json.Key("sampler");
        json.Integer(0);
        json.Key("source");
        json.Integer(static_cast<int64_t>(i));
        json.EndObject();
    }
    json.EndArray();
}

void GltfBuilder::WriteSkin(JsonWriter& json) const {
    if (!m_skinUsed) {
        return;
    }
    json.Key("skins");
    json.BeginArray();
    json.BeginObject();
    json.Key("name");
    json.String(m_nodes[static_cast<std::size_t>(m_skeletonRoot)].name);
    json.Key("inverseBindMatrices");
    json.Integer(m_inverseBindAccessor);
    json.Key("joints");
    json.Integers(m_joints);
    json.Key("skeleton");
    json.Integer(m_skeletonRoot);
    json.EndObject();
    json.EndArray();
}

void GltfBuilder::WriteAnimations(JsonWriter& json) const {
    if (m_animations.empty()) {
        return;
    }
    json.Key("animations");
    json.BeginArray();
    for (const Animation& animation : m_animations) {
        json.BeginObject();
        json.Key("name");
        json.String(animation.name);
        json.Key("channels");
        json.BeginArray();
        for (std::size_t i = 0; i < animation.channels.size(); ++i) {
            json.BeginObject();
            json.Key("sampler");
            json.Integer(static_cast<int64_t>(i));
            json.Key("target");
            json.BeginObject();
            json.Key("node");
            json.Integer(animation.channels[i].node);
            json.Key("path");
            json.String(animation.channels[i].path);
            json.EndObject();
            json.EndObject();
        }
        json.EndArray();
        json.Key("samplers");
        json.BeginArray();
        for (const Channel& c : animation.channels) {
            json.BeginObject();
            json.Key("input");
            json.Integer(c.input);
            json.Key("output");
            json.Integer(c.output);
            json.Key("interpolation");
            json.String("LINEAR");
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
    }
    json.EndArray();
}

std::string GltfBuilder::Json(const std::string& bufferUri) const {
    JsonWriter json;
    json.BeginObject();
    json.Key("asset");
    json.BeginObject();
    json.Key("version");
    json.String("2.0");
    json.Key("generator");
    json.String("VellModelBrowser");
    json.EndObject();
    json.Key("scene");
    json.Integer(0);
    json.Key("scenes");
    json.BeginArray();
    json.BeginObject();
    if (!m_sceneNodes.empty()) {
        json.Key("nodes");
        json.Integers(m_sceneNodes);
    }
    json.EndObject();
    json.EndArray();
    if (!m_nodes.empty()) {
        WriteNodes(json);
    }
    if (!m_meshEntries.empty()) {
        WriteMeshes(json);
    }
    WriteMaterials(json);
    WriteSkin(json);
    WriteAnimations(json);
    if (!m_bin.Bytes().empty()) {
        json.Key("buffers");
        json.BeginArray();
        json.BeginObject();
        json.Key("byteLength");
        json.Integer(static_cast<int64_t>(m_bin.Bytes().size()));
        if (!bufferUri.empty()) {
            json.Key("uri");
            json.String(bufferUri);
        }
        json.EndObject();
        json.EndArray();
        json.Key("bufferViews");
        m_bin.WriteViews(json);
        json.Key("accessors");
        m_bin.WriteAccessors(json);
    }
    json.EndObject();
    return json.Text();
}

void GltfBuilder::Build() {
    if (Animated()) {
        BuildAnimatedSkeleton();
    } else {
        BuildBindSkeleton();
    }
    PrepareTextures();
    BuildMeshes();
    BuildAttachment();
    if (m_skinUsed) {
        std::vector<float> matrices;
        matrices.reserve(m_inverseBinds.size() * 16);
        for (const Matrix& m : m_inverseBinds) {
            for (float v : m) {
                matrices.push_back(Finite(v));
            }
        }
        m_inverseBindAccessor = m_bin.AddFloats(matrices, "MAT4", 16, false, Target::None);
    }
    if (Animated()) {
        BuildAnimations();
    }
    MakeNamesUnique();
}

// Tools find nodes by name (assimp ties animation channels to names), so every node gets a
// name of its own: bones keep theirs first, then meshes; a later node of the same name is
// numbered.
void GltfBuilder::MakeNamesUnique() {
    std::set<std::string> used;
    auto claim = [&](Node& node) {
        std::string name = node.name;
        for (int n = 1; !used.insert(name).second; ++n) {
            name = node.name + "." + std::to_string(n);
        }
        node.name = name;
    };
    std::vector<bool> isBone(m_nodes.size(), false);
    for (int node : m_boneNodes) {
        isBone[static_cast<std::size_t>(node)] = true;
        claim(m_nodes[static_cast<std::size_t>(node)]);
    }
    for (bool meshes : {true, false}) {
        for (std::size_t i = 0; i < m_nodes.size(); ++i) {
            if (!isBone[i] && (m_nodes[i].mesh >= 0) == meshes) {
                claim(m_nodes[i]);
            }
        }
    }
}

// A case-blind test of the file name's ending.
bool EndsWith(const std::string& text, std::string_view end) {
    if (text.size() < end.size()) {
        return false;
    }
    return std::equal(end.begin(), end.end(), text.end() - static_cast<long>(end.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

}  // namespace

void CVellModel::ExportGltf(const std::string& path,
                            const std::vector<PakMgr::ITreeNode*>& skinNodes) {
    GltfBuilder builder(m_meshes, m_skins, m_skeleton, skinNodes);
    builder.Build();
    if (!EndsWith(path, ".gltf")) {
        const std::string json = builder.Json("");
        PakMgr::WriteWholeFile(path, MakeGlb(json, builder.Bin()));
        return;
    }
    // The buffer goes beside the text file, named after it.
    const std::size_t slash = path.find_last_of('/');
    const std::string stem = path.substr(0, path.size() - 5);
    const std::string binPath = stem + ".bin";
    const std::string binName = binPath.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::string json = builder.Json(EncodeUri(binName));
    const std::span<const uint8_t> text(reinterpret_cast<const uint8_t*>(json.data()), json.size());
    PakMgr::WriteWholeFile(binPath, builder.Bin());
    try {
        PakMgr::WriteWholeFile(path, text);
    } catch (const Except&) {
        // A buffer without its text file is no export.
        std::remove(binPath.c_str());
        throw;
    }
}

}  // namespace Model
