// The glTF export checked by evaluating the written file independently: at integer frames
// of every animation its skinned vertices must land where the model's own pose puts them,
// mirrored in x as the view draws them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include "GltfCompare.h"
#include "GltfEvaluator.h"
#include "GltfTestModels.h"
#include "TestUtil.h"
#include "VellModel.h"
#include "glcontext/glcontext.h"
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
        Forge::SavePak(dir / "char.pak", GltfTest::CharacterGame(aniVersion));
        PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
        mgr->Clear();
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

    std::string Export(CVellModel& model, const std::string& name) {
        const std::string path = dir / name;
        model.ExportGltf(path, {Node("chars/hero/hero.skn")});
        return path;
    }

    // At every frame of every animation (and a frame past the keys) the file's pose equals
    // the model's.
    void ExpectPosesMatch(CVellModel& model, const std::string& path) {
        const Document doc = GltfEval::Load(path);
        const auto& frameCounts = model.GetSkeleton().frameCounts;
        ASSERT_EQ(doc.json.at("animations").size(), frameCounts.size());
        for (std::size_t a = 0; a < frameCounts.size(); ++a) {
            model.PlayAnimation(static_cast<unsigned>(a + 1));
            for (uint32_t f = 0; f < frameCounts[a]; ++f) {
                model.PoseAt(static_cast<float>(f));
                const Expected expected = ModelPositions(model);
                const double distance =
                    Distance(expected, GltfEval::Evaluate(doc, static_cast<int>(a), f / 60.0));
                EXPECT_LE(distance, 1e-3 * Size(expected)) << "animation " << a << " frame " << f;
            }
        }
    }

    std::unique_ptr<GlContext::Headless> context;
    TestUtil::TempDir dir;
};

TEST_F(GltfExport, BinaryFilePosesLikeTheModelAtEveryFrameOfEveryAnimation) {
    OpenGame();
    CVellModel model;
    LoadCharacter(model);
    ExpectPosesMatch(model, Export(model, "hero.glb"));
}

TEST_F(GltfExport, TextFileWithBufferBesidePosesLikeTheModel) {
    OpenGame();
    CVellModel model;
    LoadCharacter(model);
    const std::string path = Export(model, "hero one.GLTF");
    EXPECT_TRUE(std::filesystem::exists(dir / "hero one.bin"));
    const Document doc = GltfEval::Load(path);
    EXPECT_EQ(doc.json["buffers"][0]["uri"], "hero%20one.bin");
    ExpectPosesMatch(model, path);
}

TEST_F(GltfExport, VersionTenAnimationPosesLikeTheModel) {
    OpenGame(10);
    CVellModel model;
    LoadCharacter(model);
    ExpectPosesMatch(model, Export(model, "hero.glb"));
}

TEST_F(GltfExport, PartsBindingOneBoneWithTwoMatricesPoseLikeTheModel) {
    OpenGame();
    CVellModel model;
    model.Load(Node("chars/hero/parts/hero_body.skn"));
    model.Load(Node("chars/hero/parts/hero_head.skn"));
    model.LoadAnimation(Node("chars/hero/hero.ani"));
    const std::string path = dir / "parts.glb";
    model.ExportGltf(path, {Node("chars/hero/parts/hero_body.skn")});
    ExpectPosesMatch(model, path);
    // The second matrix on 身体 hangs from it as a joint of its own.
    const Document doc = GltfEval::Load(path);
    const auto& joints = doc.json["skins"][0]["joints"];
    EXPECT_TRUE(std::any_of(joints.begin(), joints.end(), [&](const auto& j) {
        return doc.json["nodes"][j.template get<int>()]["name"] == "\xE8\xBA\xAB\xE4\xBD\x93.1";
    }));
}

TEST_F(GltfExport, WithoutAnimationTheMeshStaysAsReadOnItsBindSkeleton) {
    OpenGame();
    CVellModel model;
    model.Load(Node("chars/hero/hero.skn"));
    const std::string path = Export(model, "bind.glb");
    const Document doc = GltfEval::Load(path);
    EXPECT_FALSE(doc.json.contains("animations"));
    const Expected expected = ModelPositions(model);
    EXPECT_LE(Distance(expected, GltfEval::Evaluate(doc, -1, 0)), 1e-4 * Size(expected));
    std::vector<std::string> names;
    for (int j : doc.json["skins"][0]["joints"]) {
        names.push_back(doc.json["nodes"][j]["name"]);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"root", "\xE8\xBA\xAB\xE4\xBD\x93", "arm", "late",
                                               "missing", "~BoxBone01", "vell_static"}));
}

TEST_F(GltfExport, RestPoseOfTheAnimatedSkeletonIsTheBindPose) {
    OpenGame();
    CVellModel model;
    LoadCharacter(model);
    model.PlayAnimation(0);
    const Document doc = GltfEval::Load(Export(model, "hero.glb"));
    Expected expected = ModelPositions(model);
    // The sword follows its bone even at rest; only the skinned parts are compared.
    expected.erase({"sword", 0});
    auto posed = GltfEval::Evaluate(doc, -1, 0);
    std::erase_if(posed, [](const auto& p) { return p.mesh == "sword"; });
    EXPECT_LE(Distance(expected, posed), 1e-4 * Size(expected));
}

TEST_F(GltfExport, FacesMaterialsAndNames) {
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
    EXPECT_TRUE(names.count("hero.1"));
    // The sword hangs under ~BoxBone01.
    for (const auto& n : nodes) {
        if (n["name"] == "~BoxBone01") {
            ASSERT_TRUE(n.contains("children"));
            EXPECT_EQ(nodes[n["children"][0].get<int>()]["name"], "sword");
        }
    }
}

TEST_F(GltfExport, NormalsAreMirroredAndOfUnitLength) {
    OpenGame();
    CVellModel model;
    LoadCharacter(model);
    const Document doc = GltfEval::Load(Export(model, "hero.glb"));
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

TEST_F(GltfExport, HiddenSubMeshesAreLeftOut) {
    OpenGame();
    CVellModel model;
    LoadCharacter(model);
    model.SetSubMeshVisible(3, false);
    const Document doc = GltfEval::Load(Export(model, "hero.glb"));
    EXPECT_EQ(doc.json["meshes"][0]["primitives"].size(), 3u);
    ExpectPosesMatch(model, dir / "hero.glb");
}

TEST_F(GltfExport, UnwritablePathThrows) {
    OpenGame();
    CVellModel model;
    LoadCharacter(model);
    EXPECT_THROW(model.ExportGltf(dir / "no/such/folder/x.glb", {}), Except);
    EXPECT_THROW(model.ExportGltf(dir / "no/such/folder/x.gltf", {}), Except);
}

TEST_F(GltfExport, EmptyModelWritesAnEmptyScene) {
    CVellModel model;
    const std::string path = dir / "empty.glb";
    model.ExportGltf(path, {});
    const Document doc = GltfEval::Load(path);
    EXPECT_EQ(doc.json["asset"]["version"], "2.0");
    EXPECT_TRUE(GltfEval::Evaluate(doc, -1, 0).empty());
}

}  // namespace
