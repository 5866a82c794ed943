// glTF export, the animations: every animation sampled at its integer frames, a channel per
// bone and property that some animation moves from its rest value; a channel that never
// changes keeps one value.
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <span>

#include "GltfDocument.h"
#include "base/text.h"
#include "model/pose.h"

namespace Export::Gltf {
namespace {

// Sampled animation data beyond this many bytes is refused rather than allocated.
constexpr std::size_t kMaxAnimationBytes = std::size_t{512} << 20;
constexpr Vec3 kUnitScale = {1, 1, 1};
constexpr Vec3 kNoScale = {0, 0, 0};

bool StrictlyIncreasing(const auto& keys) {
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (keys[i].frame <= keys[i - 1].frame) {
            return false;
        }
    }
    return true;
}

// The keyed value at an integer frame, as the pose's key lookup gives it. Sorted keys are
// searched by halves and only the pair that decides is handed to the lookup; other lists
// take the lookup's own walk.
template <typename Key, typename Lookup>
auto KeyAt(std::span<const Key> keys, bool sorted, uint32_t frame, Lookup lookup) {
    const float f = static_cast<float>(frame);
    if (!sorted || keys.size() < 2) {
        return lookup(keys, f);
    }
    auto at = std::lower_bound(keys.begin(), keys.end(), frame,
                               [](const Key& k, uint32_t n) { return k.frame < n; });
    std::size_t i = static_cast<std::size_t>(at - keys.begin());
    if (i == keys.size() || (i == 0 && keys[0].frame != frame)) {
        return lookup(keys.subspan(0, 0), f);  // nothing decides
    }
    if (keys[i].frame != frame || i == keys.size() - 1) {
        --i;  // the pair around the frame, or the last pair
    }
    return lookup(keys.subspan(i, 2), f);
}

uint32_t LastKeyFrame(const AnimTrack& track) {
    uint32_t last = 0;
    auto scan = [&](const auto& keys) {
        if (keys.size() >= 2) {
            for (const auto& k : keys) {
                last = std::max<uint32_t>(last, k.frame);
            }
        }
    };
    scan(track.positionKeys);
    scan(track.rotationKeys);
    scan(track.scaleKeys);
    return last;
}

// One animation sampled at its frames: per bone, translations, rotations and scales.
struct Sampled {
    std::string name;
    std::vector<uint32_t> frames;
    std::vector<std::array<std::vector<float>, 3>> bones;
};

enum Path : std::size_t { kTranslation, kRotation, kScale };
constexpr const char* kPathNames[] = {"translation", "rotation", "scale"};
constexpr int kComponents[] = {3, 4, 3};

// How far a sampled value may stray from the rest value and still count as resting: float
// rounding of the same placement, taken through the bind matrices' split, and nothing an eye
// could see in a pose.
constexpr float kRestTolerance = 1e-6f;

// Whether any sampled value leaves the rest value. Lengths are compared against the
// skeleton's size, the rest against a share of each; a rotation and its negation are one.
bool Moves(const std::vector<float>& values, const Trs& rest, Path path, float length) {
    const float* at = path == kTranslation ? rest.translation.data()
                      : path == kRotation  ? rest.rotation.data()
                                           : rest.scale.data();
    const auto n = static_cast<std::size_t>(kComponents[path]);
    const float tolerance = kRestTolerance * (path == kTranslation ? length : 1.0f);
    for (std::size_t i = 0; i < values.size(); i += n) {
        float same = 0, opposite = 0;
        for (std::size_t c = 0; c < n; ++c) {
            same = std::max(same, std::abs(values[i + c] - at[c]));
            opposite = std::max(opposite, std::abs(values[i + c] + at[c]));
        }
        if (std::min(same, path == kRotation ? opposite : same) > tolerance) {
            return true;
        }
    }
    return false;
}

struct AnimationBuilder {
    Document& doc;
    const Rig& rig;
    const Source& source;
    int singleTime = -1;  // the input of channels that hold one value
    std::size_t animationBytes = 0;

    void AddChannel(Animation& animation, int node, const char* path, std::vector<float> values,
                    int components, int input, int holdInput = -1);
    std::vector<uint32_t> SampledFrames(std::size_t animation) const;
    Sampled Sample(std::size_t animation);
    void Emit(Sampled sampled, const std::vector<std::array<bool, 3>>& kept);
};

bool Constant(const std::vector<float>& values, std::size_t components) {
    for (std::size_t i = components; i < values.size(); ++i) {
        if (values[i] != values[i % components]) {
            return false;
        }
    }
    return true;
}

// A channel over the sampled frames; one that never changes keeps a single value, or with
// `holdInput` holds it over that input's two times.
void AnimationBuilder::AddChannel(Animation& animation, int node, const char* path,
                                  std::vector<float> values, int components, int input,
                                  int holdInput) {
    const auto n = static_cast<std::size_t>(components);
    if (Constant(values, n) && holdInput >= 0) {
        values.resize(n);
        values.insert(values.end(), values.begin(), values.end());
        input = holdInput;
    } else if (Constant(values, n)) {
        values.resize(n);
        if (singleTime < 0) {
            const float zero = 0;
            singleTime = doc.bin.AddFloats(std::span<const float>(&zero, 1), "SCALAR", 1, true,
                                           Target::None);
        }
        input = singleTime;
    }
    const int output = doc.bin.AddFloats(values, components == 4 ? "VEC4" : "VEC3", components,
                                         false, Target::None);
    animation.channels.push_back({node, path, input, output});
}

// Every integer frame up to one past the last key, where every track has fallen back to its
// base values; the animation's last frame, when later, holds those values too.
std::vector<uint32_t> AnimationBuilder::SampledFrames(std::size_t a) const {
    const uint32_t frameCount = std::max<uint32_t>(source.skeleton.frameCounts[a], 1);
    uint32_t lastKey = 0;
    for (const Bone& bone : source.skeleton.bones) {
        if (a < bone.tracks.size()) {
            lastKey = std::max(lastKey, LastKeyFrame(bone.tracks[a]));
        }
    }
    const uint32_t sampled = std::min(frameCount, lastKey + 2);
    std::vector<uint32_t> frames(sampled);
    for (uint32_t f = 0; f < sampled; ++f) {
        frames[f] = f;
    }
    if (frameCount > sampled) {
        frames.push_back(frameCount - 1);
    }
    return frames;
}

Sampled AnimationBuilder::Sample(std::size_t a) {
    Sampled out;
    out.frames = SampledFrames(a);
    constexpr std::size_t kFloatsPerSample = 10;
    animationBytes +=
        out.frames.size() * source.skeleton.bones.size() * kFloatsPerSample * sizeof(float);
    if (animationBytes > kMaxAnimationBytes) {
        throw Except(ErrorKind::Unsupported, "animations too long to export: %zu frames",
                     out.frames.size());
    }
    out.name = a < source.skeleton.animationNames.size()
                   ? Base::GbkToUtf8(source.skeleton.animationNames[a])
                   : std::to_string(a);
    const Frame& frame = source.frame;
    const AnimTrack still;  // a bone without this animation's track stays at identity
    for (const Bone& bone : source.skeleton.bones) {
        const AnimTrack& track = a < bone.tracks.size() ? bone.tracks[a] : still;
        const Vec3 baseScale = a < bone.tracks.size() ? track.baseScale : kUnitScale;
        const Vec4 baseRotation = a < bone.tracks.size() ? track.baseRotation : Vec4{0, 0, 0, 1};
        const std::span<const VectorKey> positions(track.positionKeys);
        const std::span<const RotationKey> rotations(track.rotationKeys);
        const std::span<const VectorKey> scales(track.scaleKeys);
        const bool sortedT = StrictlyIncreasing(positions);
        const bool sortedR = StrictlyIncreasing(rotations);
        const bool sortedS = StrictlyIncreasing(scales);
        std::array<std::vector<float>, 3> paths;
        auto& [t, r, s] = paths;
        Vec4 previous{0, 0, 0, 1};
        for (uint32_t f : out.frames) {
            const Vec3 tv = KeyAt(positions, sortedT, f, LookupVector).value_or(track.basePosition);
            Vec4 q =
                frame.Rotation(KeyAt(rotations, sortedR, f, LookupRotation).value_or(baseRotation));
            const Vec3 sv = KeyAt(scales, sortedS, f, LookupVector).value_or(baseScale);
            // q and -q turn alike; staying on one side keeps the blend between frames short.
            if (q[0] * previous[0] + q[1] * previous[1] + q[2] * previous[2] + q[3] * previous[3] <
                0) {
                q = {-q[0], -q[1], -q[2], -q[3]};
            }
            previous = q;
            const Vec3 placed = frame.Point({Finite(tv[0]), Finite(tv[1]), Finite(tv[2])});
            t.insert(t.end(), placed.begin(), placed.end());
            r.insert(r.end(), q.begin(), q.end());
            s.insert(s.end(), {Finite(sv[0]), Finite(sv[1]), Finite(sv[2])});
        }
        out.bones.push_back(std::move(paths));
    }
    return out;
}

// Writes the kept paths of every bone; the animation keeps its length even when nothing
// that is left moves in it.
void AnimationBuilder::Emit(Sampled sampled, const std::vector<std::array<bool, 3>>& kept) {
    std::vector<float> times;
    for (uint32_t f : sampled.frames) {
        times.push_back(static_cast<float>(f) / kFramesPerSecond);
    }
    const int input = doc.bin.AddFloats(times, "SCALAR", 1, true, Target::None);
    Animation animation{.name = std::move(sampled.name)};
    std::vector<std::pair<std::size_t, Path>> paths;
    bool varies = false;
    for (std::size_t j = 0; j < sampled.bones.size(); ++j) {
        for (Path path : {kTranslation, kRotation, kScale}) {
            if (kept[j][path]) {
                paths.emplace_back(j, path);
                varies = varies || !Constant(sampled.bones[j][path],
                                             static_cast<std::size_t>(kComponents[path]));
            }
        }
    }
    // When nothing left varies, the first channel holds its value to the last frame.
    int hold = -1;
    if (!varies && times.size() > 1) {
        const float ends[] = {times.front(), times.back()};
        hold = doc.bin.AddFloats(ends, "SCALAR", 1, true, Target::None);
    }
    auto add = [&](int node, const char* path, std::vector<float> values, int components) {
        AddChannel(animation, node, path, std::move(values), components, input,
                   animation.channels.empty() ? hold : -1);
    };
    for (const auto& [j, path] : paths) {
        add(rig.boneNodes[j], kPathNames[path], std::move(sampled.bones[j][path]),
            kComponents[path]);
    }
    if (rig.originJoint >= 0) {
        add(rig.joints[static_cast<std::size_t>(rig.originJoint)], "scale",
            {kNoScale.begin(), kNoScale.end()}, 3);
    }
    if (animation.channels.empty()) {
        // An animation needs a channel: the first bone's rest turn.
        const Vec4 rest = doc.nodes[static_cast<std::size_t>(rig.boneNodes.front())].trs.rotation;
        add(rig.boneNodes.front(), "rotation", {rest.begin(), rest.end()}, 4);
    }
    doc.animations.push_back(std::move(animation));
}

// What a bone without a track of an animation does: stays where its parent puts it.
AnimTrack StillTrack() {
    AnimTrack track;
    track.baseRotation = {0, 0, 0, 1};
    track.baseScale = kUnitScale;
    return track;
}

// A joint the further file lacks keeps its base placement from the first file.
AnimTrack BaseTrack(const Bone& bone) {
    AnimTrack track = StillTrack();
    if (!bone.tracks.empty()) {
        track.basePosition = bone.tracks.front().basePosition;
        track.baseRotation = bone.tracks.front().baseRotation;
        track.baseScale = bone.tracks.front().baseScale;
    }
    return track;
}

std::string Stem(PakMgr::ITreeNode* node) {
    std::string name = node ? node->GetName() : "";
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// Appends the file's animations to `combined`; false when none of its bones is a joint.
bool AddAnimations(Skeleton& combined, const Skeleton& file, const std::string& prefix) {
    std::map<std::string, std::size_t> boneOf;
    for (std::size_t k = 0; k < file.bones.size(); ++k) {
        boneOf.emplace(file.bones[k].name, k);
    }
    std::vector<const Bone*> matched;
    for (const Bone& bone : combined.bones) {
        auto found = boneOf.find(bone.name);
        matched.push_back(found == boneOf.end() ? nullptr : &file.bones[found->second]);
    }
    if (std::all_of(matched.begin(), matched.end(), [](const Bone* b) { return !b; })) {
        return false;
    }
    for (std::size_t e = 0; e < file.frameCounts.size(); ++e) {
        combined.frameCounts.push_back(file.frameCounts[e]);
        combined.animationNames.push_back(
            prefix + (e < file.animationNames.size() ? file.animationNames[e] : std::to_string(e)));
        for (std::size_t j = 0; j < combined.bones.size(); ++j) {
            Bone& bone = combined.bones[j];
            const bool has = matched[j] && e < matched[j]->tracks.size();
            bone.tracks.push_back(has ? matched[j]->tracks[e] : BaseTrack(bone));
        }
    }
    return true;
}

}  // namespace

Skeleton CombineAnimations(const Skeleton& first, const GltfOptions& options) {
    Skeleton combined = first;
    const std::size_t count = combined.frameCounts.size();
    for (std::size_t a = 0; a < count; ++a) {
        combined.animationNames.resize(count);
        combined.animationNames[a] =
            Stem(options.animations.front()) + "/" +
            (first.animationNames.size() > a ? first.animationNames[a] : std::to_string(a));
    }
    for (Bone& bone : combined.bones) {
        bone.tracks.resize(count, StillTrack());
    }
    for (std::size_t i = 1; i < options.animations.size(); ++i) {
        PakMgr::ITreeNode* node = options.animations[i];
        const std::string name = node ? node->GetName() : "?";
        std::string reason;
        ErrorKind kind = ErrorKind::Input;  // a file that fits nothing, or the reader's kind
        try {
            Skeleton file;
            ReadAnimation(node, file);
            if (file.bones.empty()) {
                reason = "not an animation file";
            } else if (!AddAnimations(combined, file, Stem(node) + "/")) {
                reason = "no bone matches the skeleton of " + options.animations.front()->GetName();
            }
        } catch (const Except& e) {
            reason = e.what();
            kind = e.Kind();
        }
        if (reason.empty()) {
            continue;
        }
        if (!options.skipped) {
            throw Except(kind, "%s: %s", name.c_str(), reason.c_str());
        }
        std::string line = name;
        line += ": ";
        line += reason;
        options.skipped->push_back(std::move(line));
    }
    return combined;
}

// A joint's path is written only when some animation moves it from its rest value, so
// that every animation still poses each joint it leaves out.
void BuildAnimations(Document& doc, const Rig& rig, const Source& source) {
    if (!source.Animated()) {
        return;
    }
    AnimationBuilder builder{doc, rig, source};
    std::vector<Sampled> animations;
    for (std::size_t a = 0; a < source.skeleton.frameCounts.size(); ++a) {
        animations.push_back(builder.Sample(a));
    }
    const std::size_t count = source.skeleton.bones.size();
    float length = 0;  // the skeleton's size: the longest rest offset
    for (std::size_t j = 0; j < count; ++j) {
        const Vec3& t = doc.nodes[static_cast<std::size_t>(rig.boneNodes[j])].trs.translation;
        length = std::max({length, std::abs(t[0]), std::abs(t[1]), std::abs(t[2])});
    }
    std::vector<std::array<bool, 3>> kept(count, {false, false, false});
    for (const Sampled& animation : animations) {
        for (std::size_t j = 0; j < count; ++j) {
            const Trs& rest = doc.nodes[static_cast<std::size_t>(rig.boneNodes[j])].trs;
            for (Path path : {kTranslation, kRotation, kScale}) {
                kept[j][path] =
                    kept[j][path] || Moves(animation.bones[j][path], rest, path, length);
            }
        }
    }
    for (Sampled& animation : animations) {
        builder.Emit(std::move(animation), kept);
    }
}

}  // namespace Export::Gltf
