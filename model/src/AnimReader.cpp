// The .ani reader: a skeleton of named bones with one keyed track per bone and animation.
#include <cmath>
#include <cstring>
#include <iterator>
#include <type_traits>

#include "Cursor.h"
#include "model/layout.h"
#include "model/model.h"
#include "model/records.h"

namespace Model {
namespace {

using Layout::AnimHeader;
using Layout::kBoneHeaderSize;
using Layout::kHeaderBlockSize;
using Layout::kNameSize;
constexpr uint32_t kMinimumSize = sizeof(AnimHeader);
constexpr uint32_t kTrackMinimum = 12 + 16 + 12 + 3 * 4;  // base transform and three counts
constexpr uint32_t kSmallestKey = 10;
constexpr float kZeroRotation = 1.1920929e-6f;
constexpr float kRandomMax = 32767.0f;

enum class KeyLayout { Version10, Version11, Unknown };

#pragma pack(push, 1)
struct VectorKey10 {
    uint32_t frame;
    float value[3];
};
struct RotationKey10 {
    uint32_t frame;
    float value[4];
};
struct RotationKey11 {
    uint16_t frame;
    int16_t value[4];
};
#pragma pack(pop)
static_assert(sizeof(VectorKey10) == 16);
static_assert(sizeof(RotationKey10) == 20);
static_assert(sizeof(RotationKey11) == 10);

template <class T>
T At(const uint8_t* bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

KeyLayout LayoutOf(uint32_t version) {
    switch (version) {
        case 10:
            return KeyLayout::Version10;
        case 11:
            return KeyLayout::Version11;
        default:
            return KeyLayout::Unknown;
    }
}

// Four integers at any common scale to a unit quaternion; all zero stays all zero.
Vec4 Normalise(const RotationKey11& stored) {
    Vec4 q;
    bool zero = true;
    for (int k = 0; k < 4; ++k) {
        q[k] = static_cast<float>(stored.value[k]);
        zero = zero && std::fabs(q[k]) < kZeroRotation;
    }
    if (zero) {
        return Vec4{};
    }
    float length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (float& component : q) {
        component /= length;
    }
    return q;
}

template <class Key, class Stored>
void CopyKey(Key& key, const Stored& stored) {
    key.frame = static_cast<uint16_t>(stored.frame);
    // The keys are packed: their value arrays may sit at any address, so no reference to
    // one (std::size would bind one) may be formed.
    for (std::size_t k = 0; k < std::extent_v<decltype(Key::value)>; ++k) {
        key.value[k] = stored.value[k];
    }
}

// Keys of an unknown layout are counted but not read: they stay zero. The count is still
// bounded by the smallest key record so that it can't size a huge array.
void VectorKeys(Cursor& in, KeyLayout layout, std::vector<VectorKey>& keys, const std::string& who,
                std::string_view what) {
    uint32_t n = in.U32(who, std::string(what) + " count");
    if (n == 0) {
        return;
    }
    if (layout == KeyLayout::Version11) {
        in.Array(keys, n, who, what);
    } else if (layout == KeyLayout::Version10) {
        std::vector<VectorKey10> stored;
        in.Array(stored, n, who, what);
        keys.resize(n);
        for (uint32_t i = 0; i < n; ++i) {
            CopyKey(keys[i], stored[i]);
        }
    } else {
        in.Need(uint64_t{n} * kSmallestKey, who, what);
        keys.assign(n, VectorKey{});
    }
}

void RotationKeys(Cursor& in, KeyLayout layout, std::vector<RotationKey>& keys,
                  const std::string& who) {
    constexpr std::string_view kWhat = "rotation keys";
    uint32_t n = in.U32(who, "rotation key count");
    if (n == 0) {
        return;
    }
    if (layout == KeyLayout::Version10) {
        std::vector<RotationKey10> stored;
        in.Array(stored, n, who, kWhat);
        keys.resize(n);
        for (uint32_t i = 0; i < n; ++i) {
            CopyKey(keys[i], stored[i]);
        }
    } else if (layout == KeyLayout::Version11) {
        std::vector<RotationKey11> stored;
        in.Array(stored, n, who, kWhat);
        keys.resize(n);
        for (uint32_t i = 0; i < n; ++i) {
            keys[i].frame = stored[i].frame;
            Vec4 q = Normalise(stored[i]);
            for (int k = 0; k < 4; ++k) {
                keys[i].value[k] = q[k];
            }
        }
    } else {
        in.Need(uint64_t{n} * kSmallestKey, who, kWhat);
        keys.assign(n, RotationKey{});
    }
}

void ReadTrack(Cursor& in, KeyLayout layout, AnimTrack& track, const std::string& who) {
    in.Bytes(track.basePosition.data(), sizeof(Vec3), who, "base translation");
    in.Bytes(track.baseRotation.data(), sizeof(Vec4), who, "base rotation");
    in.Bytes(track.baseScale.data(), sizeof(Vec3), who, "base scale");
    VectorKeys(in, layout, track.positionKeys, who, "translation keys");
    RotationKeys(in, layout, track.rotationKeys, who);
    VectorKeys(in, layout, track.scaleKeys, who, "scale keys");
}

void ReadBone(Cursor& in, KeyLayout layout, const Skeleton& skeleton, Bone& bone,
              std::size_t number) {
    const std::string who = Numbered("bone", number);
    bone.name = in.Name(kNameSize, who, "name");
    bone.parentName = in.Name(kNameSize, who, "parent name");
    in.Skip(Layout::kBoneUnused, who);
    bone.tracks.assign(skeleton.animationCount, AnimTrack{});
    for (std::size_t a = 0; a < bone.tracks.size(); ++a) {
        ReadTrack(in, layout, bone.tracks[a], who + " " + Numbered("track", a));
    }
}

// The last bone of a name wins when names repeat; a parent name that names no bone
// makes a root.
void LinkParents(Skeleton& skeleton) {
    std::vector<Bone>& bones = skeleton.bones;
    for (std::size_t i = 0; i < bones.size(); ++i) {
        bones[i].index = static_cast<uint32_t>(i);
        bones[i].parent = kNoParent;
        for (std::size_t j = 0; j < bones.size(); ++j) {
            if (bones[j].name == bones[i].parentName) {
                bones[i].parent = static_cast<uint32_t>(j);
            }
        }
    }
}

void ColourBones(Skeleton& skeleton) {
    skeleton.boneColors.resize(skeleton.bones.size());
    for (Vec3& colour : skeleton.boneColors) {
        for (float& component : colour) {
            component = static_cast<float>(NextRandom()) / kRandomMax;
        }
    }
}

void ReadHeader(Cursor& in, Skeleton& skeleton) {
    uint8_t header[kMinimumSize];
    in.Bytes(header, sizeof header, "header");
    skeleton.name = Cursor::TextOf({reinterpret_cast<const char*>(header), kNameSize});
    skeleton.version = At<uint32_t>(header, offsetof(AnimHeader, version));
    skeleton.boneCount = At<uint32_t>(header, offsetof(AnimHeader, boneCount));
    skeleton.animationCount = At<uint32_t>(header, offsetof(AnimHeader, animationCount));
}

// Every count is held against the bytes left before anything is sized by it.
void CheckCounts(Cursor& in, const Skeleton& skeleton) {
    uint64_t animations = skeleton.animationCount;
    in.Need(animations * (kNameSize + 4), "animation count " + std::to_string(animations),
            "names and frame counts");
    uint64_t perBone = kBoneHeaderSize + animations * kTrackMinimum;
    uint64_t remainingAfterTables = in.Remaining() - animations * (kNameSize + 4);
    if (uint64_t{skeleton.boneCount} * perBone > remainingAfterTables) {
        in.Fail("bone count " + std::to_string(skeleton.boneCount) + " needs at least " +
                std::to_string(uint64_t{skeleton.boneCount} * perBone) + " bytes of bones, " +
                std::to_string(remainingAfterTables) + " remain");
    }
}

}  // namespace

void ReadAnimation(PakMgr::IRead& reader, Skeleton& skeleton) {
    skeleton = Skeleton{};
    if (reader.GetSize() < kMinimumSize) {
        throw Except(ErrorKind::Corrupt, "not .ani file.");
    }
    Cursor in(reader, ".ani");
    ReadHeader(in, skeleton);
    if (versionCheck && LayoutOf(skeleton.version) == KeyLayout::Unknown) {
        throw Except(ErrorKind::Version, "unknown .ani file version: %d",
                     static_cast<int>(skeleton.version));
    }
    in.SeekTo(kHeaderBlockSize, "header block");
    CheckCounts(in, skeleton);
    skeleton.animationNames.resize(skeleton.animationCount);
    for (std::size_t a = 0; a < skeleton.animationNames.size(); ++a) {
        skeleton.animationNames[a] = in.Name(kNameSize, Numbered("animation", a), "name");
    }
    in.Array(skeleton.frameCounts, skeleton.animationCount, "animation table", "frame counts");
    skeleton.bones.resize(skeleton.boneCount);
    KeyLayout layout = LayoutOf(skeleton.version);
    for (std::size_t b = 0; b < skeleton.bones.size(); ++b) {
        ReadBone(in, layout, skeleton, skeleton.bones[b], b);
    }
    LinkParents(skeleton);
    ColourBones(skeleton);
}

void ReadAnimation(PakMgr::ITreeNode* node, Skeleton& skeleton) {
    std::string name = node ? node->GetName() : std::string();
    if (!IsAnimationName(name)) {
        throw Except(ErrorKind::Input, "not .ani file: %s", name.c_str());
    }
    std::unique_ptr<PakMgr::IRead> file = PakMgr::GetPakMgr()->LoadFile(node);
    if (!file || file->IsEmpty()) {
        throw Except(ErrorKind::Io, "can't read .ani file: %s", name.c_str());
    }
    ReadAnimation(*file, skeleton);
}

}  // namespace Model
