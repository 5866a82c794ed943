// The crowd: characters made from the hero's generator, each with a name, a height, colours
// and a skeleton of its own, so that the program can be tried on hundreds of models.
#include <algorithm>
#include <cmath>

#include "SampleCharacter.h"
#include "TwoThreads.h"
#include "base/text.h"

namespace Forge::SampleBuild {
namespace {

constexpr std::array<const char*, 16> kCrowdNames = {
    "ranger", "warden",  "oracle", "nomad",  "duelist", "envoy", "pilgrim", "smith",
    "sentry", "drifter", "herald", "mystic", "raider",  "scout", "vassal",  "weaver"};

// The side of the crowd's textures: small, as a game's crowd is.
constexpr uint32_t kCrowdTexture = 128;
constexpr float kSmallest = 0.8f;
constexpr float kTallest = 1.2f;
// The golden angle: neighbours in the crowd wear colours far apart.
constexpr float kHueStep = 137.5f;

// Bones left out by each kind of skeleton: whole leaf branches, so every bone kept keeps
// its parent. 30, 28, 27 and 24 bones.
const std::array<std::vector<BoneId>, 4>& SkeletonKinds() {
    static const std::array<std::vector<BoneId>, 4> kinds = {
        std::vector<BoneId>{},
        {kPonytail1, kPonytail2},
        {kLFinger, kRFinger, kHeadNub},
        {kPonytail1, kPonytail2, kLFinger, kRFinger, kHeadNub, kFootsteps, kBoxBone}};
    return kinds;
}

struct Member {
    std::string name;
    float scale = 1;
    float hue = 0;  // degrees
    Vec4 skin{};
    const std::vector<BoneId>* dropped = nullptr;
};

std::string Number(uint32_t value) {
    std::string s = std::to_string(value);
    return std::string(s.size() < 3 ? 3 - s.size() : 0, '0') + s;
}

Member MakeMember(uint32_t k) {
    Member m;
    m.name = std::string(kCrowdNames[k % kCrowdNames.size()]) + "_" +
             Number(k / uint32_t(kCrowdNames.size()) + 1);
    m.scale = kSmallest + (kTallest - kSmallest) * float(Hash(k, 71) % 1001) / 1000.0f;
    m.hue = std::fmod(float(k) * kHueStep, 360.0f);
    const float tan = float(Hash(k, 73) % 1001) / 1000.0f;
    m.skin = {0.98f - 0.35f * tan, 0.82f - 0.35f * tan, 0.72f - 0.3f * tan, 1};
    // Every kind of skeleton among any four neighbours, and under every name.
    const uint32_t names = uint32_t(kCrowdNames.size());
    m.dropped = &SkeletonKinds()[(k + k / names) % SkeletonKinds().size()];
    return m;
}

// ---- pictures -----------------------------------------------------------------------------

// Averages square blocks of pixels down to `side` pixels a side.
Picture Shrink(const Picture& big, uint32_t side) {
    const uint32_t step = big.width / side;
    Picture small{side, side, std::vector<uint8_t>(std::size_t{side} * side * 4)};
    for (uint32_t y = 0; y < side; ++y) {
        for (uint32_t x = 0; x < side; ++x) {
            for (int c = 0; c < 4; ++c) {
                uint32_t sum = 0;
                for (uint32_t dy = 0; dy < step; ++dy) {
                    for (uint32_t dx = 0; dx < step; ++dx) {
                        sum += big.rgba[((std::size_t{y} * step + dy) * big.width +
                                         std::size_t{x} * step + dx) *
                                            4 +
                                        c];
                    }
                }
                small.rgba[(std::size_t{y} * side + x) * 4 + c] = uint8_t(sum / (step * step));
            }
        }
    }
    return small;
}

// Whether texture coordinates (u, v) of the cloth picture lie on cloth, not on skin or
// leather (see PaintCloth's atlas).
bool OnCloth(float u, float v) {
    constexpr float kSleeveEnd = 0.5f + 0.3f * 0.46f;
    return v < 0.5f || v >= 0.8f || (u < 0.5f && v < kSleeveEnd);
}

// The cloth's colours turned round the grey axis by `degrees`; with `everywhere`, every
// pixel's.
Picture Tinted(const Picture& picture, float degrees, bool everywhere) {
    const float a = degrees * 3.14159265f / 180;
    const float c = std::cos(a);
    const float s = std::sin(a) / std::sqrt(3.0f);
    const float k = (1 - c) / 3;
    const float m[3][3] = {{c + k, k - s, k + s}, {k + s, c + k, k - s}, {k - s, k + s, c + k}};
    Picture out = picture;
    for (std::size_t p = 0; p < out.rgba.size(); p += 4) {
        const std::size_t pixel = p / 4;
        const std::size_t row = pixel / picture.width;
        const std::size_t column = pixel % picture.width;
        const float u = (float(column) + 0.5f) / float(picture.width);
        const float v = (float(row) + 0.5f) / float(picture.height);
        if (!everywhere && !OnCloth(u, v)) {
            continue;
        }
        for (int row = 0; row < 3; ++row) {
            float v = 0;
            for (int col = 0; col < 3; ++col) {
                v += m[row][col] * float(picture.rgba[p + col]);
            }
            out.rgba[p + row] = uint8_t(std::clamp(std::lround(v), 0l, 255l));
        }
    }
    return out;
}

// What every member is made from: the hero's pictures, small, and their shared encodings.
struct Wardrobe {
    Picture cloth, trousers;
    std::vector<uint8_t> face, boots, hair, mask, tattoo;
};

Wardrobe MakeWardrobe() {
    Wardrobe w;
    Both([&] { w.cloth = Shrink(PaintCloth(Cloth::Crimson, 512), kCrowdTexture); },
         [&] {
             w.trousers = Shrink(PaintTrousers(), kCrowdTexture);
             w.face = EncodeDds(Shrink(PaintFace(), kCrowdTexture), DdsFormat::DXT1);
             w.boots = EncodeDds(Shrink(PaintBoots(), kCrowdTexture), DdsFormat::DXT1);
             w.hair = EncodeDds(Shrink(PaintHair(), kCrowdTexture), DdsFormat::DXT5);
             w.mask = EncodeDds(Shrink(PaintMask(), kCrowdTexture), DdsFormat::DXT1);
             w.tattoo = EncodeDds(Shrink(PaintTattoo(), kCrowdTexture), DdsFormat::DXT1);
         });
    return w;
}

// ---- models -------------------------------------------------------------------------------

bool Dropped(const Member& m, int bone) {
    return std::find(m.dropped->begin(), m.dropped->end(), bone) != m.dropped->end();
}

// The bone a vertex of a left-out bone follows instead: its nearest ancestor that stays.
const char* Kept(const Member& m, const std::string& name) {
    int bone = 0;
    while (bone < kBoneTotal && name != Bones()[bone].name) {
        ++bone;
    }
    while (bone < kBoneTotal && Dropped(m, bone) && Bones()[bone].parent != kNoParent) {
        bone = Bones()[bone].parent;
    }
    return bone < kBoneTotal ? Bones()[bone].name : name.c_str();
}

void ScaleTranslation(Matrix& matrix, float scale) {
    for (int i = 12; i < 15; ++i) {
        matrix[i] *= scale;
    }
}

MeshDesc MemberMesh(const MeshDesc& hero, const Member& m) {
    MeshDesc mesh = hero;
    mesh.name = m.name;
    mesh.boxMin = hero.boxMin * m.scale;
    mesh.boxMax = hero.boxMax * m.scale;
    std::erase_if(mesh.bones, [&](const MeshBoneDesc& b) { return Kept(m, b.name) != b.name; });
    for (MeshBoneDesc& bone : mesh.bones) {
        ScaleTranslation(bone.matrix, m.scale);
    }
    for (SubMeshDesc& sub : mesh.subMeshes) {
        for (Vec3& p : sub.positions) {
            p = p * m.scale;
        }
        // Slots of left-out bones move to the bone that takes their vertices.
        std::vector<std::string> names;
        std::vector<uint16_t> slotOf;
        for (const std::string& name : sub.boneNames.value_or(std::vector<std::string>{})) {
            const std::string kept = Kept(m, name);
            auto it = std::find(names.begin(), names.end(), kept);
            if (it == names.end()) {
                names.push_back(kept);
                it = names.end() - 1;
            }
            slotOf.push_back(uint16_t(it - names.begin()));
        }
        for (auto& slots : sub.boneSlots) {
            for (uint16_t& slot : slots) {
                if (slot != kNoBoneSlot && slot < slotOf.size()) {
                    slot = slotOf[slot];
                }
            }
        }
        if (sub.boneNames) {
            sub.boneNames = std::move(names);
        }
    }
    return mesh;
}

AnimationDesc MemberAnimation(const AnimationDesc& hero, const Member& m) {
    AnimationDesc animation = hero;
    animation.name = m.name;
    std::erase_if(animation.bones,
                  [&](const AnimBoneDesc& b) { return Kept(m, b.name) != b.name; });
    for (AnimBoneDesc& bone : animation.bones) {
        for (TrackDesc& track : bone.tracks) {
            track.basePosition = track.basePosition * m.scale;
            for (VectorKeyDesc& key : track.positionKeys) {
                key.value = key.value * m.scale;
            }
        }
    }
    return animation;
}

void AddMember(FileSet& set, const Member& m, const HeroModel& hero, const Wardrobe& w) {
    const std::string folder = std::string(Sample::kCrowdFolder) + "\\" + m.name;
    const std::string tex = folder + "\\tex\\" + m.name;
    const auto named = [&](const char* what) { return m.name + "_" + what + ".dds"; };
    std::vector<Look> looks = hero.looks;
    for (Look& look : looks) {
        const auto rename = [&](std::string& file, const char* what) {
            if (!file.empty()) {
                file = named(what);
            }
        };
        const std::string was = look.diffuse;
        rename(look.mask, "mask");
        rename(look.tattoo, "tattoo");
        look.volume = false;
        look.skinColour = m.skin;
        for (const char* what : {"face", "cloth", "leg", "boots", "hair"}) {
            if (Base::LowerAscii(was).find(what) != std::string::npos) {
                look.diffuse = named(what);
            }
        }
    }
    set.Add(folder + "\\" + m.name + ".msh", WriteMesh(MemberMesh(hero.mesh, m)));
    set.Add(folder + "\\" + m.name + ".skn", MakeSkin(m.name, m.name + ".msh", looks));
    set.Add(folder + "\\" + m.name + ".ani", WriteAnimation(MemberAnimation(hero.animation, m)));
    set.Add(tex + "_face.dds", w.face);
    set.Add(tex + "_cloth.dds", EncodeDds(Tinted(w.cloth, m.hue, false), DdsFormat::DXT1));
    set.Add(tex + "_leg.dds", EncodeDds(Tinted(w.trousers, 360 - m.hue, true), DdsFormat::DXT1));
    set.Add(tex + "_boots.dds", w.boots);
    set.Add(tex + "_hair.dds", w.hair);
    set.Add(tex + "_mask.dds", w.mask);
    set.Add(tex + "_tattoo.dds", w.tattoo);
}

}  // namespace

FileSet MakeCrowd(uint32_t count) {
    FileSet set;
    if (count == 0) {
        return set;
    }
    const HeroModel hero = MakeHeroModel();
    const Wardrobe wardrobe = MakeWardrobe();
    // Members are made on two threads into sets of their own, then joined in order.
    std::vector<FileSet> members(count);
    OnTwoThreads(count, [&](std::size_t k) {
        AddMember(members[k], MakeMember(static_cast<uint32_t>(k)), hero, wardrobe);
    });
    for (FileSet& member : members) {
        for (PakFile& file : member.files) {
            set.files.push_back(std::move(file));
        }
    }
    return set;
}

}  // namespace Forge::SampleBuild
