// The pieces of the glTF writer: JSON text, the .glb layout, URIs, and the split of
// matrices into translation, rotation and scale through the mirror.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "GltfMath.h"
#include "GltfWriter.h"
#include "model/pose.h"

namespace {

using Model::Matrix;
using namespace Model::Gltf;

uint32_t U32At(const std::vector<uint8_t>& b, std::size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

void ExpectMatrixNear(const Matrix& a, const Matrix& b, float tolerance) {
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(a[i], b[i], tolerance) << "element " << i;
    }
}

TEST(GltfJson, EscapesQuotesBackslashesAndControlBytesAndKeepsUtf8) {
    EXPECT_EQ(EscapeJson("a\"b\\c"), "a\\\"b\\\\c");
    EXPECT_EQ(EscapeJson("\n\t\x01\x1f"), "\\n\\t\\u0001\\u001f");
    EXPECT_EQ(EscapeJson("\xE8\xBA\xAB"), "\xE8\xBA\xAB");
}

TEST(GltfJson, NestingPlacesCommasAndNumbersReadBack) {
    JsonWriter json;
    json.BeginObject();
    json.Key("a");
    json.Integers(std::vector<int>{1, 2});
    json.Key("b");
    json.BeginObject();
    json.EndObject();
    json.Key("c");
    json.Floats(std::vector<float>{0.1f, -2.5f, NAN});
    json.Key("d");
    json.BeginArray();
    json.String("x");
    json.Bool(false);
    json.EndArray();
    json.EndObject();
    EXPECT_EQ(json.Text(), "{\"a\":[1,2],\"b\":{},\"c\":[0.1,-2.5,0],\"d\":[\"x\",false]}");
}

TEST(GltfGlb, ChunksArePaddedToFourBytes) {
    const std::string json = "{\"a\":1}";  // 7 bytes
    const std::vector<uint8_t> bin = {1, 2, 3, 4, 5};
    const std::vector<uint8_t> glb = MakeGlb(json, bin);
    ASSERT_EQ(glb.size(), 12u + 8 + 8 + 8 + 8);
    EXPECT_EQ(U32At(glb, 0), 0x46546C67u);
    EXPECT_EQ(U32At(glb, 4), 2u);
    EXPECT_EQ(U32At(glb, 8), glb.size());
    EXPECT_EQ(U32At(glb, 12), 8u);
    EXPECT_EQ(glb[27], ' ');
    EXPECT_EQ(U32At(glb, 28), 8u);
    EXPECT_EQ(U32At(glb, 32), 0x004E4942u);
    EXPECT_EQ(glb[40], 5);
    EXPECT_EQ(glb[41], 0);
    // Without binary data there is no BIN chunk.
    EXPECT_EQ(MakeGlb(json, {}).size(), 28u);
}

TEST(GltfBuffer, ViewsStartOnFourByteBoundariesAndBoundsCoverTheData) {
    BinaryBuffer buffer;
    const std::vector<uint8_t> three = {1, 2, 3};
    buffer.AddView(std::span<const uint8_t>(three), Target::None);
    const std::vector<float> values = {1, -2, 3, -4, 5, 6};
    const int accessor = buffer.AddFloats(values, "VEC3", 3, true, Target::Vertices);
    EXPECT_EQ(buffer.Views()[1].offset, 4u);
    const Accessor& a = buffer.Accessors()[static_cast<std::size_t>(accessor)];
    EXPECT_EQ(a.count, 2u);
    EXPECT_EQ(a.min, (std::vector<float>{-4, -2, 3}));
    EXPECT_EQ(a.max, (std::vector<float>{1, 5, 6}));
}

TEST(GltfUri, FileNamesArePercentEncoded) {
    EXPECT_EQ(EncodeUri("hero one.bin"), "hero%20one.bin");
    EXPECT_EQ(EncodeUri("\xE8\xBA\xAB.bin"), "%E8%BA%AB.bin");
    EXPECT_EQ(EncodeUri("a-b_c~d.bin"), "a-b_c~d.bin");
}

TEST(GltfMath, DecomposeGivesPartsThatComposeBack) {
    Trs trs;
    trs.translation = {1, -2, 3};
    trs.rotation = Normalized({0.3f, -0.2f, 0.5f, 0.7f});
    trs.scale = {2, 0.5f, 1.5f};
    const Matrix m = Compose(trs);
    auto back = Decompose(m);
    ASSERT_TRUE(back);
    ExpectMatrixNear(Compose(*back), m, 1e-5f);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(back->scale[i], trs.scale[i], 1e-5f);
    }
}

TEST(GltfMath, MatrixInTheFileFrameIsMadeOfThePartsInIt) {
    Trs trs;
    trs.translation = {4, 5, 6};
    trs.rotation = Normalized({0.1f, 0.7f, -0.3f, 0.6f});
    trs.scale = {1, 2, 3};
    for (float scale : {1.0f, 0.01f}) {
        const Model::Gltf::Frame frame{scale};
        Trs placed = trs;
        placed.translation = frame.Point(trs.translation);
        placed.rotation = frame.Rotation(trs.rotation);
        ExpectMatrixNear(frame.Transform(Compose(trs)), Compose(placed), 1e-5f);
    }
}

TEST(GltfMath, ShearAndProjectionHaveNoParts) {
    Matrix shear = Model::kIdentity;
    shear[4] = 0.5f;
    EXPECT_FALSE(Decompose(shear));
    Matrix projection = Model::kIdentity;
    projection[3] = 0.1f;
    EXPECT_FALSE(Decompose(projection));
    Matrix flat = Model::kIdentity;
    flat[5] = 0;
    EXPECT_FALSE(Decompose(flat));
}

TEST(GltfMath, AMirrorInsideTheMatrixBecomesANegativeScale) {
    Matrix m = Model::kIdentity;
    m[0] = -1;
    m[13] = 2;
    auto trs = Decompose(m);
    ASSERT_TRUE(trs);
    ExpectMatrixNear(Compose(*trs), m, 1e-6f);
}

TEST(GltfMath, InverseUndoesAndSingularHasNone) {
    Trs trs;
    trs.translation = {1, 2, 3};
    trs.rotation = Normalized({0.2f, 0.1f, 0.4f, 0.9f});
    trs.scale = {3, 1, 2};
    const Matrix m = Compose(trs);
    auto inverse = Model::Gltf::Inverse(m);
    ASSERT_TRUE(inverse);
    ExpectMatrixNear(Model::Multiply(m, *inverse), Model::kIdentity, 1e-5f);
    Matrix singular{};
    EXPECT_FALSE(Model::Gltf::Inverse(singular));
    Matrix infinite = Model::kIdentity;
    infinite[12] = INFINITY;
    EXPECT_FALSE(Model::Gltf::Inverse(infinite));
}

TEST(GltfMath, RotationWithoutLengthIsNoTurn) {
    EXPECT_EQ(Model::Gltf::Frame{}.Rotation({0, 0, 0, 0}), (Model::Vec4{0, 0, 0, 1}));
    EXPECT_EQ(Normalized({0, 0, 0, 2}), (Model::Vec4{0, 0, 0, 1}));
    EXPECT_EQ(Normalized({NAN, 0, 0, 1}), (Model::Vec4{0, 0, 0, 1}));
}

}  // namespace
