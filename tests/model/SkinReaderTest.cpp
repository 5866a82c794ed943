#include <gtest/gtest.h>

#include <cstring>

#include "GameFolder.h"
#include "dds/dds.h"
#include "forge/dds.h"
#include "forge/model.h"
#include "forge/scene.h"

namespace {

using TestUtil::ErrorOf;
using TestUtil::LoadPart;
// Names only: without a node no texture is looked up, so no GL is needed.
const auto ReadNames = &TestUtil::Read<Model::Skin>;

// The scene's small texture, and its mesh of two unskinned sub-meshes, "patch0" and "patch1".
std::vector<uint8_t> SmallDds() {
    return SceneFiles::TextureOf({});
}

Forge::MeshDesc TwoSubMeshes() {
    SceneFiles::Scene scene;
    scene.patches.resize(2);
    scene.skinned = false;
    return SceneFiles::MeshOf(scene);
}

Forge::MaterialDesc EveryParameter() {
    Forge::MaterialDesc m;
    m.header[0] = 'h';
    m.header[519] = 0x5A;
    m.params = {
        Forge::ColourParam("g_MaterialAmbient", {0.1f, 0.2f, 0.3f, 0.4f}),
        Forge::ColourParam("g_MaterialDiffuse", {1, 2, 3, 4}),
        Forge::TextParam("g_DiffuseTex", "BODY.DDS"),
        Forge::TextParam("g_MaskTex", "cape.dds"),
        Forge::ColourParam("g_EmissiveColor", {5, 6, 7, 8}),
        Forge::ScalarParam("g_EmissivePower", 9),
        Forge::ScalarParam("g_EmissivePowerRange", 10),
        Forge::ScalarParam("g_EmissiveAniSpeed", 11),
        Forge::ColourParam("g_SkinColor", {12, 13, 14, 15}),
        Forge::TextParam("g_TatooTex", "tex\\body.dds"),
        Forge::ColourParam("g_EyeColor", {16, 17, 18, 19}),
        Forge::ColourParam("g_CustomColor", {20, 21, 22, 23}),
        Forge::TextParam("g_EmissiveTex", "Hero.dds"),
        Forge::TextParam("g_DiffuseVolumeTex", "body.dds"),
        Forge::ScalarParam("g_AniTime", 24),
    };
    return m;
}

Forge::MaterialDesc Diffuse(float red, const std::string& texture) {
    Forge::MaterialDesc m;
    m.params = {Forge::ColourParam("g_MaterialDiffuse", {red, 0, 0, 1})};
    if (!texture.empty()) {
        m.params.push_back(Forge::TextParam("g_DiffuseTex", texture));
    }
    return m;
}

Forge::SkinDesc MakeSkin(std::vector<Forge::MaterialDesc> materials,
                         const std::string& meshName = "Hero.MSH") {
    return {.name = "hero skin", .meshName = meshName, .materials = std::move(materials)};
}

TEST(SkinReader, ReadsEveryParameter) {
    Model::Skin skin = ReadNames(Forge::WriteSkin(MakeSkin({EveryParameter()})));
    EXPECT_EQ(skin.name, "hero skin");
    EXPECT_EQ(skin.meshName, "Hero.MSH");  // lower-cased by LoadPart, not here
    EXPECT_EQ(skin.version, 10u);
    EXPECT_EQ(skin.materialCount, 1u);
    ASSERT_EQ(skin.materials.size(), 1u);
    const Model::Material& m = skin.materials[0];
    EXPECT_EQ(m.header[0], 'h');
    EXPECT_EQ(m.header[519], 0x5A);
    EXPECT_EQ(m.ambient, (Model::Vec4{0.1f, 0.2f, 0.3f, 0.4f}));
    EXPECT_EQ(m.diffuse, (Model::Vec4{1, 2, 3, 4}));
    EXPECT_EQ(m.emissiveColor, (Model::Vec4{5, 6, 7, 8}));
    EXPECT_EQ(m.emissivePower, 9);
    EXPECT_EQ(m.emissivePowerRange, 10);
    EXPECT_EQ(m.emissiveAniSpeed, 11);
    EXPECT_EQ(m.skinColor, (Model::Vec4{12, 13, 14, 15}));
    EXPECT_EQ(m.eyeColor, (Model::Vec4{16, 17, 18, 19}));
    EXPECT_EQ(m.customColor, (Model::Vec4{20, 21, 22, 23}));
    EXPECT_EQ(m.aniTime, 24);
    EXPECT_EQ(m.diffuseTexName, "body.dds");
    EXPECT_EQ(m.maskTexName, "cape.dds");
    EXPECT_EQ(m.tattooTexName, "tex\\body.dds");
    EXPECT_EQ(m.emissiveTexName, "hero.dds");
    EXPECT_FALSE(m.diffuseTex);
}

// Materials keep their order; an empty one keeps its defaults; a later parameter replaces an
// earlier one of the same name.
TEST(SkinReader, MaterialsInOrderWithDefaultsAndTheLastParameter) {
    Forge::MaterialDesc later = Diffuse(3, "first.dds");
    later.params.push_back(Forge::TextParam("g_DiffuseTex", "second.dds"));
    later.params.push_back(Forge::ColourParam("g_MaterialDiffuse", {9, 9, 9, 9}));
    const Model::Skin skin =
        ReadNames(Forge::WriteSkin(MakeSkin({Diffuse(1, "a.dds"), Forge::MaterialDesc{}, later})));
    ASSERT_EQ(skin.materials.size(), 3u);
    EXPECT_EQ(skin.materials[0].diffuse[0], 1);
    EXPECT_EQ(skin.materials[0].diffuseTexName, "a.dds");
    EXPECT_EQ(skin.materials[1].diffuse, Model::Vec4{});
    EXPECT_EQ(skin.materials[1].customColor, Model::Vec4{});
    EXPECT_TRUE(skin.materials[1].diffuseTexName.empty());
    EXPECT_EQ(skin.materials[2].diffuseTexName, "second.dds");
    EXPECT_EQ(skin.materials[2].diffuse, (Model::Vec4{9, 9, 9, 9}));
    EXPECT_TRUE(ReadNames(Forge::WriteSkin(MakeSkin({}))).materials.empty());
}

TEST(SkinReader, ParameterNamesAreMatchedUpToTheirZero) {
    Forge::MaterialDesc m;
    m.params = {Forge::TextParam(std::string("g_MaskTex\0junk", 14), "m.dds")};
    Model::Skin skin = ReadNames(Forge::WriteSkin(MakeSkin({m})));
    EXPECT_EQ(skin.materials[0].maskTexName, "m.dds");

    m.params = {Forge::TextParam("g_masktex", "m.dds")};
    EXPECT_EQ(ErrorOf([&] { ReadNames(Forge::WriteSkin(MakeSkin({m}))); }),
              "unknown material type: g_masktex");
    m.params = {Forge::ScalarParam("", 1)};
    EXPECT_EQ(ErrorOf([&] { ReadNames(Forge::WriteSkin(MakeSkin({m}))); }),
              "unknown material type: ");
    // A name stored without its zero is bounded by its length.
    Forge::SkinParam unterminated = Forge::ScalarParam("g_AniTime", 5);
    unterminated.terminated = false;
    m.params = {unterminated};
    EXPECT_EQ(ReadNames(Forge::WriteSkin(MakeSkin({m}))).materials[0].aniTime, 5);
}

TEST(SkinReader, LowerCasesOnlyAsciiLetters) {
    // 0xB0 0x41 is one double-byte character whose trail byte is an ASCII 'A'.
    Model::Skin skin = ReadNames(Forge::WriteSkin(MakeSkin({Diffuse(1, "\xB0\x41X\xC4.DDS")})));
    EXPECT_EQ(skin.materials[0].diffuseTexName, "\xB0\x41x\xC4.dds");
}

// LoadPart over a game folder; textures are parsed on load, with no GL context.
class PartLoad : public ::testing::Test {
protected:
    static std::vector<Forge::PakFile> Files(const Forge::SkinDesc& skin) {
        std::vector<uint8_t> mesh = Forge::WriteMesh(TwoSubMeshes());
        return {
            {.path = "\\chars\\hero\\hero.skn", .data = Forge::WriteSkin(skin)},
            {.path = "\\chars\\hero\\hero.msh", .data = mesh},
            {.path = "\\chars\\hero\\tex\\body.dds", .data = SmallDds()},
            {.path = "\\chars\\hero\\hero.dds", .data = SmallDds()},
            {.path = "\\chars\\hero\\bad\\broken.dds", .data = std::vector<uint8_t>(40, 7)},
            {.path = "\\chars\\hero\\sub\\deep.msh", .data = mesh},
            {.path = "\\chars\\hero\\empty.skn", .data = {}},
            {.path = "\\chars\\cape.dds", .data = SmallDds()},
            {.path = "\\chars\\other\\cape.dds", .data = SmallDds()},
        };
    }
};

TEST_F(PartLoad, FindsMeshAndTexturesBelowTheSkinsFolder) {
    TestUtil::Game game(Files(MakeSkin({EveryParameter(), Diffuse(2, "HERO.dds")})));
    const auto [mesh, skin] = LoadPart(game.Node("chars/hero/hero.skn"));
    EXPECT_EQ(skin.meshName, "hero.msh");
    ASSERT_EQ(mesh.subMeshes.size(), 2u);
    EXPECT_EQ(mesh.subMeshes[1].name, "patch1");
    ASSERT_EQ(skin.materials.size(), 2u);
    const Model::Material& m = skin.materials[0];
    // "BODY.DDS" lies in a subfolder: found.
    ASSERT_TRUE(m.diffuseTex);
    EXPECT_EQ(m.diffuseTex->info.width, 4u);
    EXPECT_EQ(m.diffuseTex->info.height, 4u);
    // "cape.dds" lies in the parent folder and in a sibling folder: not found.
    EXPECT_FALSE(m.maskTex);
    // A name with a folder part finds nothing.
    EXPECT_FALSE(m.tattooTex);
    EXPECT_TRUE(m.emissiveTex);
    // Every mention loads its own texture.
    ASSERT_TRUE(skin.materials[1].diffuseTex);
    EXPECT_NE(skin.materials[1].diffuseTex, m.emissiveTex);
}

TEST_F(PartLoad, FewerMaterialsThanSubMeshesLoads) {
    TestUtil::Game game(Files(MakeSkin({Diffuse(1, "hero.dds")})));
    const auto [mesh, skin] = LoadPart(game.Node("chars/hero/hero.skn"));
    EXPECT_EQ(mesh.subMeshes.size(), 2u);
    ASSERT_NE(Model::MaterialFor(skin, 0), nullptr);
    EXPECT_TRUE(Model::MaterialFor(skin, 0)->diffuseTex);
    EXPECT_EQ(Model::MaterialFor(skin, 1), nullptr);
}

// Files that are missing or refused: the skin's name, its mesh's, the mesh's version. A
// texture's failure passes through as the texture's.
TEST_F(PartLoad, ReportsMissingAndRefusedFiles) {
    Forge::MeshDesc version9 = TwoSubMeshes();
    version9.version = 9;
    const struct {
        const char* meshName;
        const char* skin;  // null: no node
        const char* error;
        std::vector<uint8_t> mesh;  // replaces hero.msh when not empty
    } rows[] = {
        {"deep.msh", "chars/hero/hero.skn", "can't read .msh file: deep.msh", {}},
        {"deep.msh", "chars/hero/empty.skn", "can't read .skn file: empty.skn", {}},
        {"deep.msh", nullptr, "can't read .skn file: ", {}},
        {"MISSING.msh", "chars/hero/hero.skn", "can't read .msh file: missing.msh", {}},
        {"hero.msh", "chars/hero/hero.skn", "unknown .msh file version: 9",
         Forge::WriteMesh(version9)},
    };
    for (const auto& row : rows) {
        std::vector<Forge::PakFile> files = Files(MakeSkin({}, row.meshName));
        if (!row.mesh.empty()) {
            files[1].data = row.mesh;
        }
        TestUtil::Game game(files);
        EXPECT_EQ(ErrorOf([&] { LoadPart(row.skin ? game.Node(row.skin) : nullptr); }), row.error);
    }
    TestUtil::Game game(Files(MakeSkin({Diffuse(1, "broken.dds")})));
    const std::string error = ErrorOf([&] { LoadPart(game.Node("chars/hero/hero.skn")); });
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find("corrupt .skn"), std::string::npos) << error;
}

}  // namespace
