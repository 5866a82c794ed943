// vell obj end to end on archives made by the writers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "TestUtil.h"
#include "forge/dds.h"
#include "forge/model.h"
#include "forge/pak.h"

namespace {

using TestUtil::ReadText;
using TestUtil::Vell;

// A 1×1 uncompressed texture.
std::vector<uint8_t> Texture() {
    const std::vector<uint8_t> pixel = {10, 20, 30, 255};
    return Forge::WriteDds(Forge::DdsDesc{}, pixel);
}

Forge::SubMeshDesc SubMesh(const std::string& name, float x) {
    Forge::SubMeshDesc s;
    s.name = name;
    s.stripFlag = 1;
    s.indices = {0, 1, 2, 3};
    s.positions = {{x, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
    s.normals.assign(4, {1, 0, 0});
    s.texCoords = {{0, 0}, {1, 0}, {0, 1}, {0.25f, 0.75f}};
    s.boneSlots.assign(4, {0, Forge::kNoBoneSlot, Forge::kNoBoneSlot, Forge::kNoBoneSlot});
    s.boneWeights.assign(4, {1, 0, 0, 0});
    s.boneNames = std::vector<std::string>{"root"};
    return s;
}

std::vector<Forge::PakFile> Files(uint32_t skinVersion = 10) {
    Forge::MeshDesc mesh;
    mesh.bones = {{"root"}};
    mesh.subMeshes = {SubMesh("body", 1), SubMesh("cape", 2)};
    Forge::SkinDesc skin;
    skin.meshName = "Hero.MSH";
    skin.version = skinVersion;
    skin.materials.resize(2);
    skin.materials[0].params = {Forge::TextParam("g_DiffuseTex", "Body.dds")};

    Forge::AnimationDesc ani;
    ani.animationNames = {"walk"};
    ani.frameCounts = {11};
    Forge::TrackDesc walk;
    walk.positionKeys = {{0, {0, 0, 0}}, {10, {10, 0, 0}}};
    ani.bones = {{"root", "", {walk}}};

    return {
        {"\\chars\\hero\\hero.skn", Forge::WriteSkin(skin)},
        {"\\chars\\hero\\hero.msh", Forge::WriteMesh(mesh)},
        {"\\chars\\hero\\tex\\body.dds", Texture()},
        {"\\chars\\hero\\hero.ani", Forge::WriteAnimation(ani)},
        {"\\chars\\hero\\notes.txt", Forge::Bytes("not a skin")},
    };
}

class ObjCommand : public ::testing::Test {
protected:
    void SetUp() override { Forge::SavePak(game / "data.pak", Files()); }
    std::vector<std::string> Written() {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(out.Path())) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> Args(std::vector<std::string> extra) {
        std::vector<std::string> args = {"obj", game.Path(), "chars/hero/hero.skn", "-o",
                                         out.Path()};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    // The first "v" line of a file.
    std::string FirstVertex(const std::string& file) {
        const std::string text = ReadText(out / file);
        const std::size_t v = text.find("\nv ");
        return text.substr(v + 1, text.find('\n', v + 1) - v - 1);
    }

    TestUtil::TempDir game;
    TestUtil::TempDir out;
};

TEST_F(ObjCommand, WritesEverySubMeshAndTheTexture) {
    auto r = Vell(Args({}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Written(), (std::vector<std::string>{"body.dds", "body_00.obj", "cape_01.obj"}));
    const std::string body = ReadText(out / "body_00.obj");
    EXPECT_EQ(body.rfind("# Vell 模型浏览器v1.0a\n\nv -1.000000 0.000000 0.000000\n", 0), 0u);
    EXPECT_NE(body.find("vt 0.250000 0.250000\n"), std::string::npos);
    EXPECT_NE(body.find("g body\nf 3/3/3 2/2/2 1/1/1\nf 2/2/2 3/3/3 4/4/4\n"), std::string::npos);
    EXPECT_EQ(ReadText(out / "body.dds").size(), Texture().size());
}

TEST_F(ObjCommand, PosesTheChosenFrame) {
    auto r = Vell(Args({"--ani", "chars/hero/hero.ani", "--anim", "1", "--frame", "2.5"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FirstVertex("body_00.obj"), "v -3.500000 0.000000 0.000000");
    EXPECT_EQ(FirstVertex("cape_01.obj"), "v -4.500000 0.000000 0.000000");
}

TEST_F(ObjCommand, WithoutAFrameTheBindPoseIsWritten) {
    auto r = Vell(Args({"--ani", "chars/hero/hero.ani", "--anim", "1"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FirstVertex("body_00.obj"), "v -1.000000 0.000000 0.000000");
}

TEST_F(ObjCommand, HiddenSubMeshesAreLeftOut) {
    auto r = Vell(Args({"--hide", "0"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Written(), (std::vector<std::string>{"cape_01.obj"}));
}

TEST_F(ObjCommand, AttachmentIsNotExported) {
    auto r = Vell(Args({"--attach", "chars/hero/hero.skn"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Written(), (std::vector<std::string>{"body.dds", "body_00.obj", "cape_01.obj"}));
}

TEST_F(ObjCommand, LoadFailuresPrintTheModelsMessage) {
    auto r = Vell({"obj", game.Path(), "chars/hero/notes.txt", "-o", out.Path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "vell: not .skn file: notes.txt\n");
    r = Vell(Args({"--ani", "chars/hero/notes.txt"}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "vell: not .ani file: notes.txt\n");
}

TEST_F(ObjCommand, VersionSwitchIsHonoured) {
    Forge::SavePak(game / "data.pak", Files(11));
    auto r = Vell(Args({}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "vell: unknown .skn file version: 11\n");
    r = Vell(Args({"--no-version-check"}));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Written().size(), 3u);
}

TEST_F(ObjCommand, UsageErrors) {
    EXPECT_EQ(Vell({"obj", game.Path(), "chars/hero/hero.skn"}).exitCode, 2);
    EXPECT_EQ(Vell({"obj", game.Path(), "-o", out.Path()}).exitCode, 2);
    EXPECT_EQ(Vell(Args({"--frame", "x"})).exitCode, 2);
    EXPECT_EQ(Vell(Args({"--hide", "0,9"})).exitCode, 2);
    EXPECT_EQ(Vell(Args({"--hide", "0,"})).exitCode, 2);
    EXPECT_EQ(Vell(Args({"--ani", "chars/hero/hero.ani", "--anim", "2"})).exitCode, 2);
    EXPECT_EQ(Vell({"obj", game.Path(), "chars/hero/none.skn", "-o", out.Path()}).exitCode, 2);
    EXPECT_EQ(Vell({"obj", out.Path(), "chars/hero/hero.skn", "-o", out.Path()}).exitCode, 2);
    EXPECT_TRUE(Written().empty());
}

}  // namespace
