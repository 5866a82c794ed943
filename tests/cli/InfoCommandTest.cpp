#include <gtest/gtest.h>

#include "TestUtil.h"
#include "forge/dds.h"
#include "forge/model.h"
#include "forge/pak.h"

using TestUtil::Vell;

namespace {

Forge::SubMeshDesc Triangle(const std::string& name, uint32_t stripFlag) {
    Forge::SubMeshDesc sub;
    sub.name = name;
    sub.stripFlag = stripFlag;
    sub.indices = {0, 1, 2};
    sub.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    sub.normals = sub.positions;
    sub.texCoords = {{0, 0}, {1, 0}, {0, 1}};
    sub.boneSlots.assign(3, {0, Forge::kNoBoneSlot, Forge::kNoBoneSlot, Forge::kNoBoneSlot});
    sub.boneWeights.assign(3, {1, 0, 0, 0});
    return sub;
}

Forge::MeshDesc Mesh(uint32_t version) {
    Forge::MeshDesc mesh;
    mesh.name = "hero";
    mesh.version = version;
    mesh.boxMin = {-1, -2, -3};
    mesh.boxMax = {1, 2, 3.5f};
    mesh.bones = {{"Bip01"}, {"Bip01 Spine"}};
    mesh.subMeshes = {Triangle("body", 0), Triangle("\xd6\xd0\xce\xc4", 1)};
    mesh.subMeshes[0].boneNames = std::vector<std::string>{"Bip01"};
    return mesh;
}

Forge::SkinDesc Skin() {
    Forge::MaterialDesc material;
    material.params = {Forge::ColourParam("g_MaterialDiffuse", {1, 0.5f, 0, 1}),
                       Forge::TextParam("g_DiffuseTex", "\xd6\xd0\xce\xc4.DDS"),
                       Forge::ScalarParam("g_EmissivePower", 2)};
    return {.name = "skin", .meshName = "Hero.msh", .materials = {material, {}}};
}

Forge::AnimationDesc Animation() {
    Forge::AnimationDesc ani;
    ani.version = 11;
    ani.animationNames = {"walk", "run"};
    ani.frameCounts = {30, 12};
    ani.bones = {{"Bip01", "", {{}, {}}}, {"Bip01 Spine", "Bip01", {{}, {}}}};
    return ani;
}

::testing::AssertionResult HasLine(const std::string& text, const std::string& line) {
    if (("\n" + text).find("\n" + line + "\n") != std::string::npos) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "no line \"" << line << "\" in:\n" << text;
}

class InfoCommand : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<uint8_t> pixels(4 * 2 * 4, 0xFF);
        std::vector<uint8_t> badAni = Forge::WriteAnimation(Animation());
        badAni.resize(badAni.size() - 3);
        Forge::SavePak(
            m_game / "data.pak",
            {{.path = "\\chars\\hero\\hero.msh", .data = Forge::WriteMesh(Mesh(12))},
             {.path = "\\chars\\hero\\hero.skn", .data = Forge::WriteSkin(Skin())},
             {.path = "\\chars\\hero\\hero.ani", .data = Forge::WriteAnimation(Animation())},
             {.path = "\\chars\\hero\\skin.dds",
              .data = Forge::WriteDds(Forge::DdsDesc{.width = 4, .height = 2}, pixels)},
             {.path = "\\chars\\hero\\new.msh", .data = Forge::WriteMesh(Mesh(14))},
             {.path = "\\chars\\hero\\cut.ani", .data = badAni},
             {.path = "\\chars\\hero\\empty.skn", .data = {}},
             {.path = "\\chars\\hero\\notes.txt", .data = Forge::Bytes("hello")}});
    }

    TestUtil::TempDir m_game;
};

TEST_F(InfoCommand, Mesh) {
    auto r = Vell({"info", m_game.Path(), "chars/hero/hero.msh"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("path = chars/hero/hero.msh\nkind = msh\n")) << r.out;
    EXPECT_TRUE(HasLine(r.out, "version = 12"));
    EXPECT_TRUE(HasLine(r.out, "sub_meshes = 2"));
    EXPECT_TRUE(HasLine(r.out, "bones = 2"));
    EXPECT_TRUE(HasLine(r.out, "box_min = -1 -2 -3"));
    EXPECT_TRUE(HasLine(r.out, "box_max = 1 2 3.5"));
    EXPECT_TRUE(HasLine(r.out, "bone[1] = Bip01 Spine"));
    EXPECT_TRUE(HasLine(r.out, "sub_mesh[0].name = body"));
    EXPECT_TRUE(HasLine(r.out, "sub_mesh[0].vertices = 3"));
    EXPECT_TRUE(HasLine(r.out, "sub_mesh[0].indices = 3"));
    EXPECT_TRUE(HasLine(r.out, "sub_mesh[0].primitive = triangles"));
    EXPECT_TRUE(HasLine(r.out, "sub_mesh[0].skinned = yes"));
    EXPECT_TRUE(HasLine(r.out, "sub_mesh[1].name = 中文"));
    EXPECT_TRUE(HasLine(r.out, "sub_mesh[1].primitive = triangle_strip"));
    // The last sub-mesh ends the file without a bone-name table.
    EXPECT_TRUE(HasLine(r.out, "sub_mesh[1].skinned = no"));
}

TEST_F(InfoCommand, Skin) {
    auto r = Vell({"info", m_game.Path(), "chars/hero/hero.skn"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(HasLine(r.out, "kind = skn"));
    EXPECT_TRUE(HasLine(r.out, "mesh = Hero.msh"));
    EXPECT_TRUE(HasLine(r.out, "version = 10"));
    EXPECT_TRUE(HasLine(r.out, "materials = 2"));
    EXPECT_TRUE(HasLine(r.out, "material[0].diffuse = 1 0.5 0 1"));
    EXPECT_TRUE(HasLine(r.out, "material[0].emissive_power = 2 0 0"));
    EXPECT_TRUE(HasLine(r.out, "material[0].diffuse_texture = 中文.dds"));
    EXPECT_TRUE(HasLine(r.out, "material[1].diffuse_texture = "));
}

TEST_F(InfoCommand, Animation) {
    auto r = Vell({"info", m_game.Path(), "chars/hero/hero.ani"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(HasLine(r.out, "kind = ani"));
    EXPECT_TRUE(HasLine(r.out, "version = 11"));
    EXPECT_TRUE(HasLine(r.out, "bones = 2"));
    EXPECT_TRUE(HasLine(r.out, "bone[0] = Bip01"));
    EXPECT_TRUE(HasLine(r.out, "bone[0].parent = "));
    EXPECT_TRUE(HasLine(r.out, "bone[1].parent = Bip01"));
    EXPECT_TRUE(HasLine(r.out, "animation[0] = walk"));
    EXPECT_TRUE(HasLine(r.out, "animation[1].frames = 12"));
}

TEST_F(InfoCommand, Texture) {
    auto r = Vell({"info", m_game.Path(), "chars/hero/skin.dds"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(HasLine(r.out, "kind = dds"));
    EXPECT_TRUE(HasLine(r.out, "size = 4x2"));
    EXPECT_TRUE(HasLine(r.out, "kind = RGBA"));
    EXPECT_TRUE(HasLine(r.out, "bit_count = 32"));
    EXPECT_TRUE(HasLine(r.out, "mip_count = 0"));
}

TEST_F(InfoCommand, VersionSwitch) {
    auto r = Vell({"info", m_game.Path(), "chars/hero/new.msh"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "vell: unknown .msh file version: 14\n");
    EXPECT_EQ(r.out, "");

    r = Vell({"info", m_game.Path(), "chars/hero/new.msh", "--no-version-check"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(HasLine(r.out, "version = 14"));
    EXPECT_TRUE(HasLine(r.out, "sub_mesh[0].skinned = yes"));
}

TEST_F(InfoCommand, Failures) {
    auto r = Vell({"info", m_game.Path(), "chars/hero/cut.ani"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "vell: corrupt .ani file: bone count 2 needs at least 2256 bytes of bones, 2253 "
              "remain\n");
    EXPECT_EQ(r.out, "");

    r = Vell({"info", m_game.Path(), "chars/hero/empty.skn"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "vell: can't read chars/hero/empty.skn\n");

    r = Vell({"info", m_game.Path(), "chars/hero/notes.txt"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "vell: not a .msh, .skn, .ani or .dds file: chars/hero/notes.txt\n");

    r = Vell({"info", m_game.Path(), "chars/hero/none.msh"});
    EXPECT_EQ(r.exitCode, 2);

    r = Vell({"info", m_game.Path()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("usage: vell info GAME_DIR PATH"), std::string::npos) << r.err;
}

}  // namespace
