// The sample character's files: the whole model, its parts and the weapon as meshes and
// skins, their textures, the animations, and the patched copies the update archive carries.
#include <algorithm>

#include "SampleCharacter.h"
#include "TwoThreads.h"

namespace Forge::SampleBuild {
namespace {

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
    names.reserve(used.size());
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

// ---- skins --------------------------------------------------------------------------------

}  // namespace

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

namespace {

const Look kFaceLook{.diffuse = "Hero_Face.dds", .eyes = true};
const Look kClothLook{
    .diffuse = "hero_cloth.dds", .mask = "hero_mask.dds", .tattoo = "hero_tattoo.dds"};
const Look kTrouserLook{.diffuse = "hero_leg.dds"};
const Look kBootLook{.diffuse = "HERO_BOOTS.dds"};
const Look kHairLook{.diffuse = "hero_hair.dds", .volume = true};

// ---- the files ----------------------------------------------------------------------------

struct Textures {
    std::vector<uint8_t> face, cloth, clothPatched, costume, trousers, boots, hair, glove, helmet,
        sword, glow, mask, tattoo;
};

Textures PaintTextures() {
    // The big pictures are the slow part: paint and encode them beside the rest.
    Textures t;
    Both(
        [&] {
            t.face = EncodeDds(PaintFace(), DdsFormat::DXT1);
            t.clothPatched = EncodeDds(PaintCloth(Cloth::Azure, 1024), DdsFormat::DXT1);
        },
        [&] {
            t.cloth = EncodeDds(PaintCloth(Cloth::Crimson, 1024), DdsFormat::DXT1);
            t.costume = EncodeDds(PaintCloth(Cloth::Costume, 512), DdsFormat::DXT1);
            t.trousers = EncodeDds(PaintTrousers(), DdsFormat::DXT1);
            t.boots = EncodeDds(PaintBoots(), DdsFormat::DXT1);
            t.hair = EncodeDds(PaintHair(), DdsFormat::DXT5);
            t.glove = EncodeDds(PaintGlove(), DdsFormat::DXT1);
            t.helmet = EncodeDds(PaintHelmet(), DdsFormat::DXT1);
            t.sword = EncodeDds(PaintSword(), DdsFormat::DXT1);
            t.glow = EncodeDds(PaintGlow(), DdsFormat::DXT1);
            t.mask = EncodeDds(PaintMask(), DdsFormat::DXT1);
            t.tattoo = EncodeDds(PaintTattoo(), DdsFormat::DXT1);
        });
    return t;
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

HeroModel MakeHeroModel() {
    const MeshOptions whole{.version = Sample::kHeroMeshVersion};
    const auto head = std::vector<Piece>{Head(), Neck()};
    const auto body = Join(std::vector<Piece>{Torso()}, Arms());
    const auto skirt = std::vector<Piece>{Skirt(), Belt()};
    HeroModel hero;
    hero.mesh = MakeMesh(
        "hero",
        {MakeSubMesh("head", head, whole), MakeSubMesh("body", Join(body, Hands(kHandUv)), whole),
         MakeSubMesh("leg", Legs(), whole), MakeSubMesh("boots", Boots(), whole),
         MakeSubMesh("skirt", skirt, whole), MakeSubMesh("hair", Hair(), whole)},
        whole);
    hero.looks = {kFaceLook, kClothLook, kTrouserLook, kBootLook, kClothLook, kHairLook};
    hero.animation = HeroAnimation();
    return hero;
}

namespace {

const std::string kWeaponFolder = std::string(Sample::kHeroFolder) + "\\weapon";

// The character's meshes, skins and animations.
void AddModels(FileSet& set) {
    const MeshOptions v11{.version = 11};
    const MeshOptions v12{.version = 12};
    const MeshOptions v13{.version = 13};
    const auto head = std::vector<Piece>{Head(), Neck()};
    const auto body = Join(std::vector<Piece>{Torso()}, Arms());
    const auto skirt = std::vector<Piece>{Skirt(), Belt()};
    const auto hair = Hair();
    const std::string folder = Sample::kHeroFolder;
    const std::string parts = Sample::kPartsFolder;

    const HeroModel hero = MakeHeroModel();
    set.Add(folder + "\\hero.msh", WriteMesh(hero.mesh));
    set.Add(folder + "\\hero.skn", MakeSkin("hero", "hero.msh", hero.looks));

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
    const std::string& weapon = kWeaponFolder;
    set.Add(weapon + "\\hero_sword.msh", WriteMesh(sword));
    set.Add(
        weapon + "\\hero_sword.skn",
        MakeSkin("hero_sword", "Hero_Sword.msh",
                 {Look{.diffuse = "hero_sword.dds", .skinColour = {1, 1, 1, 1}, .glow = true}}));

    set.Add(Sample::kHeroAnimation, MakeHeroAnimation());
    set.Add(Sample::kBowAnimation, MakeBowAnimation());
}

}  // namespace

CharacterFiles MakeCharacter() {
    CharacterFiles files;
    Textures t;
    Both([&] { t = PaintTextures(); }, [&] { AddModels(files.base); });
    FileSet& set = files.base;
    const std::string folder = Sample::kHeroFolder;
    const std::string parts = Sample::kPartsFolder;
    const std::string& weapon = kWeaponFolder;

    // The patch: a recoloured tunic for the whole model, and a costume skin that names a
    // texture only the patch carries.
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
