// Exports of models whose names run past the file system's 255 bytes once in UTF-8: every
// file is written, no name is too long, and names cut alike are told apart.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "GameFolder.h"
#include "forge/scene.h"

namespace {

namespace fs = std::filesystem;

// 110 of 中 (GBK D6 D0): 220 bytes in the archive, 330 in UTF-8.
std::string LongGbk(const std::string& tail) {
    std::string name;
    for (int i = 0; i < 110; ++i) {
        name += "\xD6\xD0";
    }
    return name + tail;
}

std::vector<Forge::PakFile> LongNamedGame() {
    SceneFiles::Scene scene;
    scene.patches.resize(2);
    Forge::MeshDesc mesh = SceneFiles::MeshOf(scene);
    mesh.subMeshes[0].name = LongGbk("a");
    mesh.subMeshes[1].name = LongGbk("b");
    const std::vector<uint8_t> skin = Forge::WriteSkin(SceneFiles::SkinOf(scene));
    return {{SceneFiles::kSkin, skin},
            {SceneFiles::kMesh, Forge::WriteMesh(mesh)},
            {SceneFiles::kTexture, SceneFiles::TextureOf(scene)},
            {"\\chars\\hero\\" + LongGbk("1.skn"), skin},
            {"\\chars\\hero\\" + LongGbk("2.skn"), skin}};
}

struct Row {
    const char* name;
    std::vector<std::string> args;  // OUT stands for the output folder
    std::size_t files;              // written below it
    const char* ending;             // of the files counted
};

class LongNames : public testing::TestWithParam<Row> {};

TEST_P(LongNames, EveryFileFitsAndNoneMeets) {
    const TestUtil::Game game(LongNamedGame());
    const TestUtil::TempDir out;
    std::vector<std::string> args;
    for (const std::string& arg : GetParam().args) {
        args.push_back(arg == "GAME"            ? game.Folder()
                       : arg.starts_with("OUT") ? out.Path() + arg.substr(3)
                                                : arg);
    }
    const TestUtil::RunResult r = TestUtil::Vell(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(out.Path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_LE(name.size(), PakMgr::kMaxFileNameBytes) << name;
        if (name.ends_with(GetParam().ending)) {
            names.insert(fs::relative(entry.path(), out.Path()).string());
        }
    }
    EXPECT_EQ(names.size(), GetParam().files);
}

const std::string kLongAscii(250, 'a');

INSTANTIATE_TEST_SUITE_P(
    Exports, LongNames,
    testing::Values(
        Row{"ObjSubMeshes", {"obj", "GAME", "chars/hero/hero.skn", "-o", "OUT"}, 2, ".obj"},
        Row{"ObjWithMaterials",
            {"obj", "GAME", "chars/hero/hero.skn", "--mtl", "-o", "OUT"},
            2,
            ".mtl"},
        Row{"EachGlb", {"gltf", "GAME", "--each", "chars", "-o", "OUT"}, 3, ".glb"},
        Row{"EachObj", {"obj", "GAME", "--each", "chars", "-o", "OUT"}, 6, ".obj"},
        Row{"GltfSideFiles",
            {"gltf", "GAME", "chars/hero/hero.skn", "-o", "OUT/" + kLongAscii + ".gltf"},
            1,
            ".png"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
