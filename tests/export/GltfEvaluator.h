// A minimal glTF 2.0 reader and evaluator for the tests, written apart from the exporter:
// it parses a .glb (or .gltf with its buffer), poses the node tree at a time of one
// animation and skins every mesh primitive the way a glTF viewer does.
#pragma once

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace GltfEval {

using Vec3d = std::array<double, 3>;
using Mat4d = std::array<double, 16>;  // column-major, column vectors: p' = M p

struct Document {
    nlohmann::json json;
    std::vector<uint8_t> bin;
};

// Reads a .glb, or a .gltf whose one buffer is a file beside it. Fails the test on errors.
Document Load(const std::string& path);

// The Khronos validator finds no error in the file.
void ExpectValid(const std::string& path);

// The raw values of an accessor as doubles, `count` × components.
std::vector<double> ReadAccessor(const Document& doc, int accessor);

struct PosedPrimitive {
    std::string mesh;
    std::string name;  // the sub-mesh's name the exporter keeps in the primitive's extras
    int subMesh = 0;
    std::vector<Vec3d> positions;
};

// Every node's world matrix, with the animation (or none, -1) sampled at `time` seconds.
std::vector<Mat4d> WorldMatrices(const Document& doc, int animation, double time);

// World-space vertex positions of every mesh primitive of the default scene, with the
// animation (or none, -1) sampled at `time` seconds.
std::vector<PosedPrimitive> Evaluate(const Document& doc, int animation, double time);

}  // namespace GltfEval
