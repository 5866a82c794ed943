// `vell gltf` end to end, and its files read by real consumers: the Khronos glTF validator
// must find no errors, and assimp must import the meshes, bones and animations.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "GltfEvaluator.h"
#include "GltfTestModels.h"
#include "SampleGameFolder.h"
#include "TestUtil.h"

namespace {

using TestUtil::RunResult;
using TestUtil::Vell;

// The number assimp's "info" prints after `label`, or -1.
long AssimpCount(const std::string& info, const std::string& label) {
    std::smatch m;
    if (!std::regex_search(info, m, std::regex(label + ":\\s+([0-9]+)"))) {
        return -1;
    }
    return std::stol(m[1]);
}

RunResult AssimpInfo(const std::string& file) {
    return TestUtil::Run(ASSIMP_PROGRAM, {"info", file});
}

// Skinned primitives and the joints each one really uses: assimp makes a mesh per
// primitive and a bone per joint that has weight in it.
struct Counts {
    long meshes = 0;
    long bones = 0;
    long animations = 0;
    long joints = 0;
};

Counts CountsOf(const std::string& file) {
    const GltfEval::Document doc = GltfEval::Load(file);
    Counts c;
    for (const auto& mesh : doc.json.value("meshes", nlohmann::json::array())) {
        for (const auto& prim : mesh["primitives"]) {
            ++c.meshes;
            std::set<double> used;
            for (int set = 0; prim["attributes"].contains("JOINTS_" + std::to_string(set)); ++set) {
                const auto joints = GltfEval::ReadAccessor(
                    doc, prim["attributes"]["JOINTS_" + std::to_string(set)]);
                const auto weights = GltfEval::ReadAccessor(
                    doc, prim["attributes"]["WEIGHTS_" + std::to_string(set)]);
                for (std::size_t i = 0; i < joints.size(); ++i) {
                    if (weights[i] > 0) {
                        used.insert(joints[i]);
                    }
                }
            }
            c.bones += static_cast<long>(used.size());
        }
    }
    if (doc.json.contains("skins")) {
        c.joints = static_cast<long>(doc.json["skins"][0]["joints"].size());
    }
    c.animations = static_cast<long>(doc.json.value("animations", nlohmann::json::array()).size());
    return c;
}

// The vertices of every OBJ file `vell obj` wrote, by (sub-mesh name, index): mirrored in x
// as the view draws them, then turned half a turn about +Y as the glTF file is.
std::map<std::pair<std::string, int>, std::vector<GltfEval::Vec3d>> ObjVertices(
    const std::string& folder) {
    std::map<std::pair<std::string, int>, std::vector<GltfEval::Vec3d>> out;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string stem = entry.path().stem().string();
        if (entry.path().extension() != ".obj" || stem.rfind('_') == std::string::npos) {
            continue;
        }
        const std::size_t cut = stem.rfind('_');
        auto& list = out[{stem.substr(0, cut), std::stoi(stem.substr(cut + 1))}];
        std::ifstream in(entry.path());
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("v ", 0) == 0) {
                std::istringstream values(line.substr(2));
                GltfEval::Vec3d p;
                values >> p[0] >> p[1] >> p[2];
                list.push_back({-p[0], p[1], -p[2]});
            }
        }
    }
    return out;
}

// The file exported by `vell gltf` in metres poses like `vell obj --frame` in the game's
// units at each frame given, per animation of `ani` (1-based as vell numbers them; the
// file's from `first` on); the attachment, which the plain OBJ leaves out, aside. With
// `mtl`, `vell obj --mtl`, which holds the attachment too (its files named in one word).
void ExpectPosesLikeObj(const std::string& game, std::vector<std::string> load,
                        const std::string& ani, const std::string& glb,
                        const std::vector<std::vector<int>>& framesPerAnimation, int first = 0,
                        bool mtl = false) {
    constexpr double kMetres = 0.01;
    const GltfEval::Document doc = GltfEval::Load(glb);
    for (std::size_t a = 0; a < framesPerAnimation.size(); ++a) {
        for (int f : framesPerAnimation[a]) {
            TestUtil::TempDir objs;
            std::vector<std::string> args = {"obj", game};
            args.insert(args.end(), load.begin(), load.end());
            args.insert(args.end(), {"--ani", ani, "--anim", std::to_string(a + 1), "--frame",
                                     std::to_string(f), "-o", objs.Path()});
            if (mtl) {
                args.push_back("--mtl");
            }
            const RunResult r = Vell(args);
            ASSERT_EQ(r.exitCode, 0) << r.err;
            const auto expected = ObjVertices(objs.Path());
            double size = 0, worst = 0;
            std::size_t compared = 0;
            for (const auto& prim :
                 GltfEval::Evaluate(doc, first + static_cast<int>(a), f / 60.0)) {
                std::string name = prim.name;
                if (mtl) {
                    std::replace(name.begin(), name.end(), ' ', '_');
                }
                auto found = expected.find({name, prim.subMesh});
                if (found == expected.end()) {
                    EXPECT_FALSE(mtl) << name;
                    continue;  // the attachment
                }
                ++compared;
                ASSERT_EQ(found->second.size(), prim.positions.size()) << prim.name;
                for (std::size_t v = 0; v < prim.positions.size(); ++v) {
                    for (int c = 0; c < 3; ++c) {
                        const double expected = found->second[v][c] * kMetres;
                        size = std::max(size, std::abs(expected));
                        worst = std::max(worst, std::abs(expected - prim.positions[v][c]));
                    }
                }
            }
            EXPECT_GT(compared, 0u);
            EXPECT_EQ(compared, expected.size());
            EXPECT_LE(worst, 1e-3 * size) << "animation " << a + 1 << " frame " << f;
        }
    }
}

// The validator finds no error and assimp imports what the file holds. assimp keeps bones per
// mesh and may list a joint in a mesh where it has no weight: every joint with weight is
// there, and no mesh has more bones than the skin joints. It may split a primitive whose
// triangles fold into lines into two meshes (`maySplit`).
void ExpectConsumersAccept(const std::string& file, long animations, bool maySplit = false) {
    GltfEval::ExpectValid(file);
    const RunResult info = AssimpInfo(file);
    ASSERT_EQ(info.exitCode, 0) << info.out << info.err;
    const Counts expected = CountsOf(file);
    EXPECT_EQ(expected.animations, animations);
    const long meshes = AssimpCount(info.out, "Meshes");
    EXPECT_TRUE(maySplit ? meshes >= expected.meshes : meshes == expected.meshes) << info.out;
    const long bones = AssimpCount(info.out, "Bones");
    EXPECT_GE(bones, expected.bones) << info.out;
    EXPECT_LE(bones, meshes * expected.joints) << info.out;
    EXPECT_EQ(bones > 0, expected.joints > 0) << info.out;
    EXPECT_EQ(AssimpCount(info.out, "Animations"), expected.animations) << info.out;
}

// How tall the file's meshes stand at rest, along +Y.
double RestHeight(const std::string& file) {
    double low = INFINITY, high = -INFINITY;
    for (const auto& prim : GltfEval::Evaluate(GltfEval::Load(file), -1, 0)) {
        for (const auto& p : prim.positions) {
            low = std::min(low, p[1]);
            high = std::max(high, p[1]);
        }
    }
    return high - low;
}

class GltfCommand : public ::testing::Test {
protected:
    GltfCommand() { Forge::SavePak(game / "char.pak", GltfTest::CharacterGame()); }

    RunResult Export(std::vector<std::string> args) {
        args.insert(args.begin(), {"gltf", game.Path()});
        return Vell(args);
    }

    TestUtil::TempDir game;
    TestUtil::TempDir out;
};

// The character with its sword and animations, two parts, the bind skeleton alone, and
// sub-meshes hidden; the first also poses like the OBJ export of the same frames.
TEST_F(GltfCommand, AnimatedCharacterWithSwordPassesValidatorAndAssimp) {
    const std::string kAni = "chars/hero/hero.ani";
    const struct {
        std::vector<std::string> args;
        long animations;
        long meshes;  // -1: any
    } kRows[] = {
        {{"chars/hero/hero.skn", "--ani", kAni, "--attach", "chars/hero/sword.skn"}, 2, 5},
        {{"chars/hero/parts/hero_body.skn", "chars/hero/parts/hero_head.skn", "--ani", kAni},
         2,
         -1},
        {{"chars/hero/hero.skn"}, 0, -1},
        {{"chars/hero/hero.skn", "--hide", "1,3"}, 0, 2},
    };
    for (const auto& row : kRows) {
        const std::string file = out / "hero.glb";
        std::vector<std::string> args = row.args;
        args.insert(args.end(), {"-o", file});
        const RunResult r = Export(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "wrote " + file + "\n");
        ExpectConsumersAccept(file, row.animations);
        if (row.meshes >= 0) {
            EXPECT_EQ(CountsOf(file).meshes, row.meshes);
        }
        if (&row == &kRows[0]) {
            ExpectPosesLikeObj(game.Path(),
                               {"chars/hero/hero.skn", "--attach", "chars/hero/sword.skn"}, kAni,
                               file, {{0, 5, 13, 23}, {0, 3, 6}});
            ExpectPosesLikeObj(game.Path(),
                               {"chars/hero/hero.skn", "--attach", "chars/hero/sword.skn"}, kAni,
                               file, {{0, 13}, {6}}, 0, true);
        }
    }
}

// The sample game's character, when this build has the sample maker.
TEST(GltfSample, SampleCharacterPassesValidatorAndAssimp) {
    const std::string& game = TestUtil::SampleGameFolder();
    TestUtil::TempDir out;
    // Text form with PNGs beside it, under a name with a space and Chinese characters, and
    // the animations of two files.
    const std::string file = out / "hero \xE8\x8B\xB1\xE9\x9B\x84.gltf";
    const RunResult r = Vell({"gltf", game, "chars/hero/hero.skn", "--ani", "chars/hero/hero.ani",
                              "--ani", "chars/hero/hero_bow.ani", "--attach",
                              "chars/hero/weapon/hero_sword.skn", "-o", file});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ExpectConsumersAccept(file, 4, true);
    EXPECT_EQ(GltfEval::Load(file).json["animations"][3]["name"], "hero_bow/bow");
    EXPECT_NE(AssimpInfo(file).out.find(".png'"), std::string::npos);
    EXPECT_GT(CountsOf(file).bones, 0);
    const std::vector<std::string> load = {"chars/hero/hero.skn", "--attach",
                                           "chars/hero/weapon/hero_sword.skn"};
    ExpectPosesLikeObj(game, load, "chars/hero/hero.ani", file,
                       {{0, 17, 59}, {0, 21, 39}, {0, 30, 59}});
    ExpectPosesLikeObj(game, load, "chars/hero/hero_bow.ani", file, {{0, 20}}, 3);
    ExpectPosesLikeObj(game, load, "chars/hero/hero.ani", file, {{17}, {}, {30}}, 0, true);
}

// The sample hero stands 181.8 units tall in the game: 1.818 m in the file by default, as
// glTF counts in metres, and 181.8 with --scale 1.
TEST(GltfSample, HeroIsInMetresByDefaultAndInTheGamesUnitsWithScaleOne) {
    const struct {
        std::vector<std::string> scale;
        double height;
    } kRows[] = {{{}, 1.818}, {{"--scale", "1"}, 181.8}, {{"--scale", "0.5"}, 90.9}};
    TestUtil::TempDir out;
    for (const auto& row : kRows) {
        const std::string file = out / "hero.glb";
        std::vector<std::string> args = {"gltf", TestUtil::SampleGameFolder(),
                                         "chars/hero/hero.skn", "-o", file};
        args.insert(args.end(), row.scale.begin(), row.scale.end());
        const RunResult r = Vell(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NEAR(RestHeight(file), row.height, row.height * 1e-4);
    }
}

// The word after `tag` on every line that starts with it, as a strict reader that splits
// lines at spaces takes it: a line with more than one word after its tag fails.
std::vector<std::string> StrictNames(const std::filesystem::path& file, const std::string& tag) {
    std::vector<std::string> names;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::vector<std::string> split;
        for (std::string word; words >> word;) {
            split.push_back(word);
        }
        if (!split.empty() && split[0] == tag) {
            EXPECT_EQ(split.size(), 2u) << file << ": " << line;
            names.push_back(split.size() > 1 ? split[1] : "");
        }
    }
    return names;
}

// Faces that wind with their normals, of all the file's faces.
std::pair<long, long> FacesWithTheirNormals(const std::filesystem::path& file) {
    std::vector<GltfEval::Vec3d> v, vn;
    long agree = 0, faces = 0;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line.substr(line.find(' ') + 1));
        GltfEval::Vec3d p{};
        if (line.rfind("v ", 0) == 0 || line.rfind("vn ", 0) == 0) {
            words >> p[0] >> p[1] >> p[2];
            (line[1] == 'n' ? vn : v).push_back(p);
        } else if (line.rfind("f ", 0) == 0) {
            std::size_t i[3];
            for (std::size_t& k : i) {
                std::string corner;
                words >> corner;
                k = std::stoul(corner) - 1;
            }
            auto d = [&](int c, int k) { return v[i[k]][c] - v[i[0]][c]; };
            double dot = 0;
            for (int c = 0; c < 3; ++c) {
                const double n =
                    d((c + 1) % 3, 1) * d((c + 2) % 3, 2) - d((c + 2) % 3, 1) * d((c + 1) % 3, 2);
                dot += n * (vn[i[0]][c] + vn[i[1]][c] + vn[i[2]][c]);
            }
            ++faces;
            agree += dot > 0;
        }
    }
    return {agree, faces};
}

// --mtl: assimp finds each file's material and its PNG, a reader that splits at spaces finds
// every file the mtllib and map_ lines name, the glow is Ke and map_Ke, and the sample's
// faces wind with their normals.
TEST(ObjMaterials, TexturesGlowAndNamesReadAsOneWordAndFacesWindWithTheirNormals) {
    TestUtil::TempDir test;
    Forge::SavePak(test / "char.pak", GltfTest::CharacterGame());
    const struct {
        bool sample;
        const char* skin;
        int files;
        const char* glow;  // the Ke line, "" for none
        std::vector<std::string> glowPngs;
    } kRows[] = {
        {true, "chars/hero/hero.skn", 6, "", {}},
        {true,
         "chars/hero/weapon/hero_sword.skn",
         1,
         "Ke 0.600000 1.050000 1.500000",
         {"hero_sword_glow.png"}},
        // "sword blade" with "sword glow.dds": names with spaces.
        {false, "chars/hero/sword.skn", 1, "Ke 1.000000 0.500000 0.200000", {"sword_glow.png"}},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.skin);
        TestUtil::TempDir out;
        const std::string game = row.sample ? TestUtil::SampleGameFolder() : test.Path();
        ASSERT_EQ(Vell({"obj", game, row.skin, "--mtl", "-o", out.Path()}).exitCode, 0);
        int files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(out.Path())) {
            if (entry.path().extension() != ".obj") {
                continue;
            }
            ++files;
            const RunResult info = AssimpInfo(entry.path());
            ASSERT_EQ(info.exitCode, 0) << info.err;
            std::smatch png;
            ASSERT_TRUE(std::regex_search(info.out, png, std::regex("Texture Refs:\\s+'([^']+)'")))
                << info.out;
            EXPECT_TRUE(std::filesystem::exists(out / png[1].str())) << png[1];
            const std::vector<std::string> libraries = StrictNames(entry.path(), "mtllib");
            ASSERT_EQ(libraries.size(), 1u);
            const std::filesystem::path mtl = out / libraries[0];
            ASSERT_TRUE(std::filesystem::exists(mtl)) << mtl;
            for (const char* tag : {"map_Kd", "map_d", "map_Ke"}) {
                for (const std::string& name : StrictNames(mtl, tag)) {
                    EXPECT_TRUE(std::filesystem::exists(out / name)) << tag << " " << name;
                }
            }
            EXPECT_EQ(StrictNames(mtl, "map_Ke"), row.glowPngs);
            const std::string text = TestUtil::ReadText(mtl);
            EXPECT_EQ(text.find("Ke ") != std::string::npos, *row.glow != 0) << text;
            if (*row.glow) {
                EXPECT_NE(text.find(std::string(row.glow) + "\n"), std::string::npos) << text;
            }
            if (row.sample) {
                const auto [agree, faces] = FacesWithTheirNormals(entry.path());
                EXPECT_GT(agree, faces * 9 / 10) << entry.path();
            }
        }
        EXPECT_EQ(files, row.files);
    }
}

// --each: every whole model below the folder, each on its own; a broken skin is reported and
// the others still written, an animation that fits nothing only warned about.
TEST_F(GltfCommand, EachExportsEveryWholeModelAndCountsTheBrokenOne) {
    Forge::SavePak(game / "odd.pak", GltfTest::OddFiles());
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> written;
    } kRows[] = {
        {{"gltf", "--format", "gltf", "--jobs", "2"}, {"hero/hero.gltf", "hero/sword.gltf"}},
        {{"gltf"}, {"hero/hero.glb", "hero/sword.glb"}},
        {{"obj", "--mtl"}, {"hero/hero/body_00.obj", "hero/hero/body_00.mtl", "hero/sword"}},
    };
    for (const auto& row : kRows) {
        TestUtil::TempDir each;
        std::vector<std::string> args = {row.args[0], game.Path(), "--each",
                                         "chars",     "-o",        each / "out"};
        args.insert(args.end(), row.args.begin() + 1, row.args.end());
        const RunResult r = Vell(args);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_TRUE(r.out.ends_with("wrote 2 of 3 models, 1 failed\n")) << r.out;
        EXPECT_NE(r.err.find("vell: hero/broken.skn: "), std::string::npos) << r.err;
        // OBJ files hold no animations.
        EXPECT_EQ(r.err.find("hero/hero.skn: other.ani: no bone matches") != std::string::npos,
                  row.args[0] == "gltf")
            << r.err;
        for (const std::string& file : row.written) {
            EXPECT_TRUE(std::filesystem::exists(each / ("out/" + file))) << file;
        }
        if (row.written[0].ends_with(".gltf")) {
            GltfEval::ExpectValid(each / ("out/" + row.written[0]));
        }
        // In metres: the test character's rings span 13 units.
        if (row.args[0] == "gltf") {
            EXPECT_NEAR(RestHeight(each / ("out/" + row.written[0])), 0.13, 1e-6);
        }
        // Nothing beside the output folder.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(each.Path()), {}), 1);
    }
}

}  // namespace
