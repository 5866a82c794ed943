// The glTF export's plain document and the steps that fill it: the skeleton and skin, the
// meshes with their influences, the materials with their images, the animations. Each step
// adds its part to one Document; GltfJson turns the document into a file.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "GltfWriter.h"
#include "export/gltf.h"
#include "export/gltf_math.h"
#include "model/object.h"

namespace Export::Gltf {

// The export reads the model's records throughout.
using namespace Model;

inline constexpr float kFramesPerSecond = 60.0f;

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

// A texture that no glTF property draws, named in the material's extras for the artist.
struct ExtraTexture {
    const char* key = "";  // "maskTexture", "tattooTexture"
    std::string name;      // the texture's file stem, UTF-8
    int image = -1;        // none when the file can't be read or decoded
};

struct MaterialEntry {
    std::string name;
    int image = -1;
    bool mask = false;  // the texture has texels the view's alpha test drops
    int emissiveImage = -1;
    Vec3 emissiveFactor{0, 0, 0};
    float emissiveStrength = 1;  // above 1 only through KHR_materials_emissive_strength
    // Kept in extras: the other textures and the skin material's colours.
    std::vector<ExtraTexture> extraTextures;
    std::vector<std::pair<const char*, Vec4>> colours;
    bool fromSkin = false;  // a sub-mesh without a skin material has nothing to keep
};

inline constexpr const char* kEmissiveStrength = "KHR_materials_emissive_strength";

// A texture as PNG: stored in the buffer (view) or in a file beside the text (uri).
struct Image {
    std::string name;  // the texture's file name, UTF-8
    std::vector<uint8_t> png;
    std::string texture;  // the texture's file name as the archives store it
    int view = -1;
    std::string uri;
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

struct SkinEntry {
    std::string name;
    int inverseBindMatrices = -1;
    std::vector<int> joints;
    int skeleton = -1;
};

struct Document {
    BinaryBuffer bin;
    std::vector<Node> nodes;
    std::vector<int> sceneNodes;
    std::vector<MeshEntry> meshes;
    std::vector<MaterialEntry> materials;
    std::vector<Image> images;
    std::vector<SkinEntry> skins;
    std::vector<Animation> animations;

    // Adds the node under `parent`, or to the scene when it is negative; its index.
    int AddNode(Node node, int parent);
};

// What the export reads, and how its lengths are scaled.
struct Source {
    const std::array<Mesh, kSlotCount>& meshes;
    const std::array<Skin, kSlotCount>& skins;
    const Skeleton& skeleton;
    const std::vector<PakMgr::ITreeNode*>& skinNodes;
    Frame frame;
    unsigned imageThreads = 0;  // 0: one per core
    bool Animated() const { return !skeleton.bones.empty(); }
};

// The joints of the one skin and where the mesh bones meet them.
struct Rig {
    std::string rootName;
    int root = -1;               // made when the first joint needs it
    std::vector<int> boneNodes;  // skeleton bone (or bind-skeleton bone) -> node
    std::vector<int> joints;     // joint -> node
    std::vector<Matrix> inverseBinds;
    std::vector<bool> inverseBindSet;
    std::array<std::vector<int>, kSlotCount> meshBoneJoints;  // per slot: mesh bone -> joint
    int staticJoint = -1;
    int originJoint = -1;
    bool used = false;  // a mesh is skinned
};

// GltfSkeleton.cpp
Rig BuildSkeleton(Document& doc, const Source& source);
// The joint that holds a share of a vertex in place.
int StaticJoint(Document& doc, Rig& rig);
// The joint that sends a share to the origin while an animation plays.
int OriginJoint(Document& doc, Rig& rig);
// The skin over the rig's joints, when a mesh uses it.
void AddSkin(Document& doc, const Rig& rig, const Source& source);

// GltfMaterials.cpp: materials per visible sub-mesh, by (slot, sub-mesh index).
struct Materials {
    std::array<std::vector<int>, kSlotCount> bySubMesh;
};
Materials BuildMaterials(Document& doc, const Source& source);

// GltfMeshes.cpp
void BuildMeshes(Document& doc, Rig& rig, const Source& source, const Materials& materials);

// GltfAnimations.cpp
// The first skeleton with the animations of options.animations[1...] added, every name
// prefixed with its file's stem.
Skeleton CombineAnimations(const Skeleton& first, const GltfOptions& options);
void BuildAnimations(Document& doc, const Rig& rig, const Source& source);

// GltfJson.cpp: the JSON text; `bufferUri` empty for a .glb.
std::string ToJson(const Document& doc, std::string_view bufferUri);
// Gives every node a name of its own.
void MakeNamesUnique(Document& doc, const Rig& rig);

float Finite(float v);

// The texture's file name without its extension, as UTF-8 ("hero_face" for "hero_face.dds").
std::string TextureStem(const std::string& texture);

// A file name part made plain ASCII (A-Z a-z 0-9 . _ -), with a hash of the original
// appended when anything was replaced.
std::string SideFileStem(std::string_view name);

}  // namespace Export::Gltf
