#include <gtest/gtest.h>

#include <cstring>

#include "GameFolder.h"
#include "forge/model.h"

namespace {

using TestUtil::ErrorOf;
const auto Read = &TestUtil::Read<Model::Skeleton>;

Forge::TrackDesc MakeTrack(float seed) {
    Forge::TrackDesc track{{seed, seed + 1, seed + 2}, {0, 0, 0.6f, 0.8f}, {1, 2, 3}};
    track.positionKeys = {{0, {seed, 0, 0}}, {5, {seed, 1, 0}}};
    track.rotationKeys = {{0, {0, 0, 0, 1}}, {3, {0, 1, 0, 0}}, {5, {1, 0, 0, 0}}};
    track.scaleKeys = {{2, {2, 2, 2}}};
    return track;
}

Forge::AnimationDesc MakeAnimation(uint32_t version) {
    Forge::AnimationDesc desc{.name = "hero.ani", .version = version};
    desc.animationNames = {"walk", "run"};
    desc.frameCounts = {30, 12};
    desc.bones = {
        {"Bip01", "", {MakeTrack(0), MakeTrack(1)}},
        {"Bip01 Spine", "Bip01", {MakeTrack(2), MakeTrack(3)}},
        {"Bip01 Head", "Bip01 Spine", {MakeTrack(4), MakeTrack(5)}},
    };
    return desc;
}

// Packed keys: their values are copied out rather than referred to.
Model::Vec3 ValueOf(const Model::VectorKey& key) {
    return {key.value[0], key.value[1], key.value[2]};
}

void ExpectQuaternion(const Model::RotationKey& key, Model::Vec4 want) {
    for (int k = 0; k < 4; ++k) {
        EXPECT_FLOAT_EQ(key.value[k], want[k]) << "component " << k;
    }
}

class AnimVersions : public ::testing::TestWithParam<uint32_t> {};

TEST_P(AnimVersions, ReadsWhatTheWriterWrote) {
    const uint32_t version = GetParam();
    Model::Skeleton skeleton = Read(Forge::WriteAnimation(MakeAnimation(version)));
    EXPECT_EQ(skeleton.name, "hero.ani");
    EXPECT_EQ(skeleton.version, version);
    EXPECT_EQ(skeleton.boneCount, 3u);
    EXPECT_EQ(skeleton.animationCount, 2u);
    EXPECT_EQ(skeleton.animationNames, (std::vector<std::string>{"walk", "run"}));
    EXPECT_EQ(skeleton.frameCounts, (std::vector<uint32_t>{30, 12}));
    ASSERT_EQ(skeleton.bones.size(), 3u);
    ASSERT_EQ(skeleton.boneColors.size(), 3u);

    const Model::Bone& head = skeleton.bones[2];
    EXPECT_EQ(head.name, "Bip01 Head");
    EXPECT_EQ(head.parentName, "Bip01 Spine");
    EXPECT_EQ(head.index, 2u);
    EXPECT_EQ(head.parent, 1u);
    EXPECT_EQ(skeleton.bones[1].parent, 0u);
    EXPECT_EQ(skeleton.bones[0].parent, Model::kNoParent);
    EXPECT_EQ(head.localMatrix, Model::Matrix{});

    ASSERT_EQ(head.tracks.size(), 2u);
    const Model::AnimTrack& run = head.tracks[1];
    EXPECT_EQ(run.basePosition, (Model::Vec3{5, 6, 7}));
    EXPECT_EQ(run.baseRotation, (Model::Vec4{0, 0, 0.6f, 0.8f}));
    EXPECT_EQ(run.baseScale, (Model::Vec3{1, 2, 3}));
    ASSERT_EQ(run.positionKeys.size(), 2u);
    EXPECT_EQ(run.positionKeys[1].frame, 5);
    EXPECT_EQ(ValueOf(run.positionKeys[1]), (Model::Vec3{5, 1, 0}));
    ASSERT_EQ(run.rotationKeys.size(), 3u);
    EXPECT_EQ(run.rotationKeys[1].frame, 3);
    ExpectQuaternion(run.rotationKeys[1], {0, 1, 0, 0});
    ExpectQuaternion(run.rotationKeys[2], {1, 0, 0, 0});
    ASSERT_EQ(run.scaleKeys.size(), 1u);
    EXPECT_EQ(run.scaleKeys[0].frame, 2);
    EXPECT_EQ(ValueOf(run.scaleKeys[0]), (Model::Vec3{2, 2, 2}));
}

INSTANTIATE_TEST_SUITE_P(BothVersions, AnimVersions, ::testing::Values(10u, 11u));

TEST(AnimReader, Version10KeysKeepTheLowFrameBitsAndRawRotations) {
    Forge::AnimationDesc desc = MakeAnimation(10);
    Forge::TrackDesc& track = desc.bones[0].tracks[0];
    track.positionKeys = {{65537, {1, 2, 3}}};
    track.rotationKeys = {{65536 + 7, {0, 0, 0, 2}}, {3, {0.5f, 0.5f, 0, 0}}};
    Model::Skeleton skeleton = Read(Forge::WriteAnimation(desc));
    const Model::AnimTrack& got = skeleton.bones[0].tracks[0];
    EXPECT_EQ(got.positionKeys[0].frame, 1);
    EXPECT_EQ(got.rotationKeys[0].frame, 7);
    ExpectQuaternion(got.rotationKeys[0], {0, 0, 0, 2});
    ExpectQuaternion(got.rotationKeys[1], {0.5f, 0.5f, 0, 0});
}

TEST(AnimReader, Version11RotationsAreNormalised) {
    Forge::AnimationDesc desc = MakeAnimation(11);
    std::vector<Forge::RotationKeyDesc> keys(5);
    keys[0].packed = std::array<int16_t, 4>{0, 0, 0, 2};
    keys[1].packed = std::array<int16_t, 4>{0, 0, 0, 0};
    keys[2].packed = std::array<int16_t, 4>{3, 0, -4, 0};
    keys[3].packed = std::array<int16_t, 4>{-32768, 0, 0, 0};
    keys[4].packed = std::array<int16_t, 4>{1, 1, 1, 1};
    desc.bones[1].tracks[1].rotationKeys = keys;
    Model::Skeleton skeleton = Read(Forge::WriteAnimation(desc));
    const auto& got = skeleton.bones[1].tracks[1].rotationKeys;
    ASSERT_EQ(got.size(), 5u);
    ExpectQuaternion(got[0], {0, 0, 0, 1});
    ExpectQuaternion(got[1], {0, 0, 0, 0});
    ExpectQuaternion(got[2], {0.6f, 0, -0.8f, 0});
    ExpectQuaternion(got[3], {-1, 0, 0, 0});
    ExpectQuaternion(got[4], {0.5f, 0.5f, 0.5f, 0.5f});
}

TEST(AnimReader, ParentLinks) {
    Forge::AnimationDesc desc = MakeAnimation(11);
    desc.bones = {
        {"A", "missing", {MakeTrack(0), MakeTrack(0)}}, {"Dup", "A", {MakeTrack(0), MakeTrack(0)}},
        {"Self", "Self", {MakeTrack(0), MakeTrack(0)}}, {"Dup", "", {MakeTrack(0), MakeTrack(0)}},
        {"Child", "Dup", {MakeTrack(0), MakeTrack(0)}},
    };
    Model::Skeleton skeleton = Read(Forge::WriteAnimation(desc));
    std::vector<uint32_t> parents;
    for (const Model::Bone& bone : skeleton.bones) {
        parents.push_back(bone.parent);
    }
    EXPECT_EQ(parents, (std::vector<uint32_t>{Model::kNoParent, 0, 2, Model::kNoParent, 3}));
}

TEST(AnimReader, BoneColoursComeFromTheSeededGenerator) {
    Model::SeedRandom(1);
    Model::Skeleton skeleton = Read(Forge::WriteAnimation(MakeAnimation(11)));
    // The first results of this generator seeded with 1: 41, 18467, 6334, 26500, ...
    EXPECT_FLOAT_EQ(skeleton.boneColors[0][0], 41 / 32767.0f);
    EXPECT_FLOAT_EQ(skeleton.boneColors[0][1], 18467 / 32767.0f);
    EXPECT_FLOAT_EQ(skeleton.boneColors[0][2], 6334 / 32767.0f);
    EXPECT_FLOAT_EQ(skeleton.boneColors[1][0], 26500 / 32767.0f);
}

// Names filling their 256-byte field are cut to it; empty key arrays stay empty; zero
// animations give a bare skeleton.
TEST(AnimReader, NamesFillingTheirFieldAndEmptyKeyArrays) {
    Forge::AnimationDesc desc = MakeAnimation(11);
    desc.animationNames[0] = std::string(256, 'w');
    desc.bones[0].name = std::string(256, 'r');
    desc.bones[1].parentName = std::string(256, 'r');
    desc.bones[0].tracks[0].positionKeys.clear();
    desc.bones[0].tracks[0].rotationKeys.clear();
    desc.bones[0].tracks[0].scaleKeys.clear();
    Model::Skeleton skeleton = Read(Forge::WriteAnimation(desc));
    EXPECT_EQ(skeleton.animationNames[0], std::string(256, 'w'));
    EXPECT_EQ(skeleton.animationNames[1], "run");
    EXPECT_EQ(skeleton.bones[0].name, std::string(256, 'r'));
    EXPECT_EQ(skeleton.bones[1].parent, 0u);
    EXPECT_TRUE(skeleton.bones[0].tracks[0].positionKeys.empty());
    EXPECT_TRUE(skeleton.bones[0].tracks[0].rotationKeys.empty());
    EXPECT_TRUE(skeleton.bones[0].tracks[0].scaleKeys.empty());
    EXPECT_EQ(skeleton.bones[0].tracks[1].positionKeys.size(), 2u);
    // Zero animations give a bare skeleton.
    desc = MakeAnimation(11);
    desc.animationNames.clear();
    desc.frameCounts.clear();
    for (auto& bone : desc.bones) {
        bone.tracks.clear();
    }
    skeleton = Read(Forge::WriteAnimation(desc));
    EXPECT_TRUE(skeleton.animationNames.empty());
    EXPECT_TRUE(skeleton.frameCounts.empty());
    ASSERT_EQ(skeleton.bones.size(), 3u);
    EXPECT_TRUE(skeleton.bones[2].tracks.empty());
    EXPECT_EQ(skeleton.bones[2].parent, 1u);
}

// Through the archive: a node named .ani is read; other names and unreadable files are
// refused, a refused file leaving the skeleton as it was and a short one emptying it.
TEST(AnimNodes, ReadsTheNodesFileAndRejectsOtherNamesAndUnreadableFiles) {
    TestUtil::Game game({
        {.path = "\\chars\\hero\\hero.ani", .data = Forge::WriteAnimation(MakeAnimation(11))},
        {.path = "\\chars\\hero\\hero.ani.bak", .data = Forge::WriteAnimation(MakeAnimation(10))},
        {.path = "\\chars\\hero\\HERO.ANI", .data = Forge::WriteAnimation(MakeAnimation(11))},
        {.path = "\\chars\\hero\\empty.ani", .data = {}},
        {.path = "\\chars\\hero\\short.ani", .data = std::vector<uint8_t>(100, 1)},
    });
    Model::Skeleton skeleton;
    Model::ReadAnimation(game.Node("chars/hero/hero.ani"), skeleton);
    EXPECT_EQ(skeleton.version, 11u);
    EXPECT_EQ(skeleton.bones.size(), 3u);
    Model::ReadAnimation(game.Node("chars/hero/hero.ani.bak"), skeleton);
    EXPECT_EQ(skeleton.version, 10u);

    skeleton.animationNames = {"kept"};
    EXPECT_EQ(ErrorOf([&] { Model::ReadAnimation(game.Node("chars/hero/HERO.ANI"), skeleton); }),
              "not .ani file: HERO.ANI");
    EXPECT_EQ(ErrorOf([&] { Model::ReadAnimation(game.Node("chars/hero"), skeleton); }),
              "not .ani file: hero");
    EXPECT_EQ(ErrorOf([&] { Model::ReadAnimation(game.Node("chars/hero/empty.ani"), skeleton); }),
              "can't read .ani file: empty.ani");
    EXPECT_EQ(skeleton.animationNames, std::vector<std::string>{"kept"});
    EXPECT_EQ(ErrorOf([&] { Model::ReadAnimation(game.Node("chars/hero/short.ani"), skeleton); }),
              "not .ani file.");
    EXPECT_TRUE(skeleton.animationNames.empty());
}

}  // namespace
