// glTF export, the meshes: each slot's visible sub-meshes as primitives of one mesh, with
// their joints and weights when skinned; the attachment as a plain mesh under its bone.
#include <algorithm>
#include <cmath>
#include <optional>

#include "GltfDocument.h"
#include "base/text.h"
#include "model/pose.h"

namespace Export::Gltf {
namespace {

// Weights whose sum is this close to 1 are taken as meaning 1.
constexpr float kWeightTolerance = 1e-5f;
constexpr std::size_t kInfluencesPerSet = 4;
constexpr std::size_t kMaxInfluences = 2 * kInfluencesPerSet;
constexpr std::size_t kByteJoints = 256;
constexpr const char* kSlotNames[kSlotCount] = {"model", "body", "boots",  "glove",   "hair",
                                                "head",  "leg",  "helmet", "costume", "attachment"};

struct Influence {
    int joint = 0;
    float weight = 0;
};

// A sub-mesh's per-vertex list cut or padded to the number of positions.
template <typename T>
std::vector<T> Fitted(const std::vector<T>& values, std::size_t count, T fill) {
    std::vector<T> out(values.begin(), values.begin() + std::min(values.size(), count));
    out.resize(count, fill);
    return out;
}

struct MeshBuilder {
    Document& doc;
    Rig& rig;
    const Source& source;
    const Materials& materials;
    bool narrowJoints = true;

    std::vector<Influence> Influences(std::size_t slot, const SubMesh& subMesh, std::size_t v);
    void AddSkinAttributes(Primitive& primitive, std::size_t slot, const SubMesh& subMesh,
                           std::size_t count);
    std::optional<Primitive> MakePrimitive(std::size_t slot, std::size_t index, bool skinned);
    void BuildMeshes();
    void BuildAttachment();
    int AttachmentParent(Node& node);
};

bool SubMeshBlends(const Mesh& mesh, const SubMesh& subMesh) {
    if (mesh.bones.empty() || subMesh.boneMap.empty() || subMesh.boneIndices.empty() ||
        subMesh.boneWeights.empty()) {
        return false;
    }
    return true;
}

std::vector<Influence> MeshBuilder::Influences(std::size_t slot, const SubMesh& subMesh,
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
    const std::vector<int>& joints = rig.meshBoneJoints[slot];
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
            add(joint >= 0 ? joint : StaticJoint(doc, rig), w);
            sum += w;
        }
    } else {
        // A vertex past the influence lists keeps its place.
        add(StaticJoint(doc, rig), 1);
        sum = 1;
    }
    if (sum < 1 - kWeightTolerance) {
        // The pose scales the vertex matrix by the weights as stored; before an animation
        // nothing moves at all.
        add(source.Animated() ? OriginJoint(doc, rig) : StaticJoint(doc, rig), 1 - sum);
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

void MeshBuilder::AddSkinAttributes(Primitive& primitive, std::size_t slot, const SubMesh& subMesh,
                                    std::size_t count) {
    const bool blends = SubMeshBlends(source.meshes[slot], subMesh);
    std::vector<std::array<uint16_t, kMaxInfluences>> joints(count);
    std::vector<std::array<float, kMaxInfluences>> weights(count);
    std::size_t sets = 1;
    for (std::size_t v = 0; v < count; ++v) {
        std::vector<Influence> list;
        if (blends) {
            list = Influences(slot, subMesh, v);
        } else {
            list = {{StaticJoint(doc, rig), 1.0f}};
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
        if (narrowJoints) {
            const std::vector<uint8_t> narrow(j.begin(), j.end());
            a.view = doc.bin.AddView(std::span<const uint8_t>(narrow), Target::Vertices);
            a.componentType = kUnsignedByte;
        } else {
            a.view = doc.bin.AddView(std::span<const uint16_t>(j), Target::Vertices);
            a.componentType = kUnsignedShort;
        }
        const std::string suffix = std::to_string(set);
        primitive.attributes["JOINTS_" + suffix] = doc.bin.AddAccessor(std::move(a));
        primitive.attributes["WEIGHTS_" + suffix] =
            doc.bin.AddFloats(w, "VEC4", 4, false, Target::Vertices);
    }
    rig.used = true;
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

std::optional<Primitive> MeshBuilder::MakePrimitive(std::size_t slot, std::size_t index,
                                                    bool skinned) {
    const SubMesh& subMesh = source.meshes[slot].subMeshes[index];
    const std::size_t count = subMesh.positions.size();
    const std::vector<uint32_t> triangles = Triangles(subMesh, count);
    if (count == 0 || triangles.empty()) {
        return std::nullopt;
    }
    Primitive primitive;
    primitive.name = Base::GbkToUtf8(subMesh.name);
    primitive.subMesh = index;

    std::vector<float> positions, normals, texCoords;
    positions.reserve(count * 3);
    for (const Vec3& p : subMesh.positions) {
        const Vec3 placed = source.frame.Point({Finite(p[0]), Finite(p[1]), Finite(p[2])});
        positions.insert(positions.end(), placed.begin(), placed.end());
    }
    normals.reserve(count * 3);
    for (const Vec3& n : Fitted(subMesh.normals, count, Vec3{0, 0, 0})) {
        // Normals must be unit length in the file; one with no direction points up.
        const Vec3 d = source.frame.Direction({Finite(n[0]), Finite(n[1]), Finite(n[2])});
        const Vec4 unit = Normalized({d[0], d[1], d[2], 0});
        const bool none = unit[3] != 0;
        normals.insert(normals.end(),
                       {none ? 0.0f : unit[0], none ? 1.0f : unit[1], none ? 0.0f : unit[2]});
    }
    texCoords.reserve(count * 2);
    for (const Vec2& t : Fitted(subMesh.texCoords, count, Vec2{0, 0})) {
        texCoords.insert(texCoords.end(), {Finite(t[0]), Finite(t[1])});
    }
    primitive.attributes["POSITION"] =
        doc.bin.AddFloats(positions, "VEC3", 3, true, Target::Vertices);
    primitive.attributes["NORMAL"] = doc.bin.AddFloats(normals, "VEC3", 3, false, Target::Vertices);
    primitive.attributes["TEXCOORD_0"] =
        doc.bin.AddFloats(texCoords, "VEC2", 2, false, Target::Vertices);
    if (skinned) {
        AddSkinAttributes(primitive, slot, subMesh, count);
    }

    Accessor indices{.count = triangles.size(), .type = "SCALAR"};
    // 16-bit indices would reserve 65535 as the restart value.
    if (count <= 0xFFFF) {
        std::vector<uint16_t> narrow(triangles.begin(), triangles.end());
        indices.view = doc.bin.AddView(std::span<const uint16_t>(narrow), Target::Indices);
        indices.componentType = kUnsignedShort;
    } else {
        indices.view = doc.bin.AddView(std::span<const uint32_t>(triangles), Target::Indices);
        indices.componentType = kUnsignedInt;
    }
    primitive.indices = doc.bin.AddAccessor(std::move(indices));
    primitive.material = materials.bySubMesh[slot][index];
    return primitive;
}

void MeshBuilder::BuildMeshes() {
    // Joint numbers go in bytes when they fit, as most tools write them; the joints that
    // hold shares in place or send them to the origin may still be added.
    narrowJoints = rig.joints.size() + 2 <= kByteJoints;
    for (std::size_t slot = kWholeModel; slot <= kLastPart; ++slot) {
        const Mesh& mesh = source.meshes[slot];
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
        const std::string name = Base::GbkToUtf8(mesh.name);
        entry.name = name.empty() ? kSlotNames[slot] : name;
        doc.meshes.push_back(std::move(entry));
        Node node{.name = doc.meshes.back().name};
        node.mesh = static_cast<int>(doc.meshes.size() - 1);
        node.skin = skinned ? 0 : -1;
        doc.AddNode(std::move(node), -1);
    }
}

// The attachment moves rigidly with its bone: a plain mesh under the bone's node.
void MeshBuilder::BuildAttachment() {
    const Mesh& mesh = source.meshes[kAttachment];
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
    const std::string name = Base::GbkToUtf8(mesh.name);
    entry.name = name.empty() ? kSlotNames[kAttachment] : name;
    doc.meshes.push_back(std::move(entry));
    Node node{.name = doc.meshes.back().name};
    node.mesh = static_cast<int>(doc.meshes.size() - 1);
    const int parent = AttachmentParent(node);
    doc.AddNode(std::move(node), parent);
}

// Where the view puts the attachment: on its bone when the skeleton has it, else at the bind
// placement of the parts' attach bone (under that bone's joint when there is no animation),
// else where the file puts it.
int MeshBuilder::AttachmentParent(Node& node) {
    const Mesh& mesh = source.meshes[kAttachment];
    if (source.Animated() && !mesh.boneToTrack.empty() &&
        mesh.boneToTrack.front() < source.skeleton.bones.size()) {
        return rig.boneNodes[mesh.boneToTrack.front()];
    }
    if (mesh.bones.empty()) {
        return -1;
    }
    if (!source.Animated()) {
        // The bind skeleton's joints stand at their bind placements.
        const std::string name = Base::GbkToUtf8(mesh.bones.front().name);
        for (int joint : rig.boneNodes) {
            if (doc.nodes[static_cast<std::size_t>(joint)].name == name) {
                return joint;
            }
        }
    }
    const Matrix placement =
        source.frame.Transform(Model::Inverse(mesh.bones.front().matrix).value_or(kIdentity));
    if (auto trs = Decompose(placement)) {
        node.trs = *trs;
    } else {
        node.trs.translation = {placement[12], placement[13], placement[14]};
    }
    return -1;
}

}  // namespace

void BuildMeshes(Document& doc, Rig& rig, const Source& source, const Materials& materials) {
    MeshBuilder builder{doc, rig, source, materials};
    builder.BuildMeshes();
    builder.BuildAttachment();
}

}  // namespace Export::Gltf
