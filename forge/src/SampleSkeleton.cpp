// The sample character's skeleton of 30 bones and its animations, keyed from functions of
// the frame.
#include <functional>
#include <numbers>

#include "SampleCharacter.h"

namespace Forge::SampleBuild {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

Vec3 Mirror(Vec3 v) {
    return {-v[0], v[1], v[2]};
}

std::array<BoneDef, kBoneTotal> MakeBones() {
    std::array<BoneDef, kBoneTotal> b{};
    b[kRoot] = {"Bip01", kNoParent, {0, 96, 0}, {0, 96, 0}};
    b[kFootsteps] = {"Bip01 Footsteps", kNoParent, {0, 0, 0}, {0, 0, 0}};
    b[kPelvis] = {"Bip01 Pelvis", kRoot, {0, 96, 0}, {0, 84, 0}};
    b[kSpine] = {"Bip01 Spine", kPelvis, {0, 104, 0}, {0, 118, 0}};
    b[kSpine1] = {"Bip01 Spine1", kSpine, {0, 118, 0}, {0, 132, 0}};
    b[kSpine2] = {"Bip01 Spine2", kSpine1, {0, 132, 0}, {0, 148, 0}};
    b[kNeck] = {"Bip01 Neck", kSpine2, {0, 148, 0}, {0, 156, 0}};
    b[kHead] = {"Bip01 Head", kNeck, {0, 156, 0}, {0, 176, 0}};
    b[kHeadNub] = {"Bip01 HeadNub", kHead, {0, 181, 0}, {0, 181, 0}};
    b[kPonytail1] = {"Bip01 Ponytail1", kHead, {0, 170, 10}, {0, 152, 13}};
    b[kPonytail2] = {"Bip01 Ponytail2", kPonytail1, {0, 152, 13}, {0, 132, 14}};
    const BoneDef left[] = {
        {"Bip01 L Clavicle", kSpine2, {2, 146, 0}, {16, 145, 0}},
        {"Bip01 L UpperArm", kLClavicle, {16, 145, 0}, {20, 118, 0}},
        {"Bip01 L Forearm", kLUpperArm, {20, 118, 0}, {22, 95, -1}},
        {"Bip01 L Hand", kLForearm, {22, 95, -1}, {23, 87, -2}},
        {"Bip01 L Finger0", kLHand, {23, 87, -2}, {23.5f, 80, -2}},
    };
    const BoneDef leftLeg[] = {
        {"Bip01 L Thigh", kPelvis, {9, 94, 0}, {10, 52, 0}},
        {"Bip01 L Calf", kLThigh, {10, 52, 0}, {10, 9, 1}},
        {"Bip01 L Foot", kLCalf, {10, 9, 1}, {10, 2, -9}},
        {"Bip01 L Toe0", kLFoot, {10, 2, -9}, {10, 2, -15}},
    };
    static const char* const kRightArm[] = {"Bip01 R Clavicle", "Bip01 R UpperArm",
                                            "Bip01 R Forearm", "Bip01 R Hand", "Bip01 R Finger0"};
    static const char* const kRightLeg[] = {"Bip01 R Thigh", "Bip01 R Calf", "Bip01 R Foot",
                                            "Bip01 R Toe0"};
    for (int i = 0; i < 5; ++i) {
        b[kLClavicle + i] = left[i];
        const int parent = i == 0 ? int{kSpine2} : kRClavicle + i - 1;
        b[kRClavicle + i] = {kRightArm[i], parent, Mirror(left[i].joint), Mirror(left[i].tip)};
    }
    for (int i = 0; i < 4; ++i) {
        b[kLThigh + i] = leftLeg[i];
        const int parent = i == 0 ? int{kPelvis} : kRThigh + i - 1;
        b[kRThigh + i] = {kRightLeg[i], parent, Mirror(leftLeg[i].joint), Mirror(leftLeg[i].tip)};
    }
    b[kBoxBone] = {Sample::kAttachBone, kRHand, {-23, 88, -3}, {-23, 88, -3}};
    return b;
}

}  // namespace

const std::array<BoneDef, kBoneTotal>& Bones() {
    static const std::array<BoneDef, kBoneTotal> bones = MakeBones();
    return bones;
}
namespace {

// ---- animations ---------------------------------------------------------------------------

Vec4 AxisAngle(Vec3 axis, float degrees) {
    const float half = degrees * kPi / 360;
    const Vec3 a = Normalize(axis) * std::sin(half);
    return {a[0], a[1], a[2], std::cos(half)};
}

// The rotation `second` applied after `first`.
Vec4 Then(Vec4 first, Vec4 second) {
    const Vec4& a = second;
    const Vec4& b = first;
    return {a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1],
            a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0],
            a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3],
            a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
}

constexpr Vec3 kX{1, 0, 0};
constexpr Vec3 kY{0, 1, 0};
constexpr Vec3 kZ{0, 0, 1};

// One animation as rotation keys per bone (sampled from a function at chosen frames) and
// translation keys of the root.
class Motion {
public:
    Motion() : m_tracks(kBoneTotal) {
        for (int i = 0; i < kBoneTotal; ++i) {
            const BoneDef& def = Bones()[i];
            const Vec3 parent = def.parent == kNoParent ? Vec3{} : Bones()[def.parent].joint;
            m_tracks[i].basePosition = def.joint - parent;
        }
    }
    void Rotate(uint16_t bone, const std::vector<uint32_t>& frames,
                const std::function<Vec4(uint32_t)>& rotation) {
        for (uint32_t f : frames) {
            m_tracks[bone].rotationKeys.push_back({.frame = f, .value = rotation(f)});
        }
    }
    void MoveRoot(const std::vector<uint32_t>& frames,
                  const std::function<Vec3(uint32_t)>& offset) {
        for (uint32_t f : frames) {
            m_tracks[kRoot].positionKeys.push_back(
                {.frame = f, .value = m_tracks[kRoot].basePosition + offset(f)});
        }
    }
    // Stores every other key of the bone as the opposite quaternion: the same rotation,
    // which only a reader that takes the shorter arc plays smoothly.
    void FlipAlternate(uint16_t bone) {
        auto& keys = m_tracks[bone].rotationKeys;
        for (std::size_t i = 1; i < keys.size(); i += 2) {
            for (float& c : keys[i].value) {
                c = -c;
            }
        }
    }
    std::vector<TrackDesc>& Tracks() { return m_tracks; }

private:
    std::vector<TrackDesc> m_tracks;
};

std::vector<uint32_t> Every(uint32_t step, uint32_t last) {
    std::vector<uint32_t> frames;
    for (uint32_t f = 0; f < last; f += step) {
        frames.push_back(f);
    }
    frames.push_back(last);
    return frames;
}

float Radians(uint32_t frame, uint32_t period) {
    return 2 * kPi * float(frame) / float(period);
}

Motion Idle() {
    const uint32_t last = Sample::kFrameCounts[0] - 1;
    Motion m;
    const auto keys = Every(15, last);
    auto breath = [&](uint32_t f) { return std::sin(Radians(f, last)); };
    m.MoveRoot(keys, [&](uint32_t f) { return Vec3{0, -0.6f * breath(f) * breath(f), 0}; });
    m.Rotate(kSpine1, keys, [&](uint32_t f) { return AxisAngle(kX, -2.5f * breath(f)); });
    m.Rotate(kHead, keys, [&](uint32_t f) {
        return Then(AxisAngle(kY, 8 * std::sin(Radians(f, last))), AxisAngle(kX, 3 * breath(f)));
    });
    for (uint16_t arm : {kLUpperArm, kRUpperArm}) {
        const float side = arm == kLUpperArm ? 1.0f : -1.0f;
        m.Rotate(arm, keys, [&](uint32_t f) { return AxisAngle(kZ, side * 3 * breath(f)); });
    }
    for (uint16_t arm : {kLForearm, kRForearm}) {
        m.Rotate(arm, keys, [&](uint32_t f) { return AxisAngle(kX, 6 * breath(f) * breath(f)); });
    }
    m.Rotate(kPonytail1, keys, [&](uint32_t f) { return AxisAngle(kZ, 5 * breath(f)); });
    return m;
}

Motion Walk() {
    const uint32_t period = Sample::kFrameCounts[1];  // the last key closes the loop
    Motion m;
    const auto keys = Every(5, period);
    auto phase = [&](uint32_t f) { return Radians(f, period); };
    m.MoveRoot(keys, [&](uint32_t f) { return Vec3{0, 1.6f * std::cos(2 * phase(f)) - 1.6f, 0}; });
    for (int side = 0; side < 2; ++side) {
        const float s = side == 0 ? 1.0f : -1.0f;
        const uint16_t thigh = side == 0 ? kLThigh : kRThigh;
        const uint16_t upperArm = side == 0 ? kLUpperArm : kRUpperArm;
        const float shift = side == 0 ? 0 : kPi;
        m.Rotate(thigh, keys,
                 [=](uint32_t f) { return AxisAngle(kX, 26 * std::sin(phase(f) + shift)); });
        m.Rotate(uint16_t(thigh + 1), keys, [=](uint32_t f) {
            return AxisAngle(kX, -(6 + 40 * std::max(0.0f, std::cos(phase(f) + shift - 0.5f))));
        });
        m.Rotate(uint16_t(thigh + 2), keys,
                 [=](uint32_t f) { return AxisAngle(kX, 10 * std::sin(phase(f) + shift + 1.2f)); });
        m.Rotate(upperArm, keys, [=](uint32_t f) {
            return Then(AxisAngle(kZ, s * 4), AxisAngle(kX, -22 * std::sin(phase(f) + shift)));
        });
        m.Rotate(uint16_t(upperArm + 1), keys, [=](uint32_t f) {
            return AxisAngle(kX, 18 + 12 * std::max(0.0f, -std::sin(phase(f) + shift)));
        });
    }
    m.Rotate(kSpine, keys, [&](uint32_t f) { return AxisAngle(kY, 6 * std::sin(phase(f))); });
    m.Rotate(kSpine1, keys, [&](uint32_t) { return AxisAngle(kX, -4); });
    m.Rotate(kHead, keys, [&](uint32_t f) { return AxisAngle(kY, -5 * std::sin(phase(f))); });
    m.Rotate(kPonytail1, keys, [&](uint32_t f) {
        return Then(AxisAngle(kX, 10 + 6 * std::cos(2 * phase(f))),
                    AxisAngle(kZ, 6 * std::sin(phase(f))));
    });
    m.FlipAlternate(kRThigh);
    m.FlipAlternate(kLCalf);
    return m;
}

Motion Wave() {
    const uint32_t last = Sample::kFrameCounts[2] - 1;
    Motion m;
    // The right arm rises out to the side and overhead; the raised key is stored on the far
    // hemisphere, so the pair needs the shorter arc.
    const Vec4 raised = Then(AxisAngle(kZ, -150), AxisAngle(kX, 10));
    m.Rotate(kRUpperArm, {0, 12, 48, last}, [&](uint32_t f) {
        if (f == 12 || f == 48) {
            return Vec4{-raised[0], -raised[1], -raised[2], -raised[3]};
        }
        return AxisAngle(kZ, 0);
    });
    m.Rotate(kRForearm, {0, 12, 18, 24, 30, 36, 42, 48, last}, [&](uint32_t f) {
        if (f == 0 || f == last) {
            return AxisAngle(kZ, 0);
        }
        return AxisAngle(kZ, (f / 6) % 2 == 0 ? -35.0f : 15.0f);
    });
    m.Rotate(kRHand, {0, 15, 21, 27, 33, 39, 45, last}, [&](uint32_t f) {
        return AxisAngle(kZ, f == 0 || f == last ? 0.0f : ((f - 3) / 6) % 2 == 0 ? -15.0f : 10.0f);
    });
    m.Rotate(kHead, {0, 14, 46, last},
             [&](uint32_t f) { return AxisAngle(kZ, f == 0 || f == last ? 0.0f : -8.0f); });
    m.Rotate(kSpine1, {0, 14, 46, last},
             [&](uint32_t f) { return AxisAngle(kZ, f == 0 || f == last ? 0.0f : 4.0f); });
    m.Rotate(kLUpperArm, {0, 30, last},
             [&](uint32_t f) { return AxisAngle(kZ, f == 30 ? 5.0f : 0.0f); });
    return m;
}

Motion Bow() {
    const uint32_t last = Sample::kBowFrames - 1;
    Motion m;
    const std::vector<uint32_t> keys = {0, 16, 30, last};
    auto depth = [&](uint32_t f) { return f == 16 || f == 30 ? 1.0f : 0.0f; };
    m.Rotate(kSpine, keys, [&](uint32_t f) { return AxisAngle(kX, -22 * depth(f)); });
    m.Rotate(kSpine1, keys, [&](uint32_t f) { return AxisAngle(kX, -14 * depth(f)); });
    m.Rotate(kHead, keys, [&](uint32_t f) { return AxisAngle(kX, -12 * depth(f)); });
    m.Rotate(kRUpperArm, keys, [&](uint32_t f) { return AxisAngle(kX, 35 * depth(f)); });
    m.Rotate(kRForearm, keys, [&](uint32_t f) {
        return Then(AxisAngle(kX, 80 * depth(f)), AxisAngle(kY, -40 * depth(f)));
    });
    m.Rotate(kLUpperArm, keys, [&](uint32_t f) { return AxisAngle(kX, -15 * depth(f)); });
    return m;
}

AnimationDesc MakeAnimation(uint32_t version, const std::vector<std::string>& names,
                            const std::vector<uint32_t>& frames, std::vector<Motion> motions) {
    AnimationDesc animation;
    animation.name = "hero";
    animation.version = version;
    animation.animationNames = names;
    animation.frameCounts = frames;
    for (int i = 0; i < kBoneTotal; ++i) {
        AnimBoneDesc bone{.name = Bones()[i].name};
        if (Bones()[i].parent != kNoParent) {
            bone.parentName = Bones()[Bones()[i].parent].name;
        }
        for (Motion& motion : motions) {
            bone.tracks.push_back(std::move(motion.Tracks()[i]));
        }
        animation.bones.push_back(std::move(bone));
    }
    return animation;
}

}  // namespace

AnimationDesc HeroAnimation() {
    return MakeAnimation(11, {Sample::kAnimationNames.begin(), Sample::kAnimationNames.end()},
                         {Sample::kFrameCounts.begin(), Sample::kFrameCounts.end()},
                         {Idle(), Walk(), Wave()});
}

std::vector<uint8_t> MakeHeroAnimation() {
    return WriteAnimation(HeroAnimation());
}

std::vector<uint8_t> MakeBowAnimation() {
    return WriteAnimation(MakeAnimation(10, {Sample::kBowName}, {Sample::kBowFrames}, {Bow()}));
}

}  // namespace Forge::SampleBuild
