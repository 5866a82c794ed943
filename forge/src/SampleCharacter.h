// Internals of the sample character shared by its three parts: the skeleton and its motions,
// the body built along the bones, and the files made from them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "SampleBuild.h"
#include "forge/sample.h"

namespace Forge::SampleBuild {

// ---- skeleton -----------------------------------------------------------------------------

enum BoneId : uint16_t {
    kRoot,
    kFootsteps,
    kPelvis,
    kSpine,
    kSpine1,
    kSpine2,
    kNeck,
    kHead,
    kHeadNub,
    kPonytail1,
    kPonytail2,
    kLClavicle,
    kLUpperArm,
    kLForearm,
    kLHand,
    kLFinger,
    kRClavicle,
    kRUpperArm,
    kRForearm,
    kRHand,
    kRFinger,
    kLThigh,
    kLCalf,
    kLFoot,
    kLToe,
    kRThigh,
    kRCalf,
    kRFoot,
    kRToe,
    kBoxBone,
    kBoneTotal
};
static_assert(kBoneTotal == Sample::kBoneCount);

constexpr int kNoParent = -1;

// A bone in the bind pose: its joint and the point its segment reaches (the child joint),
// both in model space: y up, the face toward -z, the left side at +x.
struct BoneDef {
    const char* name;
    int parent;
    Vec3 joint;
    Vec3 tip;
};

const std::array<BoneDef, kBoneTotal>& Bones();

// The animation files: the main one with its three animations, and the older-version one.
std::vector<uint8_t> MakeHeroAnimation();
std::vector<uint8_t> MakeBowAnimation();

// ---- geometry -----------------------------------------------------------------------------

struct Vertex {
    Vec3 position{};
    Vec3 normal{};
    Vec2 uv{};
    std::array<uint16_t, 4> bones{kNoBoneSlot, kNoBoneSlot, kNoBoneSlot, kNoBoneSlot};
    Vec4 weights{};
};

// A grid of (rows + 1) × (columns + 1) vertices, row by row.
struct Piece {
    std::vector<Vertex> vertices;
    int rows = 0;
    int columns = 0;
};

struct Rect {
    float u0, v0, u1, v1;
};

// Texture atlas of the cloth picture (see PaintCloth).
constexpr Rect kTorsoUv{0, 0, 1, 0.5f};
constexpr Rect kArmUv{0, 0.5f, 0.5f, 0.8f};
constexpr Rect kHandUv{0.5f, 0.5f, 0.75f, 0.8f};
constexpr Rect kLeatherUv{0.75f, 0.5f, 1, 0.8f};
constexpr Rect kSkirtUv{0, 0.8f, 1, 1};

template <typename... Lists>
std::vector<Piece> Join(Lists&&... lists) {
    std::vector<Piece> all;
    (all.insert(all.end(), lists.begin(), lists.end()), ...);
    return all;
}

// ---- the body -----------------------------------------------------------------------------

Piece Head();
Piece Neck();
Piece Torso();
Piece Hips();
Piece Leg(bool left);
Piece Skirt();
Piece Belt();
Piece Pauldron(bool left);
Piece Helmet();
std::vector<Piece> Hair();
std::vector<Piece> Sword();
std::vector<Piece> Arms();
std::vector<Piece> Hands(Rect uv);
std::vector<Piece> Legs();
std::vector<Piece> Boots();

// ---- skins --------------------------------------------------------------------------------

// A material's look: texture file names as the skin stores them, and its colours.
struct Look {
    std::string diffuse;
    std::string mask;
    std::string tattoo;
    Vec4 skinColour{0.96f, 0.8f, 0.7f, 1};
    bool eyes = false;
    bool volume = false;
    bool glow = false;
};

MaterialDesc MakeMaterial(const Look& look);
std::vector<uint8_t> MakeSkin(const std::string& name, const std::string& meshName,
                              const std::vector<Look>& looks);

// The hero's whole model before it is written: what the crowd is made from.
struct HeroModel {
    MeshDesc mesh;
    std::vector<Look> looks;  // one per sub-mesh
    AnimationDesc animation;
};
HeroModel MakeHeroModel();
AnimationDesc HeroAnimation();

}  // namespace Forge::SampleBuild
