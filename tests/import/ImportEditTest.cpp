// Each edit an artist makes, made on the glTF the export wrote: only the files that hold the
// change are written, and within them only the changed data differs from the base.
#include <cmath>

#include "ImportFixture.h"
#include "base/text.h"
#include "dds/dds.h"

namespace {

using namespace ImportTest;
using TestUtil::Glb;

constexpr float kUp = 0.05f;  // metres

Model::MeshDesc BaseMesh() {
    return Model::ReadMeshDesc(ArchiveBytes(kHeroMesh));
}

Model::MeshDesc WrittenMesh(const Import::ImportPlan& plan) {
    const Import::ImportedFile* file = FileOf(plan, kHeroMesh);
    EXPECT_NE(file, nullptr);
    return file ? Model::ReadMeshDesc(file->bytes) : Model::MeshDesc{};
}

Model::SkinDesc WrittenSkin(const Import::ImportPlan& plan) {
    const Import::ImportedFile* file = FileOf(plan, kHero);
    EXPECT_NE(file, nullptr);
    return file ? Model::ReadSkinDesc(file->bytes) : Model::SkinDesc{};
}

void MoveHeadUp(Glb& glb) {
    const int pos = PrimitiveOf(glb, "head")["attributes"]["POSITION"];
    float* p = glb.At<float>(pos);
    for (std::size_t i = 0; i < glb.Count(pos); ++i) {
        p[3 * i + 1] += kUp;
    }
}

// Only the head's positions moved, by 5 cm, and the box; every other byte as it was.
void CheckMoved(const Import::ImportPlan& plan) {
    const Model::MeshDesc base = BaseMesh();
    Model::MeshDesc mesh = WrittenMesh(plan);
    ASSERT_EQ(mesh.subMeshes.size(), base.subMeshes.size());
    for (std::size_t v = 0; v < mesh.subMeshes[0].positions.size(); ++v) {
        EXPECT_NEAR(mesh.subMeshes[0].positions[v][1], base.subMeshes[0].positions[v][1] + 5, 1e-3);
    }
    // The base's box still holds the moved head: it stays.
    EXPECT_EQ(mesh.boxMax, base.boxMax);
    mesh.subMeshes[0].positions = base.subMeshes[0].positions;
    mesh.boxMin = base.boxMin;
    mesh.boxMax = base.boxMax;
    EXPECT_EQ(Model::WriteMesh(mesh), Model::WriteMesh(base));
}

void DeleteHair(Glb& glb) {
    auto& primitives = glb.json["meshes"][0]["primitives"];
    for (std::size_t i = 0; i < primitives.size(); ++i) {
        if (primitives[i]["extras"]["name"] == "hair") {
            primitives.erase(i);
            return;
        }
    }
}

void CheckDeleted(const Import::ImportPlan& plan) {
    const Model::MeshDesc base = BaseMesh();
    const Model::MeshDesc mesh = WrittenMesh(plan);
    ASSERT_EQ(mesh.subMeshes.size(), base.subMeshes.size() - 1);
    for (std::size_t s = 0; s < mesh.subMeshes.size(); ++s) {
        EXPECT_NE(mesh.subMeshes[s].name, "hair");
    }
    const Model::SkinDesc skin = WrittenSkin(plan);
    EXPECT_EQ(skin.materials.size(), mesh.subMeshes.size());
}

void RedGlowOnFace(Glb& glb) {
    glb.json["materials"][MaterialNamed(glb, "hero_face")]["emissiveFactor"] = {1, 0, 0};
}

// The glow changed: the face material's parameters are the base's, in their order, with
// the glow's colour and power set (added when the base had none); every other material is
// the base's.
void CheckGlow(const Import::ImportPlan& plan) {
    const Model::SkinDesc base = Model::ReadSkinDesc(ArchiveBytes(kHero));
    Model::SkinDesc skin = WrittenSkin(plan);
    ASSERT_EQ(skin.materials.size(), base.materials.size());
    std::vector<Model::SkinParam>& params = skin.materials[0].params;
    ASSERT_GE(params.size(), base.materials[0].params.size());
    bool glows = false;
    for (std::size_t p = 0; p < params.size(); ++p) {
        if (params[p].name == "g_EmissiveColor") {
            const auto colour = std::get<Model::Vec4>(params[p].value);
            glows = colour[0] > 0 && colour[1] == 0 && colour[2] == 0;
        }
        if (p < base.materials[0].params.size() && params[p].name != "g_EmissiveColor" &&
            params[p].name != "g_EmissivePower") {
            EXPECT_EQ(params[p].name, base.materials[0].params[p].name);
            EXPECT_EQ(params[p].value, base.materials[0].params[p].value) << params[p].name;
        }
    }
    EXPECT_TRUE(glows);
    skin.materials[0] = base.materials[0];
    EXPECT_EQ(Model::WriteSkin(skin), Model::WriteSkin(base));
}

void PaleSkin(Glb& glb) {
    glb.json["materials"][MaterialNamed(glb, "hero_face")]["extras"]["skinColor"] = {1, 1, 1, 1};
}

void CheckSkinColour(const Import::ImportPlan& plan) {
    const Model::SkinDesc skin = WrittenSkin(plan);
    for (const Model::SkinParam& p : skin.materials[0].params) {
        if (p.name == "g_SkinColor") {
            EXPECT_EQ(std::get<Model::Vec4>(p.value), (Model::Vec4{1, 1, 1, 1}));
        }
    }
}

void PaintFaceRed(Glb& glb) {
    const std::vector<uint8_t> dds = ArchiveBytes("chars/hero/tex/hero_face.dds");
    PakMgr::CMemoryRead read(dds.data(), static_cast<uint32_t>(dds.size()));
    const Dds::DdsImage image = Dds::ParseDds(read, false);
    std::vector<uint8_t> red(std::size_t{image.info.width} * image.info.height * 4, 255);
    for (std::size_t i = 0; i < red.size(); i += 4) {
        red[i + 1] = red[i + 2] = 0;
    }
    for (auto& img : glb.json["images"]) {
        if (img["name"] == "hero_face") {
            img["bufferView"] = glb.json["accessors"][glb.Add(
                Dds::EncodePng(image.info.width, image.info.height, red), 5121, "SCALAR", 1)]
                                        ["bufferView"];
        }
    }
}

void CheckRed(const Import::ImportPlan& plan) {
    const Import::ImportedFile* file = FileOf(plan, "chars/hero/tex/hero_face.dds");
    ASSERT_NE(file, nullptr);
    PakMgr::CMemoryRead read(file->bytes.data(), static_cast<uint32_t>(file->bytes.size()));
    const Dds::DdsImage image = Dds::ParseDds(read, true);
    const std::vector<uint8_t> base = ArchiveBytes("chars/hero/tex/hero_face.dds");
    PakMgr::CMemoryRead baseRead(base.data(), static_cast<uint32_t>(base.size()));
    EXPECT_EQ(image.info.kind, Dds::ParseDds(baseRead, false).info.kind);
    const std::vector<uint8_t> rgba = Dds::DecodeToRgba(image);
    EXPECT_GT(rgba[0], 240);
    EXPECT_LT(rgba[1], 16);
}

// A hat: the head's primitive again, as a mesh of its own hung under the model's node.
void AddHat(Glb& glb) {
    nlohmann::json hat = PrimitiveOf(glb, "head");
    hat.erase("extras");
    glb.json["meshes"].push_back({{"name", "hat"}, {"primitives", {hat}}});
    glb.json["nodes"].push_back(
        {{"name", "hat"}, {"mesh", glb.json["meshes"].size() - 1}, {"translation", {0, 0.3, 0}}});
    for (auto& node : glb.json["nodes"]) {
        if (node.value("name", "") == "hero") {
            node["children"].push_back(glb.json["nodes"].size() - 1);
        }
    }
}

void CheckHat(const Import::ImportPlan& plan) {
    const Model::MeshDesc base = BaseMesh();
    const Model::MeshDesc mesh = WrittenMesh(plan);
    ASSERT_EQ(mesh.subMeshes.size(), base.subMeshes.size() + 1);
    const Model::SubMeshDesc& hat = mesh.subMeshes.back();
    EXPECT_EQ(hat.name, "hat");
    EXPECT_NEAR(hat.positions[0][1], base.subMeshes[0].positions[0][1] + 30, 1e-3);
    EXPECT_EQ(WrittenSkin(plan).materials.size(), mesh.subMeshes.size());
    for (std::size_t s = 0; s < base.subMeshes.size(); ++s) {
        EXPECT_EQ(mesh.subMeshes[s].positions, base.subMeshes[s].positions);
    }
}

// The head's last face taken away: its faces are remade as a list, every vertex value the
// base's stored one.
void DropFace(Glb& glb) {
    const int indices = PrimitiveOf(glb, "head")["indices"];
    glb.json["accessors"][indices]["count"] = glb.Count(indices) - 3;
}

void CheckDropped(const Import::ImportPlan& plan) {
    const Model::MeshDesc base = BaseMesh();
    const Model::MeshDesc mesh = WrittenMesh(plan);
    const Model::SubMeshDesc& head = mesh.subMeshes[0];
    EXPECT_EQ(head.stripFlag & 1, 0u);
    EXPECT_EQ(head.indices.size() % 3, 0u);
    for (const Model::Vec3& p : head.positions) {
        EXPECT_NE(
            std::find(base.subMeshes[0].positions.begin(), base.subMeshes[0].positions.end(), p),
            base.subMeshes[0].positions.end())
            << "a kept vertex's position was not the base's";
    }
    for (std::size_t s = 1; s < mesh.subMeshes.size(); ++s) {
        EXPECT_EQ(Model::WriteMesh({.subMeshes = {mesh.subMeshes[s]}}),
                  Model::WriteMesh({.subMeshes = {base.subMeshes[s]}}));
    }
}

// The first vertex of the head shared between its two first joints.
void ShareWeight(Glb& glb) {
    const nlohmann::json& head = PrimitiveOf(glb, "head");
    float* w = glb.At<float>(head["attributes"]["WEIGHTS_0"]);
    uint8_t* j = glb.At<uint8_t>(head["attributes"]["JOINTS_0"]);
    j[1] = static_cast<uint8_t>(j[0] == 3 ? 4 : 3);
    w[0] = 0.5f;
    w[1] = 0.5f;
    w[2] = w[3] = 0;
}

void CheckShared(const Import::ImportPlan& plan) {
    const Model::MeshDesc base = BaseMesh();
    Model::MeshDesc mesh = WrittenMesh(plan);
    EXPECT_EQ(mesh.subMeshes[0].boneWeights[0], (Model::Vec4{0.5f, 0.5f, 0, 0}));
    // Nothing but that vertex's influences differs.
    mesh.subMeshes[0].boneWeights[0] = base.subMeshes[0].boneWeights[0];
    mesh.subMeshes[0].boneSlots[0] = base.subMeshes[0].boneSlots[0];
    mesh.subMeshes[0].boneNames = base.subMeshes[0].boneNames;
    EXPECT_EQ(Model::WriteMesh(mesh), Model::WriteMesh(base));
}

const std::string kFace = "chars/hero/tex/hero_face.dds";
const EditRow kEdits[] = {
    {"HeadMovedUp", MoveHeadUp, {kHeroMesh}, CheckMoved},
    {"SubMeshDeleted", DeleteHair, {kHeroMesh, kHero}, CheckDeleted},
    {"GlowChanged", RedGlowOnFace, {kHero}, CheckGlow},
    {"ColourOfTheExtras", PaleSkin, {kHero}, CheckSkinColour},
    {"TextureRepainted", PaintFaceRed, {kFace}, CheckRed},
    {"MeshAdded", AddHat, {kHeroMesh, kHero}, CheckHat},
    {"FaceRemoved", DropFace, {kHeroMesh}, CheckDropped},
    {"WeightsChanged", ShareWeight, {kHeroMesh}, CheckShared},
};

class EditKind : public ::testing::TestWithParam<EditRow> {};

TEST_P(EditKind, WritesOnlyTheFilesThatHoldIt) {
    ExpectEditWrites(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Import, EditKind, ::testing::ValuesIn(kEdits),
                         [](const auto& info) { return std::string(info.param.name); });

// The same edit on the export in the game's units undoes that scale.
TEST(EditKind, InGameUnitsMovesByTheSameCentimetres) {
    Glb glb = ExportedGlb({.scale = 1.0f});
    const int pos = PrimitiveOf(glb, "head")["attributes"]["POSITION"];
    float* p = glb.At<float>(pos);
    for (std::size_t i = 0; i < glb.Count(pos); ++i) {
        p[3 * i + 1] += 5;
    }
    CheckMoved(Plan(glb.Bytes(), {.scale = 1.0f}));
}

}  // namespace
