// The model writers (model/writer.h) under the names forge's callers use.
#pragma once

#include "model/writer.h"

namespace Forge {

using Model::Matrix;
using Model::Vec2;
using Model::Vec3;
using Model::Vec4;

inline constexpr Matrix kIdentityMatrix = Model::kIdentity;
inline constexpr uint16_t kNoBoneSlot = Model::kNoBone;
inline constexpr std::size_t kMaterialHeaderBytes = Model::kMaterialHeaderSize;

using Model::AnimationDesc;
using Model::AnimBoneDesc;
using Model::ColourParam;
using Model::IsSkinned;
using Model::MaterialDesc;
using Model::MeshBoneDesc;
using Model::MeshDesc;
using Model::RotationKeyDesc;
using Model::ScalarParam;
using Model::SkinDesc;
using Model::SkinParam;
using Model::SubMeshDesc;
using Model::TextParam;
using Model::TrackDesc;
using Model::VectorKeyDesc;
using Model::WriteAnimation;
using Model::WriteMesh;
using Model::WriteSkin;

}  // namespace Forge
