// glTF export, the animations: every animation sampled at its integer frames, one channel
// per bone and property; a channel that never changes keeps one value.
#include <algorithm>
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
    if (keys[i].frame != frame) {
        --i;  // the pair around the frame
    } else if (i == keys.size() - 1) {
        --i;
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

struct AnimationBuilder {
    Document& doc;
    const Rig& rig;
    const Source& source;
    int singleTime = -1;  // the input of channels that hold one value
    std::size_t animationBytes = 0;

    void AddChannel(Animation& animation, int node, const char* path, std::vector<float> values,
                    int components, int input);
    std::vector<uint32_t> SampledFrames(std::size_t animation) const;
    void BuildAnimation(std::size_t animation);
};

// A channel over the sampled frames; one that never changes keeps a single value.
void AnimationBuilder::AddChannel(Animation& animation, int node, const char* path,
                                  std::vector<float> values, int components, int input) {
    const auto n = static_cast<std::size_t>(components);
    bool constant = true;
    for (std::size_t i = n; i < values.size() && constant; ++i) {
        constant = values[i] == values[i % n];
    }
    if (constant) {
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

void AnimationBuilder::BuildAnimation(std::size_t a) {
    const std::vector<uint32_t> frames = SampledFrames(a);
    constexpr std::size_t kFloatsPerSample = 10;
    animationBytes +=
        frames.size() * source.skeleton.bones.size() * kFloatsPerSample * sizeof(float);
    if (animationBytes > kMaxAnimationBytes) {
        throw Except(ErrorKind::Unsupported, "animations too long to export: %zu frames",
                     frames.size());
    }
    Animation animation;
    animation.name = a < source.skeleton.animationNames.size()
                         ? Base::GbkToUtf8(source.skeleton.animationNames[a])
                         : std::to_string(a);
    std::vector<float> times;
    for (uint32_t f : frames) {
        times.push_back(static_cast<float>(f) / kFramesPerSecond);
    }
    const int input = doc.bin.AddFloats(times, "SCALAR", 1, true, Target::None);

    const Frame& frame = source.frame;
    const AnimTrack still;  // a bone without this animation's track stays at identity
    for (std::size_t j = 0; j < source.skeleton.bones.size(); ++j) {
        const Bone& bone = source.skeleton.bones[j];
        const AnimTrack& track = a < bone.tracks.size() ? bone.tracks[a] : still;
        const Vec3 baseScale = a < bone.tracks.size() ? track.baseScale : kUnitScale;
        const Vec4 baseRotation = a < bone.tracks.size() ? track.baseRotation : Vec4{0, 0, 0, 1};
        const std::span<const VectorKey> positions(track.positionKeys);
        const std::span<const RotationKey> rotations(track.rotationKeys);
        const std::span<const VectorKey> scales(track.scaleKeys);
        const bool sortedT = StrictlyIncreasing(positions);
        const bool sortedR = StrictlyIncreasing(rotations);
        const bool sortedS = StrictlyIncreasing(scales);
        std::vector<float> t, r, s;
        Vec4 previous{0, 0, 0, 1};
        for (uint32_t f : frames) {
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
        const int node = rig.boneNodes[j];
        AddChannel(animation, node, "translation", std::move(t), 3, input);
        AddChannel(animation, node, "rotation", std::move(r), 4, input);
        AddChannel(animation, node, "scale", std::move(s), 3, input);
    }
    if (rig.originJoint >= 0) {
        AddChannel(animation, rig.joints[static_cast<std::size_t>(rig.originJoint)], "scale",
                   {kNoScale.begin(), kNoScale.end()}, 3, input);
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
        options.skipped->push_back(name + ": " + reason);
    }
    return combined;
}

void BuildAnimations(Document& doc, const Rig& rig, const Source& source) {
    if (!source.Animated()) {
        return;
    }
    AnimationBuilder builder{doc, rig, source};
    for (std::size_t a = 0; a < source.skeleton.frameCounts.size(); ++a) {
        builder.BuildAnimation(a);
    }
}

}  // namespace Export::Gltf
