// Transforms between the model's frame and the exported file's: the mirror, inverses
// and the split of a matrix into translation, rotation and scale.
#pragma once

#include <optional>

#include "model/records.h"

namespace Export::Gltf {

using Model::Matrix;
using Model::Vec3;
using Model::Vec4;

struct Trs {
    Vec3 translation{0, 0, 0};
    Vec4 rotation{0, 0, 0, 1};  // unit quaternion x, y, z, w
    Vec3 scale{1, 1, 1};
};

// The file's frame: the model as the view draws it (mirrored in x), turned half a turn
// about +Y so that it faces +Z as glTF's front does; together a mirror in z. Every length
// is multiplied by `scale`.
struct Frame {
    float scale = 1.0f;

    Vec3 Point(const Vec3& p) const;
    // A direction, not scaled.
    Vec3 Direction(const Vec3& d) const;
    // A rotation seen through the mirror, made unit length (zero becomes no turn).
    Vec4 Rotation(const Vec4& q) const;
    // Z × M × Z with Z = diag(1, 1, -1, 1), its translation scaled: a bone matrix in the
    // file's frame.
    Matrix Transform(const Matrix& m) const;
};

Vec4 Normalized(const Vec4& q);

// S × Q × T of the parts.
Matrix Compose(const Trs& trs);
// The parts of an affine matrix made only of scale, rotation and translation; nothing when
// it shears, projects or is not finite.
std::optional<Trs> Decompose(const Matrix& m);

}  // namespace Export::Gltf
