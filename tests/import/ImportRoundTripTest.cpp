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

const Habit kHabits[] = {
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
