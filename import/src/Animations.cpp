// The glTF's animations back into the .ani files they were exported from. The export names
// each "STEM/ANIMATION" after the file STEM.ani beside the skin; every bone's property is
// sampled at the game's frames and compared with what the file gives there. A track that
// comes back within rounding is the file's own; one that doesn't is keyed at every frame of
// the animation's length, and an animation the file lacks is added.
#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "Plan.h"
#include "base/text.h"
#include "export/gltf_math.h"
#include "model/pose.h"

namespace Import::Detail {

namespace {

using Property = AnimChannel::Property;

// The game's frame rate, the one the export samples at.
constexpr float kFramesPerSecond = 60.0f;
// Frames are 16-bit in version 11; no animation of either version is made longer.
constexpr uint32_t kMostFrames = 65536;
// The keys one import may write, against a glTF that asks for absurd lengths.
constexpr std::size_t kMostKeys = std::size_t{1} << 24;
constexpr Property kProperties[] = {Property::kTranslation, Property::kRotation, Property::kScale};

// A rotation and its negation turn alike.
float RotationDistance(const Vec4& a, const Vec4& b) {
    float same = 0, opposite = 0;
    for (std::size_t c = 0; c < 4; ++c) {
        same = std::max(same, std::abs(a[c] - b[c]));
        opposite = std::max(opposite, std::abs(a[c] + b[c]));
    }
    return std::min(same, opposite);
}

float Distance(const Vec4& a, const Vec4& b) {
    float d = 0;
    for (std::size_t c = 0; c < 3; ++c) {
        d = std::max(d, std::abs(a[c] - b[c]));
    }
    return d;
}

Vec4 Four(const Vec3& v) {
    return {v[0], v[1], v[2], 0};
}

// What the file's track gives at a frame, as the export sampled it.
Vec4 BaseValue(const Model::AnimTrack& track, Property property, uint32_t frame) {
    const auto f = static_cast<float>(frame);
    switch (property) {
        case Property::kTranslation:
            return Four(Model::LookupVector(track.positionKeys, f).value_or(track.basePosition));
        case Property::kRotation:
            return Export::Gltf::Normalized(
                Model::LookupRotation(track.rotationKeys, f).value_or(track.baseRotation));
        case Property::kScale:
            return Four(Model::LookupVector(track.scaleKeys, f).value_or(track.baseScale));
    }
    return {};
}

const char* PropertyName(Property property) {
    return property == Property::kTranslation ? "position"
           : property == Property::kRotation  ? "rotation"
                                              : "scale";
}

// One glTF animation's channels, found by the bone (node) name they move.
class Channels {
public:
    Channels(const Document& doc, const GltfAnimation& animation) : m_doc(doc) {
        for (const AnimChannel& channel : animation.channels) {
            const std::string& name = doc.nodeNames[static_cast<std::size_t>(channel.node)];
            m_channels.try_emplace({name, channel.property}, &channel);
            m_nodes.try_emplace(name, channel.node);
        }
        for (std::size_t n = 0; n < doc.nodeNames.size(); ++n) {
            m_nodes.try_emplace(doc.nodeNames[n], static_cast<int>(n));
        }
    }

    bool HasNode(const std::string& bone) const { return m_nodes.contains(bone); }

    // The glTF's value of the bone's property at a frame: its channel's, or the node's own.
    Vec4 At(const std::string& bone, Property property, uint32_t frame) const {
        const auto channel = m_channels.find({bone, property});
        if (channel != m_channels.end()) {
            const Vec4 v =
                SampleChannel(*channel->second, static_cast<float>(frame) / kFramesPerSecond);
            // glTF asks for unit rotations; one a little off turns as its unit one does.
            return property == Property::kRotation ? Export::Gltf::Normalized(v) : v;
        }
        const NodeRest& rest = m_doc.nodeRests[static_cast<std::size_t>(m_nodes.at(bone))];
        return property == Property::kTranslation ? Four(rest.translation)
               : property == Property::kRotation  ? rest.rotation
                                                  : Four(rest.scale);
    }

    bool Keyed(const std::string& bone, Property property) const {
        return m_channels.contains({bone, property});
    }

private:
    const Document& m_doc;
    std::map<std::pair<std::string, Property>, const AnimChannel*> m_channels;
    std::map<std::string, int> m_nodes;
};

// The glTF's values at every frame, as keys of the file's description; rotations stay on the
// side of `towards` (the base's first value) and of each other.
void Keys(const Channels& channels, const std::string& bone, Property property, uint32_t frames,
          Vec4 towards, Model::TrackDesc& track) {
    for (uint32_t f = 0; f < frames; ++f) {
        Vec4 v = channels.At(bone, property, f);
        if (property == Property::kRotation) {
            if (v[0] * towards[0] + v[1] * towards[1] + v[2] * towards[2] + v[3] * towards[3] < 0) {
                v = {-v[0], -v[1], -v[2], -v[3]};
            }
            towards = v;
            track.rotationKeys.push_back({f, v, std::nullopt});
        } else {
            Model::VectorKeyDesc key{f, {v[0], v[1], v[2]}};
            (property == Property::kTranslation ? track.positionKeys : track.scaleKeys)
                .push_back(key);
        }
    }
}

class FileImport {
public:
    FileImport(PakMgr::ITreeNode* node, std::string stem, const Tolerances& tolerances,
               Report& report)
        : m_stem(std::move(stem)), m_tolerances(tolerances), m_report(report) {
        m_result.node = node;
        m_result.base = FileBytes(node, ".ani");
        PakMgr::CMemoryRead read(m_result.base.data(), static_cast<uint32_t>(m_result.base.size()));
        Model::ReadAnimation(read, m_skeleton);
        m_desc = Model::ReadAnimationDesc(m_result.base);
        // Whether the writer gives the base back from what it read: if not, a rewritten file
        // loses the bytes it doesn't know, and the plan says so.
        m_result.keptWhole = Model::WriteAnimation(m_desc) == m_result.base;
        bool same = m_desc.bones.size() == m_skeleton.bones.size();
        for (std::size_t j = 0; same && j < m_desc.bones.size(); ++j) {
            same = m_desc.bones[j].name == m_skeleton.bones[j].name &&
                   m_desc.bones[j].tracks.size() == m_skeleton.bones[j].tracks.size();
        }
        if (!same || m_skeleton.frameCounts.size() < m_skeleton.animationNames.size()) {
            Refuse(ErrorKind::Input, m_stem + ".ani: a file whose tracks can't be rewritten");
        }
    }

    void Apply(const Document& doc, const GltfAnimation& animation, const std::string& name) {
        const Channels channels(doc, animation);
        for (std::size_t a = 0; a < m_skeleton.animationNames.size(); ++a) {
            if (Base::GbkToUtf8(m_skeleton.animationNames[a]) == name) {
                return Compare(channels, a);
            }
        }
        Add(channels, animation, name);
    }

    AnimationResult Finish() {
        if (m_changed) {
            m_result.bytes = Model::WriteAnimation(m_desc);
        }
        return std::move(m_result);
    }

private:
    std::string Who(std::size_t a) const {
        return m_stem + ".ani: " +
               (a < m_skeleton.animationNames.size() ? Base::GbkToUtf8(m_skeleton.animationNames[a])
                                                     : std::to_string(a));
    }

    float Tolerance(Property property) const {
        return property == Property::kTranslation ? m_tolerances.length
               : property == Property::kRotation  ? m_tolerances.rotation
                                                  : m_tolerances.weight;
    }

    // The first frame at which the glTF leaves the track, if any.
    std::optional<uint32_t> Differs(const Channels& channels, const Model::Bone& bone,
                                    const Model::AnimTrack& track, Property property,
                                    uint32_t frames) const {
        const std::string name = Base::GbkToUtf8(bone.name);
        for (uint32_t f = 0; f < frames; ++f) {
            const Vec4 ours = channels.At(name, property, f);
            const Vec4 base = BaseValue(track, property, f);
            const float d = property == Property::kRotation ? RotationDistance(ours, base)
                                                            : Distance(ours, base);
            if (!(d <= Tolerance(property))) {
                return f;
            }
        }
        return std::nullopt;
    }

    void Compare(const Channels& channels, std::size_t a) {
        const uint32_t frames = std::max<uint32_t>(m_skeleton.frameCounts[a], 1);
        for (std::size_t j = 0; j < m_skeleton.bones.size(); ++j) {
            const Model::Bone& bone = m_skeleton.bones[j];
            const std::string name = Base::GbkToUtf8(bone.name);
            if (a >= bone.tracks.size() || !channels.HasNode(name)) {
                continue;  // a bone the glTF lacks keeps its track
            }
            for (const Property property : kProperties) {
                const auto at = Differs(channels, bone, bone.tracks[a], property, frames);
                if (!at) {
                    continue;
                }
                m_report.Why("animation", Who(a) + ": " + name + "'s " + PropertyName(property) +
                                              " differs from frame " + std::to_string(*at));
                Model::TrackDesc& track = m_desc.bones[j].tracks[a];
                Rekey(track, property);
                Count(frames);
                Keys(channels, name, property, frames, BaseValue(bone.tracks[a], property, 0),
                     track);
                m_changed = true;
            }
        }
    }

    static void Rekey(Model::TrackDesc& track, Property property) {
        if (property == Property::kTranslation) {
            track.positionKeys.clear();
        } else if (property == Property::kRotation) {
            track.rotationKeys.clear();
        } else {
            track.scaleKeys.clear();
        }
    }

    void Count(std::size_t keys) {
        m_keys += keys;
        if (m_keys > kMostKeys) {
            Refuse(ErrorKind::Input, m_stem + ".ani: the glTF's animations would take more than " +
                                         std::to_string(kMostKeys) +
                                         " keys: shorten them or key fewer bones");
        }
    }

    void Add(const Channels& channels, const GltfAnimation& animation, const std::string& name) {
        const double frameCount = std::round(animation.duration * kFramesPerSecond) + 1;
        if (frameCount > kMostFrames) {
            Refuse(ErrorKind::Input, m_stem + ".ani: " + name + " lasts " +
                                         std::to_string(static_cast<long>(frameCount)) +
                                         " frames, the file's frames go to " +
                                         std::to_string(kMostFrames) + ": shorten it");
        }
        const auto frames = static_cast<uint32_t>(frameCount);
        m_desc.animationNames.push_back(GameName(name, m_stem + ".ani: the animation"));
        m_desc.frameCounts.push_back(frames);
        m_desc.animationCount.reset();
        for (std::size_t j = 0; j < m_desc.bones.size(); ++j) {
            Model::AnimBoneDesc& bone = m_desc.bones[j];
            const std::string boneName = Base::GbkToUtf8(bone.name);
            // A bone the animation doesn't key stays at the file's first placement of it.
            Model::TrackDesc track = bone.tracks.empty() ? Model::TrackDesc{} : bone.tracks.front();
            track.positionKeys.clear();
            track.rotationKeys.clear();
            track.scaleKeys.clear();
            for (const Property property : kProperties) {
                if (channels.HasNode(boneName) && channels.Keyed(boneName, property)) {
                    Count(frames);
                    const Vec4 towards =
                        property == Property::kRotation ? track.baseRotation : Vec4{};
                    Keys(channels, boneName, property, frames, towards, track);
                }
            }
            bone.tracks.push_back(std::move(track));
        }
        m_report.Why("animation",
                     m_stem + ".ani: " + name + " added, " + std::to_string(frames) + " frames");
        m_changed = true;
    }

    const std::string m_stem;
    const Tolerances& m_tolerances;
    Report& m_report;
    Model::Skeleton m_skeleton;
    Model::AnimationDesc m_desc;
    AnimationResult m_result;
    bool m_changed = false;
    std::size_t m_keys = 0;
};

// Where the glTF's animations go: the files the export was given, or those beside the skin.
class Files {
public:
    Files(const BaseModel& base, std::span<PakMgr::ITreeNode* const> given)
        : m_given(given.begin(), given.end()), m_folder(base.skinNode->GetParent()) {
        if (m_given.empty() && m_folder) {
            const std::string skin = Stem(base.skinNode);
            if (PakMgr::ITreeNode* own =
                    m_folder->FindChild(Base::Utf8ToGbk(Base::LowerAscii(skin) + ".ani"))) {
                m_given.push_back(own);
            }
            m_beside = true;
        }
    }

    static std::string Stem(PakMgr::ITreeNode* node) {
        const std::string name = Base::GbkToUtf8(node->GetName());
        const std::size_t dot = name.rfind('.');
        return dot == std::string::npos ? name : name.substr(0, dot);
    }

    PakMgr::ITreeNode* First() const { return m_given.empty() ? nullptr : m_given.front(); }

    // The file of the export's name STEM (UTF-8) for it.
    PakMgr::ITreeNode* Named(const std::string& stem) const {
        for (PakMgr::ITreeNode* node : m_given) {
            if (Base::LowerAscii(Stem(node)) == Base::LowerAscii(stem)) {
                return node;
            }
        }
        if (!m_beside || !m_folder) {
            return nullptr;
        }
        const std::string name = Base::Utf8ToGbk(Base::LowerAscii(stem) + ".ani");
        return Base::GbkToUtf8(name) == Base::LowerAscii(stem) + ".ani" ? m_folder->FindChild(name)
                                                                        : nullptr;
    }

    std::size_t Order(PakMgr::ITreeNode* node) const {
        const auto at = std::find(m_given.begin(), m_given.end(), node);
        return static_cast<std::size_t>(at - m_given.begin());
    }

private:
    std::vector<PakMgr::ITreeNode*> m_given;
    PakMgr::ITreeNode* m_folder;
    bool m_beside = false;
};

}  // namespace

std::vector<AnimationResult> ImportAnimations(const BaseModel& base, const Document& doc,
                                              std::span<PakMgr::ITreeNode* const> files,
                                              const Tolerances& tolerances, Report& report) {
    const Files placing(base, files);
    std::map<PakMgr::ITreeNode*, FileImport> imports;
    for (const GltfAnimation& animation : doc.animations) {
        const std::size_t slash = animation.name.find('/');
        const bool named = slash != std::string::npos;
        PakMgr::ITreeNode* node =
            named ? placing.Named(animation.name.substr(0, slash)) : placing.First();
        if (!node) {
            report.Limit("animation " + animation.name + ": no " +
                         (named ? animation.name.substr(0, slash) + ".ani" : "animation file") +
                         " to put it in (name it with --ani): left out");
            continue;
        }
        auto file = imports.find(node);
        if (file == imports.end()) {
            file = imports.try_emplace(node, node, Files::Stem(node), tolerances, report).first;
        }
        file->second.Apply(doc, animation,
                           named ? animation.name.substr(slash + 1) : animation.name);
    }
    std::vector<AnimationResult> results;
    results.reserve(imports.size());
    for (auto& [node, file] : imports) {
        results.push_back(file.Finish());
    }
    // The export's order of files, whatever the order of their nodes in memory.
    std::stable_sort(results.begin(), results.end(),
                     [&](const AnimationResult& a, const AnimationResult& b) {
                         return placing.Order(a.node) < placing.Order(b.node);
                     });
    return results;
}

}  // namespace Import::Detail
