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
#include "base/buildinfo.h"
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

// The file poses as the model does to within this share of the model's size: the sample
// character keeps within 5e-7, the test character's odd keys within 1e-6.
constexpr double kPoseTolerance = 1e-6;
constexpr double kSamplePoseTolerance = 5e-7;

// Whether the value tuple at `i` of a path's output leaves the node's rest value; a turn and
// its negation are one.
bool LeavesRest(const std::vector<double>& values, std::size_t i, const nlohmann::json& node,
                const std::string& path) {
    const std::vector<double> rest =
        node.value(path, path == "rotation" ? std::vector<double>{0, 0, 0, 1}
                         : path == "scale"  ? std::vector<double>{1, 1, 1}
                                            : std::vector<double>{0, 0, 0});
    double same = 0, opposite = 0;
    for (std::size_t c = 0; c < rest.size(); ++c) {
        same = std::max(same, std::abs(values[i + c] - rest[c]));
        opposite = std::max(opposite, std::abs(values[i + c] + rest[c]));
    }
    constexpr double kMoved = 1e-7;
    return (path == "rotation" ? std::min(same, opposite) : same) > kMoved;
}

// Every joint path the file animates is moved from its rest by some animation (the others
// are left out), and every animation lasts to its last frame. The number of channels.
std::size_t ExpectOnlyMovingPaths(const Document& doc, const std::vector<uint32_t>& frameCounts) {
    std::map<std::pair<int, std::string>, bool> moves;
    std::size_t channels = 0;
    const auto& animations = doc.json["animations"];
    EXPECT_EQ(animations.size(), frameCounts.size());
    for (std::size_t a = 0; a < animations.size() && a < frameCounts.size(); ++a) {
        double end = 0;
        for (const auto& channel : animations[a]["channels"]) {
            const auto& sampler = animations[a]["samplers"][channel["sampler"].get<int>()];
            const int node = channel["target"]["node"];
            const std::string path = channel["target"]["path"];
            const std::vector<double> values = GltfEval::ReadAccessor(doc, sampler["output"]);
            const std::size_t n = path == "rotation" ? 4 : 3;
            bool& moved = moves[{node, path}];
            for (std::size_t i = 0; i < values.size(); i += n) {
                moved = moved || LeavesRest(values, i, doc.json["nodes"][node], path);
            }
            const auto times = GltfEval::ReadAccessor(doc, sampler["input"]);
            end = std::max(end, times.back());
            ++channels;
        }
        EXPECT_NEAR(end, (std::max(frameCounts[a], 1u) - 1) / 60.0, 1e-6) << "animation " << a;
    }
    for (const auto& [target, moved] : moves) {
        // The origin joint's scale sends shares to the origin in every animation.
        if (doc.json["nodes"][target.first]["name"] != "vell_origin") {
            EXPECT_TRUE(moved) << doc.json["nodes"][target.first]["name"] << " " << target.second;
        }
    }
    return channels;
}

class GltfExport : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        context = GlContext::Headless::Create(16, 16, &error);
        ASSERT_TRUE(context) << error;
    }
    // Clear, Open and BuildTree, as File / Open does.
    static void OpenFolder(const std::string& folder) {
        PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
        mgr->Clear();
        ASSERT_TRUE(mgr->Open(folder) && mgr->BuildTree());
    }
    void OpenGame(uint32_t aniVersion = 11) {
        Forge::SavePak(dir / "char.pak", GltfTest::CharacterGame(aniVersion));
        OpenFolder(dir.Path());
    }
    void TearDown() override { PakMgr::GetPakMgr()->Clear(); }

    PakMgr::ITreeNode* Node(const std::string& path) {
        PakMgr::ITreeNode* node = PakMgr::FindPath(*PakMgr::GetPakMgr(), path);
        EXPECT_TRUE(node) << path;
        return node;
    }

    // The whole character with its sword and animations, of this game or the sample's.
    void LoadCharacter(CVellModel& model, bool sample = false) {
        model.Load(Node("chars/hero/hero.skn"));
        model.LoadAttachment(
            Node(sample ? "chars/hero/weapon/hero_sword.skn" : "chars/hero/sword.skn"));
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
    void ExpectPosesMatch(CVellModel& model, const std::string& path,
                          double scale = Export::kMetresPerGameUnit, std::size_t first = 0,
                          double tolerance = kPoseTolerance) {
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
                EXPECT_LE(distance, tolerance * Size(expected))
                    << "animation " << a << " frame " << f;
            }
        }
    }

    std::unique_ptr<GlContext::Headless> context;
    TestUtil::TempDir dir;
};

// Both animation versions, in metres (the default), in the game's units and scaled, and
// with a sub-mesh hidden (left out). The lean rule: a joint's path is animated only when some
// animation moves it, every animation still lasting to its last frame.
TEST_F(GltfExport, BinaryFilePosesLikeTheModelAtEveryFrameOfEveryAnimationAndScale) {
    for (const uint32_t version : {11u, 10u}) {
        OpenGame(version);
        CVellModel model;
        LoadCharacter(model);
        ExpectPosesMatch(model, Export(model, "hero.glb"), 0.01);
        ExpectOnlyMovingPaths(GltfEval::Load(dir / "hero.glb"), model.GetSkeleton().frameCounts);
        ExpectPosesMatch(model, Export(model, "units.glb", {.scale = 1}), 1);
        ExpectPosesMatch(model, Export(model, "twice.glb", {.scale = 2}), 2);
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
    OpenFolder(dir.Path());
    CVellModel model;
    LoadCharacter(model);
    PakMgr::ITreeNode* ani = Node("chars/hero/hero.ani");
    const std::string path = Export(model, "two.glb", {.animations = {ani, ani}});
    ExpectPosesMatch(model, path, 0.01, 2);
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
        std::vector<std::string> images;
        for (const auto& image : doc.json["images"]) {
            uris.push_back(image["uri"]);
            images.push_back(image["name"]);
        }
        EXPECT_EQ(images, (std::vector<std::string>{"hero", "sword glow"}));
        for (const std::string& uri : uris) {
            EXPECT_TRUE(std::regex_match(
                uri, std::regex("hero_one___[0-9a-f]{8}"
                                "(\\.bin|_hero\\.png|_sword_glow_[0-9a-f]{8}\\.png)")))
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
    OpenFolder(TestUtil::SampleGameFolder());
    CVellModel model;
    model.Load(Node("chars/hero/hero.skn"));
    model.LoadAnimation(Node("chars/hero/hero.ani"));
    const Document doc = GltfEval::Load(Export(model, "sample.glb", {.scale = 1}));
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
        auto file = PakMgr::GetPakMgr()->LoadFile(Node("chars/hero")->FindNode(image + ".dds"));
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

// Without animation, and at rest with one, the mesh stays as read and the sword hangs at
// its bone's bind placement, as the view shows them; so does the sword at every frame of an
// animation whose skeleton lacks its bone. An empty model writes an empty scene.
TEST_F(GltfExport, WithoutAnimationOrAtRestTheMeshStaysAsReadAndTheSwordOnItsBone) {
    CVellModel empty;
    Export::ExportGltf(empty, dir / "empty.glb", {});
    const Document nothing = GltfEval::Load(dir / "empty.glb");
    EXPECT_EQ(nothing.json["asset"]["version"], "2.0");
    // The program that wrote it, with the version it says with --version.
    EXPECT_EQ(nothing.json["asset"]["generator"],
              std::string("VellModelBrowser ") + BuildInfo::kVersion);
    EXPECT_TRUE(GltfEval::Evaluate(nothing, -1, 0).empty());
    OpenGame();
    const struct {
        const char* name;
        bool sword;
        const char* animation;  // "" for none
        const char* parent;     // the sword node's parent, "" for the scene
    } kRows[] = {
        {"bind", false, "", ""},
        {"bind sword", true, "", "~BoxBone01"},
        {"rest", true, "chars/hero/hero.ani", "~BoxBone01"},
        {"no such bone", true, "chars/hero/nobox.ani", ""},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        CVellModel model;
        model.Load(Node("chars/hero/hero.skn"));
        if (row.sword) {
            model.LoadAttachment(Node("chars/hero/sword.skn"));
        }
        if (*row.animation) {
            model.LoadAnimation(Node(row.animation));
            model.PlayAnimation(0);
        }
        const std::string path = Export(model, std::string(row.name) + ".glb");
        const Document doc = GltfEval::Load(path);
        const Expected expected = ModelPositions(model, 0.01);
        EXPECT_EQ(expected.count({"sword", 0}), row.sword ? 1u : 0u);
        EXPECT_LE(Distance(expected, GltfEval::Evaluate(doc, -1, 0)),
                  kPoseTolerance * Size(expected));
        const auto& nodes = doc.json["nodes"];
        std::string parent;
        for (const auto& node : nodes) {
            for (int child : node.value("children", nlohmann::json::array())) {
                if (nodes[child]["name"] == "sword") {
                    parent = node["name"];
                }
            }
        }
        EXPECT_EQ(parent, row.parent);
        if (std::string(row.animation) == "chars/hero/nobox.ani") {
            ExpectPosesMatch(model, path);
        }
    }

    CVellModel model;
    model.Load(Node("chars/hero/hero.skn"));
    const Document doc = GltfEval::Load(Export(model, "joints.glb"));
    EXPECT_FALSE(doc.json.contains("animations"));
    std::vector<std::string> names;
    for (int j : doc.json["skins"][0]["joints"]) {
        names.push_back(doc.json["nodes"][j]["name"]);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"root", "\xE8\xBA\xAB\xE4\xBD\x93", "arm", "late",
                                               "missing", "~BoxBone01", "vell_static"}));
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
    // A material per skin material: body and strip share their texture, not their material.
    const auto& strip = materials[primitives[1]["material"].get<int>()];
    EXPECT_NE(primitives[0]["material"], primitives[1]["material"]);
    EXPECT_EQ(strip["pbrMetallicRoughness"]["baseColorTexture"],
              textured["pbrMetallicRoughness"]["baseColorTexture"]);
    EXPECT_EQ(textured["alphaMode"], "MASK");
    EXPECT_EQ(textured["alphaCutoff"], 0.5);
    EXPECT_TRUE(textured["pbrMetallicRoughness"].contains("baseColorTexture"));
    for (int plain : {2, 3}) {
        EXPECT_FALSE(
            materials[primitives[plain]["material"].get<int>()]["pbrMetallicRoughness"].contains(
                "baseColorTexture"));
    }
    ASSERT_EQ(doc.json["images"].size(), 2u);  // the sword's glow too
    const auto& image = doc.json["images"][0];
    EXPECT_EQ(image["mimeType"], "image/png");
    const auto& view = doc.json["bufferViews"][image["bufferView"].get<int>()];
    const std::size_t at = view["byteOffset"];
    EXPECT_EQ(std::string(doc.bin.begin() + static_cast<long>(at),
                          doc.bin.begin() + static_cast<long>(at) + 4),
              "\x89PNG");

    // Names in the archives' code page arrive as UTF-8 (the joints' too: the bind test).
    EXPECT_EQ(doc.json["animations"][0]["name"], "\xE8\xB5\xB0");
    const auto& nodes = doc.json["nodes"];
    // Every node has a name of its own; the mesh keeps its name beside the skeleton's.
    std::set<std::string> names;
    for (const auto& n : nodes) {
        EXPECT_TRUE(names.insert(n["name"].get<std::string>()).second) << n["name"];
    }
    EXPECT_TRUE(names.count("hero"));
    EXPECT_TRUE(names.count("hero_skeleton"));
    EXPECT_EQ(doc.json["skins"][0]["name"], "hero_skeleton");
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

// The lean rule on the sample hero: its three actions hold 48 channels, not 270, and still
// pose like the model at every frame.
TEST_F(GltfExport, AnimationsWriteOnlyThePathsTheyMoveAndPoseLikeTheModel) {
    OpenFolder(TestUtil::SampleGameFolder());
    CVellModel model;
    LoadCharacter(model, true);
    const std::string path = Export(model, "lean.glb");
    EXPECT_EQ(ExpectOnlyMovingPaths(GltfEval::Load(path), model.GetSkeleton().frameCounts), 48u);
    ExpectPosesMatch(model, path, Export::kMetresPerGameUnit, 0, kSamplePoseTolerance);
}

// A material per skin material: its glow as emissive texture, factor and strength (only
// above 1), its mask and tattoo textures as images named in its extras with its colours. A
// glow texture that is missing ("gone") leaves the material black.
TEST_F(GltfExport, MaterialsGlowAndKeepTheirOtherTexturesAndColours) {
    TestUtil::TempDir sampleOut;
    std::map<std::string, Document> files;
    auto exportAs = [&](const std::string& name, std::vector<std::string> skins, bool sample) {
        CVellModel model;
        for (const std::string& skin : skins) {
            model.Load(Node(skin));
        }
        model.LoadAttachment(
            Node(sample ? "chars/hero/weapon/hero_sword.skn" : "chars/hero/sword.skn"));
        std::vector<PakMgr::ITreeNode*> nodes = {Node(skins.front())};
        if (sample) {
            nodes.push_back(Node("chars/hero/weapon/hero_sword.skn"));
        }
        const std::string path = dir / (name + ".gltf");
        Export::ExportGltf(model, path, nodes);
        files.emplace(name, GltfEval::Load(path));
        GltfEval::ExpectValid(path);
    };
    OpenGame();
    exportAs("hero", {"chars/hero/hero.skn"}, false);
    exportAs("parts", {"chars/hero/parts/hero_body.skn", "chars/hero/parts/hero_head.skn"}, false);
    OpenFolder(TestUtil::SampleGameFolder());
    exportAs("sample", {"chars/hero/hero.skn"}, true);

    const struct {
        const char* file;
        const char* material;
        std::vector<double> factor;  // empty: none
        double strength;             // 0: no extension
        const char* glow;            // the emissive image's name, "" for none
        const char* mask;
        const char* tattoo;
    } kRows[] = {
        {"hero", "hero", {}, 0, "", "", ""},
        {"hero", "hero_2", {}, 0, "", "", ""},
        {"hero", "untextured", {1, 1, 1}, 2, "", "", ""},
        {"hero", "gone", {}, 0, "", "", ""},
        {"hero", "hero_3", {1, 0.5, 0.2}, 0, "sword glow", "", ""},
        {"parts", "hero_3", {1, 1, 1}, 0, "hero", "", ""},
        {"sample", "hero_sword", {0.4, 0.7, 1}, 1.5, "hero_sword_glow", "", ""},
        {"sample", "hero_cloth", {}, 0, "", "hero_mask", "hero_tattoo"},
        {"sample", "hero_face", {}, 0, "", "", ""},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(std::string(row.file) + " " + row.material);
        const Document& doc = files.at(row.file);
        const auto& materials = doc.json["materials"];
        auto found = std::find_if(materials.begin(), materials.end(),
                                  [&](const auto& m) { return m["name"] == row.material; });
        ASSERT_NE(found, materials.end());
        const auto& m = *found;
        ASSERT_EQ(m.contains("emissiveFactor"), !row.factor.empty());
        for (std::size_t c = 0; c < row.factor.size(); ++c) {
            EXPECT_NEAR(m["emissiveFactor"][c].get<double>(), row.factor[c], 1e-6);
        }
        const auto strength = nlohmann::json::json_pointer(
            "/extensions/KHR_materials_emissive_strength/emissiveStrength");
        ASSERT_EQ(m.contains(strength), row.strength > 0);
        if (row.strength > 0) {
            EXPECT_NEAR(m[strength].get<double>(), row.strength, 1e-6);
        }
        auto imageName = [&](const nlohmann::json& index) {
            return doc.json["images"][index.get<int>()]["name"].get<std::string>();
        };
        EXPECT_EQ(m.contains("emissiveTexture") ? imageName(m["emissiveTexture"]["index"]) : "",
                  row.glow);
        // The other textures are images of the file, reached from the material's extras.
        const auto& extras = m["extras"];
        for (const auto& [key, name] :
             {std::pair{"maskTexture", row.mask}, std::pair{"tattooTexture", row.tattoo}}) {
            ASSERT_EQ(extras.contains(key), *name != 0) << key;
            if (*name) {
                EXPECT_EQ(extras[key]["name"], name);
                EXPECT_EQ(imageName(extras[key]["image"]), name);
                EXPECT_TRUE(std::filesystem::exists(
                    dir /
                    doc.json["images"][extras[key]["image"].get<int>()]["uri"].get<std::string>()));
            }
        }
        for (const char* colour : {"ambient", "diffuse", "skinColor", "eyeColor", "customColor"}) {
            EXPECT_EQ(extras[colour].size(), 4u) << colour;
        }
    }
    const auto& cloth = files.at("sample").json["materials"][1];
    EXPECT_EQ(cloth["name"], "hero_cloth");
    EXPECT_EQ(cloth["extras"]["customColor"], (std::vector<double>{0.85, 0.7, 0.3, 1}));
    // The extension is listed as used, not required, where a material has it.
    for (const auto& [name, doc] : files) {
        const auto& materials = doc.json["materials"];
        const bool strength = std::any_of(materials.begin(), materials.end(),
                                          [](const auto& m) { return m.contains("extensions"); });
        EXPECT_EQ(doc.json.value("extensionsUsed", nlohmann::json::array()),
                  strength ? nlohmann::json::array({"KHR_materials_emissive_strength"})
                           : nlohmann::json::array())
            << name;
        EXPECT_FALSE(doc.json.contains("extensionsRequired")) << name;
    }
}

}  // namespace
