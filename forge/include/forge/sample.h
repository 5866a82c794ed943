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

// The crowd (make-sample --characters N): characters made from the hero, one folder each
// below kCrowdFolder (skin, mesh, animation and tex/), all in kCrowdArchive.
inline constexpr char kCrowdFolder[] = "\\chars\\crowd";
inline constexpr char kCrowdArchive[] = "crowd.pak";
inline constexpr uint32_t kCrowdFilesEach = 10;

// The patched game (make-sample --patch): these paths change, go and come, and the update's
// own archive, which sorts before every other, overrides the tunic and a login picture.
inline constexpr std::array<const char*, 4> kPatchChanged = {
    "\\config\\version.ini", "\\scripts\\quest\\quest_001.lua", "\\scripts\\quest\\quest_002.lua",
    "\\maps\\forest\\region00\\tile_001.ter"};
inline constexpr std::array<const char*, 3> kPatchRemoved = {
    "\\effects\\skill\\fx000\\part_001.dds", "\\effects\\skill\\fx000\\part_002.eff",
    "\\effects\\skill\\fx000\\part_003.dds"};
inline constexpr std::array<const char*, 3> kPatchAdded = {"\\scripts\\quest\\quest_new01.lua",
                                                           "\\scripts\\quest\\quest_new02.lua",
                                                           "\\ui\\event\\event_new.xml"};
inline constexpr char kHotfixArchive[] = "0000_hotfix.pak";
inline constexpr char kHotfixLogin[] = "\\ui\\login\\login_001.dds";

}  // namespace Sample

struct SampleArchive {
    std::string name;  // file name in the game folder
    std::vector<PakFile> files;
};

struct SampleGame {
    std::vector<SampleArchive> archives;  // in name order
};

enum class SamplePatch {
    None,
    Some,  // the few changes of Sample::kPatch..., and the update's own archive
    All,   // every file's bytes changed
};

struct SampleOptions {
    uint32_t characters = 0;  // crowd members beside the hero
    SamplePatch patch = SamplePatch::None;
};

// Builds every archive in memory; the same options give the same bytes on every call.
SampleGame MakeSampleGame(const SampleOptions& options = {});
// Writes the archives into `folder` (which must exist); returns the bytes written.
// Throws std::runtime_error when a file can't be written.
std::size_t SaveSampleGame(const SampleGame& game, const std::string& folder);

}  // namespace Forge
