// The model object on archives made by the writers: slot choice, loads that fail, the
// attachment, playback and the queries of the shell.
#include <gtest/gtest.h>

#include "GameFolder.h"
#include "forge/model.h"
#include "forge/scene.h"
#include "model/object.h"

namespace {

using Model::CVellModel;
using Model::PlaybackState;
using TestUtil::ErrorOf;

constexpr char kHero[] = "\\chars\\hero\\";
constexpr char kParts[] = "\\chars\\hero\\parts\\";

// A part at `folder + skinName`: forge's small character, a square of side 2 x size about
// the origin, its one sub-mesh and its mesh file named after `subMesh`, on `bones`.
std::vector<Forge::PakFile> Part(const std::string& folder, const std::string& skinName,
                                 const std::string& subMesh,
                                 std::vector<Forge::MeshBoneDesc> bones = {{"root"}},
                                 float size = 1) {
    SceneFiles::Scene scene;
    scene.patches = {{.x0 = -size, .y0 = -size, .x1 = size, .y1 = size}};
    Forge::MeshDesc mesh = SceneFiles::MeshOf(scene);
    mesh.subMeshes[0].name = subMesh;
    mesh.bones = std::move(bones);
    Forge::SkinDesc skin = SceneFiles::SkinOf(scene);
    skin.meshName = subMesh + ".msh";
    return {{folder + skinName, Forge::WriteSkin(skin)},
            {folder + skin.meshName, Forge::WriteMesh(mesh)}};
}

// Bones "root" and "~BoxBone01"; animation "walk" of 10 frames moves root from x 0 to 9,
// "wave" has 4 frames.
std::vector<uint8_t> Animation() {
    Forge::AnimationDesc ani{.animationNames = {"walk", "wave"}, .frameCounts = {10, 4}};
    const Forge::TrackDesc walk{.positionKeys = {{0, {0, 0, 0}}, {9, {9, 0, 0}}}};
    const Forge::TrackDesc still;
    ani.bones = {{"root", "", {walk, still}}, {"~BoxBone01", "root", {still, still}}};
    return Forge::WriteAnimation(ani);
}

std::vector<Forge::PakFile> GameFiles() {
    std::vector<Forge::PakFile> files;
    auto add = [&](std::vector<Forge::PakFile> more) {
        files.insert(files.end(), more.begin(), more.end());
    };
    add(Part(kHero, "hero.skn", "whole", {{"root"}}, 5));
    add(Part(kParts, "hero_body.skn", "body"));
    add(Part(kParts, "legboots.skn", "boots"));
    add(Part(kParts, "hairhead.skn", "hair"));
    add(Part(kParts, "head.skn.old", "head"));
    add(Part(kParts, "helmet_head.skn", "helmethead"));
    add(Part(kParts, "plain.skn", "plain"));
    add(Part(kParts, "costume.skn", "costume",
             {{"root"}, {"~BoxBone01", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}}}));
    add(Part("\\chars\\hero\\Parts\\", "body.skn", "capsbody"));
    add(Part(kHero, "sword.skn", "sword", {{"blade"}}));
    files.push_back({std::string(kHero) + "broken.skn", Forge::WriteSkin([] {
                         Forge::SkinDesc s;
                         s.meshName = "nowhere.msh";
                         return s;
                     }())});
    files.push_back({std::string(kHero) + "hero.ani", Animation()});
    files.push_back({std::string(kHero) + "short.ani", Forge::Bytes("short")});
    files.push_back({std::string(kHero) + "hero.msh.bak", Forge::Bytes("x")});
    return files;
}

class ModelObject : public ::testing::Test {
protected:
    ModelObject() : game(GameFiles()) {}
    PakMgr::ITreeNode* Node(const std::string& path) {
        PakMgr::ITreeNode* node = game.Node(path);
        EXPECT_NE(node, nullptr) << path;
        return node;
    }
    bool Load(const std::string& path) { return model.Load(Node(path)); }
    std::string SlotName(std::size_t slot) {
        const auto& subs = model.MeshAt(slot).subMeshes;
        return subs.empty() ? "" : subs[0].name;
    }

    TestUtil::Game game;
    CVellModel model;
};

// Slot 0 is the whole model.
TEST(ChooseSlot, FolderMustBeExactlyPartsAndKeywordsAreTestedInSlotOrder) {
    const struct {
        const char *skin, *folder;
        std::size_t slot;
    } rows[] = {
        {"x_body.skn", "parts", 1},      {"x_body.skn", "Parts", 0},   {"x_body.skn", "parts2", 0},
        {"x_body.skn", "", 0},           {"legboots.skn", "parts", 2}, {"hairhead.skn", "parts", 4},
        {"helmet_head.skn", "parts", 5}, {"glove.skn", "parts", 3},    {"leg.skn", "parts", 6},
        {"helmet.skn", "parts", 7},      {"costume.skn", "parts", 8},  {"BODY.skn", "parts", 0},
        {"cape.skn", "parts", 0}};
    for (const auto& row : rows) {
        EXPECT_EQ(Model::ChooseSlot(row.skin, row.folder), row.slot) << row.skin << row.folder;
    }
}

TEST_F(ModelObject, WholeModelAndPartsGoToTheirSlots) {
    EXPECT_FALSE(Load("chars/hero/hero.skn"));
    EXPECT_EQ(SlotName(0), "whole");
    EXPECT_TRUE(Load("chars/hero/parts/legboots.skn"));
    EXPECT_EQ(SlotName(2), "boots");
    EXPECT_TRUE(Load("chars/hero/parts/hairhead.skn"));
    EXPECT_EQ(SlotName(4), "hair");
    EXPECT_TRUE(Load("chars/hero/parts/head.skn.old"));  // ".skn" in the middle
    EXPECT_EQ(SlotName(5), "head");
    EXPECT_EQ(TestUtil::SubMeshesOf(model), (std::vector<std::string>{"boots", "hair", "head"}));
    EXPECT_FALSE(Load("chars/hero/Parts/body.skn"));
    EXPECT_FALSE(Load("chars/hero/parts/plain.skn"));
    EXPECT_EQ(TestUtil::SubMeshesOf(model), (std::vector<std::string>{"plain"}));
}

TEST_F(ModelObject, PartRemovesWholeModelButKeepsItsBox) {
    const auto box = [&] {
        std::vector<float> minMax(6);
        model.GetBoundingBox(minMax.data(), minMax.data() + 3);
        return minMax;
    };
    EXPECT_EQ(box(), (std::vector<float>{10, 10, 10, -10, -10, -10}));
    Load("chars/hero/hero.skn");
    Load("chars/hero/parts/hero_body.skn");
    EXPECT_EQ(TestUtil::SubMeshesOf(model), (std::vector<std::string>{"body"}));
    EXPECT_EQ(box(), (std::vector<float>{-5, -5, 0, 5, 5, 0}));
}

TEST_F(ModelObject, WholeModelRemovesPartsAttachmentAndSkeleton) {
    Load("chars/hero/parts/hero_body.skn");
    Load("chars/hero/parts/costume.skn");
    model.LoadAttachment(Node("chars/hero/sword.skn"));
    model.LoadAnimation(Node("chars/hero/hero.ani"));
    model.PlayAnimation(1);
    EXPECT_FALSE(Load("chars/hero/hero.skn"));
    EXPECT_EQ(TestUtil::SubMeshesOf(model), (std::vector<std::string>{"whole"}));
    EXPECT_TRUE(model.GetSkeleton().bones.empty());
    EXPECT_TRUE(model.Playback().stopped);
    EXPECT_TRUE(TestUtil::AnimationsOf(model).empty());
}

TEST_F(ModelObject, FailedLoadsLeaveTheModelAsItWas) {
    Load("chars/hero/parts/hero_body.skn");
    EXPECT_EQ(ErrorOf([&] { model.Load(nullptr); }), "empty node.");
    EXPECT_EQ(ErrorOf([&] { Load("chars/hero/hero.msh.bak"); }), "not .skn file: hero.msh.bak");
    EXPECT_EQ(ErrorOf([&] { Load("chars/hero/broken.skn"); }), "can't read .msh file: nowhere.msh");
    EXPECT_EQ(ErrorOf([&] { model.LoadAttachment(Node("chars/hero/broken.skn")); }),
              "can't read .msh file: nowhere.msh");
    EXPECT_EQ(TestUtil::SubMeshesOf(model), (std::vector<std::string>{"body"}));

    model.LoadAnimation(Node("chars/hero/hero.ani"));
    const auto bound = model.MeshAt(1).boneToTrack;
    EXPECT_EQ(ErrorOf([&] { model.LoadAnimation(Node("chars/hero/short.ani")); }),
              "not .ani file.");
    EXPECT_EQ(model.GetSkeleton().bones.size(), 2u);
    EXPECT_EQ(model.MeshAt(1).boneToTrack, bound);
    model.LoadAnimation(nullptr);
    EXPECT_EQ(model.GetSkeleton().bones.size(), 2u);
}

TEST_F(ModelObject, AnimationBindsEveryPartAndPartsLoadedLaterBindAtOnce) {
    Load("chars/hero/parts/hero_body.skn");
    model.LoadAnimation(Node("chars/hero/hero.ani"));
    EXPECT_EQ(model.MeshAt(1).boneToTrack, std::vector<uint16_t>{0});
    Load("chars/hero/parts/costume.skn");
    EXPECT_EQ(model.MeshAt(8).boneToTrack, (std::vector<uint16_t>{0, 1}));
    EXPECT_EQ(TestUtil::AnimationsOf(model), (std::vector<std::string>{"walk", "wave"}));
}

TEST_F(ModelObject, AttachmentHangsOnTheFirstPartWithBoxBone) {
    Load("chars/hero/parts/hero_body.skn");
    Load("chars/hero/parts/costume.skn");
    EXPECT_TRUE(model.LoadAttachment(Node("chars/hero/sword.skn")));
    const Model::Mesh& sword = model.MeshAt(Model::kAttachment);
    ASSERT_EQ(sword.bones.size(), 1u);
    EXPECT_EQ(sword.bones[0].name, "~BoxBone01");
    EXPECT_EQ(sword.bones[0].matrix[12], 1);
    EXPECT_EQ(sword.bones[0].matrix[14], 3);
    EXPECT_TRUE(model.IsEmpty() == false);
    // Before any animation it rests where its bone's bind placement puts it.
    EXPECT_EQ(sword.subMeshes[0].skinnedPositions[0], (Model::Vec3{-2, -3, -3}));

    // Once a skeleton is there the sword moves rigidly with that bone.
    model.LoadAnimation(Node("chars/hero/hero.ani"));
    EXPECT_EQ(model.MeshAt(Model::kAttachment).boneToTrack, std::vector<uint16_t>{1});
    model.PlayAnimation(1);
    model.PoseAt(4);
    const auto& posed = model.MeshAt(Model::kAttachment).subMeshes[0].skinnedPositions;
    EXPECT_FLOAT_EQ(posed[0][0], 3);  // (-1,-1,0) moved by root's (4,0,0)
    EXPECT_EQ(TestUtil::SubMeshesOf(model), (std::vector<std::string>{"body", "costume", "sword"}));
}

// Alone an attachment leaves the model empty; on a model without ~BoxBone01 it has no bone.
TEST_F(ModelObject, AttachmentAloneLeavesTheModelEmptyAndWithoutBoxBoneHasNoBone) {
    model.LoadAttachment(Node("chars/hero/sword.skn"));
    EXPECT_TRUE(model.IsEmpty());
    Load("chars/hero/hero.skn");
    model.LoadAttachment(Node("chars/hero/sword.skn"));
    EXPECT_TRUE(model.MeshAt(Model::kAttachment).bones.empty());
}

TEST_F(ModelObject, SubMeshVisibilityRunsOverAllSlots) {
    Load("chars/hero/parts/hero_body.skn");
    Load("chars/hero/parts/costume.skn");
    model.LoadAttachment(Node("chars/hero/sword.skn"));
    model.SetSubMeshVisible(2, false);
    model.SetSubMeshVisible(3, false);  // past the end: nothing
    EXPECT_TRUE(model.MeshAt(1).subMeshes[0].visible);
    EXPECT_TRUE(model.MeshAt(8).subMeshes[0].visible);
    EXPECT_FALSE(model.MeshAt(9).subMeshes[0].visible);
    model.SetSubMeshVisible(2, true);
    EXPECT_TRUE(model.MeshAt(9).subMeshes[0].visible);
}

TEST_F(ModelObject, PlayingPosesOnlyWhenTheIntegerFrameChanges) {
    Load("chars/hero/parts/hero_body.skn");
    model.LoadAnimation(Node("chars/hero/hero.ani"));
    uint32_t tick = 5000;
    model.SetClock([&] { return tick; });
    model.Update();  // the clock's first reading
    model.PlayAnimation(1);
    const auto& posed = model.MeshAt(1).subMeshes[0].skinnedPositions;
    EXPECT_FLOAT_EQ(posed[0][0], -1);  // nothing posed yet

    // 10 ms a tick: at 0.6 frames nothing posed, at 1.2 posed there, at 1.8 the same frame.
    for (const auto& [frame, x] : {std::pair{0.6f, -1.0f}, {1.2f, 0.2f}, {1.8f, 0.2f}}) {
        tick += 10;
        model.Update();
        EXPECT_NEAR(model.Playback().currentFrame, frame, 1e-4);
        EXPECT_NEAR(posed[0][0], x, 1e-4) << frame;
    }
}

TEST_F(ModelObject, ClockWrapStillAdvancesByTheElapsedTime) {
    uint32_t tick = 0xFFFFFFF0u;
    model.SetClock([&] { return tick; });
    model.Update();
    model.Playback() = PlaybackState{};
    model.Playback().stopped = false;
    model.Playback().lastFrame = 100;
    tick = 0x10;  // 32 ms later, across the wrap
    model.Update();
    EXPECT_NEAR(model.Playback().currentFrame, 1.92f, 1e-4);
}

TEST_F(ModelObject, PlayAnimationOutOfRangeReturnsToBindPose) {
    Load("chars/hero/parts/hero_body.skn");
    model.LoadAnimation(Node("chars/hero/hero.ani"));
    model.PlayAnimation(2);
    EXPECT_EQ(model.Playback().lastFrame, 3);
    EXPECT_EQ(model.Playback().animation, 1);
    EXPECT_FALSE(model.Playback().stopped);
    model.PlayAnimation(1);
    model.PoseAt(5);
    EXPECT_FLOAT_EQ(model.MeshAt(1).subMeshes[0].skinnedPositions[0][0], 4);
    // Speed 0 holds the frame: the viewer still shows it.
    model.SetSpeed(0);
    EXPECT_EQ(model.GetState().frame, 5);
    model.PlayAnimation(3);
    EXPECT_TRUE(model.Playback().stopped);
    EXPECT_EQ(model.GetState().frame, -1);
    EXPECT_FLOAT_EQ(model.MeshAt(1).subMeshes[0].skinnedPositions[0][0], -1);
    model.PlayAnimation(1);
    model.PlayAnimation(0);
    EXPECT_TRUE(model.Playback().stopped);
}

TEST_F(ModelObject, FrameCountFollowsTheExportStep) {
    EXPECT_EQ(model.GetFrameCount(1), 0u);  // no animation
    Load("chars/hero/hero.skn");
    model.LoadAnimation(Node("chars/hero/hero.ani"));
    model.PlayAnimation(1);
    EXPECT_EQ(model.GetFrameCount(0), 0u);
    EXPECT_EQ(model.GetFrameCount(3), 0u);
    EXPECT_EQ(model.GetFrameCount(1), 10u);
    EXPECT_EQ(model.GetFrameCount(2), 10u);  // the playing animation's, whatever the index
}

TEST(Playback, StepWrapsToTheStartWhateverTheOvershootAndSpeedZeroPauses) {
    PlaybackState p;
    p.stopped = false;
    p.lastFrame = 9;
    p.currentFrame = 7.5f;
    EXPECT_TRUE(Model::PlaybackStep(p, 1.0f / 60));
    EXPECT_FLOAT_EQ(p.currentFrame, 8.5f);
    EXPECT_TRUE(Model::PlaybackStep(p, 1.0f / 60));  // 9.5 is past the last frame
    EXPECT_FLOAT_EQ(p.currentFrame, 0);
    p.currentFrame = 8.5f;
    EXPECT_TRUE(Model::PlaybackStep(p, 2.0f));
    EXPECT_FLOAT_EQ(p.currentFrame, 0);
    EXPECT_FALSE(Model::PlaybackStep(p, 0.001f));
    EXPECT_FLOAT_EQ(p.currentFrame, 0.06f);
    // Speed 0 pauses where it is, any other speed resumes from there.
    Model::ApplySpeed(p, 0);
    EXPECT_TRUE(p.stopped);
    EXPECT_FALSE(Model::PlaybackStep(p, 10));
    EXPECT_FLOAT_EQ(p.currentFrame, 0.06f);
    Model::ApplySpeed(p, 60);
    EXPECT_FALSE(p.stopped);
    EXPECT_FLOAT_EQ(p.currentFrame, 0.06f);
}

// The export step grows by one for every six frames per second above sixty; the frames
// exported run from 0 by the step, with the last frame always among them.
TEST(Playback, ExportStepGrowsAboveSixtyFramesPerSecond) {
    const struct { float speed, step; } steps[] = {{120, 10}, {66, 1}, {72, 2}, {30, 1}, {-200, 1}};
    for (const auto& row : steps) {
        PlaybackState p;
        Model::ApplySpeed(p, row.speed);
        EXPECT_FLOAT_EQ(p.frameStep, row.step) << row.speed;
        EXPECT_FALSE(p.stopped) << row.speed;
    }
    // lastFrame -1 is an animation of 0 frames; 0 with step 1 is before any animation.
    const struct {
        int32_t lastFrame;
        float step;
        unsigned frames;
    } counts[] = {{0, 1, 1}, {9, 1, 10}, {9, 4, 4}, {9, 20, 2}, {-1, 20, 2}};
    for (const auto& row : counts) {
        PlaybackState p;
        p.lastFrame = row.lastFrame;
        p.frameStep = row.step;
        EXPECT_EQ(Model::ExportFrameCount(p), row.frames) << row.lastFrame << " " << row.step;
    }
    // At these speeds a step one float apart writes another number of frames: the step is
    // (f - 60) x 10 / 60 in float, in that order.
    const struct {
        float speed;
        int32_t lastFrame;
        unsigned frames;
    } rounding[] = {{67, 7, 8},    {74, 14, 8},   {83, 46, 14}, {85, 25, 8}, {91, 31, 8},
                    {103, 86, 14}, {106, 92, 14}, {110, 50, 8}, {119, 59, 8}};
    for (const auto& row : rounding) {
        PlaybackState p;
        p.lastFrame = row.lastFrame;
        Model::ApplySpeed(p, row.speed);
        EXPECT_EQ(Model::ExportFrameCount(p), row.frames) << row.speed;
    }
}

TEST(Playback, HugeFrameCountEnds) {
    // Float frames stop growing by 1 at 2^24; the count must still end.
    PlaybackState p;
    p.lastFrame = INT32_MAX - 1;
    EXPECT_GT(Model::ExportFrameCount(p), 1u << 24);
}

}  // namespace
