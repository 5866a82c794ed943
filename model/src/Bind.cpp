// The bind pose: the one matrix inversion of the program, and from it where every bone rests.
#include <algorithm>
#include <array>
#include <cmath>

#include "model/pose.h"

namespace Model {
namespace {

// Below this a pivot leaves no usable inverse, though the elimination goes on.
constexpr double kSingular = 1e-30;

bool AllFinite(const Matrix& m) {
    return std::all_of(m.begin(), m.end(), [](float v) { return std::isfinite(v); });
}

// The pivot row of column c: c, unless some row below holds a larger magnitude than the
// diagonal as it stands before the search, in which case the last such row.
int PivotRow(const std::array<double, 16>& a, int c) {
    int pivot = c;
    const double diagonal = std::abs(a[c * 4 + c]);
    for (int r = c + 1; r < 4; ++r) {
        if (std::abs(a[r * 4 + c]) > diagonal) {
            pivot = r;
        }
    }
    return pivot;
}

// Removes column c from every row but c, in both the working copy and the result.
void Eliminate(std::array<double, 16>& a, std::array<double, 16>& inverse, int c) {
    for (int r = 0; r < 4; ++r) {
        if (r == c) {
            continue;
        }
        const double factor = a[r * 4 + c];
        for (int k = 0; k < 4; ++k) {
            a[r * 4 + k] -= factor * a[c * 4 + k];
            inverse[r * 4 + k] -= factor * inverse[c * 4 + k];
        }
    }
}

}  // namespace

Inversion Invert(const Matrix& m) {
    std::array<double, 16> a{};
    std::array<double, 16> inverse{};
    for (int i = 0; i < 16; ++i) {
        a[i] = m[i];
    }
    for (int i = 0; i < 4; ++i) {
        inverse[static_cast<std::size_t>(i) * 5] = 1;
    }
    Inversion out;
    for (int c = 0; c < 4 && out.complete; ++c) {
        const int pivot = PivotRow(a, c);
        for (int k = 0; k < 4; ++k) {
            std::swap(a[c * 4 + k], a[pivot * 4 + k]);
            std::swap(inverse[c * 4 + k], inverse[pivot * 4 + k]);
        }
        const double value = a[c * 4 + c];
        out.smallestPivot = std::min(out.smallestPivot, std::abs(value));
        if (value == 0) {
            out.complete = false;
            break;
        }
        for (int k = 0; k < 4; ++k) {
            a[c * 4 + k] /= value;
            inverse[c * 4 + k] /= value;
        }
        Eliminate(a, inverse, c);
    }
    for (int i = 0; i < 16; ++i) {
        out.matrix[i] = static_cast<float>(inverse[i]);
    }
    return out;
}

std::optional<Matrix> Inverse(const Matrix& m) {
    if (!AllFinite(m)) {
        return std::nullopt;
    }
    const Inversion inversion = Invert(m);
    if (!inversion.complete || inversion.smallestPivot < kSingular ||
        !AllFinite(inversion.matrix)) {
        return std::nullopt;
    }
    return inversion.matrix;
}

Matrix BindPlacement(const MeshBone& bone) {
    return Invert(bone.matrix).matrix;
}

std::vector<std::optional<Matrix>> BindPlacements(std::span<const Mesh> meshes,
                                                  const Skeleton& skeleton) {
    std::vector<std::optional<Matrix>> placements(skeleton.bones.size());
    for (std::size_t j = 0; j < placements.size(); ++j) {
        for (const Mesh& mesh : meshes) {
            auto same = [&](const MeshBone& b) { return b.name == skeleton.bones[j].name; };
            auto found = std::find_if(mesh.bones.begin(), mesh.bones.end(), same);
            if (found != mesh.bones.end()) {
                placements[j] = BindPlacement(*found);
                break;
            }
        }
    }
    return placements;
}

}  // namespace Model
