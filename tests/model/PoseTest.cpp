// Posing and skinning checked against small skeletons worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <type_traits>

#include "GameFolder.h"
#include "model/object.h"
#include "model/pose.h"

namespace {

using Model::AnimTrack;
using Model::Bone;
using Model::CVellModel;
using Model::kNoBone;
using Model::Mesh;
using Model::RotationKey;
using Model::Skeleton;
using Model::SubMesh;
using Model::Vec3;
using Model::Vec4;
using Model::VectorKey;

constexpr float kTolerance = 1e-5f;
const float kHalfSqrt2 = std::sqrt(0.5f);
const Vec4 kQuarterTurnZ = {0, 0, kHalfSqrt2, kHalfSqrt2};  // 90° about z
constexpr Vec4 kNoTurn = {0, 0, 0, 1};
constexpr float kEighthTurn = std::numbers::pi_v<float> / 8;

template <std::size_t N>
void ExpectNear(const std::array<float, N>& actual,
                const std::type_identity_t<std::array<float, N>>& expected) {
    for (std::size_t i = 0; i < N; ++i) {
        EXPECT_NEAR(actual[i], expected[i], kTolerance) << "component " << i;
    }
}

using TestUtil::Translation;

AnimTrack Track(Vec3 position = {}, Vec4 rotation = kNoTurn, Vec3 scale = {1, 1, 1}) {
    return {.basePosition = position, .baseRotation = rotation, .baseScale = scale};
}

VectorKey VKey(uint16_t frame, Vec3 v) {
    return VectorKey{frame, {v[0], v[1], v[2]}};
}

RotationKey RKey(uint16_t frame, Vec4 q) {
    return RotationKey{frame, {q[0], q[1], q[2], q[3]}};
}

Bone MakeBone(const std::string& name, uint32_t parent, AnimTrack track) {
    return {.name = name, .tracks = {std::move(track)}, .parent = parent};
}

Bone Root(AnimTrack track) {
    return MakeBone("root", Model::kNoParent, std::move(track));
}

Skeleton MakeSkeleton(std::vector<Bone> bones) {
    Skeleton skeleton;
    for (std::size_t i = 0; i < bones.size(); ++i) {
        bones[i].index = static_cast<uint32_t>(i);
        skeleton.boneColors.push_back({static_cast<float>(i) / 4, 0.5f, 1});
    }
    skeleton.bones = std::move(bones);
    skeleton.boneCount = static_cast<uint32_t>(skeleton.bones.size());
    skeleton.animationCount = 1;
    skeleton.animationNames = {"walk"};
    skeleton.frameCounts = {20};
    return skeleton;
}

// A sub-mesh as the reader leaves it, with one influence list per vertex.
SubMesh MakeSubMesh(std::vector<Vec3> positions, std::vector<std::array<uint16_t, 4>> slots,
                    std::vector<Vec4> weights, std::vector<uint16_t> boneMap) {
    SubMesh s;
    s.name = "skin";
    s.positions = positions;
    s.normals.assign(positions.size(), {0, 0, 1});
    s.texCoords.assign(positions.size(), {0, 0});
    s.boneIndices = std::move(slots);
    s.boneWeights = std::move(weights);
    s.boneMap = std::move(boneMap);
    s.skinnedPositions = positions;
    s.colors.assign(positions.size(), {1, 1, 1});
    s.vertexMatrices.assign(positions.size(), Model::kIdentity);
    return s;
}

Mesh MakeMesh(std::vector<Model::MeshBone> bones, std::vector<SubMesh> subMeshes) {
    Mesh mesh;
    mesh.version = 11;
    mesh.bones = std::move(bones);
    mesh.boneCount = static_cast<uint32_t>(mesh.bones.size());
    mesh.subMeshes = std::move(subMeshes);
    mesh.boneToTrack.assign(mesh.bones.size(), 0);
    for (const auto& bone : mesh.bones) {
        mesh.bonePositions.push_back({-bone.matrix[12], -bone.matrix[13], -bone.matrix[14]});
    }
    return mesh;
}

// One vertex fully on mesh bone 0.
SubMesh OneVertex(Vec3 position) {
    return MakeSubMesh({position}, {{0, kNoBone, kNoBone, kNoBone}}, {{1, 0, 0, 0}}, {0});
}

// Poses the model at `frame` with the skeleton and slot-0 mesh given.
class PoseFixture : public ::testing::Test {
protected:
    void Pose(Skeleton skeleton, Mesh mesh, float frame, int32_t animation = 0) {
        Model::BindToSkeleton(mesh, skeleton);
        model.GetSkeleton() = std::move(skeleton);
        model.MeshAt(Model::kWholeModel) = std::move(mesh);
        model.Playback().animation = animation;
        model.Playback().currentFrame = frame;
        model.Pose();
    }
    const SubMesh& Posed(std::size_t slot = Model::kWholeModel) {
        return model.MeshAt(slot).subMeshes.at(0);
    }
    CVellModel model;
};

AnimTrack Keyed(std::vector<VectorKey> positionKeys, Vec3 base = {}) {
    AnimTrack track = Track(base);
    track.positionKeys = std::move(positionKeys);
    return track;
}

// One vertex on one mesh bone, posed by a small skeleton at one frame.
// `tweak` edits the mesh before it is bound; `animation` is the one played.
struct PoseCase {
    const char* name;
    std::vector<Bone> bones;
    Model::MeshBone meshBone;
    Vec3 vertex;
    float frame;
    Vec3 posed;
    std::function<void(Mesh&)> tweak = nullptr;
    int32_t animation = 0;
};

PoseCase Row(const char* name, std::vector<Bone> bones, Model::MeshBone meshBone, Vec3 vertex,
             float frame, Vec3 posed, std::function<void(Mesh&)> tweak = nullptr,
             int32_t animation = 0) {
    return {name, std::move(bones), std::move(meshBone), vertex, frame, posed, tweak, animation};
}

Bone MovedRoot() {
    return Root(Track({10, 0, 0}));
}

// Position keys 0 at frame 3 and 6 at frame 6 along x.
const std::vector<Bone> kThreeToSix = {Root(Keyed({VKey(3, {0, 0, 0}), VKey(6, {6, 0, 0})}))};

const Model::MeshBone kRootBone = {"root", Model::kIdentity};

// clang-format off
const std::vector<PoseCase> kPoses = {
    Row("TranslationKeysInterpolate", {Root(Keyed({VKey(0, {0, 0, 0}), VKey(10, {10, 0, 0})}))}, kRootBone, {1, 2, 3}, 5, {6, 2, 3}),
    Row("QuarterTurnAboutXTakesYToZ", {Root(Track({}, {kHalfSqrt2, 0, 0, kHalfSqrt2}))}, kRootBone, {0, 1, 0}, 0, {0, 0, 1}),
    Row("QuarterTurnAboutZTakesXToY", {Root(Track({}, kQuarterTurnZ))}, kRootBone, {1, 0, 0}, 0, {0, 1, 0}),
    // (1,0,0) scaled to (2,0,0), turned to (0,2,0), moved to (0,2,5).
    Row("ScaleThenRotateThenTranslate", {Root(Track({0, 0, 5}, kQuarterTurnZ, {2, 3, 4}))}, kRootBone, {1, 0, 0}, 0, {0, 2, 5}),
    // The child's offset (1,0,0) is turned by the parent to (0,1,0), then moved by (10,0,0).
    Row("ChildWorldIsLocalTimesParentWorld", {Root(Track({10, 0, 0}, kQuarterTurnZ)), MakeBone("hand", 0, Track({1, 0, 0}))}, {"hand", Model::kIdentity}, {0, 0, 0}, 0, {10, 1, 0}),
    Row("ParentListedAfterItsChildIsIdentity", {MakeBone("hand", 1, Track({1, 0, 0})), MovedRoot()}, {"hand", Model::kIdentity}, {0, 0, 0}, 0, {1, 0, 0}),
    // The bone rests at (10,0,0) and turns a quarter about z there.
    Row("InverseBindMatrixAppliesFirst", {Root(Track({10, 0, 0}, kQuarterTurnZ))}, {"root", Translation(-10, 0, 0)}, {11, 0, 0}, 0, {10, 1, 0}),
    Row("BetweenKeysTheWholeFrameKeyWins", kThreeToSix, kRootBone, {0, 0, 0}, 4.5f, {3, 0, 0}),
    Row("ExactKeyFrame", kThreeToSix, kRootBone, {0, 0, 0}, 3.5f, {0, 0, 0}),
    Row("LastKeyFrame", kThreeToSix, kRootBone, {0, 0, 0}, 6.2f, {6, 0, 0}),
    Row("PastTheLastKeyTheBaseValue", kThreeToSix, kRootBone, {0, 0, 0}, 7, {0, 0, 0}),
    Row("OneKeyKeepsTheBaseValue", {Root(Keyed({VKey(0, {5, 5, 5})}, {1, 1, 1}))}, kRootBone, {0, 0, 0}, 0, {1, 1, 1}),
    Row("MeshBoneUnknownToTheSkeletonIsIdentity", {MovedRoot()}, {"tail", Model::kIdentity}, {1, 0, 0}, 0, {1, 0, 0}),
    // An animation index left from a longer file: no track, identity.
    Row("AnimationMissingFromTheSkeletonIsIdentity", {MovedRoot()}, kRootBone, {1, 0, 0}, 0, {1, 0, 0}, nullptr, 3),
    Row("SubMeshWithoutBoneMapIsNotBlended", {MovedRoot()}, kRootBone, {1, 0, 0}, 0, {1, 0, 0}, [](Mesh& m) { m.subMeshes[0].boneMap.clear(); }),
    Row("MeshWithoutBonesKeepsItsPositions", {MovedRoot()}, kRootBone, {1, 0, 0}, 0, {4, 4, 4}, [](Mesh& m) { m = MakeMesh({}, m.subMeshes); m.subMeshes[0].skinnedPositions = {{4, 4, 4}}; }),
};
// clang-format on

TEST_F(PoseFixture, PoseTable) {
    for (const PoseCase& c : kPoses) {
        Mesh mesh = MakeMesh({c.meshBone}, {OneVertex(c.vertex)});
        if (c.tweak) {
            c.tweak(mesh);
        }
        Pose(MakeSkeleton(c.bones), std::move(mesh), c.frame, c.animation);
        SCOPED_TRACE(c.name);
        ExpectNear(Posed().skinnedPositions[0], c.posed);
        if (c.tweak) {  // nothing blended: the colour stays white
            ExpectNear(Posed().colors[0], {1, 1, 1});
        }
    }
}

TEST_F(PoseFixture, WeightsBelowOneShrinkTowardTheOriginAndBonelessShareStays) {
    Skeleton skeleton = MakeSkeleton({MovedRoot()});
    SubMesh s = MakeSubMesh({{2, 0, 0}, {2, 0, 0}},
                            {{0, kNoBone, kNoBone, kNoBone}, {0, kNoBone, kNoBone, kNoBone}},
                            {{0.5f, 0, 0, 0}, {0.5f, 0.5f, 0, 0}}, {0});
    Pose(std::move(skeleton), MakeMesh({{"root", Model::kIdentity}}, {s}), 0);
    // Half of the bone: (2 + 10) / 2. Half bone and half identity: (12 + 2) / 2.
    ExpectNear(Posed().skinnedPositions[0], {6, 0, 0});
    ExpectNear(Posed().skinnedPositions[1], {7, 0, 0});
    EXPECT_FLOAT_EQ(Posed().vertexMatrices[0][15], 0.5f);
    // Colours blend the same way, white for the influence without a bone.
    ExpectNear(Posed().colors[0], {0, 0.25f, 0.5f});
    ExpectNear(Posed().colors[1], {0.5f, 0.75f, 1});
}

TEST_F(PoseFixture, InfluencesPointingOutOfRangeCountAsIdentity) {
    Skeleton skeleton = MakeSkeleton({MovedRoot()});
    // Map entry 1 names mesh bone 5 of 2; mesh bone 1 has no boneToTrack entry; slot 4 is
    // past the bone map.
    SubMesh s = MakeSubMesh({{1, 0, 0}, {1, 0, 0}, {1, 0, 0}},
                            {{1, kNoBone, kNoBone, kNoBone},
                             {2, kNoBone, kNoBone, kNoBone},
                             {4, kNoBone, kNoBone, kNoBone}},
                            {{1, 0, 0, 0}, {1, 0, 0, 0}, {1, 0, 0, 0}}, {0, 5, 1, 1});
    Mesh mesh = MakeMesh({{"root", Model::kIdentity}, {"ghost", Model::kIdentity}}, {s});
    model.GetSkeleton() = skeleton;
    Model::BindToSkeleton(mesh, skeleton);
    mesh.boneToTrack.resize(1);
    model.MeshAt(0) = mesh;
    model.Pose();
    for (std::size_t v = 0; v < 3; ++v) {
        ExpectNear(Posed().skinnedPositions[v], {1, 0, 0});
    }
}

// The attachment follows its bone rigidly: no inverse bind matrix, no weights, (1,0,0)
// turned to (0,1,0) and moved by (0,5,0). Without a bone it keeps its positions; on a bone
// the skeleton lacks it rests where the bone's bind placement puts it. Reset, each rests
// at that placement.
TEST_F(PoseFixture, AttachmentFollowsItsBoneOrRestsAtItsBindPlacement) {
    const Bone box = MakeBone("~BoxBone01", 0, Track({0, 5, 0}, kQuarterTurnZ));
    const struct {
        std::vector<Bone> bones;
        std::vector<Model::MeshBone> swordBones;
        Vec3 posed, reset;
    } rows[] = {
        // clang-format off
        {{Root(Track()), box}, {{"~BoxBone01", Translation(100, 100, 100)}}, {0, 6, 0}, {-99, -100, -100}},
        {{Root(Track({0, 5, 0}))}, {}, {1, 0, 0}, {1, 0, 0}},
        {{Root(Track({0, 5, 0}))}, {{"~BoxBone01", Translation(-5, 0, 0)}}, {6, 0, 0}, {6, 0, 0}},
        // clang-format on
    };
    for (const auto& row : rows) {
        Skeleton skeleton = MakeSkeleton(row.bones);
        Mesh sword = MakeMesh(row.swordBones, {OneVertex({1, 0, 0})});
        Model::BindToSkeleton(sword, skeleton);
        model.MeshAt(Model::kAttachment) = sword;
        Pose(std::move(skeleton), MakeMesh({{"root", Model::kIdentity}}, {OneVertex({})}), 0);
        ExpectNear(Posed(Model::kAttachment).skinnedPositions[0], row.posed);
        model.MeshAt(Model::kAttachment).subMeshes[0].skinnedPositions = {{9, 9, 9}};
        model.ResetPose();
        ExpectNear(Posed(Model::kAttachment).skinnedPositions[0], row.reset);
    }
}

TEST_F(PoseFixture, ResetPoseReturnsToBindPositionsAndJoints) {
    Skeleton skeleton = MakeSkeleton({
        Root(Track({3, 0, 0})),
        MakeBone("unknown", 0, Track({0, 3, 0})),
    });
    Mesh sword = MakeMesh({}, {OneVertex({1, 0, 0})});
    sword.subMeshes[0].skinnedPositions = {{9, 9, 9}};
    model.MeshAt(Model::kAttachment) = sword;
    Pose(std::move(skeleton), MakeMesh({{"root", Translation(-2, -4, -6)}}, {OneVertex({1, 0, 0})}),
         0);
    model.Playback().stopped = false;
    ExpectNear(Posed().skinnedPositions[0], {2, -4, -6});

    model.ResetPose();
    EXPECT_TRUE(model.Playback().stopped);
    ExpectNear(Posed().skinnedPositions[0], {1, 0, 0});
    ExpectNear(Posed(Model::kAttachment).skinnedPositions[0], {1, 0, 0});
    const auto& bones = model.GetSkeleton().bones;
    EXPECT_EQ(bones[0].worldMatrix, Translation(2, 4, 6));
    EXPECT_EQ(bones[1].worldMatrix, Model::kIdentity);
    // The blended matrix stays as the last pose left it.
    EXPECT_FLOAT_EQ(Posed().vertexMatrices[0][12], 1);
}

TEST(BindToSkeleton, FirstBoneOfTheNameWinsAndEmptySkeletonChangesNothing) {
    Skeleton skeleton = MakeSkeleton({
        MakeBone("a", Model::kNoParent, Track()),
        MakeBone("b", 0, Track()),
        MakeBone("b", 0, Track()),
    });
    Mesh mesh = MakeMesh({{"b", Model::kIdentity}, {"A", Model::kIdentity}}, {});
    mesh.boneToTrack = {7, 7};
    Model::BindToSkeleton(mesh, Skeleton{});
    EXPECT_EQ(mesh.boneToTrack, (std::vector<uint16_t>{7, 7}));
    Model::BindToSkeleton(mesh, skeleton);
    EXPECT_EQ(mesh.boneToTrack, (std::vector<uint16_t>{1, kNoBone}));
}

TEST(KeyLookup, LaterPairsDecideWhenEarlierDoNot) {
    std::vector<VectorKey> keys = {VKey(0, {0, 0, 0}), VKey(2, {2, 0, 0}), VKey(4, {0, 8, 0})};
    ExpectNear(*Model::LookupVector(keys, 3), {1, 4, 0});
    ExpectNear(*Model::LookupVector(keys, 4), {0, 8, 0});
}

TEST(KeyLookup, RotationHalfwayIsTheHalfTurn) {
    std::vector<RotationKey> keys = {RKey(0, kNoTurn), RKey(10, kQuarterTurnZ)};
    const float s = std::sin(kEighthTurn), c = std::cos(kEighthTurn);
    ExpectNear(*Model::LookupRotation(keys, 5), {0, 0, s, c});
}

TEST(Slerp, OppositeSignNeighboursTakeTheShorterArc) {
    const Vec4 q = kQuarterTurnZ;
    const Vec4 minusQ = {-q[0], -q[1], -q[2], -q[3]};
    ExpectNear(Model::Slerp(q, minusQ, 0.5f), q);
    // Near-opposite keys turn a little, not most of the way round.
    const Vec4 slightlyOff = {0, 0, -kHalfSqrt2, -kHalfSqrt2 + 0.01f};
    const Vec4 r = Model::Slerp(q, slightlyOff, 0.5f);
    EXPECT_GT(r[2] * q[2] + r[3] * q[3], 0.99f);
}

// Nearly equal keys and a zero-length key blend linearly without renormalising; keys off
// unit length interpolate by the angle of their directions, their lengths carrying through.
TEST(Slerp, BlendsLikeTheGame) {
    const float s = std::sin(kEighthTurn), c = std::cos(kEighthTurn);
    const struct {
        Vec4 from, to;
        float t;
        Vec4 want;
    } rows[] = {
        {{0, 0, 0, 2}, {0, 0, 0, 4}, 0.25f, {0, 0, 0, 2.5f}},
        {{0, 0, 0, 0}, kNoTurn, 0.5f, {0, 0, 0, 0.5f}},
        {{0, 0, 0, 2}, {0, 0, 2 * kHalfSqrt2, 2 * kHalfSqrt2}, 0.5f, {0, 0, 2 * s, 2 * c}},
    };
    for (const auto& row : rows) {
        ExpectNear(Model::Slerp(row.from, row.to, row.t), row.want);
    }
}

}  // namespace

namespace {

// A bone without a track for the animation shows the mesh in its bind pose: animation 1 is
// past the arm's one track, or past every track.
TEST_F(PoseFixture, BoneWithoutATrackRestsAtItsBindPlacement) {
    for (const int32_t animation : {1, 5}) {
        Bone root = Root(Track());
        root.tracks.push_back(Track({10, 0, 0}));
        Skeleton skeleton = MakeSkeleton({root, MakeBone("arm", 0, Track({0, 7, 0}))});
        SubMesh s = MakeSubMesh({{1, 0, 0}, {1, 0, 0}},
                                {{0, kNoBone, kNoBone, kNoBone}, {1, kNoBone, kNoBone, kNoBone}},
                                {{1, 0, 0, 0}, {1, 0, 0, 0}}, {0, 1});
        Pose(skeleton,
             MakeMesh({{"root", Model::kIdentity}, {"arm", Translation(-2, -4, -6)}}, {s}), 0);
        model.Playback().animation = animation;
        model.Pose();
        ExpectNear(Posed().skinnedPositions[0], {animation == 1 ? 11.0f : 1.0f, 0, 0});
        ExpectNear(Posed().skinnedPositions[1], {1, 0, 0});
        EXPECT_EQ(model.GetSkeleton().bones[1].worldMatrix, Translation(2, 4, 6));
    }
}

// The "no bone" row stays apart from the bones when a mesh has more than 16 bits of them.
TEST_F(PoseFixture, NoBoneRowPastSixteenBitsOfBones) {
    std::vector<Model::MeshBone> bones(65536, {"spare", Model::kIdentity});
    bones[0].name = "root";
    SubMesh s =
        MakeSubMesh({{2, 0, 0}}, {{0, kNoBone, kNoBone, kNoBone}}, {{0.5f, 0.5f, 0, 0}}, {0});
    Pose(MakeSkeleton({MovedRoot()}), MakeMesh(std::move(bones), {s}), 0);
    ExpectNear(Posed().skinnedPositions[0], {7, 0, 0});
}

}  // namespace

namespace {

// The lit view's normals: the rotation of the same skinning as the positions, renormalised,
// kept only while lit; the normals the exports write stay as read.
TEST_F(PoseFixture, PosedNormalsTurnWithTheSkinningAndOnlyWhileLit) {
    Skeleton skeleton = MakeSkeleton({
        Root(Track({10, 0, 0}, kQuarterTurnZ, {2, 2, 2})),
        MakeBone("~BoxBone01", 0, Track({0, 5, 0})),
    });
    Mesh sword = MakeMesh({{"~BoxBone01", Model::kIdentity}}, {OneVertex({1, 0, 0})});
    sword.subMeshes[0].normals = {{1, 0, 0}};
    Model::BindToSkeleton(sword, skeleton);
    model.MeshAt(Model::kAttachment) = sword;
    Mesh body = MakeMesh({{"root", Model::kIdentity}}, {OneVertex({1, 0, 0})});
    body.subMeshes[0].normals = {{1, 0, 0}};
    Pose(std::move(skeleton), std::move(body), 0);
    EXPECT_TRUE(Posed().skinnedNormals.empty());

    model.SetLighting(true);
    struct NormalRow {
        const char* name;
        std::function<void()> step;
        Vec3 body;
        Vec3 sword;
    };
    const NormalRow rows[] = {
        {"lit", [] {}, {0, 1, 0}, {0, 1, 0}},
        {"posed again", [&] { model.Pose(); }, {0, 1, 0}, {0, 1, 0}},
        {"bind pose", [&] { model.ResetPose(); }, {1, 0, 0}, {1, 0, 0}},
    };
    for (const NormalRow& row : rows) {
        SCOPED_TRACE(row.name);
        row.step();
        ASSERT_EQ(Posed().skinnedNormals.size(), 1u);
        ExpectNear(Posed().skinnedNormals[0], row.body);
        ExpectNear(Posed(Model::kAttachment).skinnedNormals.at(0), row.sword);
        ExpectNear(Posed().normals[0], {1, 0, 0});
    }
    model.SetLighting(false);
    EXPECT_TRUE(Posed().skinnedNormals.empty());
    EXPECT_TRUE(Posed(Model::kAttachment).skinnedNormals.empty());
}

// The timeline's operations: a held frame stays held by the clock, within the animation's
// frames, and playing goes on from it; nothing happens while no animation is chosen.
TEST_F(PoseFixture, HeldFramesStayAndPlayingGoesOnFromThem) {
    uint32_t now = 0;
    model.SetClock([&] { return now; });
    Pose(MakeSkeleton({MakeBone("root", Model::kNoParent,
                                Keyed({VKey(0, {0, 0, 0}), VKey(19, {19, 0, 0})}))}),
         MakeMesh({{"root", Model::kIdentity}}, {OneVertex({0, 0, 0})}), 0);
    model.SetFrame(5);
    EXPECT_EQ(model.GetState().frame, -1);  // nothing chosen: nothing held
    model.PlayAnimation(1);
    const auto tick = [&](uint32_t ms) {
        now += ms;
        model.Update();
    };
    struct HoldRow {
        const char* name;
        std::function<void()> step;
        int frame;
        bool paused;
    };
    const HoldRow rows[] = {
        {"played 100 ms", [&] { tick(100); }, 6, false},
        {"paused", [&] { model.Pause(true); }, 6, true},
        {"a second later", [&] { tick(1000); }, 6, true},
        {"held at 12", [&] { model.SetFrame(12); }, 12, true},
        {"past the last", [&] { model.SetFrame(50); }, 19, true},
        {"before the first", [&] { model.SetFrame(-3); }, 0, true},
        {"speed 0 keeps it held", [&] { model.SetSpeed(0); }, 0, true},
        {"played on",
         [&] {
             model.SetSpeed(60);
             model.SetFrame(12);
             model.Pause(false);
             tick(50);
         },
         15, false},
    };
    for (const HoldRow& row : rows) {
        SCOPED_TRACE(row.name);
        row.step();
        EXPECT_EQ(model.GetState().frame, row.frame);
        EXPECT_EQ(model.GetState().paused, row.paused);
    }
    model.SetFrame(7);
    ExpectNear(Posed().skinnedPositions[0], {7, 0, 0});
    model.PlayAnimation(0);
    EXPECT_FALSE(model.GetState().paused);
    model.SetFrame(3);
    EXPECT_EQ(model.GetState().frame, -1);
}

}  // namespace
