// The sample game folder: pak archives that look and behave like a real game's, with one
// complete animated character, made the same way on every run.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "forge/pak.h"

namespace Forge {

// What the sample promises; paths are archive bytes ('\' between components).
namespace Sample {

inline constexpr char kHeroFolder[] = "\\chars\\hero";
inline constexpr char kHeroSkin[] = "\\chars\\hero\\hero.skn";
inline constexpr char kHeroMesh[] = "\\chars\\hero\\hero.msh";
inline constexpr uint32_t kHeroMeshVersion = 12;
inline constexpr uint32_t kHeroSubMeshes = 6;
inline constexpr uint32_t kHeroMinVertices = 15000;
inline constexpr uint32_t kHeroMaxVertices = 25000;

// Version 11: the three animations below. Version 10: one animation.
inline constexpr char kHeroAnimation[] = "\\chars\\hero\\hero.ani";
inline constexpr std::array<const char*, 3> kAnimationNames = {"idle", "walk", "wave"};
inline constexpr std::array<uint32_t, 3> kFrameCounts = {60, 40, 60};
inline constexpr char kBowAnimation[] = "\\chars\\hero\\hero_bow.ani";
inline constexpr char kBowName[] = "bow";
inline constexpr uint32_t kBowFrames = 48;
inline constexpr uint32_t kBoneCount = 30;
inline constexpr uint32_t kMaxInfluences = 4;

// One skin per body-part slot, in the slot order body .. costume.
inline constexpr char kPartsFolder[] = "\\chars\\hero\\parts";
inline constexpr std::array<const char*, 8> kPartSkins = {
    "hero_body.skn", "hero_boots.skn", "hero_glove.skn",  "hero_hair.skn",
    "hero_head.skn", "hero_leg.skn",   "hero_helmet.skn", "hero_costume.skn"};
inline constexpr char kStripPartMesh[] = "hero_leg.msh";  // stored as triangle strips
inline constexpr char kAttachBone[] = "~BoxBone01";
// Version 10 without skinning data; hangs on kAttachBone.
inline constexpr char kWeaponSkin[] = "\\chars\\hero\\weapon\\hero_sword.skn";

// The update archive sorts first, so its copies of these paths win.
inline constexpr char kPatchArchive[] = "000_patch.pak";
inline constexpr char kPatchedTexture[] = "\\chars\\hero\\tex\\hero_cloth.dds";
inline constexpr char kPatchedSkin[] = "\\chars\\hero\\parts\\hero_costume.skn";

inline constexpr std::size_t kTargetEntries = 35000;

}  // namespace Sample

struct SampleArchive {
    std::string name;  // file name in the game folder
    std::vector<PakFile> files;
};

struct SampleGame {
    std::vector<SampleArchive> archives;  // in name order
};

// Builds every archive in memory; the same bytes on every call.
SampleGame MakeSampleGame();
// Writes the archives into `folder` (which must exist); returns the bytes written.
// Throws std::runtime_error when a file can't be written.
std::size_t SaveSampleGame(const SampleGame& game, const std::string& folder);

}  // namespace Forge
