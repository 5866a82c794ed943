// The sample character: a skeleton of 30 bones, a body built from skinned tubes along its
// bones, the skins that dress it, and its animations.
#include <algorithm>
#include <array>
#include <functional>
#include <future>
#include <numbers>

#include "SampleBuild.h"
#include "forge/sample.h"

namespace Forge::SampleBuild {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

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

const std::array<BoneDef, kBoneTotal>& Bones() {
    static const std::array<BoneDef, kBoneTotal> bones = MakeBones();
    return bones;
}

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

// A generalised cylinder: elliptic rings along a centre line, each ring's side radius
// across the body (x for upright tubes) and front radius toward `front`.
struct Tube {
    std::vector<Vec3> path;
    int rows = 16;
    int columns = 16;
    std::function<Vec2(float t)> radius;
    Rect uv{0, 0, 1, 1};
    Vec3 front{0, 0, -1};
    std::vector<uint16_t> bones;   // the bones that may move it
    float weightAtSurface = 0.2f;  // 0: weights from the ring's centre, 1: from the vertex
    // Optional reshaping of a vertex, given t along the tube and the angle from the front.
    std::function<Vec3(Vec3 position, float t, float angle)> reshape;
};

float PathLength(const std::vector<Vec3>& path) {
    float length = 0;
    for (std::size_t i = 1; i < path.size(); ++i) {
        length += Length(path[i] - path[i - 1]);
    }
    return length;
}

Vec3 PathPoint(const std::vector<Vec3>& path, float t) {
    float remaining = std::clamp(t, 0.0f, 1.0f) * PathLength(path);
    for (std::size_t i = 1; i < path.size(); ++i) {
        const float segment = Length(path[i] - path[i - 1]);
        if (remaining <= segment || i + 1 == path.size()) {
            return Lerp(path[i - 1], path[i],
                        segment > 0 ? std::min(remaining / segment, 1.0f) : 0);
        }
        remaining -= segment;
    }
    return path.front();
}

float SegmentDistance(Vec3 p, Vec3 a, Vec3 b) {
    const Vec3 ab = b - a;
    const float lengthSq = Dot(ab, ab);
    const float t = lengthSq > 0 ? std::clamp(Dot(p - a, ab) / lengthSq, 0.0f, 1.0f) : 0;
    return Length(p - (a + ab * t));
}

// Up to four influences from the nearest bone segments, weights summing to 1.
void Weigh(Vertex& vertex, Vec3 point, float falloff, const std::vector<uint16_t>& bones) {
    constexpr float kSmallest = 0.04f;
    std::vector<std::pair<float, uint16_t>> candidates;
    for (uint16_t bone : bones) {
        const BoneDef& def = Bones()[bone];
        const float d = SegmentDistance(point, def.joint, def.tip);
        const float w = 1 / ((d * d + falloff * falloff) * (d * d + falloff * falloff));
        candidates.emplace_back(w, bone);
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    candidates.resize(std::min<std::size_t>(candidates.size(), Sample::kMaxInfluences));
    float total = 0;
    for (const auto& c : candidates) {
        total += c.first;
    }
    std::erase_if(candidates, [&](const auto& c) { return c.first < kSmallest * total; });
    total = 0;
    for (const auto& c : candidates) {
        total += c.first;
    }
    float assigned = 0;
    for (std::size_t k = 0; k < candidates.size(); ++k) {
        vertex.bones[k] = candidates[k].second;
        vertex.weights[k] = k + 1 == candidates.size() ? 1 - assigned : candidates[k].first / total;
        assigned += vertex.weights[k];
    }
}

Piece MakeTube(const Tube& tube) {
    Piece piece;
    piece.rows = tube.rows;
    piece.columns = tube.columns;
    piece.vertices.reserve(std::size_t(tube.rows + 1) * (tube.columns + 1));
    constexpr float kTangentStep = 0.02f;
    for (int r = 0; r <= tube.rows; ++r) {
        const float t = float(r) / tube.rows;
        const Vec3 centre = PathPoint(tube.path, t);
        const Vec3 along = Normalize(PathPoint(tube.path, t + kTangentStep) -
                                     PathPoint(tube.path, t - kTangentStep));
        const Vec3 front = Normalize(tube.front - along * Dot(tube.front, along));
        const Vec3 side = Cross(along, front);
        const Vec2 radius = tube.radius(t);
        for (int c = 0; c <= tube.columns; ++c) {
            const float u = float(c) / tube.columns;
            const float angle = 2 * kPi * u - kPi / 2;  // u = 0.5 faces front
            const Vec3 out = side * std::cos(angle) + front * std::sin(angle);
            Vertex v;
            v.position = centre + side * (radius[0] * std::cos(angle)) +
                         front * (radius[1] * std::sin(angle));
            if (tube.reshape) {
                v.position = tube.reshape(v.position, t, angle - kPi / 2);
            }
            v.normal = Normalize(out);
            v.uv = {tube.uv.u0 + (tube.uv.u1 - tube.uv.u0) * u,
                    tube.uv.v0 + (tube.uv.v1 - tube.uv.v0) * t};
            const float falloff = 0.5f * std::max(radius[0], radius[1]) + 1;
            Weigh(v, Lerp(centre, v.position, tube.weightAtSurface), falloff, tube.bones);
            piece.vertices.push_back(v);
        }
    }
    return piece;
}

// A flat card hanging along `path`, `width` wide across `across`.
Piece MakeCard(const std::vector<Vec3>& path, Vec3 across, float width, int rows, Rect uv,
               const std::vector<uint16_t>& bones) {
    Piece piece;
    piece.rows = rows;
    piece.columns = 1;
    for (int r = 0; r <= rows; ++r) {
        const float t = float(r) / rows;
        const Vec3 centre = PathPoint(path, t);
        const float w = width * (1 - 0.5f * t);
        for (int c = 0; c <= 1; ++c) {
            Vertex v;
            v.position = centre + across * (w * (c - 0.5f));
            v.normal = Normalize(Cross(across, Vec3{0, 1, 0}));
            v.uv = {c == 0 ? uv.u0 : uv.u1, uv.v0 + (uv.v1 - uv.v0) * t};
            Weigh(v, v.position, 3, bones);
            piece.vertices.push_back(v);
        }
    }
    return piece;
}

// Radii that follow a profile of (t, side, front) stations, eased between them.
std::function<Vec2(float)> Profile(std::vector<std::array<float, 3>> stations) {
    return [stations = std::move(stations)](float t) {
        for (std::size_t i = 1; i < stations.size(); ++i) {
            if (t <= stations[i][0] || i + 1 == stations.size()) {
                const auto& a = stations[i - 1];
                const auto& b = stations[i];
                const float s = Smoothstep(a[0], b[0], t);
                return Vec2{a[1] + (b[1] - a[1]) * s, a[2] + (b[2] - a[2]) * s};
            }
        }
        return Vec2{stations.back()[1], stations.back()[2]};
    };
}

// Radii of an ellipsoid cut along its axis: zero at both ends.
std::function<Vec2(float)> Ellipsoid(float side, float front, float power = 0.5f) {
    return [=](float t) {
        const float s = std::pow(std::max(0.0f, 1 - (2 * t - 1) * (2 * t - 1)), power);
        return Vec2{side * s, front * s};
    };
}

// ---- the body -----------------------------------------------------------------------------

// Texture atlas of the cloth picture (see PaintCloth).
constexpr Rect kTorsoUv{0, 0, 1, 0.5f};
constexpr Rect kArmUv{0, 0.5f, 0.5f, 0.8f};
constexpr Rect kHandUv{0.5f, 0.5f, 0.75f, 0.8f};
constexpr Rect kLeatherUv{0.75f, 0.5f, 1, 0.8f};
constexpr Rect kSkirtUv{0, 0.8f, 1, 1};
// Face picture: the head above 0.9, the neck below.
constexpr Rect kHeadUv{0, 0, 1, 0.9f};
constexpr Rect kNeckUv{0, 0.9f, 1, 1};
// Hair picture: the scalp on the left half, strands on the right.
constexpr Rect kScalpUv{0, 0, 0.5f, 1};
// Boots picture: shaft above, foot below.
constexpr Rect kShaftUv{0, 0, 1, 0.5f};
constexpr Rect kFootUv{0, 0.5f, 1, 1};

// The head: a slightly narrowing ellipsoid with a nose, centred above the neck.
constexpr Vec3 kHeadCentre{0, 167, -1};
constexpr float kHeadHalfHeight = 13.5f;

Piece Head() {
    Tube tube;
    tube.path = {kHeadCentre + Vec3{0, kHeadHalfHeight, 0},
                 kHeadCentre - Vec3{0, kHeadHalfHeight, 0}};
    tube.rows = 56;
    tube.columns = 60;
    tube.radius = [](float t) {
        const Vec2 r = Ellipsoid(9.2f, 10.5f)(t);
        const float jaw = 1 - 0.28f * Smoothstep(0.55f, 1.0f, t);
        return Vec2{r[0] * jaw, r[1] * (1 - 0.12f * Smoothstep(0.6f, 1.0f, t))};
    };
    tube.uv = kHeadUv;
    tube.bones = {kNeck, kHead};
    tube.weightAtSurface = 0.6f;
    tube.reshape = [](Vec3 p, float t, float angle) {
        // The nose: a ridge in front between the eyes and the mouth.
        const float nose = Smoothstep(0.42f, 0.58f, t) * (1 - Smoothstep(0.62f, 0.68f, t)) *
                           std::exp(-angle * angle * 90);
        // Brow ridge and cheeks, a little fuller.
        const float brow =
            0.5f * std::exp(-(t - 0.42f) * (t - 0.42f) * 900) * std::exp(-angle * angle * 4);
        p[2] -= 1.8f * nose + brow;
        return p;
    };
    return MakeTube(tube);
}

Piece Neck() {
    Tube tube;
    tube.path = {{0, 160, -0.5f}, {0, 141, 0}};
    tube.rows = 10;
    tube.columns = 28;
    tube.radius = Profile({{0, 4.8f, 4.6f}, {0.7f, 5.2f, 5}, {1, 6.5f, 5.5f}});
    tube.uv = kNeckUv;
    tube.bones = {kSpine2, kNeck, kHead};
    return MakeTube(tube);
}

Piece Torso() {
    Tube tube;
    tube.path = {{0, 150, 0.5f}, {0, 98, 0}};
    tube.rows = 52;
    tube.columns = 56;
    // t runs from the shoulders (0) down to the hips (1).
    tube.radius = Profile({{0, 6, 5},
                           {0.05f, 13.5f, 7.5f},
                           {0.12f, 16, 9},
                           {0.35f, 15, 10.5f},
                           {0.6f, 12.5f, 8.6f},
                           {0.8f, 13.5f, 9},
                           {1, 15, 10}});
    tube.uv = kTorsoUv;
    tube.bones = {kPelvis, kSpine, kSpine1, kSpine2, kNeck, kLClavicle, kRClavicle};
    tube.weightAtSurface = 0.8f;
    return MakeTube(tube);
}

Piece Arm(bool left) {
    const auto& b = Bones();
    const int clavicle = left ? kLClavicle : kRClavicle;
    Tube tube;
    tube.path = {b[clavicle].tip + Vec3{left ? -2.0f : 2.0f, 2, 0}, b[clavicle + 1].tip,
                 b[clavicle + 2].tip};
    tube.rows = 40;
    tube.columns = 24;
    tube.radius = Profile({{0, 3.5f, 3.5f},
                           {0.06f, 5.6f, 5.8f},
                           {0.2f, 5.2f, 5.2f},
                           {0.52f, 3.8f, 3.9f},
                           {0.7f, 4.2f, 4.3f},
                           {0.97f, 2.8f, 3},
                           {1, 2.2f, 2.4f}});
    tube.uv = kArmUv;
    tube.bones = {uint16_t(clavicle), uint16_t(clavicle + 1), uint16_t(clavicle + 2),
                  uint16_t(clavicle + 3)};
    return MakeTube(tube);
}

std::vector<Piece> Hand(bool left, Rect uv) {
    const auto& b = Bones();
    const int hand = left ? kLHand : kRHand;
    const float side = left ? 1.0f : -1.0f;
    Tube palm;
    palm.path = {b[hand].joint + Vec3{0, 1.5f, 0}, b[hand + 1].tip};
    palm.rows = 16;
    palm.columns = 16;
    palm.radius = Ellipsoid(1.9f, 3.7f, 0.45f);
    palm.uv = uv;
    palm.bones = {uint16_t(hand - 1), uint16_t(hand), uint16_t(hand + 1)};
    palm.weightAtSurface = 0.3f;
    Tube thumb;
    thumb.path = {b[hand].joint + Vec3{-0.5f * side, -1, -2.5f},
                  b[hand].joint + Vec3{-1.5f * side, -7, -4.5f}};
    thumb.rows = 8;
    thumb.columns = 10;
    thumb.radius = Ellipsoid(1.2f, 1.2f, 0.35f);
    thumb.uv = uv;
    thumb.bones = {uint16_t(hand), uint16_t(hand + 1)};
    return {MakeTube(palm), MakeTube(thumb)};
}

// Trousers picture: the hips at the top, the legs below.
constexpr Rect kHipsUv{0, 0, 1, 0.2f};
constexpr Rect kLegUv{0, 0.2f, 1, 1};

Piece Hips() {
    Tube tube;
    tube.path = {{0, 104, 0}, {0, 84, 0.5f}};
    tube.rows = 12;
    tube.columns = 40;
    tube.radius = Profile({{0, 13.2f, 9.2f}, {0.5f, 15.2f, 10.2f}, {0.85f, 12, 8}, {1, 4, 3}});
    tube.uv = kHipsUv;
    tube.bones = {kPelvis, kSpine, kLThigh, kRThigh};
    tube.weightAtSurface = 0.9f;
    return MakeTube(tube);
}

Piece Leg(bool left) {
    const auto& b = Bones();
    const int thigh = left ? kLThigh : kRThigh;
    Tube tube;
    tube.path = {b[thigh].joint + Vec3{0, 3, 0}, b[thigh].tip, b[thigh + 1].tip};
    tube.rows = 50;
    tube.columns = 28;
    tube.radius = Profile({{0, 7.4f, 8.2f},
                           {0.15f, 7.9f, 8.5f},
                           {0.48f, 5.6f, 5.9f},
                           {0.62f, 6.1f, 6.6f},
                           {0.92f, 4.2f, 4.4f},
                           {1, 4, 4.2f}});
    tube.uv = kLegUv;
    tube.bones = {kPelvis, uint16_t(thigh), uint16_t(thigh + 1), uint16_t(thigh + 2)};
    return MakeTube(tube);
}

std::vector<Piece> Boot(bool left) {
    const auto& b = Bones();
    const int calf = left ? kLCalf : kRCalf;
    const float x = b[calf].joint[0];
    Tube shaft;
    shaft.path = {{x, 40, 0.5f}, {x, 5, 1.5f}};
    shaft.rows = 16;
    shaft.columns = 28;
    shaft.radius =
        Profile({{0, 6.6f, 7.0f}, {0.15f, 6.0f, 6.4f}, {0.85f, 4.6f, 4.9f}, {1, 4.8f, 5}});
    shaft.uv = kShaftUv;
    shaft.bones = {uint16_t(calf), uint16_t(calf + 1)};
    Tube foot;
    foot.path = {{x, 5, 7}, {x, 4, -15}};
    foot.rows = 20;
    foot.columns = 24;
    foot.front = {0, -1, 0};  // the sole faces the front of the picture
    foot.radius = Ellipsoid(4.9f, 5.2f, 0.35f);
    foot.uv = kFootUv;
    foot.bones = {uint16_t(calf), uint16_t(calf + 1), uint16_t(calf + 2)};
    foot.weightAtSurface = 0.5f;
    foot.reshape = [](Vec3 p, float, float) {
        p[1] = std::max(p[1], 0.0f);  // a flat sole on the ground
        return p;
    };
    return {MakeTube(shaft), MakeTube(foot)};
}

Piece Skirt() {
    Tube tube;
    tube.path = {{0, 111, 0}, {0, 78, 0.5f}};
    tube.rows = 18;
    tube.columns = 56;
    tube.radius = Profile({{0, 12.9f, 8.9f}, {0.3f, 17, 11.2f}, {1, 20, 15.5f}});
    tube.uv = kSkirtUv;
    tube.bones = {kPelvis};
    Piece skirt = MakeTube(tube);
    // The hem follows each thigh part of the way: the cloth sways without tearing.
    for (int r = 0; r <= skirt.rows; ++r) {
        const float t = float(r) / skirt.rows;
        for (int c = 0; c <= skirt.columns; ++c) {
            Vertex& v = skirt.vertices[std::size_t(r) * (skirt.columns + 1) + c];
            const float side = v.position[0] / tube.radius(t)[0];
            const float left = 0.75f * t * Smoothstep(-0.4f, 0.8f, side);
            const float right = 0.75f * t * Smoothstep(-0.4f, 0.8f, -side);
            v.bones = {kPelvis, kNoBoneSlot, kNoBoneSlot, kNoBoneSlot};
            v.weights = {1 - left - right, 0, 0, 0};
            int k = 1;
            for (auto [bone, weight] : {std::pair{kLThigh, left}, std::pair{kRThigh, right}}) {
                if (weight > 0.01f) {
                    v.bones[k] = bone;
                    v.weights[k++] = weight;
                } else {
                    v.weights[0] += weight;
                }
            }
        }
    }
    return skirt;
}

Piece Belt() {
    Tube tube;
    tube.path = {{0, 110.5f, 0}, {0, 104.5f, 0}};
    tube.rows = 4;
    tube.columns = 48;
    tube.radius = Profile({{0, 13.6f, 9.6f}, {1, 14.2f, 10}});
    tube.uv = kLeatherUv;
    tube.bones = {kPelvis, kSpine};
    tube.weightAtSurface = 0.5f;
    return MakeTube(tube);
}

Piece Pauldron(bool left) {
    const auto& b = Bones();
    const int arm = left ? kLUpperArm : kRUpperArm;
    Tube tube;
    const Vec3 top = b[arm].joint + Vec3{left ? 1.0f : -1.0f, 5.5f, 0};
    tube.path = {top, top + Vec3{left ? 3.0f : -3.0f, -10, 0}};
    tube.rows = 10;
    tube.columns = 24;
    tube.radius = Profile({{0, 0.5f, 0.5f}, {0.3f, 6, 6.2f}, {1, 7.6f, 7.8f}});
    tube.uv = kLeatherUv;
    tube.bones = {uint16_t(arm - 1), uint16_t(arm)};
    return MakeTube(tube);
}

Piece Helmet() {
    Tube tube;
    tube.path = {kHeadCentre + Vec3{0, 18, 0.5f}, kHeadCentre + Vec3{0, 1, 0.5f}};
    tube.rows = 16;
    tube.columns = 48;
    tube.radius =
        Profile({{0, 0.5f, 0.5f}, {0.2f, 9.5f, 10.5f}, {0.7f, 12.2f, 13.6f}, {1, 13, 14.4f}});
    tube.bones = {kHead};
    return MakeTube(tube);
}

// Scalp, ponytail, strands hanging at the back and sides, a fringe over the forehead.
std::vector<Piece> Hair() {
    std::vector<Piece> pieces;
    Tube scalp;
    scalp.path = {kHeadCentre + Vec3{0, kHeadHalfHeight + 1.2f, 0.3f},
                  kHeadCentre - Vec3{0, 6, -1.5f}};
    scalp.rows = 26;
    scalp.columns = 52;
    scalp.radius = [](float t) {
        const float s = std::sqrt(std::max(0.0f, 1 - (1 - t) * (1 - t) * 0.98f));
        return Vec2{10.1f * s, 11.6f * s};
    };
    scalp.uv = kScalpUv;
    scalp.bones = {kHead};
    scalp.reshape = [](Vec3 p, float t, float angle) {
        // Above the face the hairline sits high: below it the scalp tucks under the skin.
        const float face = std::exp(-angle * angle * 1.4f);
        if (t > 0.36f + 0.64f * (1 - face)) {
            const Vec3 centre = kHeadCentre + Vec3{0, 2, 0};
            p = centre + (p - centre) * 0.85f;
        }
        return p;
    };
    pieces.push_back(MakeTube(scalp));

    Tube tail;
    tail.path = {kHeadCentre + Vec3{0, 6, 10.5f}, {0, 152, 14.5f}, {0, 133, 13.5f}};
    tail.rows = 20;
    tail.columns = 14;
    tail.radius =
        Profile({{0, 3.6f, 3.6f}, {0.15f, 3.9f, 3.6f}, {0.8f, 2.4f, 2.2f}, {1, 0.3f, 0.3f}});
    tail.uv = kScalpUv;
    tail.bones = {kHead, kPonytail1, kPonytail2};
    pieces.push_back(MakeTube(tail));

    // Strands round the back half of the head, longest at the back.
    constexpr int kStrands = 36;
    for (int i = 0; i < kStrands; ++i) {
        const float a = -0.65f * kPi + 1.3f * kPi * (i + 0.5f) / kStrands;  // 0 = back
        const Vec3 out{std::sin(a), 0, std::cos(a)};
        const float back = std::cos(a);
        const float length = 14 + 12 * std::max(0.0f, back) + 3 * float(Hash(i, 7) % 100) / 100;
        const Vec3 root = kHeadCentre + Vec3{out[0] * 9.6f, 6.5f - 2 * back, out[2] * 10.8f};
        const Vec3 mid = root + out * 2.2f + Vec3{0, -length * 0.5f, 0};
        const Vec3 tip = root + out * (1.5f + 1.5f * back) + Vec3{0, -length, 0.5f * back};
        const float u0 = 0.5f + 0.5f * float(i % 6) / 6;
        pieces.push_back(MakeCard({root, mid, tip}, Vec3{std::cos(a), 0, -std::sin(a)}, 5.5f, 12,
                                  {u0, 0, u0 + 0.5f / 6, 1},
                                  {kHead, kPonytail1, kPonytail2, kNeck}));
    }
    // The fringe.
    constexpr int kFringe = 9;
    for (int i = 0; i < kFringe; ++i) {
        const float a = -0.42f * kPi + 0.84f * kPi * (i + 0.5f) / kFringe;  // 0 = front
        const Vec3 out{std::sin(a), 0, -std::cos(a)};
        const Vec3 root = kHeadCentre + Vec3{out[0] * 8.6f, 12.2f, out[2] * 9.4f};
        const Vec3 tip =
            kHeadCentre + Vec3{out[0] * 10.2f, 4.8f + 1.5f * std::abs(out[0]) / 9, out[2] * 11.2f};
        const float u0 = 0.5f + 0.5f * float((i + 2) % 6) / 6;
        pieces.push_back(MakeCard({root, root + out * 2.2f + Vec3{0, -2.5f, 0}, tip},
                                  Vec3{std::cos(a), 0, std::sin(a)}, 4.4f, 6,
                                  {u0, 0, u0 + 0.5f / 6, 0.6f}, {kHead}));
    }
    return pieces;
}

// The weapon in the attach bone's own space: the grip at the origin, the blade pointing
// down and forward from the hand.
std::vector<Piece> Sword() {
    const Vec3 dir = Normalize({0, -0.35f, -1});
    auto part = [&](float from, float to, std::function<Vec2(float)> radius, Rect uv) {
        Tube tube;
        tube.path = {dir * from, dir * to};
        tube.rows = 6;
        tube.columns = 8;
        tube.front = {0, 1, 0};
        tube.radius = std::move(radius);
        tube.uv = uv;
        tube.bones = {kBoxBone};
        return MakeTube(tube);
    };
    return {
        part(9, -2.5f, Profile({{0, 0.3f, 0.3f}, {0.05f, 1.6f, 1.6f}, {1, 1.4f, 1.4f}}),
             {0, 0.8f, 0.5f, 1}),
        part(-2.5f, -4, Profile({{0, 0.8f, 9}, {1, 0.8f, 9}}), {0.5f, 0.8f, 1, 1}),
        part(-4, -78, Profile({{0, 0.6f, 3.2f}, {0.85f, 0.6f, 2.8f}, {1, 0.1f, 0.2f}}),
             {0, 0, 1, 0.8f}),
    };
}

// ---- sub-meshes and meshes ----------------------------------------------------------------

struct MeshOptions {
    uint32_t version = 11;
    bool strips = false;
};

std::vector<uint16_t> GridTriangles(const Piece& piece, uint16_t base) {
    std::vector<uint16_t> indices;
    const int stride = piece.columns + 1;
    for (int r = 0; r < piece.rows; ++r) {
        for (int c = 0; c < piece.columns; ++c) {
            const auto a = uint16_t(base + r * stride + c);
            const auto b = uint16_t(a + 1);
            const auto d = uint16_t(a + stride);
            const auto e = uint16_t(d + 1);
            indices.insert(indices.end(), {a, d, b, b, d, e});
        }
    }
    return indices;
}

// The grid as one strip, rows joined by repeated indices (degenerate triangles).
void AppendStrip(std::vector<uint16_t>& strip, const Piece& piece, uint16_t base) {
    const int stride = piece.columns + 1;
    for (int r = 0; r < piece.rows; ++r) {
        for (int c = 0; c <= piece.columns; ++c) {
            const auto top = uint16_t(base + r * stride + c);
            const auto bottom = uint16_t(top + stride);
            if (c == 0 && !strip.empty()) {
                strip.push_back(strip.back());
                strip.push_back(top);
                if (strip.size() % 2 == 1) {
                    strip.push_back(top);  // keeps the winding of the next row
                }
            }
            strip.push_back(top);
            strip.push_back(bottom);
        }
    }
}

SubMeshDesc MakeSubMesh(const std::string& name, const std::vector<Piece>& pieces,
                        const MeshOptions& options) {
    SubMeshDesc sub;
    sub.name = name;
    sub.stripFlag = options.strips ? 1 : 0;
    std::vector<uint16_t> used;  // skeleton bones in the order of the bone-name table
    auto slotOf = [&](uint16_t bone) {
        auto it = std::find(used.begin(), used.end(), bone);
        if (it == used.end()) {
            used.push_back(bone);
            return uint16_t(used.size() - 1);
        }
        return uint16_t(it - used.begin());
    };
    for (const Piece& piece : pieces) {
        const auto base = uint16_t(sub.positions.size());
        if (options.strips) {
            AppendStrip(sub.indices, piece, base);
        } else {
            const auto triangles = GridTriangles(piece, base);
            sub.indices.insert(sub.indices.end(), triangles.begin(), triangles.end());
        }
        for (const Vertex& v : piece.vertices) {
            sub.positions.push_back(v.position);
            sub.normals.push_back(v.normal);
            sub.texCoords.push_back(v.uv);
            std::array<uint16_t, 4> slots{kNoBoneSlot, kNoBoneSlot, kNoBoneSlot, kNoBoneSlot};
            for (int k = 0; k < 4; ++k) {
                if (v.bones[k] != kNoBoneSlot) {
                    slots[k] = slotOf(v.bones[k]);
                }
            }
            sub.boneSlots.push_back(slots);
            sub.boneWeights.push_back(v.weights);
        }
    }
    std::vector<std::string> names;
    for (uint16_t bone : used) {
        names.push_back(Bones()[bone].name);
    }
    sub.boneNames = std::move(names);
    return sub;
}

// Every mesh carries the whole skeleton's bones with their inverse bind matrices (the bind
// pose has no rotation, so each is a translation back from the joint).
std::vector<MeshBoneDesc> MeshBones() {
    std::vector<MeshBoneDesc> bones;
    for (const BoneDef& def : Bones()) {
        MeshBoneDesc bone{.name = def.name};
        bone.matrix[12] = -def.joint[0];
        bone.matrix[13] = -def.joint[1];
        bone.matrix[14] = -def.joint[2];
        bones.push_back(bone);
    }
    return bones;
}

// The box the viewer frames: it fits the height and leaves room at the sides, so the
// camera, which frames the narrower side of the box, shows the character whole.
constexpr Vec3 kFrameMin{-110, -4, -60};
constexpr Vec3 kFrameMax{110, 190, 60};

MeshDesc MakeMesh(const std::string& name, std::vector<SubMeshDesc> subMeshes,
                  const MeshOptions& options) {
    MeshDesc mesh;
    mesh.name = name;
    mesh.version = options.version;
    mesh.boxMin = kFrameMin;
    mesh.boxMax = kFrameMax;
    mesh.bones = MeshBones();
    mesh.subMeshes = std::move(subMeshes);
    return mesh;
}

template <typename... Lists>
std::vector<Piece> Join(Lists&&... lists) {
    std::vector<Piece> all;
    (all.insert(all.end(), lists.begin(), lists.end()), ...);
    return all;
}

std::vector<Piece> Arms() {
    return {Arm(true), Arm(false)};
}
std::vector<Piece> Hands(Rect uv) {
    return Join(Hand(true, uv), Hand(false, uv));
}
std::vector<Piece> Legs() {
    return {Hips(), Leg(true), Leg(false)};
}
std::vector<Piece> Boots() {
    return Join(Boot(true), Boot(false));
}

// ---- skins --------------------------------------------------------------------------------

struct Look {
    std::string diffuse;  // texture file names as the skin stores them
    std::string mask;
    std::string tattoo;
    Vec4 skinColour{0.96f, 0.8f, 0.7f, 1};
    bool eyes = false;
    bool volume = false;
    bool glow = false;
};

MaterialDesc MakeMaterial(const Look& look) {
    MaterialDesc m;
    const std::string label = "Standard";
    std::copy(label.begin(), label.end(), m.header.begin());
    m.params.push_back(ColourParam("g_MaterialAmbient", {0.55f, 0.55f, 0.6f, 1}));
    m.params.push_back(ColourParam("g_MaterialDiffuse", {1, 1, 1, 1}));
    m.params.push_back(TextParam("g_DiffuseTex", look.diffuse));
    if (!look.mask.empty()) {
        m.params.push_back(TextParam("g_MaskTex", look.mask));
        m.params.push_back(ColourParam("g_CustomColor", {0.85f, 0.7f, 0.3f, 1}));
    }
    if (!look.tattoo.empty()) {
        m.params.push_back(TextParam("g_TatooTex", look.tattoo));
    }
    m.params.push_back(ColourParam("g_SkinColor", look.skinColour));
    if (look.eyes) {
        m.params.push_back(ColourParam("g_EyeColor", {0.25f, 0.45f, 0.3f, 1}));
    }
    if (look.volume) {
        m.params.push_back(TextParam("g_DiffuseVolumeTex", "hero_hair_volume.dds"));
    }
    if (look.glow) {
        m.params.push_back(ColourParam("g_EmissiveColor", {0.4f, 0.7f, 1, 1}));
        m.params.push_back(ScalarParam("g_EmissivePower", 1.5f));
        m.params.push_back(ScalarParam("g_EmissivePowerRange", 0.5f));
        m.params.push_back(ScalarParam("g_EmissiveAniSpeed", 2));
        m.params.push_back(TextParam("g_EmissiveTex", "Hero_Sword_Glow.dds"));
        m.params.push_back(ScalarParam("g_AniTime", 0));
    }
    return m;
}

std::vector<uint8_t> MakeSkin(const std::string& name, const std::string& meshName,
                              const std::vector<Look>& looks) {
    SkinDesc skin;
    skin.name = name;
    skin.meshName = meshName;
    for (const Look& look : looks) {
        skin.materials.push_back(MakeMaterial(look));
    }
    return WriteSkin(skin);
}

const Look kFaceLook{.diffuse = "Hero_Face.dds", .eyes = true};
const Look kClothLook{
    .diffuse = "hero_cloth.dds", .mask = "hero_mask.dds", .tattoo = "hero_tattoo.dds"};
const Look kTrouserLook{.diffuse = "hero_leg.dds"};
const Look kBootLook{.diffuse = "HERO_BOOTS.dds"};
const Look kHairLook{.diffuse = "hero_hair.dds", .volume = true};

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

std::vector<uint8_t> MakeAnimation(uint32_t version, const std::vector<std::string>& names,
                                   const std::vector<uint32_t>& frames,
                                   std::vector<Motion> motions) {
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
    return WriteAnimation(animation);
}

// ---- the files ----------------------------------------------------------------------------

struct Textures {
    std::vector<uint8_t> face, cloth, clothPatched, costume, trousers, boots, hair, glove, helmet,
        sword, glow, mask, tattoo;
};

Textures PaintTextures() {
    // The big pictures are the slow part: paint and encode them on a second thread.
    auto big = std::async(std::launch::async, [] {
        Textures t;
        t.face = EncodeDds(PaintFace(), DdsFormat::DXT1);
        t.clothPatched = EncodeDds(PaintCloth(Cloth::Azure, 1024), DdsFormat::DXT1);
        return t;
    });
    Textures rest;
    rest.cloth = EncodeDds(PaintCloth(Cloth::Crimson, 1024), DdsFormat::DXT1);
    rest.costume = EncodeDds(PaintCloth(Cloth::Costume, 512), DdsFormat::DXT1);
    rest.trousers = EncodeDds(PaintTrousers(), DdsFormat::DXT1);
    rest.boots = EncodeDds(PaintBoots(), DdsFormat::DXT1);
    rest.hair = EncodeDds(PaintHair(), DdsFormat::DXT5);
    rest.glove = EncodeDds(PaintGlove(), DdsFormat::DXT1);
    rest.helmet = EncodeDds(PaintHelmet(), DdsFormat::DXT1);
    rest.sword = EncodeDds(PaintSword(), DdsFormat::DXT1);
    rest.glow = EncodeDds(PaintGlow(), DdsFormat::DXT1);
    rest.mask = EncodeDds(PaintMask(), DdsFormat::DXT1);
    rest.tattoo = EncodeDds(PaintTattoo(), DdsFormat::DXT1);
    Textures first = big.get();
    rest.face = std::move(first.face);
    rest.clothPatched = std::move(first.clothPatched);
    return rest;
}

void AddPart(FileSet& set, const std::string& folder, const std::string& stem,
             std::vector<SubMeshDesc> subs, const std::vector<Look>& looks, MeshOptions options) {
    set.Add(folder + "\\" + stem + ".msh", WriteMesh(MakeMesh(stem, std::move(subs), options)));
    set.Add(folder + "\\" + stem + ".skn", MakeSkin(stem, stem + ".msh", looks));
}

void AddTextures(FileSet& set, const std::string& folder, const Textures& t) {
    set.Add(folder + "\\hero_face.dds", t.face);
    set.Add(folder + "\\hero_cloth.dds", t.cloth);
    set.Add(folder + "\\hero_leg.dds", t.trousers);
    set.Add(folder + "\\hero_boots.dds", t.boots);
    set.Add(folder + "\\hero_hair.dds", t.hair);
    set.Add(folder + "\\hero_mask.dds", t.mask);
    set.Add(folder + "\\hero_tattoo.dds", t.tattoo);
}

}  // namespace

CharacterFiles MakeCharacter() {
    auto textures = std::async(std::launch::async, PaintTextures);

    const MeshOptions v11{.version = 11};
    const MeshOptions v12{.version = 12};
    const MeshOptions v13{.version = 13};
    const auto head = std::vector<Piece>{Head(), Neck()};
    const auto body = Join(std::vector<Piece>{Torso()}, Arms());
    const auto hands = Hands(kHandUv);
    const auto skirt = std::vector<Piece>{Skirt(), Belt()};
    const auto hair = Hair();
    const std::string folder = Sample::kHeroFolder;
    const std::string parts = Sample::kPartsFolder;

    CharacterFiles files;
    FileSet& set = files.base;
    const MeshOptions whole{.version = Sample::kHeroMeshVersion};
    AddPart(set, folder, "hero",
            {MakeSubMesh("head", head, whole), MakeSubMesh("body", Join(body, hands), whole),
             MakeSubMesh("leg", Legs(), whole), MakeSubMesh("boots", Boots(), whole),
             MakeSubMesh("skirt", skirt, whole), MakeSubMesh("hair", hair, whole)},
            {kFaceLook, kClothLook, kTrouserLook, kBootLook, kClothLook, kHairLook}, whole);

    AddPart(set, parts, "hero_body", {MakeSubMesh("body", body, v12)}, {kClothLook}, v12);
    AddPart(set, parts, "hero_boots", {MakeSubMesh("boots", Boots(), v11)}, {kBootLook}, v11);
    AddPart(set, parts, "hero_glove", {MakeSubMesh("glove", Hands({0, 0, 1, 1}), v11)},
            {Look{.diffuse = "hero_glove.dds"}}, v11);
    AddPart(set, parts, "hero_hair", {MakeSubMesh("hair", hair, v11)}, {kHairLook}, v11);
    AddPart(set, parts, "hero_head", {MakeSubMesh("head", head, v13)}, {kFaceLook}, v13);
    const MeshOptions strips{.version = 12, .strips = true};
    AddPart(set, parts, "hero_leg",
            {MakeSubMesh("hips", {Hips()}, strips),
             MakeSubMesh("legs", {Leg(true), Leg(false)}, strips)},
            {kTrouserLook, kTrouserLook}, strips);
    AddPart(set, parts, "hero_helmet", {MakeSubMesh("helmet", {Helmet()}, v12)},
            {Look{.diffuse = "hero_helmet.dds"}}, v12);
    const auto costume = Join(skirt, std::vector<Piece>{Pauldron(true), Pauldron(false)});
    AddPart(set, parts, "hero_costume", {MakeSubMesh("costume", costume, v11)}, {kClothLook}, v11);

    // The weapon: version 10, no skinning data; it hangs on the attach bone.
    MeshDesc sword =
        MakeMesh("hero_sword", {MakeSubMesh("sword", Sword(), {.version = 10})}, {.version = 10});
    sword.bones.clear();
    sword.boxMin = {-3, -30, -80};
    sword.boxMax = {3, 5, 10};
    const std::string weapon = std::string(folder) + "\\weapon";
    set.Add(weapon + "\\hero_sword.msh", WriteMesh(sword));
    set.Add(
        weapon + "\\hero_sword.skn",
        MakeSkin("hero_sword", "Hero_Sword.msh",
                 {Look{.diffuse = "hero_sword.dds", .skinColour = {1, 1, 1, 1}, .glow = true}}));

    set.Add(Sample::kHeroAnimation,
            MakeAnimation(11, {Sample::kAnimationNames.begin(), Sample::kAnimationNames.end()},
                          {Sample::kFrameCounts.begin(), Sample::kFrameCounts.end()},
                          {Idle(), Walk(), Wave()}));
    set.Add(Sample::kBowAnimation,
            MakeAnimation(10, {Sample::kBowName}, {Sample::kBowFrames}, {Bow()}));

    // The patch: a recoloured tunic for the whole model, and a costume skin that names a
    // texture only the patch carries.
    const Textures t = textures.get();
    AddTextures(set, folder + "\\tex", t);
    AddTextures(set, parts + "\\tex", t);
    set.Add(parts + "\\tex\\hero_glove.dds", t.glove);
    set.Add(parts + "\\tex\\hero_helmet.dds", t.helmet);
    set.Add(weapon + "\\tex\\hero_sword.dds", t.sword);
    set.Add(weapon + "\\tex\\hero_sword_glow.dds", t.glow);

    files.patch.Add(Sample::kPatchedTexture, t.clothPatched);
    files.patch.Add(parts + "\\tex\\hero_costume_v2.dds", t.costume);
    Look patched = kClothLook;
    patched.diffuse = "hero_costume_v2.dds";
    files.patch.Add(Sample::kPatchedSkin, MakeSkin("hero_costume", "hero_costume.msh", {patched}));
    return files;
}

}  // namespace Forge::SampleBuild
