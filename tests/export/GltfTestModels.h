// Game folders for the glTF tests, written with the project's writers: a skinned character
// whose weights cover every case the pose knows, its animations, a texture and a sword.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "forge/dds.h"
#include "forge/model.h"
#include "forge/pak.h"

namespace GltfTest {

// A turn about z by `angle` radians followed by a translation, as an inverse bind matrix;
// Translate is no turn.
inline Forge::Matrix TurnZ(float angle, float x, float y, float z) {
    Forge::Matrix m = Forge::kIdentityMatrix;
    m[12] = x;
    m[13] = y;
    m[14] = z;
    m[0] = std::cos(angle);
    m[1] = std::sin(angle);
    m[4] = -std::sin(angle);
    m[5] = std::cos(angle);
    return m;
}

inline Forge::Matrix Translate(float x, float y, float z) {
    return TurnZ(0, x, y, z);
}

inline Forge::Vec4 AxisTurn(Forge::Vec3 axis, float angle) {
    const float s = std::sin(angle / 2);
    return {axis[0] * s, axis[1] * s, axis[2] * s, std::cos(angle / 2)};
}

// The skeleton's bone names in code page 936 where the game uses Chinese.
inline const std::string kSpine = "\xC9\xED\xCC\xE5";  // 身体
inline const std::string kWalk = "\xD7\xDF";           // 走

// Six vertices around the y axis, with normals as read and texture rows.
inline Forge::SubMeshDesc Ring(std::string name, float y, uint32_t stripFlag,
                               std::vector<uint16_t> indices) {
    Forge::SubMeshDesc s{
        .name = std::move(name), .stripFlag = stripFlag, .indices = std::move(indices)};
    for (int i = 0; i < 6; ++i) {
        const float a = static_cast<float>(i) * 1.047f;
        s.positions.push_back({3 * std::cos(a), y + static_cast<float>(i % 2), 3 * std::sin(a)});
        s.normals.push_back({std::cos(a) * 2, 0, std::sin(a) * 2});  // not unit length
        s.texCoords.push_back({static_cast<float>(i) / 5, 0.25f * static_cast<float>(i % 3)});
    }
    return s;
}

inline void Weigh(Forge::SubMeshDesc& s, std::vector<std::array<uint16_t, 4>> slots,
                  std::vector<Forge::Vec4> weights, std::vector<std::string> names) {
    s.boneSlots = std::move(slots);
    s.boneWeights = std::move(weights);
    s.boneNames = std::move(names);
}

constexpr uint16_t kNone = Forge::kNoBoneSlot;

// Mesh bones: root, spine (身体), arm, late, missing (no such skeleton bone), ~BoxBone01.
inline Forge::MeshDesc CharacterMesh(const std::string& name, Forge::Matrix spineBind) {
    Forge::MeshDesc mesh{.name = name, .boxMin = {-5, 0, -5}, .boxMax = {5, 20, 5}};
    mesh.bones = {{"root", Forge::kIdentityMatrix}, {kSpine, spineBind},
                  {"arm", TurnZ(0.5f, -3, -12, 0)}, {"late", Translate(0, -4, 0)},
                  {"missing", Translate(1, 1, 1)},  {"~BoxBone01", TurnZ(-0.3f, -5, -12, 0)}};
    const std::vector<std::string> names = {"root", kSpine, "arm", "late", "missing"};

    // Every kind of influence: one bone, two, a sum below 1, an empty slot with weight, a
    // bone the skeleton lacks, a slot past the name table, a repeated slot, five bones.
    Forge::SubMeshDesc body = Ring("body", 10, 0, {0, 1, 2, 2, 3, 4, 4, 4, 5, 5, 0, 1, 3});
    // clang-format off
    Weigh(body, {{1, kNone, kNone, kNone}, {1, 2, kNone, kNone}, {0, 1, kNone, kNone}, {kNone, 1, kNone, kNone}, {4, 2, 7, 2}, {0, 1, 2, 3}},
          {{1, 0, 0, 0}, {0.5f, 0.5f, 0, 0}, {0.3f, 0.3f, 0, 0}, {0.4f, 0.6f, 0, 0}, {0.4f, 0.2f, 0.2f, 0.2f}, {0.2f, 0.2f, 0.2f, 0.2f}}, names);
    // clang-format on
    Forge::SubMeshDesc strip = Ring("strip", 14, 1, {0, 1, 1, 2, 3, 4, 5});
    Weigh(strip, std::vector<std::array<uint16_t, 4>>(6, {2, 1, kNone, kNone}),
          std::vector<Forge::Vec4>(6, {0.75f, 0.25f, 0, 0}), names);
    Forge::SubMeshDesc plain = Ring("plain", 2, 0, {0, 1, 2, 3, 4, 5});
    Weigh(plain, std::vector<std::array<uint16_t, 4>>(6, {0, 3, kNone, kNone}),
          std::vector<Forge::Vec4>(6, {0.5f, 0.5f, 0, 0}), names);
    Forge::SubMeshDesc lost = Ring("lost", 6, 0, {0, 2, 4});
    Weigh(lost, std::vector<std::array<uint16_t, 4>>(6, {2, kNone, kNone, kNone}),
          std::vector<Forge::Vec4>(6, {1, 0, 0, 0}), names);
    mesh.subMeshes = {body, strip, plain, lost};
    return mesh;
}

inline Forge::MaterialDesc Textured(const std::string& file) {
    Forge::MaterialDesc m;
    m.params.push_back(Forge::TextParam("g_DiffuseTex", file));
    return m;
}

// A glow of `colour` × `power`, painted by `texture` when one is named.
inline Forge::MaterialDesc Glowing(Forge::MaterialDesc m, Forge::Vec4 colour, float power,
                                   const std::string& texture = "") {
    m.params.push_back(Forge::ColourParam("g_EmissiveColor", colour));
    m.params.push_back(Forge::ScalarParam("g_EmissivePower", power));
    if (!texture.empty()) {
        m.params.push_back(Forge::TextParam("g_EmissiveTex", texture));
    }
    return m;
}

inline Forge::SkinDesc CharacterSkin(const std::string& meshName) {
    Forge::SkinDesc skin;
    skin.meshName = meshName;
    // body and strip share one texture (named in two cases); plain has none but glows
    // brighter than 1; lost names a texture and a glow texture that are not there.
    Forge::MaterialDesc lost = Textured("gone.dds");
    lost.params.push_back(Forge::TextParam("g_EmissiveTex", "gone glow.dds"));
    skin.materials = {Textured("hero.dds"), Textured("HERO.DDS"),
                      Glowing(Forge::MaterialDesc{}, {0.2f, 0.2f, 0.2f, 1}, 10), lost};
    return skin;
}

inline std::vector<uint8_t> Texture() {
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 16; ++i) {
        pixels.insert(pixels.end(), {static_cast<uint8_t>(i * 16), 0x80, 0x20,
                                     static_cast<uint8_t>(i % 2 ? 0xFF : 0x40)});
    }
    return Forge::WriteDds(Forge::DdsDesc{.width = 4, .height = 4}, pixels);
}

// Bones: root; 身体 below it; arm below 身体; "early" whose parent comes after it; late;
// ~BoxBone01 below arm. Animation 0 (走) has 24 frames, animation 1 has 7 with keys past its
// end.
inline Forge::AnimationDesc Animation(uint32_t version) {
    using Forge::TrackDesc;
    const float quarter = 1.5707963f;
    Forge::AnimationDesc ani{.name = "hero", .version = version};
    ani.animationNames = {kWalk, "attack"};
    ani.frameCounts = {24, 7};

    TrackDesc root0;
    root0.positionKeys = {{0, {0, 0, 0}}, {10, {5, 0, 0}}, {20, {5, 0, 8}}};
    root0.rotationKeys = {{0, {0, 0, 0, 1}}, {10, AxisTurn({0, 0, 1}, quarter)}};
    TrackDesc root1{.basePosition = {0, 1, 0}};
    root1.rotationKeys = {{0, AxisTurn({1, 0, 0}, 0.3f)}, {20, AxisTurn({1, 0, 0}, 1.2f)}};

    TrackDesc spine0{.basePosition = {0, 10, 0}};
    const Forge::Vec4 q = AxisTurn({0, 1, 0}, 0.7f);
    // The same turn written as -q at frame 6: the blend takes the short way.
    spine0.rotationKeys = {
        {2, q}, {6, {-q[0], -q[1], -q[2], -q[3]}}, {16, AxisTurn({0, 1, 0}, -1)}};
    spine0.scaleKeys = {{0, {1, 1, 1}}, {12, {1.5f, 1, 0.5f}}};
    TrackDesc spine1 = spine0;
    spine1.positionKeys = {{1, {0, 9, 0}}, {30, {0, 12, 0}}};

    TrackDesc arm0{.basePosition = {3, 2, 0}};
    // Keys out of order: the lookup walks them as stored.
    arm0.rotationKeys = {{12, AxisTurn({0, 0, 1}, 1)},
                         {4, AxisTurn({0, 0, 1}, -0.5f)},
                         {8, AxisTurn({1, 0, 0}, 0.4f)}};
    arm0.positionKeys = {{3, {3, 2, 0}}};  // one key: the base position holds
    TrackDesc arm1 = arm0;

    TrackDesc early{.basePosition = {1, 1, 1}};
    early.rotationKeys = {{0, AxisTurn({0, 0, 1}, 0.2f)}, {23, AxisTurn({0, 0, 1}, 2)}};
    TrackDesc late{.basePosition = {0, 4, 0}};
    late.scaleKeys = {{0, {1, 1, 1}}, {5, {2, 2, 2}}};
    const TrackDesc box{.basePosition = {2, 0, 0}, .baseRotation = AxisTurn({0, 0, 1}, 0.3f)};

    ani.bones = {{"root", "", {root0, root1}},   {kSpine, "root", {spine0, spine1}},
                 {"arm", kSpine, {arm0, arm1}},  {"early", "late", {early, early}},
                 {"late", "root", {late, late}}, {"~BoxBone01", "arm", {box, box}}};
    return ani;
}

inline std::vector<Forge::PakFile> CharacterGame(uint32_t aniVersion = 11) {
    Forge::SkinDesc sword;
    sword.meshName = "sword.msh";
    // A glow within glTF's factor, painted by a texture whose name has a space.
    sword.materials = {Glowing(Textured("hero.dds"), {0.5f, 0.25f, 0.1f, 1}, 2, "sword glow.dds")};
    Forge::SkinDesc head = CharacterSkin("hero_head.msh");
    // A glow texture under a black colour: the texture alone glows.
    head.materials[0].params.push_back(Forge::TextParam("g_EmissiveTex", "hero.dds"));
    // The animation without the bone the sword hangs on.
    Forge::AnimationDesc nobox = Animation(11);
    nobox.name = "nobox";
    nobox.bones.pop_back();
    const Forge::MeshDesc blade{.name = "sword",
                                .subMeshes = {Ring("sword blade", 0, 0, {0, 1, 2, 3, 4, 5})}};
    return {
        {"\\chars\\hero\\hero.skn", Forge::WriteSkin(CharacterSkin("hero.msh"))},
        {"\\chars\\hero\\hero.msh", Forge::WriteMesh(CharacterMesh("hero", Translate(0, -10, 0)))},
        {"\\chars\\hero\\tex\\hero.dds", Texture()},
        {"\\chars\\hero\\hero.ani", Forge::WriteAnimation(Animation(aniVersion))},
        {"\\chars\\hero\\nobox.ani", Forge::WriteAnimation(nobox)},
        {"\\chars\\hero\\tex\\sword glow.dds", Texture()},
        {"\\chars\\hero\\sword.skn", Forge::WriteSkin(sword)},
        {"\\chars\\hero\\sword.msh", Forge::WriteMesh(blade)},
        {"\\chars\\hero\\parts\\hero_body.skn", Forge::WriteSkin(CharacterSkin("hero_body.msh"))},
        {"\\chars\\hero\\parts\\hero_body.msh",
         Forge::WriteMesh(CharacterMesh("body", Translate(0, -10, 0)))},
        {"\\chars\\hero\\parts\\hero_head.skn", Forge::WriteSkin(head)},
        // The same bone bound with another matrix in a second part.
        {"\\chars\\hero\\parts\\hero_head.msh",
         Forge::WriteMesh(CharacterMesh("head", TurnZ(0.2f, 0, -11, 0)))},
        {"\\chars\\hero\\parts\\hero.dds", Texture()},
    };
}

// Files beside the character that an export over its folder must survive: an animation
// none of whose bones the character has, and a skin that is not one.
inline std::vector<Forge::PakFile> OddFiles() {
    const Forge::AnimationDesc other{.name = "other",
                                     .animationNames = {"spin"},
                                     .frameCounts = {2},
                                     .bones = {{"nobody", "", {Forge::TrackDesc{}}}}};
    return {{"\\chars\\hero\\other.ani", Forge::WriteAnimation(other)},
            {"\\chars\\hero\\broken.skn", Forge::Bytes("not a skin")}};
}

}  // namespace GltfTest
