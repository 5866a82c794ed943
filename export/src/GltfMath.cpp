#include "export/gltf_math.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "model/pose.h"

namespace Export::Gltf {
namespace {

using namespace Model;

// Below this a pivot counts as zero.
constexpr double kSingular = 1e-30;
// Relative tolerance of the check that a split matrix composes back to itself.
constexpr double kDecomposeTolerance = 1e-5;

bool Finite(const Matrix& m) {
    return std::all_of(m.begin(), m.end(), [](float v) { return std::isfinite(v); });
}

// Unit quaternion of a rotation matrix in the row-vector layout of RotationMatrix.
Vec4 QuaternionOf(const std::array<double, 9>& r) {
    // r is row-major 3 × 3: r[3 * row + col].
    const double m00 = r[0], m01 = r[1], m02 = r[2];
    const double m10 = r[3], m11 = r[4], m12 = r[5];
    const double m20 = r[6], m21 = r[7], m22 = r[8];
    const double trace = m00 + m11 + m22;
    double x, y, z, w;
    if (trace > 0) {
        const double s = std::sqrt(1 + trace) * 2;
        w = s / 4;
        x = (m12 - m21) / s;
        y = (m20 - m02) / s;
        z = (m01 - m10) / s;
    } else if (m00 >= m11 && m00 >= m22) {
        const double s = std::sqrt(1 + m00 - m11 - m22) * 2;
        x = s / 4;
        w = (m12 - m21) / s;
        y = (m01 + m10) / s;
        z = (m02 + m20) / s;
    } else if (m11 >= m22) {
        const double s = std::sqrt(1 + m11 - m00 - m22) * 2;
        y = s / 4;
        w = (m20 - m02) / s;
        x = (m01 + m10) / s;
        z = (m12 + m21) / s;
    } else {
        const double s = std::sqrt(1 + m22 - m00 - m11) * 2;
        z = s / 4;
        w = (m01 - m10) / s;
        x = (m02 + m20) / s;
        y = (m12 + m21) / s;
    }
    return Normalized({static_cast<float>(x), static_cast<float>(y), static_cast<float>(z),
                       static_cast<float>(w)});
}

}  // namespace

Vec3 Frame::Point(const Vec3& p) const {
    return {p[0] * scale, p[1] * scale, -p[2] * scale};
}

Vec3 Frame::Direction(const Vec3& d) const {
    return {d[0], d[1], -d[2]};
}

Matrix Frame::Transform(const Matrix& m) const {
    Matrix r = m;
    // Row 2 and column 2 change sign; element 10 changes twice.
    for (int i : {2, 6, 8, 9, 11, 14}) {
        r[i] = -r[i];
    }
    for (int i : {12, 13, 14}) {
        r[i] *= scale;
    }
    return r;
}

Vec4 Normalized(const Vec4& q) {
    double length = 0;
    for (float v : q) {
        length += static_cast<double>(v) * v;
    }
    length = std::sqrt(length);
    if (!(length > kSingular) || !std::isfinite(length)) {
        return {0, 0, 0, 1};
    }
    return {static_cast<float>(q[0] / length), static_cast<float>(q[1] / length),
            static_cast<float>(q[2] / length), static_cast<float>(q[3] / length)};
}

Vec4 Frame::Rotation(const Vec4& q) const {
    return Normalized({-q[0], -q[1], q[2], q[3]});
}

Matrix Compose(const Trs& trs) {
    return LocalMatrix(trs.scale, trs.rotation, trs.translation);
}

std::optional<Trs> Decompose(const Matrix& m) {
    if (!Finite(m) || m[3] != 0 || m[7] != 0 || m[11] != 0 || m[15] != 1) {
        return std::nullopt;
    }
    Trs trs;
    trs.translation = {m[12], m[13], m[14]};
    std::array<double, 9> rotation;
    for (int row = 0; row < 3; ++row) {
        double length = 0;
        for (int col = 0; col < 3; ++col) {
            length += static_cast<double>(m[row * 4 + col]) * m[row * 4 + col];
        }
        length = std::sqrt(length);
        if (length < kSingular) {
            return std::nullopt;
        }
        trs.scale[row] = static_cast<float>(length);
        for (int col = 0; col < 3; ++col) {
            rotation[row * 3 + col] = m[row * 4 + col] / length;
        }
    }
    const double det = rotation[0] * (rotation[4] * rotation[8] - rotation[5] * rotation[7]) -
                       rotation[1] * (rotation[3] * rotation[8] - rotation[5] * rotation[6]) +
                       rotation[2] * (rotation[3] * rotation[7] - rotation[4] * rotation[6]);
    if (det < 0) {
        trs.scale[0] = -trs.scale[0];
        for (int col = 0; col < 3; ++col) {
            rotation[col] = -rotation[col];
        }
    }
    trs.rotation = QuaternionOf(rotation);
    // Shear leaves rows that are not at right angles: the parts then compose to another
    // matrix.
    const Matrix back = Compose(trs);
    double size = 0, error = 0;
    for (int i = 0; i < 16; ++i) {
        size = std::max(size, std::abs(static_cast<double>(m[i])));
        error = std::max(error, std::abs(static_cast<double>(back[i]) - m[i]));
    }
    if (error > kDecomposeTolerance * std::max(size, 1.0)) {
        return std::nullopt;
    }
    return trs;
}

}  // namespace Export::Gltf
