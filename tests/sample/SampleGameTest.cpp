// The sample game read back through the program's own archive manager, readers, posing
// and model object: the counts it promises, a character that stays in one piece while it
// walks, and an update archive that wins its paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include "GameFolder.h"
#include "GlTest.h"
#include "SampleGameFolder.h"
#include "TestUtil.h"
#include "base/text.h"
#include "forge/sample.h"
#include "model/model.h"
#include "model/pose.h"
#include "model/records.h"
#include "pakmgr/pakmgr.h"

namespace {

namespace Sample = Forge::Sample;
using Model::Mesh;
using Model::Skeleton;
using Model::Vec3;

constexpr std::size_t kMaxDiskBytes = 80u << 20;
constexpr float kWeightTolerance = 1e-4f;

// The shared sample game, opened once in the program's archive manager.
void OpenTheGame() {
    ASSERT_NE(RenderTest::SharedGl(), nullptr);
    static const bool opened = [] {
        RenderTest::SharedGl();
        PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
        mgr->Clear();
        return mgr->Open(TestUtil::SampleGameFolder()) && mgr->BuildTree();
    }();
    ASSERT_TRUE(opened);
}

PakMgr::ITreeNode* Node(const std::string& path) {
    OpenTheGame();
    return PakMgr::FindPath(*PakMgr::GetPakMgr(), Base::GbkToUtf8(path));
}

std::vector<uint8_t> Load(const std::string& path) {
    PakMgr::ITreeNode* node = Node(path);
    if (node == nullptr) {
        return {};
    }
    std::vector<uint8_t> bytes;
    PakMgr::GetPakMgr()->LoadEntry(static_cast<uint32_t>(node->GetIndex()), bytes);
    return bytes;
}

float Distance(const Vec3& a, const Vec3& b) {
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

using TestUtil::Part;

Part LoadPart(const std::string& path) {
    return TestUtil::LoadPart(Node(path));
}

Skeleton LoadSkeleton(const std::string& path) {
    Skeleton skeleton;
    Model::ReadAnimation(Node(path), skeleton);
    return skeleton;
}

std::size_t VertexCount(const Mesh& mesh) {
    std::size_t n = 0;
    for (const Model::SubMesh& s : mesh.subMeshes) {
        n += s.positions.size();
    }
    return n;
}

// Every vertex has one to four bones whose names the mesh knows, weights summing to 1.
void ExpectSoundSkinning(const Mesh& mesh, const std::string& label) {
    for (const Model::SubMesh& s : mesh.subMeshes) {
        ASSERT_TRUE(s.boneIndices.size() == s.positions.size() && !s.boneMap.empty() &&
                    s.boneWeights.size() == s.positions.size())
            << label << " " << s.name;
        for (std::size_t v = 0; v < s.positions.size(); ++v) {
            int influences = 0;
            float sum = 0;
            for (int k = 0; k < 4; ++k) {
                if (s.boneIndices[v][k] != Model::kNoBone) {
                    ASSERT_LT(s.boneIndices[v][k], s.boneMap.size());
                    ++influences;
                    sum += s.boneWeights[v][k];
                    EXPECT_GT(s.boneWeights[v][k], 0.0f);
                }
            }
            ASSERT_GE(influences, 1) << label << " " << s.name << " vertex " << v;
            ASSERT_NEAR(sum, 1.0f, kWeightTolerance) << label << " " << s.name << " vertex " << v;
        }
    }
}

// Largest distance of a posed vertex from its bind position.
float LargestMove(const Mesh& mesh) {
    float largest = 0;
    for (const Model::SubMesh& s : mesh.subMeshes) {
        for (std::size_t v = 0; v < s.positions.size(); ++v) {
            largest = std::max(largest, Distance(s.positions[v], s.skinnedPositions[v]));
        }
    }
    return largest;
}

Vec3 BonePosition(const Mesh& mesh, const std::string& name) {
    for (std::size_t i = 0; i < mesh.bones.size(); ++i) {
        if (mesh.bones[i].name == name) {
            return mesh.bonePositions[i];
        }
    }
    ADD_FAILURE() << "no bone " << name;
    return {};
}

// Hip to toe: the longest limb.
float LegLength(const Mesh& mesh) {
    const Vec3 hip = BonePosition(mesh, "Bip01 L Thigh");
    const Vec3 knee = BonePosition(mesh, "Bip01 L Calf");
    const Vec3 ankle = BonePosition(mesh, "Bip01 L Foot");
    const Vec3 toe = BonePosition(mesh, "Bip01 L Toe0");
    return Distance(hip, knee) + Distance(knee, ankle) + Distance(ankle, toe);
}

// ---- the archives -------------------------------------------------------------------------

TEST(SampleGame, ArchivesLookLikeAGameFolder) {
    OpenTheGame();
    PakMgr::IPakMgr& mgr = *PakMgr::GetPakMgr();
    const std::vector<std::string> names = mgr.GetArchiveNames();
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names.front(), Sample::kPatchArchive);

    const uint32_t count = mgr.GetFileCount();
    EXPECT_GT(count, Sample::kTargetEntries * 9 / 10);
    EXPECT_LT(count, Sample::kTargetEntries * 11 / 10);

    // Files with Chinese names in code page 936, and folders named alike in another case.
    std::size_t chinese = 0;
    std::map<std::string, std::set<std::string>> folderSpellings;
    for (uint32_t i = 0; i < count; ++i) {
        const std::string name = mgr.GetFileName(i);
        const std::string file = name.substr(name.rfind('\\') + 1);
        if (std::any_of(file.begin(), file.end(), [](char c) { return (c & 0x80) != 0; })) {
            EXPECT_EQ(Base::GbkToUtf8(name).find('?'), std::string::npos) << name;
            ++chinese;
        }
        for (std::size_t slash = name.find('\\', 1); slash != std::string::npos;
             slash = name.find('\\', slash + 1)) {
            const std::string folder = name.substr(0, slash);
            folderSpellings[Base::LowerAscii(folder)].insert(folder);
        }
    }
    EXPECT_GE(chinese, 200u);
    EXPECT_LE(chinese, 1000u);
    const auto alike = std::count_if(folderSpellings.begin(), folderSpellings.end(),
                                     [](const auto& f) { return f.second.size() > 1; });
    EXPECT_GE(alike, 3);
}

// The update archive is listed first: a path's first entry is the update's, and it loads.
TEST(SampleGame, UpdateArchiveWinsItsPaths) {
    OpenTheGame();
    PakMgr::IPakMgr& mgr = *PakMgr::GetPakMgr();
    std::map<std::string, uint32_t> first;
    std::set<std::string> overridden;
    for (uint32_t i = 0; i < mgr.GetFileCount(); ++i) {
        const auto [path, added] = first.emplace(mgr.GetFileName(i), i);
        std::vector<uint8_t> update, shadowed;
        if (!added && mgr.LoadEntry(path->second, update) && mgr.LoadEntry(i, shadowed)) {
            overridden.insert(path->first);
            ASSERT_NE(update, shadowed) << path->first << " is not changed by the update";
            EXPECT_EQ(Load(path->first), update) << path->first;
        }
    }
    EXPECT_GE(overridden.size(), 3u);
    EXPECT_TRUE(overridden.contains(Sample::kPatchedTexture));
    EXPECT_TRUE(overridden.contains(Sample::kPatchedSkin));

    // The patched skin names a texture only the update carries, and it loads.
    const Part costume = LoadPart(Sample::kPatchedSkin);
    ASSERT_EQ(costume.skin.materials.size(), 1u);
    EXPECT_EQ(costume.skin.materials[0].diffuseTexName, "hero_costume_v2.dds");
    EXPECT_NE(costume.skin.materials[0].diffuseTex, nullptr);
}

// ---- the character ------------------------------------------------------------------------

TEST(SampleGame, WholeCharacterReadsBackAsPromised) {
    const Part hero = LoadPart(Sample::kHeroSkin);
    const Mesh& mesh = hero.mesh;
    EXPECT_EQ(mesh.version, Sample::kHeroMeshVersion);
    EXPECT_EQ(mesh.subMeshes.size(), Sample::kHeroSubMeshes);
    EXPECT_EQ(mesh.bones.size(), Sample::kBoneCount);
    EXPECT_GE(VertexCount(mesh), Sample::kHeroMinVertices);
    EXPECT_LE(VertexCount(mesh), Sample::kHeroMaxVertices);
    ExpectSoundSkinning(mesh, "hero");

    // One material per sub-mesh, every diffuse texture found, the material table in use.
    EXPECT_EQ(hero.skin.version, 10u);
    ASSERT_EQ(hero.skin.materials.size(), mesh.subMeshes.size());
    bool eyes = false, mask = false, tattoo = false;
    for (const Model::Material& m : hero.skin.materials) {
        EXPECT_NE(m.diffuseTex, nullptr) << m.diffuseTexName;
        EXPECT_GT(m.skinColor[3], 0.0f);
        eyes |= m.eyeColor[3] > 0;
        mask |= m.maskTex != nullptr;
        tattoo |= m.tattooTex != nullptr;
    }
    EXPECT_TRUE(eyes && mask && tattoo);

    // The hair's alpha has holes and solid parts, so the alpha test shows.
    const std::vector<uint8_t> hair =
        Load(std::string(Sample::kHeroFolder) + "\\tex\\hero_hair.dds");
    bool clear = false, solid = false;
    for (std::size_t block = 128; block + 16 <= hair.size(); block += 16) {
        clear |= std::max(hair[block], hair[block + 1]) < 64;
        solid |= std::min(hair[block], hair[block + 1]) > 192;
    }
    EXPECT_TRUE(clear && solid);
}

TEST(SampleGame, AnimationsMatchTheSkeletonAndWalkInOnePiece) {
    Skeleton skeleton = LoadSkeleton(Sample::kHeroAnimation);
    EXPECT_EQ(skeleton.version, 11u);
    ASSERT_EQ(skeleton.bones.size(), Sample::kBoneCount);
    ASSERT_EQ(skeleton.animationNames.size(), Sample::kAnimationNames.size());
    for (std::size_t a = 0; a < Sample::kAnimationNames.size(); ++a) {
        EXPECT_EQ(skeleton.animationNames[a], Sample::kAnimationNames[a]);
        EXPECT_EQ(skeleton.frameCounts[a], Sample::kFrameCounts[a]);
    }
    // Sparse keys that cover every frame, and at least one pair on opposite hemispheres.
    bool oppositePair = false;
    for (const Model::Bone& bone : skeleton.bones) {
        for (std::size_t a = 0; a < bone.tracks.size(); ++a) {
            const auto& keys = bone.tracks[a].rotationKeys;
            if (keys.empty()) {
                continue;
            }
            EXPECT_LT(keys.size(), skeleton.frameCounts[a] / 2) << bone.name;
            EXPECT_EQ(keys.front().frame, 0) << bone.name;
            EXPECT_GE(keys.back().frame + 1u, skeleton.frameCounts[a]) << bone.name;
            for (std::size_t k = 1; k < keys.size(); ++k) {
                // The keys are packed: their values are read through the key, never through
                // a float pointer, which would be misaligned.
                const Model::RotationKey& p = keys[k - 1];
                const Model::RotationKey& q = keys[k];
                oppositePair |= p.value[0] * q.value[0] + p.value[1] * q.value[1] +
                                    p.value[2] * q.value[2] + p.value[3] * q.value[3] <
                                0;
            }
        }
    }
    EXPECT_TRUE(oppositePair);

    Part hero = LoadPart(Sample::kHeroSkin);
    Model::BindToSkeleton(hero.mesh, skeleton);
    EXPECT_EQ(std::ranges::count(hero.mesh.boneToTrack, Model::kNoBone), 0);
    // The skeleton's rest matches the mesh's bind pose: idle starts where the mesh stands.
    Model::PoseSkeleton(skeleton, 0, 0);
    Model::SkinMesh(hero.mesh, skeleton);
    EXPECT_LT(LargestMove(hero.mesh), 0.05f);
    for (const Model::Bone& bone : skeleton.bones) {
        const Vec3 joint = {bone.worldMatrix[12], bone.worldMatrix[13], bone.worldMatrix[14]};
        EXPECT_LT(Distance(joint, BonePosition(hero.mesh, bone.name)), 0.01f) << bone.name;
    }

    // Walking moves the character, and no vertex leaves it by more than a leg's length,
    // on key frames and between them.
    const float leg = LegLength(hero.mesh);
    EXPECT_GT(leg, 50.0f);
    float moved = 0;
    constexpr int walk = 1;
    for (float frame = 0; frame < float(Sample::kFrameCounts[walk]); frame += 1.5f) {
        Model::PoseSkeleton(skeleton, walk, frame);
        Model::SkinMesh(hero.mesh, skeleton);
        const float largest = LargestMove(hero.mesh);
        EXPECT_LE(largest, leg) << "frame " << frame;
        moved = std::max(moved, largest);
    }
    EXPECT_GT(moved, 10.0f);
}

TEST(SampleGame, PartsDressTheSameSkeletonAndTheWeaponFollowsTheHand) {
    Skeleton skeleton = LoadSkeleton(Sample::kHeroAnimation);

    bool strips = false;
    Mesh body;
    for (const char* name : Sample::kPartSkins) {
        Part part = LoadPart(std::string(Sample::kPartsFolder) + "\\" + name);
        ExpectSoundSkinning(part.mesh, name);
        Model::BindToSkeleton(part.mesh, skeleton);
        EXPECT_EQ(std::ranges::count(part.mesh.boneToTrack, Model::kNoBone), 0) << name;
        for (const Model::SubMesh& s : part.mesh.subMeshes) {
            strips |= s.primitive == Model::kTriangleStrip;
        }
        for (const Model::Material& m : part.skin.materials) {
            EXPECT_NE(m.diffuseTex, nullptr) << name << " " << m.diffuseTexName;
        }
        if (std::string(name) == "hero_body.skn") {
            body = part.mesh;
        }
    }
    EXPECT_TRUE(strips);

    // The weapon: version 10 without skinning data, hung on the body's attach bone as the
    // model does it, stays in the right hand while walking.
    Part sword = LoadPart(Sample::kWeaponSkin);
    EXPECT_EQ(sword.mesh.version, 10u);
    for (const Model::SubMesh& s : sword.mesh.subMeshes) {
        EXPECT_TRUE(s.boneWeights.empty());
    }
    const auto attach = std::find_if(body.bones.begin(), body.bones.end(),
                                     [](const auto& b) { return b.name == Sample::kAttachBone; });
    ASSERT_NE(attach, body.bones.end());
    sword.mesh.bones = {*attach};
    Model::BindToSkeleton(sword.mesh, skeleton);
    ASSERT_NE(sword.mesh.boneToTrack.at(0), Model::kNoBone);
    const auto hand = std::find_if(skeleton.bones.begin(), skeleton.bones.end(),
                                   [](const auto& b) { return b.name == "Bip01 R Hand"; });
    ASSERT_NE(hand, skeleton.bones.end());
    for (float frame : {0.0f, 10.0f, 27.5f}) {
        Model::PoseSkeleton(skeleton, 1, frame);
        Model::PoseAttachment(sword.mesh, skeleton);
        const Vec3 wrist = {hand->worldMatrix[12], hand->worldMatrix[13], hand->worldMatrix[14]};
        float nearest = 1e9f;
        for (const Model::SubMesh& s : sword.mesh.subMeshes) {
            for (const Vec3& p : s.skinnedPositions) {
                nearest = std::min(nearest, Distance(p, wrist));
            }
        }
        EXPECT_LT(nearest, 12.0f) << "frame " << frame;
    }
}

// ---- the crowd and the update ------------------------------------------------------------

const Forge::PakFile* FileIn(const Forge::SampleGame& game, const std::string& path,
                             const std::string& archive = {}) {
    for (const Forge::SampleArchive& a : game.archives) {
        for (const Forge::PakFile& f : a.files) {
            if (f.path == path && (archive.empty() || a.name == archive)) {
                return &f;
            }
        }
    }
    return nullptr;
}

// The crowd members with the update: the same bytes from two runs; every member's own names,
// skeleton, height and colours, its mesh skinned soundly to bones its animation has; the
// update's changes where it says.
TEST(SampleGame, CrowdAndUpdateAreTheSameEveryRunAndEachMemberIsItsOwn) {
    const Forge::SampleOptions options{.characters = 4, .patch = Forge::SamplePatch::Some};
    const Forge::SampleGame game = Forge::MakeSampleGame(options);
    const Forge::SampleGame again = Forge::MakeSampleGame(options);
    ASSERT_EQ(game.archives.size(), again.archives.size());
    for (std::size_t a = 0; a < game.archives.size(); ++a) {
        ASSERT_EQ(game.archives[a].files.size(), again.archives[a].files.size());
        for (std::size_t f = 0; f < game.archives[a].files.size(); ++f) {
            ASSERT_TRUE(game.archives[a].files[f].stream == again.archives[a].files[f].stream)
                << game.archives[a].files[f].path;
        }
    }
    std::vector<std::string> names;
    for (const auto& a : game.archives) {
        names.push_back(a.name);
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{Sample::kHotfixArchive, Sample::kPatchArchive, "char.pak",
                                        Sample::kCrowdArchive, "data.pak", "sound.pak", "ui.pak"}));
    EXPECT_EQ(game.archives[3].files.size(), 4 * Sample::kCrowdFilesEach);

    std::set<std::size_t> boneCounts;
    std::set<float> heights;
    std::set<std::vector<uint8_t>> cloths;
    for (const char* member : {"ranger_001", "warden_001", "oracle_001", "nomad_001"}) {
        const std::string stem = std::string(Sample::kCrowdFolder) + "\\" + member + "\\" + member;
        const Forge::PakFile* meshFile = FileIn(game, stem + ".msh");
        const Forge::PakFile* aniFile = FileIn(game, stem + ".ani");
        const Forge::PakFile* cloth = FileIn(game, std::string(Sample::kCrowdFolder) + "\\" +
                                                       member + "\\tex\\" + member + "_cloth.dds");
        ASSERT_TRUE(meshFile && aniFile && cloth && FileIn(game, stem + ".skn")) << member;
        const Mesh mesh = TestUtil::Read<Mesh>(meshFile->data);
        const Skeleton skeleton = TestUtil::Read<Skeleton>(aniFile->data);
        ExpectSoundSkinning(mesh, member);
        ASSERT_EQ(mesh.bones.size(), skeleton.bones.size()) << member;
        for (const Model::MeshBone& bone : mesh.bones) {
            EXPECT_TRUE(std::any_of(skeleton.bones.begin(), skeleton.bones.end(),
                                    [&](const Model::Bone& b) { return b.name == bone.name; }))
                << member << " " << bone.name;
        }
        boneCounts.insert(mesh.bones.size());
        heights.insert(mesh.boxMax[1]);
        cloths.insert(cloth->data);
    }
    EXPECT_EQ(boneCounts, (std::set<std::size_t>{24, 27, 28, 30}));
    EXPECT_EQ(heights.size(), 4u);
    EXPECT_EQ(cloths.size(), 4u);

    // The update: against the game as the shared folder holds it.
    OpenTheGame();
    for (const char* path : Sample::kPatchChanged) {
        const Forge::PakFile* file = FileIn(game, path);
        ASSERT_TRUE(file) << path;
        EXPECT_NE(file->data, Load(path)) << path;
    }
    for (const char* path : Sample::kPatchRemoved) {
        EXPECT_FALSE(FileIn(game, path)) << path;
        EXPECT_FALSE(Load(path).empty()) << path;
    }
    for (const char* path : Sample::kPatchAdded) {
        EXPECT_TRUE(FileIn(game, path)) << path;
        EXPECT_EQ(Node(path), nullptr) << path;
    }
    // The update's archive brings back the base archive's tunic over the patch's.
    EXPECT_EQ(FileIn(game, Sample::kPatchedTexture, Sample::kHotfixArchive)->data,
              FileIn(game, Sample::kPatchedTexture, "char.pak")->data);
}

// ---- the command --------------------------------------------------------------------------

// The shared game is vell's first run (perhaps another build's: the bytes must not differ).
TEST(SampleCommand, TwoRunsWriteTheSameBytes) {
    TestUtil::TempDir second;
    const TestUtil::RunResult b = TestUtil::Vell({"make-sample", second / "game"});
    ASSERT_EQ(b.exitCode, 0) << b.err;
    const std::string one = TestUtil::SampleGameFolder();
    const std::vector<std::string> names = TestUtil::FilesIn(one);
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(TestUtil::FilesIn(second / "game"), names);
    std::size_t total = 0;
    for (const std::string& name : names) {
        const std::string bytes = TestUtil::ReadText(one + "/" + name);
        EXPECT_TRUE(bytes == TestUtil::ReadText(second / ("game/" + name))) << name << " differs";
        total += bytes.size();
    }
    EXPECT_LE(total, kMaxDiskBytes);
}

}  // namespace
