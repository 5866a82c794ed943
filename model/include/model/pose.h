// Skeleton posing and skinning on the model records.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "model/records.h"

namespace Model {

// A frame number truncated toward zero, defined for any float (out of range and NaN go
// to the ends of the int64 range).
int64_t WholeFrame(float frame);

// A 4 × 4 inverse by Gauss-Jordan elimination: the program's one matrix inversion.
struct Inversion {
    // The inverse; when a pivot was exactly zero, the result as far as the elimination got.
    Matrix matrix{};
    bool complete = true;
    double smallestPivot = HUGE_VAL;  // magnitude
};
// Each column's pivot is the last row below the diagonal with a larger magnitude than the
// diagonal had, else the diagonal; an exactly zero pivot stops the elimination.
Inversion Invert(const Matrix& m);
// The inverse, or nothing when the matrix is singular (or nearly so) or not finite.
std::optional<Matrix> Inverse(const Matrix& m);
// Row-vector product: p × (a × b) applies a first.
Matrix Multiply(const Matrix& a, const Matrix& b);
Matrix RotationMatrix(const Vec4& q);
// S × Q × T.
Matrix LocalMatrix(const Vec3& scale, const Vec4& rotation, const Vec3& translation);

// The keyed value at frame f: an exact key for the integer frame wins, otherwise the
// pair around f is interpolated; nothing when no pair decides.
std::optional<Vec3> LookupVector(std::span<const VectorKey> keys, float frame);
std::optional<Vec4> LookupRotation(std::span<const RotationKey> keys, float frame);
// Spherical interpolation along the shorter arc, linear when the two nearly coincide.
Vec4 Slerp(const Vec4& q0, const Vec4& q1, float t);

// Maps each mesh bone to the skeleton bone of the same name (kNoBone when none). A
// skeleton without bones leaves the mesh as it is.
void BindToSkeleton(Mesh& mesh, const Skeleton& skeleton);

// Where a mesh bone rests in the bind pose: the inverse of its inverse bind matrix, as far as
// Invert gets when that is singular. The one route to a bind position: the mesh reader's
// bonePositions are its translations, the skeleton's rest and the attachment's come from it.
Matrix BindPlacement(const MeshBone& bone);

// Where every skeleton bone rests: the BindPlacement of the first mesh bone of its name
// (meshes and their bones in order); nothing when no mesh has the bone.
std::vector<std::optional<Matrix>> BindPlacements(std::span<const Mesh> meshes,
                                                  const Skeleton& skeleton);

// Local and world matrices of every bone for `animation` at `frame`. A bone without a track
// for `animation` rests at its entry of `bindPlacements` (identity when it has none).
void PoseSkeleton(Skeleton& skeleton, int32_t animation, float frame,
                  std::span<const std::optional<Matrix>> bindPlacements = {});
// Linear-blend skinning of a part mesh with the skeleton's world matrices.
void SkinMesh(Mesh& mesh, const Skeleton& skeleton);
// Moves the attachment rigidly with the one bone it hangs on; one whose bone the skeleton
// lacks rests where its bone's bind placement puts it.
void PoseAttachment(Mesh& mesh, const Skeleton& skeleton);
// Places the attachment where its bone's bind placement puts it (as read when it has none).
void RestAttachment(Mesh& mesh);

// The posed normals of a sub-mesh: each normal turned by the rotation part of `rigid`, or of
// its vertex's skinning matrix when `rigid` is null, and renormalised (a zero normal stays
// zero).
void PoseNormals(SubMesh& subMesh, const Matrix* rigid);
// The posed normals as read: the sub-mesh rests in its bind shape.
void RestNormals(SubMesh& subMesh);

}  // namespace Model
