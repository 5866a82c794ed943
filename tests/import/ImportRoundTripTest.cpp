// An unedited trip changes no byte: each model the export wrote, imported onto the skin it
// came from, makes no file; with --all each file is the base's own bytes.
#include "ImportFixture.h"

namespace {

using namespace ImportTest;

struct Trip {
    const char* name;
    Source source;
    std::vector<std::string> files;  // what --all writes
};

void PrintTo(const Trip& t, std::ostream* os) {
    *os << t.name;
}

const std::vector<std::string> kHeroFiles = {
    "chars/hero/hero.msh",          "chars/hero/hero.skn",
    "chars/hero/tex/hero_face.dds", "chars/hero/tex/hero_cloth.dds",
    "chars/hero/tex/hero_mask.dds", "chars/hero/tex/hero_tattoo.dds",
    "chars/hero/tex/hero_leg.dds",  "chars/hero/tex/hero_boots.dds",
    "chars/hero/tex/hero_hair.dds"};

std::vector<std::string> With(std::vector<std::string> files, const char* more) {
    files.push_back(more);
    return files;
}

const Trip kTrips[] = {
    {"HeroBindPose", {}, kHeroFiles},
    {"HeroVersion11Animations",
     {.ani = "chars/hero/hero.ani"},
     With(kHeroFiles, "chars/hero/hero.ani")},
    {"HeroVersion10Animation",
     {.ani = "chars/hero/hero_bow.ani"},
     With(kHeroFiles, "chars/hero/hero_bow.ani")},
    {"HeroInGameUnits", {.scale = 1.0f}, kHeroFiles},
    {"HeroAsGltfWithSideFiles", {.gltf = true}, kHeroFiles},
    {"Sword",
     {.skin = "chars/hero/weapon/hero_sword.skn"},
     {"chars/hero/weapon/hero_sword.msh", "chars/hero/weapon/hero_sword.skn",
      "chars/hero/weapon/tex/hero_sword.dds", "chars/hero/weapon/tex/hero_sword_glow.dds"}},
    {"PartOfStrips",
     {.skin = "chars/hero/parts/hero_leg.skn", .ani = "chars/hero/hero.ani"},
     {"chars/hero/parts/hero_leg.msh", "chars/hero/parts/hero_leg.skn",
      "chars/hero/parts/tex/hero_leg.dds", "chars/hero/hero.ani"}},
    {"PartOfLists",
     {.skin = "chars/hero/parts/hero_head.skn"},
     {"chars/hero/parts/hero_head.msh", "chars/hero/parts/hero_head.skn",
      "chars/hero/parts/tex/hero_face.dds"}},
};

class RoundTrip : public ::testing::TestWithParam<Trip> {};

TEST_P(RoundTrip, WritesNothingAndAllIsTheBasesBytes) {
    const Trip& trip = GetParam();
    const std::string path = Exported(trip.source);
    const Import::ImportPlan plan =
        Import::PlanImportFile(Node(trip.source.skin), path, OptionsFor(trip.source));
    EXPECT_TRUE(plan.files.empty()) << (plan.reasons.empty() ? "" : plan.reasons.front());
    EXPECT_TRUE(plan.limits.empty());

    const Import::ImportPlan all =
        Import::PlanImportFile(Node(trip.source.skin), path, OptionsFor(trip.source, true));
    EXPECT_EQ(Paths(all), trip.files);
    for (const Import::ImportedFile& file : all.files) {
        EXPECT_EQ(file.bytes, ArchiveBytes(file.path)) << file.path;
    }
}

INSTANTIATE_TEST_SUITE_P(Import, RoundTrip, ::testing::ValuesIn(kTrips),
                         [](const auto& info) { return std::string(info.param.name); });

// What another tool does to a file without changing the model: its own vertex order, split
// vertices, ".001" suffixes, the export's extras dropped.
struct Habit {
    const char* name;
    void (*apply)(TestUtil::Glb&);
};

void PrintTo(const Habit& h, std::ostream* os) {
    *os << h.name;
}

// The head's vertices in reverse order, its faces following them.
void Reverse(TestUtil::Glb& glb) {
    nlohmann::json& head = PrimitiveOf(glb, "head");
    const int pos = head["attributes"]["POSITION"];
    const std::size_t n = glb.Count(pos);
    for (const auto& [semantic, accessor] : head["attributes"].items()) {
        const auto& a = glb.json["accessors"][accessor.get<int>()];
        const std::size_t size =
            glb.json["bufferViews"][a["bufferView"].get<int>()]["byteLength"].get<std::size_t>() /
            n;
        uint8_t* data = glb.At<uint8_t>(accessor);
        for (std::size_t i = 0; i < n / 2; ++i) {
            std::swap_ranges(data + i * size, data + (i + 1) * size, data + (n - 1 - i) * size);
        }
    }
    uint16_t* idx = glb.At<uint16_t>(head["indices"]);
    for (std::size_t i = 0; i < glb.Count(head["indices"]); ++i) {
        idx[i] = static_cast<uint16_t>(n - 1 - idx[i]);
    }
}

// One corner of the head's first face on a copy of its vertex, appended.
void Split(TestUtil::Glb& glb) {
    nlohmann::json& head = PrimitiveOf(glb, "head");
    const int first = glb.At<uint16_t>(head["indices"])[0];
    const std::size_t n = glb.Count(head["attributes"]["POSITION"]);
    for (auto& [semantic, accessor] : head["attributes"].items()) {
        const nlohmann::json a = glb.json["accessors"][accessor.get<int>()];
        const std::size_t size =
            glb.json["bufferViews"][a["bufferView"].get<int>()]["byteLength"].get<std::size_t>() /
            n;
        const uint8_t* data = glb.At<uint8_t>(accessor);
        std::vector<uint8_t> grown(data, data + n * size);
        grown.insert(grown.end(), data + first * size, data + (first + 1) * size);
        const int added =
            glb.Add(grown, a["componentType"], a["type"].get<std::string>().c_str(), n + 1);
        if (a.contains("normalized")) {
            glb.json["accessors"][added]["normalized"] = a["normalized"];
        }
        accessor = added;
    }
    glb.At<uint16_t>(head["indices"])[0] = static_cast<uint16_t>(n);
}

void Suffixes(TestUtil::Glb& glb) {
    for (auto& mesh : glb.json["meshes"]) {
        mesh["name"] = mesh["name"].get<std::string>() + ".001";
        for (auto& p : mesh["primitives"]) {
            p.erase("extras");
        }
    }
    for (auto& m : glb.json["materials"]) {
        m["name"] = m["name"].get<std::string>() + ".001";
        m.erase("extras");
    }
    for (auto& node : glb.json["nodes"]) {
        node["name"] = node["name"].get<std::string>() + ".001";
    }
    for (auto& image : glb.json["images"]) {
        image["name"] = image["name"].get<std::string>() + ".001";
    }
}

// Values a tool stores rounded: normals to 1e-4, texture coordinates in float as they were.
void Rounded(TestUtil::Glb& glb) {
    for (auto& p : glb.json["meshes"][0]["primitives"]) {
        const int normals = p["attributes"]["NORMAL"];
        float* n = glb.At<float>(normals);
        for (std::size_t i = 0; i < 3 * glb.Count(normals); ++i) {
            n[i] = std::round(n[i] * 1e4f) / 1e4f;
        }
    }
}

// Normals made up again where the faces have no size: each head vertex that shares its
// place with another one (the poles' rings, the strips' joints) points up.
void MadeUpNormalsOnFacesOfNoSize(TestUtil::Glb& glb) {
    nlohmann::json& head = PrimitiveOf(glb, "head");
    const int positions = head["attributes"]["POSITION"];
    const auto* p = glb.At<std::array<float, 3>>(positions);
    auto* n = glb.At<std::array<float, 3>>(head["attributes"]["NORMAL"]);
    std::map<std::array<float, 3>, int> shared;
    for (std::size_t i = 0; i < glb.Count(positions); ++i) {
        ++shared[p[i]];
    }
    int changed = 0;
    for (std::size_t i = 0; i < glb.Count(positions); ++i) {
        if (shared[p[i]] > 2 && n[i] != std::array<float, 3>{0, 1, 0}) {
            n[i] = {0, 1, 0};
            ++changed;
        }
    }
    ASSERT_GT(changed, 0);
}

// Each bone's axes turned a quarter about x where it stands, as Blender points bones along
// their length: the bind placements stay, and the game never sees a joint's own turn.
void TurnBoneAxes(TestUtil::Glb& glb) {
    const int ibm = glb.json["skins"][0]["inverseBindMatrices"];
    float* m = glb.At<float>(ibm);
    for (std::size_t j = 0; j < glb.Count(ibm); ++j) {
        float* row = m + 16 * j;
        for (int r = 0; r < 4; ++r) {
            const float y = row[4 * r + 1];
            const float z = row[4 * r + 2];
            row[4 * r + 1] = -z;
            row[4 * r + 2] = y;
        }
    }
}

// The corners of faces without area given normals of their own, as a tool that drops such
// faces does.
void NormalsOfFacesWithoutArea(TestUtil::Glb& glb) {
    for (auto& p : glb.json["meshes"][0]["primitives"]) {
        const float* xyz = glb.At<float>(p["attributes"]["POSITION"]);
        float* n = glb.At<float>(p["attributes"]["NORMAL"]);
        const uint16_t* idx = glb.At<uint16_t>(p["indices"]);
        for (std::size_t t = 0; t + 2 < glb.Count(p["indices"]); t += 3) {
            const float* a = xyz + 3 * idx[t];
            const float* b = xyz + 3 * idx[t + 1];
            const float* c = xyz + 3 * idx[t + 2];
            const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
            const float w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
            const float cross[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                                    u[0] * w[1] - u[1] * w[0]};
            if (cross[0] == 0 && cross[1] == 0 && cross[2] == 0) {
                for (std::size_t k = 0; k < 3; ++k) {
                    float* corner = n + 3 * idx[t + k];
                    corner[0] = 0;
                    corner[1] = 1;
                    corner[2] = 0;
                }
            }
        }
    }
}

const Habit kHabits[] = {
    {"BoneAxesTurned", TurnBoneAxes},
    {"NormalsOfFacesWithoutArea", NormalsOfFacesWithoutArea},
    {"VertexOrder", Reverse},
    {"SplitVertex", Split},
    {"CopySuffixesWithoutExtras", Suffixes},
    {"NormalsRounded", Rounded},
    {"MadeUpNormalsOnFacesOfNoSize", MadeUpNormalsOnFacesOfNoSize},
};

class ToolHabit : public ::testing::TestWithParam<Habit> {};

TEST_P(ToolHabit, CountsForNothing) {
    TestUtil::Glb glb = ExportedGlb();
    GetParam().apply(glb);
    const Import::ImportPlan plan = Plan(glb.Bytes());
    EXPECT_TRUE(plan.files.empty()) << (plan.reasons.empty() ? "" : plan.reasons.front());
}

INSTANTIATE_TEST_SUITE_P(Import, ToolHabit, ::testing::ValuesIn(kHabits),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
