// The sample character's body: skinned tubes along its bones, weighted to the nearest bone
// segments, and the cards of its hair.
#include <algorithm>
#include <functional>
#include <numbers>

#include "SampleCharacter.h"

namespace Forge::SampleBuild {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

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

}  // namespace

// ---- the body -----------------------------------------------------------------------------

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

namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

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

}  // namespace Forge::SampleBuild
