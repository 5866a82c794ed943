#include <algorithm>
#include <cmath>

#include "ByteSink.h"
#include "model/writer.h"

namespace Model {
namespace {

using Model::Layout::kBoneUnused;
constexpr std::size_t kNameField = Model::Layout::kNameSize;
constexpr std::size_t kHeaderUnused =
    Model::Layout::kHeaderBlockSize - sizeof(Model::Layout::AnimHeader);
constexpr float kRotationScale = 32767.0f;

void PutVectorKeys(ByteSink& out, uint32_t version, const std::vector<VectorKeyDesc>& keys) {
    out.Put(static_cast<uint32_t>(keys.size()));
    for (const VectorKeyDesc& key : keys) {
        if (version == 10) {
            out.Put(key.frame);
        } else {
            out.Put(static_cast<uint16_t>(key.frame));
        }
        out.Put(key.value);
    }
}

std::array<int16_t, 4> Pack(const RotationKeyDesc& key) {
    if (key.packed) {
        return *key.packed;
    }
    std::array<int16_t, 4> packed{};
    for (std::size_t k = 0; k < 4; ++k) {
        float scaled = std::clamp(key.value[k] * kRotationScale, -32768.0f, kRotationScale);
        packed[k] = static_cast<int16_t>(std::lround(scaled));
    }
    return packed;
}

void PutRotationKeys(ByteSink& out, uint32_t version, const std::vector<RotationKeyDesc>& keys) {
    out.Put(static_cast<uint32_t>(keys.size()));
    for (const RotationKeyDesc& key : keys) {
        if (version == 10) {
            out.Put(key.frame);
            out.Put(key.value);
        } else {
            out.Put(static_cast<uint16_t>(key.frame));
            out.Put(Pack(key));
        }
    }
}

void PutTrack(ByteSink& out, uint32_t version, const TrackDesc& track) {
    out.Put(track.basePosition);
    out.Put(track.baseRotation);
    out.Put(track.baseScale);
    PutVectorKeys(out, version, track.positionKeys);
    PutRotationKeys(out, version, track.rotationKeys);
    PutVectorKeys(out, version, track.scaleKeys);
}

}  // namespace

std::vector<uint8_t> WriteAnimation(const AnimationDesc& animation) {
    ByteSink out;
    out.PutField(animation.name, kNameField);
    out.Put(animation.version);
    out.Put(animation.boneCount.value_or(static_cast<uint32_t>(animation.bones.size())));
    out.Put(
        animation.animationCount.value_or(static_cast<uint32_t>(animation.animationNames.size())));
    out.Zeros(kHeaderUnused);
    for (const std::string& name : animation.animationNames) {
        out.PutField(name, kNameField);
    }
    out.PutAll<uint32_t>(animation.frameCounts);
    for (const AnimBoneDesc& bone : animation.bones) {
        out.PutField(bone.name, kNameField);
        out.PutField(bone.parentName, kNameField);
        out.Zeros(kBoneUnused);
        for (const TrackDesc& track : bone.tracks) {
            PutTrack(out, animation.version, track);
        }
    }
    return out.Take();
}

}  // namespace Model
