// Transforms between the model's frame and the exported file's: the mirror in x, inverses
// and the split of a matrix into translation, rotation and scale.
#pragma once

#include <optional>

#include "model/records.h"

namespace Model::Gltf {

struct Trs {
    Vec3 translation{0, 0, 0};
    Vec4 rotation{0, 0, 0, 1};  // unit quaternion x, y, z, w
    Vec3 scale{1, 1, 1};
};

// M seen through the mirror in x: X × M × X with X = diag(-1, 1, 1, 1).
Matrix MirrorMatrix(const Matrix& m);
// A rotation seen through the mirror in x, made unit length (zero becomes no turn).
Vec4 MirrorRotation(const Vec4& q);
Vec4 Normalized(const Vec4& q);

// The inverse, or nothing when the matrix is singular or not finite.
std::optional<Matrix> Inverse(const Matrix& m);
// S × Q × T of the parts.
Matrix Compose(const Trs& trs);
// The parts of an affine matrix made only of scale, rotation and translation; nothing when
// it shears, projects or is not finite.
std::optional<Trs> Decompose(const Matrix& m);

}  // namespace Model::Gltf
