// The names a folder export hands out: the PNG files beside each .gltf are claimed among every
// file of their output folder, so two models' workers never write one file.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "DdsTestUtil.h"
#include "GameFolder.h"
#include "TestUtil.h"
#include "export/folder.h"
#include "forge/scene.h"

namespace {

// A whole model "<stem>.skn" in chars/x/ whose one material names `texture`, a plain square
// `side` texels wide, beside it.
std::vector<Forge::PakFile> ModelWithTexture(const std::string& stem, const std::string& texture,
                                             uint32_t side) {
    SceneFiles::Scene scene;
    scene.textureSide = side;
    Forge::SkinDesc skin = SceneFiles::SkinOf(scene);
    skin.meshName = stem + ".msh";
    skin.materials[0].params = {Forge::TextParam("g_DiffuseTex", texture)};
    const std::string folder = "\\chars\\x\\";
    return {{folder + stem + ".skn", Forge::WriteSkin(skin)},
            {folder + stem + ".msh", Forge::WriteMesh(SceneFiles::MeshOf(scene))},
            {folder + texture, SceneFiles::TextureOf(scene)}};
}

// "a" with "b_c.dds" and "a_b" with "c.dds" both want "a_b_c.png" beside their .gltf files:
// the first in tree order has it, the other gets "_2", and each file shows its own texture.
TEST(FolderNames, SidePngsOfDifferentModelsNeverMeet) {
    std::vector<Forge::PakFile> files = ModelWithTexture("a", "b_c.dds", 4);
    for (Forge::PakFile& file : ModelWithTexture("a_b", "c.dds", 8)) {
        files.push_back(std::move(file));
    }
    TestUtil::Game game(files);
    TestUtil::TempDir out;
    const Export::FolderSummary summary = Export::ExportFolder(
        game.Node("chars"), out.Path(), {.format = Export::FolderFormat::Gltf, .jobs = 2}, {});
    EXPECT_EQ(summary.written, 2u);
    const struct {
        const char* gltf;
        const char* png;
        uint32_t side;
    } kRows[] = {{"x/a.gltf", "a_b_c.png", 4}, {"x/a_b.gltf", "a_b_c_2.png", 8}};
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.gltf);
        const nlohmann::json json = nlohmann::json::parse(TestUtil::ReadText(out / row.gltf));
        ASSERT_EQ(json["images"].size(), 1u);
        EXPECT_EQ(json["images"][0]["uri"], row.png);
        EXPECT_EQ(DdsTest::PngWidth(TestUtil::ReadText(out / (std::string("x/") + row.png))),
                  row.side);
    }
}

}  // namespace
