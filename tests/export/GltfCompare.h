// The model's own posed positions, as drawn and turned to face +Z (together a mirror in z),
// and their distance from what the evaluated glTF file gives.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "GltfEvaluator.h"
#include "model/object.h"

namespace GltfCompare {

using GltfEval::Vec3d;

inline constexpr std::size_t kSlots = 10;
inline constexpr const char* kSlotNames[kSlots] = {
    "model", "body", "boots", "glove", "hair", "head", "leg", "helmet", "costume", "attachment"};

// The positions the model's pose gives, mirrored in z and scaled, by (mesh name, sub-mesh).
using Expected = std::map<std::pair<std::string, int>, std::vector<Vec3d>>;

inline Expected ModelPositions(Model::CVellModel& model, double scale = 1) {
    Expected out;
    for (std::size_t slot = 0; slot < kSlots; ++slot) {
        const Model::Mesh& mesh = model.MeshAt(slot);
        const std::string name = mesh.name.empty() ? kSlotNames[slot] : mesh.name;
        for (std::size_t i = 0; i < mesh.subMeshes.size(); ++i) {
            if (!mesh.subMeshes[i].visible) {
                continue;
            }
            std::vector<Vec3d>& list = out[{name, static_cast<int>(i)}];
            for (const Model::Vec3& p : mesh.subMeshes[i].skinnedPositions) {
                list.push_back({p[0] * scale, p[1] * scale, -p[2] * scale});
            }
        }
    }
    return out;
}

// Largest distance between the file's and the model's vertices, over every sub-mesh; also
// checks that both hold the same sub-meshes.
inline double Distance(const Expected& expected,
                       const std::vector<GltfEval::PosedPrimitive>& posed) {
    EXPECT_EQ(expected.size(), posed.size());
    double worst = 0;
    for (const auto& prim : posed) {
        auto found = expected.find({prim.mesh, prim.subMesh});
        if (found == expected.end()) {
            ADD_FAILURE() << "no such sub-mesh in the model: " << prim.mesh << " " << prim.subMesh;
            continue;
        }
        EXPECT_EQ(found->second.size(), prim.positions.size());
        for (std::size_t v = 0; v < std::min(found->second.size(), prim.positions.size()); ++v) {
            for (int c = 0; c < 3; ++c) {
                worst = std::max(worst, std::abs(found->second[v][c] - prim.positions[v][c]));
            }
        }
    }
    return worst;
}

inline double Size(const Expected& expected) {
    double size = 1;
    for (const auto& [key, list] : expected) {
        for (const Vec3d& p : list) {
            for (double c : p) {
                size = std::max(size, std::abs(c));
            }
        }
    }
    return size;
}

}  // namespace GltfCompare
