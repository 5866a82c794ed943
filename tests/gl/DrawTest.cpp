// Model drawing in a real GL context with models written by the project's writers.
#include <gtest/gtest.h>

#include <tuple>

#include "ViewGuard.h"

namespace {

using RenderTest::Rgba;
using SceneFiles::Patch;

constexpr int kSide = 200;
constexpr Rgba kTexel = {0xC8, 0x64, 0x32, 0xFF};  // SceneFiles' default texel
constexpr Rgba kWhite = {255, 255, 255, 255};

bool IsTexel(const Rgba& p) {
    return RenderTest::Near(p, kTexel, 2);
}
bool IsWhite(const Rgba& p) {
    return RenderTest::Near(p, kWhite, 8);
}

class Draw : public RenderTest::ViewTest {
protected:
    Draw() : ViewTest(kSide, kSide) {}
    // Loads the scene's files as the whole model, in its bind pose, without the axes.
    void Load(const SceneFiles::Scene& scene) {
        ViewTest::Load(scene, false);
        m_view.m_bShowAxes = false;
    }
    // The window pixel of a model point (the model is drawn mirrored in x).
    static RenderTest::Point At(float x, float y, float z = 0) {
        return RenderTest::ScreenOf(x, y, z, true);
    }
    Rgba PixelAt(float x, float y, float z = 0) const {
        const RenderTest::Point p = At(x, y, z);
        return m_gl.Pixel(p.x, p.y);
    }
};

enum class Shows { Texel, Background };

struct DrawRow {
    const char* name;
    SceneFiles::Scene scene;
    void (*change)(Model::CVellModel&);                   // to the loaded model, or null
    std::vector<std::tuple<float, float, Shows>> points;  // of the model
    int whitePixels = 0;                                  // at least so many lines' pixels
};

void PrintTo(const DrawRow& row, std::ostream* os) {
    *os << row.name;
}

SceneFiles::Scene With(std::vector<Patch> patches, uint32_t texel = 0xFFC86432) {
    return {.patches = std::move(patches), .texel = texel};
}

constexpr auto T = Shows::Texel;
constexpr auto B = Shows::Background;
const std::vector<Patch> kTwoPatches = {Patch{.x0 = -50, .x1 = -5}, Patch{.x0 = 5, .x1 = 50}};

// clang-format off
const DrawRow kDrawRows[] = {
    {"TexturedQuad", {}, nullptr, {{0, 0, T}, {40, 40, T}, {-40, -40, T}, {0, 60, B}, {-60, -60, B}}},
    // A wire sliver on the left keeps the box centred on the origin.
    {"MirroredInX", With({Patch{.x0 = 10, .x1 = 50}, Patch{.x0 = -50, .x1 = -48, .textured = false}}), nullptr, {{30, 0, T}, {-30, 0, B}}},
    // 127/255 is just below one half; 130/255 clear of it by more than the driver's rounding.
    {"AlphaAtMostHalfLeavesTheBackground", With({Patch{}}, 0x7FC86432), nullptr, {{0, 0, B}, {40, 40, B}, {-40, -40, B}}},
    {"AlphaAboveHalfIsDrawn", With({Patch{}}, 0x82C86432), nullptr, {{0, 0, T}}},
    // Texturing and filling go off and back on from one sub-mesh to the next: both wires white.
    {"UntexturedEitherSideOfATexturedIsWhiteWireframe", With({Patch{.x0 = -50, .x1 = -30, .textured = false}, Patch{.x0 = -20, .x1 = 20}, Patch{.x0 = 30, .x1 = 50, .textured = false}}), nullptr, {{-40, 20, B}, {0, 20, T}, {10, -30, T}, {40, 20, B}}, 600},
    {"WithoutAMaterialIsWireframe", {}, [](Model::CVellModel& m) { m.SkinAt(0).materials.clear(); }, {{10, 20, B}, {-30, 10, B}}, 100},
    {"StripFills", With({Patch{.strip = true}}), nullptr, {{0, 0, T}, {-40, 40, T}}},
    {"IndicesPastTheVerticesSkipTheSubMesh", With(kTwoPatches), [](Model::CVellModel& m) { m.MeshAt(0).subMeshes[0].indices.push_back(4000); }, {{-30, 0, B}, {30, 0, T}}},
};
// clang-format on

class DrawRows : public Draw, public ::testing::WithParamInterface<DrawRow> {};

TEST_P(DrawRows, ShowTheirPixels) {
    Load(GetParam().scene);
    if (GetParam().change != nullptr) {
        GetParam().change(m_model);
    }
    Picture();
    for (const auto& [x, y, shows] : GetParam().points) {
        const Rgba p = PixelAt(x, y);
        EXPECT_EQ(shows == T ? IsTexel(p) : RenderTest::IsBackground(p), true) << x << "," << y;
    }
    if (GetParam().whitePixels > 0) {
        EXPECT_GT(m_gl.CountAll(IsWhite), GetParam().whitePixels);
    }
    GLint modes[2] = {};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_FILL);
}

INSTANTIATE_TEST_SUITE_P(Scenes, DrawRows, ::testing::ValuesIn(kDrawRows),
                         [](const auto& info) { return std::string(info.param.name); });

// The model loads with no context; each context it is drawn in makes its own texture, kept
// while that context lives, and a context that goes takes only its own textures along.
TEST_F(Draw, AModelDrawnInTwoContextsIsTexturedInBoth) {
    Load({});
    for (int round = 0; round < 2; ++round) {
        RenderTest::Gl other(kSide, kSide);
        ASSERT_TRUE(other.Ok());
        View::CRenderViewCore view(&m_model);
        view.InitGL();
        view.OnSize(kSide, kSide);
        view.ResetView();
        view.m_bShowAxes = false;
        view.Render();
        other.Read();
        const RenderTest::Point p = At(0, 0);
        EXPECT_TRUE(IsTexel(other.Pixel(p.x, p.y))) << "round " << round;
        ASSERT_TRUE(m_gl.Context().MakeCurrent());
        Picture();
        EXPECT_TRUE(IsTexel(PixelAt(0, 0))) << "round " << round;
    }
}

// Drawing leaves the alpha test on, depth LEQUAL and the arrays on; an invisible sub-mesh
// draws nothing and changes no state.
TEST_F(Draw, StateLeftByDrawing) {
    Load({});
    for (const bool visible : {true, false}) {
        m_model.SetSubMeshVisible(0, visible);
        glDisable(GL_ALPHA_TEST);
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDepthFunc(GL_LESS);
        Picture();
        EXPECT_EQ(m_gl.CountAll(RenderTest::IsBackground) == kSide * kSide, !visible);
        EXPECT_EQ(glIsEnabled(GL_ALPHA_TEST), visible);
        EXPECT_EQ(glIsEnabled(GL_VERTEX_ARRAY), visible);
        EXPECT_EQ(glIsEnabled(GL_TEXTURE_COORD_ARRAY), visible);
        EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
        GLint depthFunc = 0;
        glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
        EXPECT_EQ(depthFunc, visible ? GL_LEQUAL : GL_LESS);
    }
}

// Points at the four corners only, lines around the quad, and the quad filled.
TEST_F(Draw, PointLineAndFillModes) {
    Load({});
    int previous = 0;
    for (const auto& [mode, fewest, most] : {std::tuple{GL_POINT, 1, 8},
                                             {GL_LINE, 201, kSide * kSide / 4},
                                             {GL_FILL, 2000, kSide * kSide}}) {
        m_model.SetPolygonMode(mode);
        Picture();
        EXPECT_EQ(IsTexel(PixelAt(10, 20)), mode == GL_FILL) << mode;
        const int texels = m_gl.CountAll(IsTexel);
        EXPECT_TRUE(texels >= fewest && texels <= most && texels > 4 * previous) << texels;
        previous = texels;
    }
}

class DrawSkeleton : public Draw {
protected:
    // A quad behind the joints (farther from the eye), the root at the origin, the child
    // 30 units above it, coloured red and green.
    void LoadPosed(SceneFiles::Scene scene) {
        scene.patches = {Patch{.z = 20}};
        Load(scene);
        m_model.PlayAnimation(1);
        m_model.PoseAt(0);
        m_model.GetSkeleton().boneColors = {{1, 0, 0}, {0, 1, 0}};
        EXPECT_TRUE(m_model.ToggleSkeleton());
        Picture();
    }
};

constexpr Rgba kRed = {255, 0, 0, 255};
constexpr Rgba kGreen = {0, 255, 0, 255};

TEST_F(DrawSkeleton, JointsAreColouredPointsWithLabelsAndBonesRunFromTheParent) {
    LoadPosed({});
    // Left of the bone line, which is drawn over the joints.
    const RenderTest::Point root = At(0, 0);
    const RenderTest::Point child = At(0, 30);
    EXPECT_TRUE(RenderTest::Near(m_gl.Pixel(root.x - 2, root.y), kRed, 2));
    EXPECT_TRUE(RenderTest::Near(m_gl.Pixel(child.x - 2, child.y), kGreen, 2));
    // The points are five pixels wide.
    EXPECT_FALSE(RenderTest::Near(m_gl.Pixel(root.x - 3, root.y), kRed, 60));
    EXPECT_FALSE(RenderTest::Near(m_gl.Pixel(child.x - 3, child.y), kGreen, 60));
    // Halfway along the bone the shade lies between the parent's and the child's colour.
    const Rgba middle = PixelAt(0, 15);
    EXPECT_GT(middle[0], 40);
    EXPECT_GT(middle[1], 40);
    EXPECT_LT(middle[2], 20);
    // The root has no parent: no line below it.
    EXPECT_FALSE(RenderTest::Near(m_gl.Pixel(root.x, root.y - 6), kRed, 60));
    // "child(1)" beside its joint.
    const int greenText = m_gl.Count(child.x + 4, child.y + 1, child.x + 60, child.y + 14,
                                     [](const Rgba& p) { return RenderTest::Near(p, kGreen, 2); });
    EXPECT_GT(greenText, 20);
    // The skin shows the bone colours while the skeleton is shown.
    EXPECT_FALSE(IsTexel(PixelAt(30, -30, 20)));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_ARRAY));
    m_model.ToggleSkeleton();
    Picture();
    EXPECT_TRUE(IsTexel(PixelAt(30, -30, 20)));
}

TEST_F(DrawSkeleton, JointsAreMirroredLikeTheMeshes) {
    LoadPosed({});
    m_model.GetSkeleton().bones[1].worldMatrix[12] = 20;  // the child moved to x = 20
    Picture();
    const RenderTest::Point mirrored = At(20, 30);
    const RenderTest::Point plain = RenderTest::ScreenOf(20, 30, 0, false);
    EXPECT_TRUE(RenderTest::Near(m_gl.Pixel(mirrored.x - 2, mirrored.y + 2), kGreen, 2));
    EXPECT_FALSE(RenderTest::Near(m_gl.Pixel(plain.x - 2, plain.y + 2), kGreen, 60));
}

TEST_F(DrawSkeleton, BoneNamesAreDrawnAsTextNotFormats) {
    SceneFiles::Scene scene;
    scene.skinned = false;
    scene.rootName = "%s%n%s%n";
    LoadPosed(scene);
    // "%s%n%s%n(0)": eleven cells of text to the right of the root.
    const RenderTest::Point root = At(0, 0);
    const auto red = [](const Rgba& p) { return RenderTest::Near(p, kRed, 2); };
    EXPECT_GT(m_gl.Count(root.x + 50, root.y + 1, root.x + 80, root.y + 14, red), 10);
}

}  // namespace
