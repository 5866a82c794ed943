// The glTF as the import needs it, every value checked and turned back into the game's frame:
// positions and lengths divided by the scale, z negated (the export's mirror), each
// triangle's winding turned back. Names are UTF-8 with a tool's ".001" suffix taken off.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "base/except.h"
#include "base/text.h"
#include "model/records.h"

namespace Import::Detail {

using Model::Matrix;
using Model::Vec2;
using Model::Vec3;
using Model::Vec4;

inline constexpr std::size_t kMaxGltfInfluences = 8;

// Ends the import with a message made of UTF-8 names, kept as failures keep them: in code
// page 936.
[[noreturn]] inline void Refuse(ErrorKind kind, const std::string& utf8) {
    throw Except::Literal(kind, Base::Utf8ToGbk(utf8));
}

// A vertex's shares: joints as indices into Document::joints.
struct Influences {
    std::array<uint32_t, kMaxGltfInfluences> joint{};
    std::array<float, kMaxGltfInfluences> weight{};
    uint32_t count = 0;
};

struct Primitive {
    std::string extrasName;  // the sub-mesh name the export put in the extras, if kept
    int extrasSubMesh = -1;
    int material = -1;  // index into Document::materials
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;  // zero when the glTF has none
    std::vector<Vec2> texCoords;
    std::vector<Influences> influences;  // empty when not skinned
    std::vector<uint32_t> triangles;     // three corners each, in the game's winding
};

struct Mesh {
    std::string name;      // the glTF mesh's name
    std::string nodeName;  // the node that shows it
    int node = -1;
    int parentNode = -1;
    bool skinned = false;
    std::vector<Primitive> primitives;
};

struct Material {
    std::string name;
    int baseImage = -1;
    Vec3 emission{};  // emissiveFactor × the emissive strength
    bool hasEmission = false;
    std::map<std::string, Vec4> colours;  // from the extras, when a tool kept them
};

struct Image {
    std::string name;
    std::vector<uint8_t> encoded;  // the PNG (or other) file's bytes
};

struct Joint {
    std::string name;
    Matrix inverseBind = Model::kIdentity;  // in the game's frame and units
};

// One property of one node over time, in the game's frame (lengths scaled back, the mirror
// undone). Key k's value is `values` from k × stride, the middle third of a cubic key.
struct AnimChannel {
    enum class Property { kTranslation, kRotation, kScale };
    enum class Interpolation { kLinear, kStep, kCubicSpline };
    int node = -1;
    Property property = Property::kTranslation;
    Interpolation interpolation = Interpolation::kLinear;
    std::vector<float> times;   // seconds, increasing
    std::vector<float> values;  // components (3, or 4 for rotations) a key, × 3 for cubic
};

struct GltfAnimation {
    std::string name;
    std::vector<AnimChannel> channels;
    float duration = 0;  // the last key's time
};

// A node's own placement, in the game's frame: what a property without a channel stays at.
struct NodeRest {
    Vec3 translation{};
    Vec4 rotation{0, 0, 0, 1};
    Vec3 scale{1, 1, 1};
};

struct Document {
    std::vector<Mesh> meshes;
    std::vector<Material> materials;
    std::vector<Image> images;
    std::vector<Joint> joints;  // of the first skin
    std::vector<std::string> nodeNames;
    std::vector<NodeRest> nodeRests;
    std::vector<GltfAnimation> animations;
};

// A name without the ".001" that a tool adds to tell copies apart.
std::string WithoutCopySuffix(const std::string& name);

// The value of a channel (3 or 4 components) at `time`, held before the first and after the
// last key; rotations between keys are blended on the short way and made unit length.
Vec4 SampleChannel(const AnimChannel& channel, float time);

// Throws Except (Corrupt) for anything that can't be read or doesn't add up.
Document ReadGltf(std::span<const uint8_t> bytes, bool binary, const std::string& folder,
                  float scale);

}  // namespace Import::Detail
