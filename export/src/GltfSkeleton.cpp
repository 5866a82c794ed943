// glTF export, the skeleton: bones become nodes under one root, mesh bones become joints
// with their inverse bind matrices, and the skin joins them.
#include <algorithm>
#include <cmath>

#include "GltfDocument.h"
#include "base/text.h"
#include "model/pose.h"

namespace Export::Gltf {
namespace {

// Every joint hangs below this one node, the skin's common root.
int SkeletonRoot(Document& doc, Rig& rig) {
    if (rig.root < 0) {
        rig.root = doc.AddNode({.name = rig.rootName}, -1);
    }
    return rig.root;
}

int AddJoint(Rig& rig, int node, const Matrix& inverseBind) {
    rig.joints.push_back(node);
    rig.inverseBinds.push_back(inverseBind);
    rig.inverseBindSet.push_back(true);
    return static_cast<int>(rig.joints.size() - 1);
}

Trs RestPose(const Skeleton& skeleton, std::size_t bone, const Frame& frame) {
    Trs trs;
    const auto& tracks = skeleton.bones[bone].tracks;
    if (!tracks.empty()) {
        const AnimTrack& track = tracks.front();
        trs.translation = LookupVector(track.positionKeys, 0.0f).value_or(track.basePosition);
        trs.rotation = LookupRotation(track.rotationKeys, 0.0f).value_or(track.baseRotation);
        trs.scale = LookupVector(track.scaleKeys, 0.0f).value_or(track.baseScale);
    }
    trs.translation = frame.Point(trs.translation);
    trs.rotation = frame.Rotation(trs.rotation);
    return trs;
}

// Each mesh bone bound to a skeleton bone is a joint with its inverse bind matrix; a second
// mesh bone on the same skeleton bone with another matrix gets a node of its own that
// follows the bone.
void BindMeshBones(Document& doc, Rig& rig, const Source& source) {
    const Skeleton& skeleton = source.skeleton;
    std::vector<std::vector<int>> jointsOfBone(skeleton.bones.size());
    for (std::size_t slot = kWholeModel; slot <= kLastPart; ++slot) {
        const Mesh& mesh = source.meshes[slot];
        rig.meshBoneJoints[slot].assign(mesh.bones.size(), -1);
        for (std::size_t m = 0; m < mesh.bones.size(); ++m) {
            const uint16_t j = m < mesh.boneToTrack.size() ? mesh.boneToTrack[m] : kNoBone;
            if (j == kNoBone || j >= skeleton.bones.size()) {
                continue;
            }
            const Matrix inverseBind = source.frame.Transform(mesh.bones[m].matrix);
            std::vector<int>& joints = jointsOfBone[j];
            if (joints.empty()) {
                rig.inverseBinds[j] = inverseBind;
                rig.inverseBindSet[j] = true;
                joints.push_back(static_cast<int>(j));
            }
            auto same = std::find_if(joints.begin(), joints.end(), [&](int joint) {
                return rig.inverseBinds[static_cast<std::size_t>(joint)] == inverseBind;
            });
            if (same == joints.end()) {
                const int boneNode = rig.boneNodes[j];
                const std::string name = doc.nodes[static_cast<std::size_t>(boneNode)].name + "." +
                                         std::to_string(joints.size());
                joints.push_back(AddJoint(rig, doc.AddNode({.name = name}, boneNode), inverseBind));
                same = joints.end() - 1;
            }
            rig.meshBoneJoints[slot][m] = *same;
        }
    }
}

// Bones become nodes; a bone links to its parent only when the parent comes first in the
// list, as the pose multiplies in list order.
void BuildAnimatedSkeleton(Document& doc, Rig& rig, const Source& source) {
    const Skeleton& skeleton = source.skeleton;
    const int root = SkeletonRoot(doc, rig);
    const std::size_t count = skeleton.bones.size();
    rig.boneNodes.assign(count, -1);
    for (std::size_t j = 0; j < count; ++j) {
        const Bone& bone = skeleton.bones[j];
        const int parent = bone.parent < j ? rig.boneNodes[bone.parent] : root;
        rig.boneNodes[j] = doc.AddNode({.name = Base::GbkToUtf8(bone.name)}, parent);
        rig.joints.push_back(rig.boneNodes[j]);
        rig.inverseBinds.push_back(kIdentity);
        rig.inverseBindSet.push_back(false);
    }
    BindMeshBones(doc, rig, source);
    // Rest pose: the bind pose where mesh bones give it (every joint then leaves the mesh
    // as read), else the first animation's first frame.
    std::vector<Matrix> world(count, kIdentity);
    for (std::size_t j = 0; j < count; ++j) {
        const Bone& bone = skeleton.bones[j];
        const Matrix parentWorld = bone.parent < j ? world[bone.parent] : kIdentity;
        Trs trs = RestPose(skeleton, j, source.frame);
        std::optional<Matrix> bind =
            rig.inverseBindSet[j] ? Inverse(rig.inverseBinds[j]) : std::nullopt;
        std::optional<Matrix> parentInverse = Inverse(parentWorld);
        if (bind && parentInverse) {
            if (auto local = Decompose(Multiply(*bind, *parentInverse))) {
                trs = *local;
            }
        }
        doc.nodes[static_cast<std::size_t>(rig.boneNodes[j])].trs = trs;
        world[j] = Multiply(Compose(trs), parentWorld);
        if (!rig.inverseBindSet[j]) {
            rig.inverseBinds[j] = Inverse(world[j]).value_or(kIdentity);
        }
    }
}

// Without an animation the joints are the mesh bones by name, placed at their bind pose;
// the mesh stays as read.
void BuildBindSkeleton(Document& doc, Rig& rig, const Source& source) {
    std::map<std::string, int> jointOf;
    for (std::size_t slot = kWholeModel; slot <= kLastPart; ++slot) {
        const Mesh& mesh = source.meshes[slot];
        rig.meshBoneJoints[slot].assign(mesh.bones.size(), -1);
        for (std::size_t m = 0; m < mesh.bones.size(); ++m) {
            const MeshBone& bone = mesh.bones[m];
            auto found = jointOf.find(bone.name);
            if (found == jointOf.end()) {
                Node node{.name = Base::GbkToUtf8(bone.name)};
                const Matrix bind = source.frame.Transform(BindPlacement(bone));
                auto trs = Decompose(bind);
                if (trs && std::all_of(trs->scale.begin(), trs->scale.end(),
                                       [](float s) { return std::abs(s) > 1e-6f; })) {
                    node.trs = *trs;
                } else {
                    node.trs.translation = {bind[12], bind[13], bind[14]};
                }
                const Matrix world = Compose(node.trs);
                const int index = doc.AddNode(std::move(node), SkeletonRoot(doc, rig));
                rig.boneNodes.push_back(index);
                found = jointOf
                            .emplace(bone.name,
                                     AddJoint(rig, index, Inverse(world).value_or(kIdentity)))
                            .first;
            }
            rig.meshBoneJoints[slot][m] = found->second;
        }
    }
}

}  // namespace

Rig BuildSkeleton(Document& doc, const Source& source) {
    Rig rig;
    // A name of its own, apart from the mesh's (which often is the skeleton's name too).
    const std::string name = Base::GbkToUtf8(source.skeleton.name);
    rig.rootName = name.empty() ? "skeleton" : name + "_skeleton";
    if (source.Animated()) {
        BuildAnimatedSkeleton(doc, rig, source);
    } else {
        BuildBindSkeleton(doc, rig, source);
    }
    return rig;
}

// The share of a vertex that an influence without a bone keeps in place.
int StaticJoint(Document& doc, Rig& rig) {
    if (rig.staticJoint < 0) {
        const int node = doc.AddNode({.name = "vell_static"}, SkeletonRoot(doc, rig));
        rig.staticJoint = AddJoint(rig, node, kIdentity);
    }
    return rig.staticJoint;
}

// The share that weights summing below 1 leave out: while an animation plays the pose moves
// it to the origin (every animation scales this joint to nothing); at rest it stays.
int OriginJoint(Document& doc, Rig& rig) {
    if (rig.originJoint < 0) {
        rig.originJoint =
            AddJoint(rig, doc.AddNode({.name = "vell_origin"}, SkeletonRoot(doc, rig)), kIdentity);
    }
    return rig.originJoint;
}

void AddSkin(Document& doc, const Rig& rig, const Source&) {
    if (!rig.used) {
        return;
    }
    std::vector<float> matrices;
    matrices.reserve(rig.inverseBinds.size() * 16);
    for (const Matrix& m : rig.inverseBinds) {
        for (float v : m) {
            matrices.push_back(Finite(v));
        }
    }
    SkinEntry skin;
    skin.name = doc.nodes[static_cast<std::size_t>(rig.root)].name;
    skin.inverseBindMatrices = doc.bin.AddFloats(matrices, "MAT4", 16, false, Target::None);
    skin.joints = rig.joints;
    skin.skeleton = rig.root;
    doc.skins.push_back(std::move(skin));
}

}  // namespace Export::Gltf
