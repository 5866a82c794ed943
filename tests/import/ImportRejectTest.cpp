// Every limit and every broken glTF: refused with a message naming what and what to do
// (or, for the four influences, applied and reported), before anything is written.
#include <cmath>
#include <limits>

#include "ImportFixture.h"
#include "base/except.h"
#include "dds/dds.h"

namespace {

using namespace ImportTest;
using TestUtil::Glb;

nlohmann::json& Head(Glb& glb) {
    return PrimitiveOf(glb, "head");
}

// Each of the head's vertices gets a fifth share, on the joint `joint`, in a second set.
void FifthShare(Glb& glb, uint8_t joint) {
    nlohmann::json& head = Head(glb);
    const std::size_t n = glb.Count(head["attributes"]["POSITION"]);
    float* w = glb.At<float>(head["attributes"]["WEIGHTS_0"]);
    for (std::size_t v = 0; v < n; ++v) {
        for (std::size_t k = 0; k < 4; ++k) {
            w[4 * v + k] = 0.24f;
        }
    }
    std::vector<uint8_t> joints(n * 4, 0);
    std::vector<float> weights(n * 4, 0);
    for (std::size_t v = 0; v < n; ++v) {
        joints[4 * v] = joint;
        weights[4 * v] = 0.04f;
    }
    head["attributes"]["JOINTS_1"] = glb.Add(joints, 5121, "VEC4", n);
    head["attributes"]["WEIGHTS_1"] = glb.Add(TestUtil::BytesOf(weights), 5126, "VEC4", n);
}

TEST(Limit, MoreThanFourInfluencesKeepTheFourLargestAndSaySo) {
    Glb glb = ExportedGlb();
    FifthShare(glb, 20);
    const Import::ImportPlan plan = Plan(glb.Bytes());
    ASSERT_EQ(plan.limits.size(), 1u);
    EXPECT_NE(plan.limits[0].find("sub-mesh 'head': "), std::string::npos) << plan.limits[0];
    EXPECT_NE(plan.limits[0].find("more than four influences"), std::string::npos);
    const Model::MeshDesc mesh = Model::ReadMeshDesc(FileOf(plan, kHeroMesh)->bytes);
    const Model::Vec4& w = mesh.subMeshes[0].boneWeights[0];
    EXPECT_NEAR(w[0] + w[1] + w[2] + w[3], 1.0f, 1e-6f);
}

// A glTF edit and the words its refusal must hold.
struct Refusal {
    const char* name;
    void (*apply)(Glb&);
    ErrorKind kind;
    std::string says;
};

void PrintTo(const Refusal& r, std::ostream* os) {
    *os << r.name;
}

void JointThatIsNoBone(Glb& glb) {
    glb.json["nodes"].push_back({{"name", "NoSuchBone"}});
    glb.json["skins"][0]["joints"].push_back(glb.json["nodes"].size() - 1);
    const std::size_t joints = glb.json["skins"][0]["joints"].size();
    // The skin's matrices grow with its joints.
    const int ibm = glb.json["skins"][0]["inverseBindMatrices"];
    std::vector<float> matrices(glb.At<float>(ibm), glb.At<float>(ibm) + 16 * (joints - 1));
    matrices.insert(matrices.end(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    glb.json["skins"][0]["inverseBindMatrices"] =
        glb.Add(TestUtil::BytesOf(matrices), 5126, "MAT4", joints);
    FifthShare(glb, static_cast<uint8_t>(joints - 1));
}

// An added mesh of 65,536 vertices: one more than 16-bit faces reach.
void TooManyVertices(Glb& glb) {
    std::vector<float> positions(3 * 65536, 0.0f);
    for (std::size_t i = 0; i < positions.size(); ++i) {
        positions[i] = static_cast<float>(i % 977) * 0.001f;
    }
    const int pos = glb.Add(TestUtil::BytesOf(positions), 5126, "VEC3", 65536);
    glb.json["meshes"].push_back(
        {{"name", "big"}, {"primitives", {{{"attributes", {{"POSITION", pos}}}}}}});
    glb.json["nodes"].push_back({{"name", "big"}, {"mesh", glb.json["meshes"].size() - 1}});
    for (auto& node : glb.json["nodes"]) {
        if (node.value("name", "") == "hero") {
            node["children"].push_back(glb.json["nodes"].size() - 1);
        }
    }
}

void AddNamed(Glb& glb, const std::string& name) {
    nlohmann::json copy = Head(glb);
    copy.erase("extras");
    glb.json["meshes"].push_back({{"name", name}, {"primitives", {copy}}});
    glb.json["nodes"].push_back({{"name", name}, {"mesh", glb.json["meshes"].size() - 1}});
    for (auto& node : glb.json["nodes"]) {
        if (node.value("name", "") == "hero") {
            node["children"].push_back(glb.json["nodes"].size() - 1);
        }
    }
}

void NameOutsideCodePage(Glb& glb) {
    AddNamed(glb, "帽子\xF0\x9F\x98\x80");
}

void NameTooLong(Glb& glb) {
    AddNamed(glb, std::string(300, 'h'));
}

void TextureTooWide(Glb& glb) {
    const std::vector<uint8_t> row(16385 * 4, 200);
    for (auto& img : glb.json["images"]) {
        if (img["name"] == "hero_face") {
            img["bufferView"] = glb.json["accessors"][glb.Add(Dds::EncodePng(16385, 1, row), 5121,
                                                              "SCALAR", 1)]["bufferView"];
        }
    }
}

// An added mesh whose material shows a new image of these bytes, or of this name.
void NewImage(Glb& glb, const std::string& name, const std::vector<uint8_t>& file) {
    AddMesh(glb, "hat", AddMaterial(glb, "hat", AddImage(glb, name, file)));
}

void NewImageUndecodable(Glb& glb) {
    NewImage(glb, "hat", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'});
}

void NewImageTooTall(Glb& glb) {
    NewImage(glb, "hat", Dds::EncodePng(1, 16385, std::vector<uint8_t>(16385 * 4, 90)));
}

void NewImageNamedAsAPath(Glb& glb) {
    NewImage(glb, "../../hat", Dds::EncodePng(4, 4, std::vector<uint8_t>(64, 90)));
}

void NewImageNameOutsideCodePage(Glb& glb) {
    NewImage(glb, "\xF0\x9F\x8E\xA9", Dds::EncodePng(4, 4, std::vector<uint8_t>(64, 90)));
}

void AccessorPastItsBuffer(Glb& glb) {
    glb.json["accessors"][Head(glb)["attributes"]["POSITION"].get<int>()]["count"] = 100000000;
}

void IndexPastTheVertices(Glb& glb) {
    glb.At<uint16_t>(Head(glb)["indices"])[0] = 65000;
}

void NanPosition(Glb& glb) {
    glb.At<float>(Head(glb)["attributes"]["POSITION"])[1] = std::numeric_limits<float>::quiet_NaN();
}

void JointPastTheSkin(Glb& glb) {
    glb.At<uint8_t>(Head(glb)["attributes"]["JOINTS_0"])[0] = 250;
}

void NotGltf(Glb& glb) {
    glb.json = nlohmann::json::array({1, 2, 3});
}

void NoMeshOfTheBase(Glb& glb) {
    for (auto& mesh : glb.json["meshes"]) {
        mesh["name"] = "renamed";
    }
    for (auto& node : glb.json["nodes"]) {
        if (node.value("name", "") == "hero") {
            node["name"] = "renamed";
        }
    }
}

void ViewPastTheBuffer(Glb& glb) {
    glb.json["bufferViews"][0]["byteLength"] = glb.bin.size() * 2;
}

const Refusal kRefusals[] = {
    {"JointThatIsNoBone", JointThatIsNoBone, ErrorKind::Input, "'NoSuchBone'"},
    {"MoreThan65535Vertices", TooManyVertices, ErrorKind::Input, "at most 65,535"},
    {"NameOutsideCodePage936", NameOutsideCodePage, ErrorKind::Input, "code page 936"},
    {"NameOver255Bytes", NameTooLong, ErrorKind::Input, "shorten it"},
    {"TextureTheWriterDoesntTake", TextureTooWide, ErrorKind::Input, "scale it down"},
    {"NewImageThatIsNoPicture", NewImageUndecodable, ErrorKind::Corrupt,
     "image hat can't be decoded"},
    {"NewImageTheWriterDoesntTake", NewImageTooTall, ErrorKind::Input, "scale it down"},
    {"NewImageNamedAsAPath", NewImageNamedAsAPath, ErrorKind::Input,
     "a texture can't be named ../../hat"},
    {"NewImageNameOutsideCodePage936", NewImageNameOutsideCodePage, ErrorKind::Input,
     "code page 936"},
    {"AccessorPastItsBuffer", AccessorPastItsBuffer, ErrorKind::Corrupt, "past the end"},
    {"BufferViewPastItsBuffer", ViewPastTheBuffer, ErrorKind::Corrupt,
     "past the end of its buffer"},
    {"IndexPastTheVertices", IndexPastTheVertices, ErrorKind::Corrupt, "past the"},
    {"NanPosition", NanPosition, ErrorKind::Corrupt, "not a finite number"},
    {"JointPastTheSkin", JointPastTheSkin, ErrorKind::Corrupt, "past the skin's"},
    {"NotAGltf", NotGltf, ErrorKind::Corrupt, "not a glTF file"},
    {"NoMeshOfTheBasesName", NoMeshOfTheBase, ErrorKind::Input, "no mesh named 'hero'"},
};

class Refused : public ::testing::TestWithParam<Refusal> {};

TEST_P(Refused, WithAMessageNamingWhat) {
    Glb glb = ExportedGlb();
    GetParam().apply(glb);
    try {
        Plan(glb.Bytes());
        ADD_FAILURE() << "imported";
    } catch (const Except& e) {
        EXPECT_EQ(e.Kind(), GetParam().kind) << e.what();
        EXPECT_NE(std::string(e.what()).find(GetParam().says), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Import, Refused, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
