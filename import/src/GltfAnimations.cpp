// The glTF's animations read back into the game's frame: every sampler's keys checked, each
// value scaled back and mirrored back as the export mirrored it.
#include "GltfAnimations.h"

#include <algorithm>
#include <cmath>

#include "export/gltf_math.h"

namespace Import::Detail {

namespace {

using Property = AnimChannel::Property;
using Interpolation = AnimChannel::Interpolation;

// Longer animations than this are refused: sampling them would take more memory than any
// game's animation needs (over nine hours at the game's frame rate).
constexpr float kLongestSeconds = 32768.0f;

std::size_t Components(Property property) {
    return property == Property::kRotation ? 4 : 3;
}

// The glTF's value in the game's frame: lengths scaled back and z mirrored, rotations seen
// through the same mirror (x and y turn the other way).
void ToGame(Property property, float scale, std::span<float> value) {
    if (property == Property::kTranslation) {
        value[0] /= scale;
        value[1] /= scale;
        value[2] = -value[2] / scale;
    } else if (property == Property::kRotation) {
        value[0] = -value[0];
        value[1] = -value[1];
    }
}

std::optional<Property> PropertyOf(const std::string& path) {
    if (path == "translation") {
        return Property::kTranslation;
    }
    if (path == "rotation") {
        return Property::kRotation;
    }
    if (path == "scale") {
        return Property::kScale;
    }
    return std::nullopt;  // weights: morph targets, which the game has none of
}

Interpolation InterpolationOf(const std::string& name, const std::string& who) {
    if (name.empty() || name == "LINEAR") {
        return Interpolation::kLinear;
    }
    if (name == "STEP") {
        return Interpolation::kStep;
    }
    if (name == "CUBICSPLINE") {
        return Interpolation::kCubicSpline;
    }
    Bad(who + ": unknown interpolation " + name);
}

AnimChannel ReadChannel(const tg::Model& model, const tg::Animation& animation,
                        const tg::AnimationChannel& in, Property property,
                        const Accessors& accessors, float scale) {
    const std::string who = "animation " + animation.name;
    if (in.sampler < 0 || static_cast<std::size_t>(in.sampler) >= animation.samplers.size()) {
        Bad(who + ": a channel without a sampler");
    }
    if (in.target_node < 0 || static_cast<std::size_t>(in.target_node) >= model.nodes.size()) {
        Bad(who + ": a channel without a node");
    }
    const tg::AnimationSampler& sampler = animation.samplers[static_cast<std::size_t>(in.sampler)];
    AnimChannel out{.node = in.target_node,
                    .property = property,
                    .interpolation = InterpolationOf(sampler.interpolation, who)};
    out.times = accessors.Floats(sampler.input, 1, who + " times");
    for (std::size_t k = 0; k < out.times.size(); ++k) {
        if (out.times[k] < 0 || out.times[k] > kLongestSeconds ||
            (k > 0 && out.times[k] <= out.times[k - 1])) {
            Bad(who + ": key times that don't increase from 0 (or last over " +
                std::to_string(static_cast<int>(kLongestSeconds)) + " seconds)");
        }
    }
    const std::size_t n = Components(property);
    out.values = accessors.Floats(sampler.output, static_cast<int>(n), who + " values");
    const std::size_t perKey = out.interpolation == Interpolation::kCubicSpline ? 3 * n : n;
    if (out.times.empty() || out.values.size() != out.times.size() * perKey) {
        Bad(who + ": not one value a key time");
    }
    for (std::size_t i = 0; i < out.values.size(); i += n) {
        ToGame(property, scale, std::span<float>(out.values).subspan(i, n));
    }
    return out;
}

NodeRest RestOf(const tg::Node& node, float scale) {
    Export::Gltf::Trs trs = NodeTrs(node);
    ToGame(Property::kTranslation, scale, trs.translation);
    ToGame(Property::kRotation, scale, trs.rotation);
    return {trs.translation, Export::Gltf::Normalized(trs.rotation), trs.scale};
}

Vec4 KeyValue(const AnimChannel& channel, std::size_t key) {
    const std::size_t n = Components(channel.property);
    const std::size_t stride = channel.interpolation == Interpolation::kCubicSpline ? 3 * n : n;
    const std::size_t at = key * stride + (stride == n ? 0 : n);
    Vec4 v{0, 0, 0, 0};
    std::copy_n(channel.values.begin() + static_cast<std::ptrdiff_t>(at), n, v.begin());
    return v;
}

}  // namespace

std::vector<GltfAnimation> ReadAnimations(const tg::Model& model, const Accessors& accessors,
                                          float scale) {
    std::vector<GltfAnimation> animations;
    for (const tg::Animation& in : model.animations) {
        GltfAnimation animation{.name = WithoutCopySuffix(in.name)};
        for (const tg::AnimationChannel& channel : in.channels) {
            if (const std::optional<Property> property = PropertyOf(channel.target_path)) {
                animation.channels.push_back(
                    ReadChannel(model, in, channel, *property, accessors, scale));
                animation.duration =
                    std::max(animation.duration, animation.channels.back().times.back());
            }
        }
        animations.push_back(std::move(animation));
    }
    return animations;
}

std::vector<NodeRest> ReadNodeRests(const tg::Model& model, float scale) {
    std::vector<NodeRest> rests;
    for (const tg::Node& node : model.nodes) {
        rests.push_back(RestOf(node, scale));
    }
    return rests;
}

Vec4 SampleChannel(const AnimChannel& channel, float time) {
    const std::vector<float>& times = channel.times;
    const auto after = std::upper_bound(times.begin(), times.end(), time);
    if (after == times.begin()) {
        return KeyValue(channel, 0);
    }
    const auto k = static_cast<std::size_t>(after - times.begin()) - 1;
    // A key within a hundredth of a frame is the value itself: the frames the export wrote
    // and a tool sampled again at the same rate come back as stored.
    constexpr float kSameTime = 1.0f / 6000.0f;
    if (after == times.end() || time - times[k] < kSameTime ||
        channel.interpolation == Interpolation::kStep) {
        return KeyValue(channel, k);
    }
    if (times[k + 1] - time < kSameTime) {
        return KeyValue(channel, k + 1);
    }
    // Cubic keys are blended as linear ones between their values: close enough between the
    // frames of a tool that samples at the game's rate.
    const float t = (time - times[k]) / (times[k + 1] - times[k]);
    Vec4 a = KeyValue(channel, k);
    Vec4 b = KeyValue(channel, k + 1);
    const bool rotation = channel.property == Property::kRotation;
    if (rotation && a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3] < 0) {
        b = {-b[0], -b[1], -b[2], -b[3]};
    }
    Vec4 v{};
    for (std::size_t c = 0; c < 4; ++c) {
        v[c] = a[c] + (b[c] - a[c]) * t;
    }
    return rotation ? Export::Gltf::Normalized(v) : v;
}

}  // namespace Import::Detail
