// The pieces of the glTF writer that the validator does not see: URIs, and the split of
// matrices into translation, rotation and scale through the mirror. The JSON text and the
// .glb layout are checked on every exported file by the validator and the evaluator.
#include <gtest/gtest.h>

#include <cmath>

#include "export/gltf_math.h"
#include "model/pose.h"

namespace {

using Model::Matrix;
using namespace Export::Gltf;

void ExpectMatrixNear(const Matrix& a, const Matrix& b, float tolerance) {
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(a[i], b[i], tolerance) << "element " << i;
    }
}

// A matrix of parts, or one with a mirror inside (a negative scale), decomposes into parts
// that compose back; shear, projection and a flattened axis have no parts.
TEST(GltfMath, DecomposeGivesPartsThatComposeBackOrNone) {
    const Trs trs{{1, -2, 3}, Normalized({0.3f, -0.2f, 0.5f, 0.7f}), {2, 0.5f, 1.5f}};
    Matrix mirror = Model::kIdentity;
    mirror[0] = -1;
    mirror[13] = 2;
    for (const Matrix& m : {Compose(trs), mirror}) {
        auto back = Decompose(m);
        ASSERT_TRUE(back);
        ExpectMatrixNear(Compose(*back), m, 1e-5f);
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(Decompose(Compose(trs))->scale[i], trs.scale[i], 1e-5f);
    }
    const std::pair<int, float> kFlaws[] = {{4, 0.5f}, {3, 0.1f}, {5, 0}};
    for (const auto& [at, value] : kFlaws) {
        Matrix m = Model::kIdentity;
        m[at] = value;
        EXPECT_FALSE(Decompose(m)) << at;
    }
}

TEST(GltfMath, MatrixInTheFileFrameIsMadeOfThePartsInIt) {
    const Trs trs{{4, 5, 6}, Normalized({0.1f, 0.7f, -0.3f, 0.6f}), {1, 2, 3}};
    for (float scale : {1.0f, 0.01f}) {
        const Export::Gltf::Frame frame{scale};
        Trs placed = trs;
        placed.translation = frame.Point(trs.translation);
        placed.rotation = frame.Rotation(trs.rotation);
        ExpectMatrixNear(frame.Transform(Compose(trs)), Compose(placed), 1e-5f);
    }
}

TEST(GltfMath, InverseUndoesAndSingularHasNone) {
    const Matrix m = Compose({{1, 2, 3}, Normalized({0.2f, 0.1f, 0.4f, 0.9f}), {3, 1, 2}});
    auto inverse = Model::Inverse(m);
    ASSERT_TRUE(inverse);
    ExpectMatrixNear(Model::Multiply(m, *inverse), Model::kIdentity, 1e-5f);
    Matrix singular{};
    EXPECT_FALSE(Model::Inverse(singular));
    Matrix infinite = Model::kIdentity;
    infinite[12] = INFINITY;
    EXPECT_FALSE(Model::Inverse(infinite));
}

TEST(GltfMath, RotationWithoutLengthIsNoTurn) {
    EXPECT_EQ(Export::Gltf::Frame{}.Rotation({0, 0, 0, 0}), (Model::Vec4{0, 0, 0, 1}));
    EXPECT_EQ(Normalized({0, 0, 0, 2}), (Model::Vec4{0, 0, 0, 1}));
    EXPECT_EQ(Normalized({NAN, 0, 0, 1}), (Model::Vec4{0, 0, 0, 1}));
}

}  // namespace
