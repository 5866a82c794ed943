// OBJ text of single sub-meshes, and the files and texture copies of a whole export.
#include <gtest/gtest.h>

#include <set>

#include "DdsTestUtil.h"
#include "GameFolder.h"
#include "forge/dds.h"
#include "model/obj.h"
#include "model/object.h"

namespace {

using Model::SubMesh;

SubMesh Triangle(uint32_t primitive, std::vector<uint16_t> indices) {
    return {.name = "arm", .indices = std::move(indices), .primitive = primitive};
}

std::string Text(const SubMesh& s, std::string_view comment = "c") {
    std::string out;
    Model::AppendObjText(out, s, comment);
    return out;
}

// The face lines of the sub-mesh's text.
std::string Faces(const SubMesh& s) {
    std::string text = Text(s);
    return text.substr(text.find("g arm\n") + 6);
}

TEST(ObjText, HeaderVerticesNormalsAndTextureRowsInOrder) {
    SubMesh s = Triangle(Model::kTriangles, {0, 1, 2});
    s.skinnedPositions = {{1, 2, 3}, {-0.5f, 0, 1e6f}, {0.1f, 1.0f / 3, -2}};
    s.positions = {{9, 9, 9}, {9, 9, 9}, {9, 9, 9}};
    s.normals = {{0, 0, 1}, {1, 0, 0}, {0.25f, -0.5f, 0}};
    s.texCoords = {{0.25f, 0.75f}, {0, 0}, {1, 1}};
    EXPECT_EQ(Text(s, "Vell"),
              "# Vell\n\n"
              "v -1.000000 2.000000 3.000000\n"
              "v 0.500000 0.000000 1000000.000000\n"
              "v -0.100000 0.333333 -2.000000\n"
              "\n"
              "vn -0.000000 0.000000 1.000000\n"
              "vn -1.000000 0.000000 0.000000\n"
              "vn -0.250000 -0.500000 0.000000\n"
              "\n"
              "vt 0.250000 0.250000\n"
              "vt 0.000000 1.000000\n"
              "vt 1.000000 0.000000\n"
              "\n"
              "g arm\n"
              "f 1/1/1 2/2/2 3/3/3\n");
}

TEST(ObjText, NumbersMatchPrintfFormatting) {
    const std::vector<float> values = {0.0000005f, 0.0000015f, -0.0000004f, 123456.789f,
                                       3.4e38f,    -1e-30f,    0.1234565f,  2.5e-7f};
    SubMesh s = Triangle(Model::kTriangles, {});
    for (float v : values) {
        s.skinnedPositions.push_back({-v, v, v});
    }
    std::string expected = "# c\n\n";
    for (float v : values) {
        char line[256];
        std::snprintf(line, sizeof line, "v %.6f %.6f %.6f\n", static_cast<double>(v),
                      static_cast<double>(v), static_cast<double>(v));
        expected += line;
    }
    expected += "\n\n\ng arm\n";
    EXPECT_EQ(Text(s), expected);
}

// Lists drop a trailing incomplete triangle; strips (and any primitive other than a list)
// alternate their winding starting reversed, and skip degenerate triangles but keep the
// parity; index 65535 is vertex 65536.
TEST(ObjText, FacesByPrimitive) {
    const struct {
        uint32_t primitive;
        std::vector<uint16_t> indices;
        const char* faces;
    } rows[] = {
        {Model::kTriangles, {0, 1, 2, 2, 3, 4, 5}, "f 1/1/1 2/2/2 3/3/3\nf 3/3/3 4/4/4 5/5/5\n"},
        {Model::kTriangleStrip, {0, 1, 2, 3}, "f 3/3/3 2/2/2 1/1/1\nf 2/2/2 3/3/3 4/4/4\n"},
        {Model::kTriangleStrip, {0, 1, 1, 2, 3}, "f 4/4/4 3/3/3 2/2/2\n"},
        {7, {0, 1, 2}, "f 3/3/3 2/2/2 1/1/1\n"},
        {Model::kTriangles, {65535, 65534, 0}, "f 65536/65536/65536 65535/65535/65535 1/1/1\n"},
        {Model::kTriangleStrip, {0, 1}, ""},
        {Model::kTriangles, {0, 1}, ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Faces(Triangle(row.primitive, row.indices)), row.faces)
            << row.primitive << " " << ::testing::PrintToString(row.indices);
    }
}

TEST(ObjFileName, IndexInTwoDigitsAndNamesMadeSafe) {
    EXPECT_EQ(Model::ObjFileName("arm", 3), "arm_03.obj");
    EXPECT_EQ(Model::ObjFileName("arm", 123), "arm_123.obj");
    EXPECT_EQ(Model::ObjFileName("../../etc/x", 0), ".._.._etc_x_00.obj");
    EXPECT_EQ(Model::ObjFileName("a\\b", 1), "a_b_01.obj");
    EXPECT_EQ(Model::ObjFileName("\xC9\xED", 0), "\xE8\xBA\xAB_00.obj");  // 身 in GBK
}

class ObjExport : public ::testing::Test {
protected:
    ObjExport()
        : game({
              {"\\chars\\hero\\hero.skn", Forge::Bytes("skin")},
              {"\\chars\\hero\\tex\\arm.dds", Forge::Bytes("DDS arm bytes")},
              {"\\chars\\hero\\tex\\leg.dds", Forge::Bytes("DDS leg bytes")},
          }) {}

    SubMesh Named(const std::string& name) {
        SubMesh s = Triangle(Model::kTriangles, {0, 0, 0});
        s.name = name;
        s.skinnedPositions = {{1, 2, 3}};
        s.normals = {{0, 0, 1}};
        s.texCoords = {{0, 0}};
        return s;
    }
    Model::Material WithTexture(const std::string& name) {
        Model::Material m;
        m.diffuseTexName = name;
        return m;
    }
    std::vector<std::string> Files() const { return TestUtil::FilesIn(out.Path()); }

    TestUtil::Game game;
    TestUtil::TempDir out;
    Model::CVellModel model;
};

TEST_F(ObjExport, OneFilePerVisibleSubMeshWithItsTextureBeside) {
    EXPECT_TRUE(model.ExportObj("c", game.Node("chars/hero/hero.skn"), out.Path()));
    EXPECT_TRUE(Files().empty());  // an empty model writes nothing
    model.MeshAt(1).subMeshes = {Named("arm"), Named("hidden"), Named("leg")};
    model.MeshAt(1).subMeshes[1].visible = false;
    model.SkinAt(1).materials = {WithTexture("arm.dds"), WithTexture("arm.dds")};
    // Slot 4 also has an arm at index 0; its file replaces slot 1's.
    model.MeshAt(4).subMeshes = {Named("arm")};
    model.MeshAt(4).subMeshes[0].skinnedPositions = {{7, 7, 7}};
    model.SkinAt(4).materials = {WithTexture("missing.dds")};
    model.MeshAt(Model::kAttachment).subMeshes = {Named("sword")};

    EXPECT_TRUE(model.ExportObj("comment", game.Node("chars/hero/hero.skn"), out.Path()));
    // "leg" has no material: exported without a texture copy.
    EXPECT_EQ(Files(), (std::vector<std::string>{"arm.dds", "arm_00.obj", "leg_02.obj"}));
    EXPECT_EQ(TestUtil::ReadText(out / "arm.dds"), "DDS arm bytes");
    EXPECT_NE(TestUtil::ReadText(out / "arm_00.obj").find("v -7.000000 7.000000 7.000000\n"),
              std::string::npos);
}

TEST_F(ObjExport, CommentAndGroupNamesAreWrittenAsUtf8) {
    model.MeshAt(0).subMeshes = {Named("\xC9\xED")};
    model.ExportObj("Vell \xC4\xA3\xD0\xCD", nullptr, out.Path());
    const std::string text = TestUtil::ReadText(out / "\xE8\xBA\xAB_00.obj");
    EXPECT_EQ(text.rfind("# Vell \xE6\xA8\xA1\xE5\x9E\x8B\n\n", 0), 0u);
    EXPECT_NE(text.find("g \xE8\xBA\xAB\n"), std::string::npos);
}

// A plain texture `side` texels wide: the PNG copied from it tells which one it was.
std::vector<uint8_t> Square(uint32_t side) {
    const std::vector<uint8_t> rgba(std::size_t{side} * side * 4, 0xFF);
    return Forge::WriteDds(Forge::DdsDesc{.width = side, .height = side}, rgba);
}

// What follows `tag` on the first line of an OBJ or MTL file that begins with it.
std::string LineName(const std::string& text, const std::string& tag) {
    const std::size_t at = ("\n" + text).find("\n" + tag + " ");
    if (at == std::string::npos) {
        return "";
    }
    const std::size_t from = at + tag.size() + 1;
    return text.substr(from, text.find('\n', from) - from);
}

// Names that meet once made one word belong to different sources: "x y" and "x_y" each get an
// OBJ file and a .mtl of their own, and "a b.dds" and "a_b.dds" a PNG each.
TEST(ObjMaterialNames, SubMeshesAndTexturesThatMeetAsOneWordKeepTheirOwnFiles) {
    TestUtil::Game game({
        {"\\chars\\hero\\hero.skn", Forge::Bytes("skin")},
        {"\\chars\\hero\\tex\\a b.dds", Square(4)},
        {"\\chars\\hero\\tex\\a_b.dds", Square(8)},
    });
    TestUtil::TempDir out;
    Model::CVellModel model;
    auto subMesh = [](const std::string& name) {
        return SubMesh{.name = name,
                       .indices = {0, 0, 0},
                       .normals = {{0, 0, 1}},
                       .texCoords = {{0, 0}},
                       .skinnedPositions = {{1, 2, 3}}};
    };
    Model::Material spaced, joined;
    spaced.diffuseTexName = "a b.dds";
    joined.diffuseTexName = "a_b.dds";
    model.MeshAt(0).subMeshes = {subMesh("x y")};
    model.SkinAt(0).materials = {spaced};
    model.MeshAt(1).subMeshes = {subMesh("x_y")};
    model.SkinAt(1).materials = {joined};
    std::vector<PakMgr::CutNames::Renamed> renamed;
    model.ExportObj("c", game.Node("chars/hero/hero.skn"), out.Path(), true, &renamed);

    const struct {
        const char* obj;
        uint32_t textureSide;
    } kRows[] = {{"x_y_00.obj", 4}, {"x_y_00~1.obj", 8}};
    std::set<std::string> libraries;
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.obj);
        const std::string library = LineName(TestUtil::ReadText(out / row.obj), "mtllib");
        libraries.insert(library);
        const std::string png = LineName(TestUtil::ReadText(out / library), "map_Kd");
        ASSERT_FALSE(png.empty());
        EXPECT_EQ(DdsTest::PngWidth(TestUtil::ReadText(out / png)), row.textureSide) << png;
    }
    EXPECT_EQ(libraries.size(), 2u);
    ASSERT_EQ(renamed.size(), 2u);  // the second OBJ file and the second PNG
    EXPECT_EQ(renamed[0].name, "x_y_00~1.obj");
}

// The white stand-in glow is for a glow image that is there: a glow texture that is missing
// (or doesn't decode) under a black glow colour leaves the material black.
TEST(ObjMaterialGlow, AMissingGlowTextureGlowsBlack) {
    TestUtil::Game game({
        {"\\chars\\hero\\hero.skn", Forge::Bytes("skin")},
        {"\\chars\\hero\\tex\\glow.dds", Square(4)},
        {"\\chars\\hero\\tex\\broken.dds", Forge::Bytes("not a texture")},
    });
    const struct {
        const char* glowTexture;
        Model::Vec4 colour;
        const char* ke;     // the Ke line, "" for none
        const char* mapKe;  // the PNG map_Ke names, "" for none
    } kRows[] = {
        {"glow.dds", {0, 0, 0, 1}, "Ke 1.000000 1.000000 1.000000", "glow.png"},
        {"missing.dds", {0, 0, 0, 1}, "", ""},
        {"broken.dds", {0, 0, 0, 1}, "", ""},
        {"missing.dds", {0.5f, 0.25f, 0, 1}, "Ke 0.500000 0.250000 0.000000", ""},
        {"", {0, 0, 0, 1}, "", ""},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(std::string(row.glowTexture) + " " + row.ke);
        TestUtil::TempDir out;
        Model::CVellModel model;
        model.MeshAt(0).subMeshes = {SubMesh{.name = "glow",
                                             .indices = {0, 0, 0},
                                             .normals = {{0, 0, 1}},
                                             .texCoords = {{0, 0}},
                                             .skinnedPositions = {{1, 2, 3}}}};
        Model::Material material;
        material.emissiveTexName = row.glowTexture;
        material.emissiveColor = row.colour;
        material.emissivePower = 1;
        model.SkinAt(0).materials = {material};
        model.ExportObj("c", game.Node("chars/hero/hero.skn"), out.Path(), true);
        const std::string mtl = TestUtil::ReadText(out / "glow_00.mtl");
        EXPECT_EQ(LineName(mtl, "Ke"), *row.ke ? std::string(row.ke).substr(3) : "") << mtl;
        EXPECT_EQ(LineName(mtl, "map_Ke"), row.mapKe) << mtl;
    }
}

}  // namespace
