// Animations edited in the glTF go back into the .ani files beside the skin: a keyed pose
// changes only its bone's track of its animation, at every frame of the animation's length; a
// new action is added to the file; what can't be placed is left out and said.
#include <cmath>

#include "ImportFixture.h"
#include "model/pose.h"
#include "model/records.h"

namespace {

using namespace ImportTest;
using TestUtil::Glb;

constexpr char kHeroAni[] = "chars/hero/hero.ani";     // version 11: idle, walk, wave
constexpr char kBowAni[] = "chars/hero/hero_bow.ani";  // version 10: bow
constexpr char kArm[] = "Bip01 L UpperArm";
// A turn about x in the glTF's frame, and the frame it is keyed at.
constexpr float kTurn[4] = {0.342f, 0, 0, 0.940f};
constexpr std::size_t kKey = 20;

Model::Skeleton ReadSkeleton(const std::vector<uint8_t>& bytes) {
    Model::Skeleton skeleton;
    PakMgr::CMemoryRead read(bytes.data(), static_cast<uint32_t>(bytes.size()));
    Model::ReadAnimation(read, skeleton);
    return skeleton;
}

nlohmann::json& AnimationNamed(Glb& glb, const std::string& name) {
    for (auto& animation : glb.json["animations"]) {
        if (animation["name"] == name) {
            return animation;
        }
    }
    throw std::runtime_error("no animation " + name);
}

int NodeNamed(const Glb& glb, const std::string& name) {
    for (std::size_t n = 0; n < glb.json["nodes"].size(); ++n) {
        if (glb.json["nodes"][n].value("name", "") == name) {
            return static_cast<int>(n);
        }
    }
    throw std::runtime_error("no node " + name);
}

// The sampler of the arm's rotations in an animation.
nlohmann::json& ArmSampler(Glb& glb, const std::string& animation) {
    nlohmann::json& a = AnimationNamed(glb, animation);
    for (auto& channel : a["channels"]) {
        if (channel["target"]["node"] == NodeNamed(glb, kArm) &&
            channel["target"]["path"] == "rotation") {
            return a["samplers"][channel["sampler"].get<int>()];
        }
    }
    throw std::runtime_error("no rotation of the arm in " + animation);
}

// The accessor `key` of the sampler copied onto a view of its own, so that an edit touches
// nothing else; its first element.
float* OwnCopy(Glb& glb, nlohmann::json& sampler, const char* key, int components,
               const char* type) {
    const int accessor = sampler[key];
    std::vector<float> values(glb.Count(accessor) * static_cast<std::size_t>(components));
    std::copy_n(glb.At<float>(accessor), values.size(), values.begin());
    sampler[key] = glb.Add(TestUtil::BytesOf(values), 5126, type, glb.Count(accessor));
    return glb.At<float>(sampler[key]);
}

float* ArmRotation(Glb& glb, const std::string& animation) {
    return OwnCopy(glb, ArmSampler(glb, animation), "output", 4, "VEC4");
}

struct Keyed {
    const char* name;
    Source source;
    std::string animation;  // the glTF's name
    std::string file;       // the file it goes back into
    std::size_t index;      // in that file
};

void PrintTo(const Keyed& k, std::ostream* os) {
    *os << k.name;
}

const Keyed kKeyed[] = {
    {"Version11", {.ani = kHeroAni}, "walk", kHeroAni, 1},
    {"Version10", {.ani = kBowAni}, "bow", kBowAni, 0},
    // Two files: the export names each animation after its file.
    {"SecondOfTwoFiles", {.ani = kHeroAni, .moreAni = kBowAni}, "hero_bow/bow", kBowAni, 0},
};

class KeyedPose : public ::testing::TestWithParam<Keyed> {};

// The arm turned at one key: only the arm's rotations of that animation change, every frame
// keyed, the turn back in the game's frame within the file's precision.
TEST_P(KeyedPose, ChangesOnlyItsBonesTrack) {
    const Keyed& row = GetParam();
    Glb glb = ExportedGlb(row.source);
    float* q = ArmRotation(glb, row.animation);
    std::copy_n(kTurn, 4, q + 4 * kKey);
    const Import::ImportPlan plan = Plan(glb.Bytes(), row.source);
    ASSERT_EQ(Paths(plan), std::vector<std::string>{row.file});
    // The writer gives the base file back whole: nothing of it is lost, nothing to say.
    EXPECT_TRUE(plan.limits.empty()) << plan.limits.front();
    const Model::Skeleton base = ReadSkeleton(ArchiveBytes(row.file));
    const Model::Skeleton made = ReadSkeleton(plan.files[0].bytes);
    ASSERT_EQ(made.bones.size(), base.bones.size());
    EXPECT_EQ(made.frameCounts, base.frameCounts);
    EXPECT_EQ(made.animationNames, base.animationNames);
    for (std::size_t j = 0; j < base.bones.size(); ++j) {
        for (std::size_t a = 0; a < base.bones[j].tracks.size(); ++a) {
            const Model::AnimTrack& before = base.bones[j].tracks[a];
            const Model::AnimTrack& after = made.bones[j].tracks[a];
            EXPECT_EQ(after.positionKeys.size(), before.positionKeys.size());
            EXPECT_EQ(after.scaleKeys.size(), before.scaleKeys.size());
            if (base.bones[j].name != kArm || a != row.index) {
                EXPECT_EQ(after.rotationKeys.size(), before.rotationKeys.size())
                    << base.bones[j].name << " " << a;
                continue;
            }
            ASSERT_EQ(after.rotationKeys.size(), base.frameCounts[a]);
            const Model::Vec4 turned =
                Model::LookupRotation(after.rotationKeys, float(kKey)).value();
            const float sign = turned[3] < 0 ? -1.0f : 1.0f;
            const float game[4] = {-kTurn[0], -kTurn[1], kTurn[2], kTurn[3]};
            const float length = std::hypot(kTurn[0], kTurn[3]);
            for (std::size_t c = 0; c < 4; ++c) {
                EXPECT_NEAR(sign * turned[c], game[c] / length, 1.0 / 32767) << c;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Import, KeyedPose, ::testing::ValuesIn(kKeyed),
                         [](const auto& info) { return std::string(info.param.name); });

// An action the file lacks is added after the file's own, as long as the glTF says, each
// bone posed as the glTF poses it.
TEST(NewAction, IsAddedToTheFile) {
    Glb glb = ExportedGlb({.ani = kHeroAni});
    nlohmann::json dance = AnimationNamed(glb, "walk");
    dance["name"] = "dance";
    glb.json["animations"].push_back(dance);
    const Import::ImportPlan plan = Plan(glb.Bytes(), {.ani = kHeroAni});
    ASSERT_EQ(Paths(plan), std::vector<std::string>{kHeroAni});
    const Model::Skeleton base = ReadSkeleton(ArchiveBytes(kHeroAni));
    const Model::Skeleton made = ReadSkeleton(plan.files[0].bytes);
    ASSERT_EQ(made.animationNames.size(), base.animationNames.size() + 1);
    EXPECT_EQ(made.animationNames.back(), "dance");
    EXPECT_EQ(made.frameCounts.back(), base.frameCounts[1]);  // walk's 40 frames
    for (std::size_t j = 0; j < base.bones.size(); ++j) {
        const Model::AnimTrack& walk = base.bones[j].tracks[1];
        const Model::AnimTrack& added = made.bones[j].tracks.back();
        for (uint32_t f = 0; f < base.frameCounts[1]; f += 7) {
            const auto ours =
                Model::LookupRotation(added.rotationKeys, float(f)).value_or(added.baseRotation);
            const auto theirs =
                Model::LookupRotation(walk.rotationKeys, float(f)).value_or(walk.baseRotation);
            const float dot = ours[0] * theirs[0] + ours[1] * theirs[1] + ours[2] * theirs[2] +
                              ours[3] * theirs[3];
            EXPECT_NEAR(std::abs(dot), 1.0f, 1e-4f) << base.bones[j].name << " frame " << f;
        }
    }
}

struct Unplaced {
    const char* name;
    std::string rename;  // the walk's new name in the glTF
    std::string limit;   // what the plan says
};

void PrintTo(const Unplaced& u, std::ostream* os) {
    *os << u.name;
}

const Unplaced kUnplaced[] = {
    {"NoSuchFile", "villain/walk", "animation villain/walk: no villain.ani to put it in"},
};

class UnplacedAction : public ::testing::TestWithParam<Unplaced> {};

TEST_P(UnplacedAction, IsLeftOutAndSaid) {
    Glb glb = ExportedGlb({.ani = kHeroAni});
    AnimationNamed(glb, "walk")["name"] = GetParam().rename;
    const Import::ImportPlan plan = Plan(glb.Bytes(), {.ani = kHeroAni});
    EXPECT_TRUE(plan.files.empty());
    ASSERT_EQ(plan.limits.size(), 1u);
    EXPECT_EQ(plan.limits[0].rfind(GetParam().limit, 0), 0u) << plan.limits[0];
}

INSTANTIATE_TEST_SUITE_P(Import, UnplacedAction, ::testing::ValuesIn(kUnplaced),
                         [](const auto& info) { return std::string(info.param.name); });

struct BadAnimation {
    const char* name;
    void (*spoil)(Glb&);
    ErrorKind kind;
    std::string message;  // the start of it
};

void PrintTo(const BadAnimation& b, std::ostream* os) {
    *os << b.name;
}

// The times of the walk's arm rotations.
float* WalkTimes(Glb& glb) {
    return OwnCopy(glb, ArmSampler(glb, "walk"), "input", 1, "SCALAR");
}

const BadAnimation kBad[] = {
    {"TimesGoBack", [](Glb& glb) { WalkTimes(glb)[2] = 0; }, ErrorKind::Corrupt,
     "animation walk: key times that don't increase"},
    {"SamplerPastTheList",
     [](Glb& glb) { AnimationNamed(glb, "walk")["channels"][0]["sampler"] = 999; },
     ErrorKind::Corrupt, "animation walk: a channel without a sampler"},
    {"NewActionTooLong",
     [](Glb& glb) {
         float* times = WalkTimes(glb);
         times[glb.Count(ArmSampler(glb, "walk")["input"]) - 1] = 2000;
         nlohmann::json dance = AnimationNamed(glb, "walk");
         dance["name"] = "dance";
         glb.json["animations"].push_back(dance);
     },
     ErrorKind::Input, "hero.ani: dance lasts 120001 frames"},
};

class BadGltfAnimation : public ::testing::TestWithParam<BadAnimation> {};

TEST_P(BadGltfAnimation, IsRefusedWithItsReason) {
    Glb glb = ExportedGlb({.ani = kHeroAni});
    GetParam().spoil(glb);
    try {
        Plan(glb.Bytes(), {.ani = kHeroAni});
        ADD_FAILURE() << "no failure";
    } catch (const Except& e) {
        EXPECT_EQ(e.Kind(), GetParam().kind);
        EXPECT_EQ(e.Message().rfind(GetParam().message, 0), 0u) << e.Message();
    }
}

INSTANTIATE_TEST_SUITE_P(Import, BadGltfAnimation, ::testing::ValuesIn(kBad),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
