// The glTF export checked by evaluating the written file independently: at integer frames
// of every animation its skinned vertices must land where the model's own pose puts them,
// mirrored in x as the view draws them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "GltfCompare.h"
#include "GltfEvaluator.h"
#include "GltfTestModels.h"
#include "SampleGameFolder.h"
#include "TestUtil.h"
#include "dds/dds.h"
#include "export/gltf.h"
#include "forge/sample.h"
#include "glcontext/glcontext.h"
#include "model/object.h"
#include "pakmgr/pakmgr.h"

namespace {

using GltfCompare::Distance;
using GltfCompare::Expected;
using GltfCompare::ModelPositions;
using GltfCompare::Size;
using GltfEval::Document;
using GltfEval::Vec3d;
using Model::CVellModel;

class GltfExport : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        context = GlContext::Headless::Create(16, 16, &error);
        ASSERT_TRUE(context) << error;
    }
    void OpenGame(uint32_t aniVersion = 11) {
        PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
        mgr->Clear();
        Forge::SavePak(dir / "char.pak", GltfTest::CharacterGame(aniVersion));
        ASSERT_TRUE(mgr->Open(dir.Path()) && mgr->BuildTree());
    }
    void TearDown() override { PakMgr::GetPakMgr()->Clear(); }

    PakMgr::ITreeNode* Node(const std::string& path) {
        PakMgr::ITreeNode* node = PakMgr::FindPath(*PakMgr::GetPakMgr(), path);
        EXPECT_TRUE(node) << path;
        return node;
    }

    // The whole character with its sword and animations, exported to `file`.
    void LoadCharacter(CVellModel& model) {
        model.Load(Node("chars/hero/hero.skn"));
        model.LoadAttachment(Node("chars/hero/sword.skn"));
        model.LoadAnimation(Node("chars/hero/hero.ani"));
    }

    std::string Export(CVellModel& model, const std::string& name,
                       const Export::GltfOptions& options = {}) {
        const std::string path = dir / name;
        Export::ExportGltf(model, path, {Node("chars/hero/hero.skn")}, options);
        return path;
    }

    // At every frame of every animation (and a frame past the keys) the file's pose equals
    // the model's; the file's animations from `first` on are the model's.
    void ExpectPosesMatch(CVellModel& model, const std::string& path, double scale = 1,
                          std::size_t first = 0) {
        const Document doc = GltfEval::Load(path);
        const auto& frameCounts = model.GetSkeleton().frameCounts;
        ASSERT_EQ(doc.json.at("animations").size(), first + frameCounts.size());
        for (std::size_t a = 0; a < frameCounts.size(); ++a) {
            model.PlayAnimation(static_cast<unsigned>(a + 1));
            for (uint32_t f = 0; f < frameCounts[a]; ++f) {
                model.PoseAt(static_cast<float>(f));
                const Expected expected = ModelPositions(model, scale);
                const double distance = Distance(
                    expected, GltfEval::Evaluate(doc, static_cast<int>(first + a), f / 60.0));
                EXPECT_LE(distance, 1e-3 * Size(expected)) << "animation " << a << " frame " << f;
            }
        }
    }

    std::unique_ptr<GlContext::Headless> context;
    TestUtil::TempDir dir;
};

// Both animation versions, at full size and scaled, and with a sub-mesh hidden (left out).
TEST_F(GltfExport, BinaryFilePosesLikeTheModelAtEveryFrameOfEveryAnimationAndScale) {
    for (const uint32_t version : {11u, 10u}) {
        OpenGame(version);
        CVellModel model;
        LoadCharacter(model);
        ExpectPosesMatch(model, Export(model, "hero.glb"));
        ExpectPosesMatch(model, Export(model, "small.glb", {.scale = 0.01f}), 0.01);
        model.SetSubMeshVisible(3, false);
        const Document doc = GltfEval::Load(Export(model, "hidden.glb"));
        EXPECT_EQ(doc.json["meshes"][0]["primitives"].size(), 3u);
        ExpectPosesMatch(model, dir / "hidden.glb");
    }
}

// Further animation files add their animations by bone name; one that matches nothing is
// refused by name, or left out when the caller collects what was skipped.
TEST_F(GltfExport, SeveralAnimationFilesAddTheirAnimationsByBoneName) {
    OpenGame();
    Forge::SavePak(dir / "odd.pak", GltfTest::OddFiles());
    PakMgr::GetPakMgr()->Clear();
    ASSERT_TRUE(PakMgr::GetPakMgr()->Open(dir.Path()) && PakMgr::GetPakMgr()->BuildTree());
    CVellModel model;
    LoadCharacter(model);
    PakMgr::ITreeNode* ani = Node("chars/hero/hero.ani");
    const std::string path = Export(model, "two.glb", {.animations = {ani, ani}});
    ExpectPosesMatch(model, path, 1, 2);
    EXPECT_EQ(GltfEval::Load(path).json["animations"][3]["name"], "hero/attack");
    PakMgr::ITreeNode* other = Node("chars/hero/other.ani");
    try {
        Export(model, "x.glb", {.animations = {ani, other}});
        ADD_FAILURE() << "no throw";
    } catch (const Except& e) {
        EXPECT_NE(std::string(e.what()).find("other.ani: no bone matches"), std::string::npos)
            << e.what();
    }
    std::vector<std::string> skipped;
    Export(model, "x.glb", {.animations = {ani, other}, .skipped = &skipped});
    EXPECT_EQ(skipped.size(), 1u);
}

// .gltf keeps its buffer and images beside it under plain ASCII names made from its own, so
// that outputs differing only outside ASCII never share side files.
TEST_F(GltfExport, TextFileKeepsBufferAndImagesBesideUnderPlainNames) {
    OpenGame();
    CVellModel model;
    LoadCharacter(model);
    std::set<std::string> sideFiles;
    for (const std::string name : {"hero one \xE8\x8B\xB1.GLTF", "hero one \xE9\x9B\x84.gltf"}) {
        const std::string path = Export(model, name);
        const Document doc = GltfEval::Load(path);
        std::vector<std::string> uris = {doc.json["buffers"][0]["uri"]};
        for (const auto& image : doc.json["images"]) {
            uris.push_back(image["uri"]);
            EXPECT_EQ(image["name"], "hero.dds");
        }
        for (const std::string& uri : uris) {
            EXPECT_TRUE(
                std::regex_match(uri, std::regex("hero_one___[0-9a-f]{8}(\\.bin|_hero\\.png)")))
                << uri;
            EXPECT_TRUE(std::filesystem::exists(dir / uri)) << uri;
            EXPECT_TRUE(sideFiles.insert(uri).second) << uri;
        }
        ExpectPosesMatch(model, path);
    }
}

// The sample character faces +Z with its left side at +X, and a texture is MASK exactly when
// some texel would fail the view's alpha test.
TEST_F(GltfExport, SampleCharacterFacesPlusZAndMasksOnlyTexturesThatCutOut) {
    PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
    mgr->Clear();
    ASSERT_TRUE(mgr->Open(TestUtil::SampleGameFolder()) && mgr->BuildTree());
    CVellModel model;
    model.Load(Node("chars/hero/hero.skn"));
    model.LoadAnimation(Node("chars/hero/hero.ani"));
    const Document doc = GltfEval::Load(Export(model, "sample.glb"));
    const std::vector<GltfEval::Mat4d> world = GltfEval::WorldMatrices(doc, -1, 0);
    auto at = [&](const std::string& name) {
        for (std::size_t n = 0; n < world.size(); ++n) {
            if (doc.json["nodes"][n]["name"] == name) {
                return Vec3d{world[n][12], world[n][13], world[n][14]};
            }
        }
        ADD_FAILURE() << name;
        return Vec3d{};
    };
    const struct {
        const char* more;
        const char* less;
        int axis;
    } kRows[] = {{"Bip01 L Toe0", "Bip01 L Foot", 2},
                 {"Bip01 R Toe0", "Bip01 R Foot", 2},
                 {"Bip01 L Hand", "Bip01 R Hand", 0},
                 {"Bip01 L Foot", "Bip01 R Foot", 0},
                 {"Bip01 L Clavicle", "Bip01 R Clavicle", 0}};
    for (const auto& row : kRows) {
        EXPECT_GT(at(row.more)[row.axis] - at(row.less)[row.axis], 0.5) << row.more;
    }
    std::set<std::string> modes;
    for (const auto& material : doc.json["materials"]) {
        if (!material["pbrMetallicRoughness"].contains("baseColorTexture")) {
            continue;
        }
        const auto& texture = material["pbrMetallicRoughness"]["baseColorTexture"];
        const std::string image = doc.json["images"][texture["index"].get<int>()]["name"];
        auto file = mgr->LoadFile(Node("chars/hero")->FindNode(image));
        ASSERT_TRUE(file) << image;
        const auto rgba = Dds::DecodeToRgba(Dds::ParseDds(*file, true));
        bool cutsOut = false;
        for (std::size_t i = 3; i < rgba.size(); i += 4) {
            cutsOut = cutsOut || rgba[i] < 128;
        }
        EXPECT_EQ(material.value("alphaMode", "OPAQUE"), cutsOut ? "MASK" : "OPAQUE") << image;
        modes.insert(material.value("alphaMode", "OPAQUE"));
    }
    EXPECT_EQ(modes.size(), 2u);
}

TEST_F(GltfExport, PartsBindingOneBoneWithTwoMatricesPoseLikeTheModel) {
    OpenGame();
    CVellModel model;
    model.Load(Node("chars/hero/parts/hero_body.skn"));
    model.Load(Node("chars/hero/parts/hero_head.skn"));
    model.LoadAnimation(Node("chars/hero/hero.ani"));
    const std::string path = dir / "parts.glb";
    Export::ExportGltf(model, path, {Node("chars/hero/parts/hero_body.skn")});
    ExpectPosesMatch(model, path);
    // The second matrix on 身体 hangs from it as a joint of its own.
    const Document doc = GltfEval::Load(path);
    const auto& joints = doc.json["skins"][0]["joints"];
    EXPECT_TRUE(std::any_of(joints.begin(), joints.end(), [&](const auto& j) {
        return doc.json["nodes"][j.template get<int>()]["name"] == "\xE8\xBA\xAB\xE4\xBD\x93.1";
    }));
}

// Without animation, and at rest with one, the mesh stays as read; an empty model writes an
// empty scene.
TEST_F(GltfExport, WithoutAnimationOrAtRestTheMeshStaysAsRead) {
    CVellModel model;
    Export::ExportGltf(model, dir / "empty.glb", {});
    const Document empty = GltfEval::Load(dir / "empty.glb");
    EXPECT_EQ(empty.json["asset"]["version"], "2.0");
    EXPECT_TRUE(GltfEval::Evaluate(empty, -1, 0).empty());
    OpenGame();
    model.Load(Node("chars/hero/hero.skn"));
    const Document doc = GltfEval::Load(Export(model, "bind.glb"));
    EXPECT_FALSE(doc.json.contains("animations"));
    Expected expected = ModelPositions(model);
    EXPECT_LE(Distance(expected, GltfEval::Evaluate(doc, -1, 0)), 1e-4 * Size(expected));
    std::vector<std::string> names;
    for (int j : doc.json["skins"][0]["joints"]) {
        names.push_back(doc.json["nodes"][j]["name"]);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"root", "\xE8\xBA\xAB\xE4\xBD\x93", "arm", "late",
                                               "missing", "~BoxBone01", "vell_static"}));

    LoadCharacter(model);
    model.PlayAnimation(0);
    const Document rest = GltfEval::Load(Export(model, "hero.glb"));
    expected = ModelPositions(model);
    // The sword follows its bone even at rest; only the skinned parts are compared.
    expected.erase({"sword", 0});
    auto posed = GltfEval::Evaluate(rest, -1, 0);
    std::erase_if(posed, [](const auto& p) { return p.mesh == "sword"; });
    EXPECT_LE(Distance(expected, posed), 1e-4 * Size(expected));
}

TEST_F(GltfExport, FacesMaterialsNamesAndNormals) {
    OpenGame();
    CVellModel model;
    LoadCharacter(model);
    const Document doc = GltfEval::Load(Export(model, "hero.glb"));
    const auto& primitives = doc.json["meshes"][0]["primitives"];
    ASSERT_EQ(primitives.size(), 4u);
    // body: three whole triangles of four, one degenerate; the trailing index is dropped.
    // Each is written with its winding turned by the mirror.
    EXPECT_EQ(GltfEval::ReadAccessor(doc, primitives[0]["indices"]),
              (std::vector<double>{0, 2, 1, 2, 4, 3, 5, 1, 0}));
    // strip 0,1,1,2,3,4,5: the two triangles holding the repeat are dropped; the rest
    // alternate as a strip does, then turn.
    EXPECT_EQ(GltfEval::ReadAccessor(doc, primitives[1]["indices"]),
              (std::vector<double>{1, 3, 2, 3, 4, 2, 3, 5, 4}));
    // Five influences need a second set of joints.
    EXPECT_TRUE(primitives[0]["attributes"].contains("JOINTS_1"));
    EXPECT_FALSE(primitives[1]["attributes"].contains("JOINTS_1"));

    const auto& materials = doc.json["materials"];
    const auto& textured = materials[primitives[0]["material"].get<int>()];
    EXPECT_EQ(primitives[0]["material"], primitives[1]["material"]);
    EXPECT_EQ(textured["alphaMode"], "MASK");
    EXPECT_EQ(textured["alphaCutoff"], 0.5);
    EXPECT_TRUE(textured["pbrMetallicRoughness"].contains("baseColorTexture"));
    for (int plain : {2, 3}) {
        EXPECT_FALSE(
            materials[primitives[plain]["material"].get<int>()]["pbrMetallicRoughness"].contains(
                "baseColorTexture"));
    }
    ASSERT_EQ(doc.json["images"].size(), 1u);
    const auto& image = doc.json["images"][0];
    EXPECT_EQ(image["mimeType"], "image/png");
    const auto& view = doc.json["bufferViews"][image["bufferView"].get<int>()];
    const std::size_t at = view["byteOffset"];
    EXPECT_EQ(std::string(doc.bin.begin() + static_cast<long>(at),
                          doc.bin.begin() + static_cast<long>(at) + 4),
              "\x89PNG");

    // Names in the archives' code page arrive as UTF-8.
    EXPECT_EQ(doc.json["animations"][0]["name"], "\xE8\xB5\xB0");
    const auto& nodes = doc.json["nodes"];
    EXPECT_TRUE(std::any_of(nodes.begin(), nodes.end(),
                            [](const auto& n) { return n["name"] == "\xE8\xBA\xAB\xE4\xBD\x93"; }));
    // Every node has a name of its own; the mesh keeps its name beside the skeleton's.
    std::set<std::string> names;
    for (const auto& n : nodes) {
        EXPECT_TRUE(names.insert(n["name"].get<std::string>()).second) << n["name"];
    }
    EXPECT_TRUE(names.count("hero"));
    EXPECT_TRUE(names.count("hero_skeleton"));
    EXPECT_EQ(doc.json["skins"][0]["name"], "hero_skeleton");
    EXPECT_EQ(doc.json["images"][0]["name"], "hero.dds");
    // The sword hangs under ~BoxBone01.
    for (const auto& n : nodes) {
        if (n["name"] == "~BoxBone01") {
            ASSERT_TRUE(n.contains("children"));
            EXPECT_EQ(nodes[n["children"][0].get<int>()]["name"], "sword");
        }
    }
    // Normals are mirrored and of unit length.
    const auto& prim = doc.json["meshes"][0]["primitives"][0];
    const std::vector<double> normals = GltfEval::ReadAccessor(doc, prim["attributes"]["NORMAL"]);
    const auto& read = model.MeshAt(0).subMeshes[0].normals;
    ASSERT_EQ(normals.size(), read.size() * 3);
    for (std::size_t v = 0; v < read.size(); ++v) {
        const double length = std::hypot(read[v][0], read[v][1], read[v][2]);
        EXPECT_NEAR(normals[3 * v], read[v][0] / length, 1e-6);
        EXPECT_NEAR(normals[3 * v + 1], read[v][1] / length, 1e-6);
        EXPECT_NEAR(normals[3 * v + 2], -read[v][2] / length, 1e-6);
    }
}

}  // namespace
