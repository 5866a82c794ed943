// Model drawing in a real GL context with models written by the project's writers.
#include <gtest/gtest.h>

#include "GameFolder.h"
#include "GlTest.h"
#include "ViewGuard.h"
#include "forge/scene.h"
#include "model/object.h"
#include "render/view.h"

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

class Draw : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_gl.Ok()); }

    // Loads the scene's files as the whole model and prepares the view.
    void Load(const SceneFiles::Scene& scene) {
        m_game.reset();  // its archives close when it goes
        m_game = std::make_unique<TestUtil::Game>(SceneFiles::FilesOf(scene));
        m_model.Load(m_game->Node(SceneFiles::kSkin));
        m_view.InitGL();
        m_view.OnSize(kSide, kSide);
        m_view.ResetView();
        m_view.m_bShowAxes = false;
    }
    void Picture() {
        m_view.Render();
        m_gl.Read();
    }
    // The window pixel of a model point (the model is drawn mirrored in x).
    static RenderTest::Point At(float x, float y, float z = 0) {
        return RenderTest::ScreenOf(x, y, z, true);
    }
    Rgba PixelAt(float x, float y, float z = 0) const {
        const RenderTest::Point p = At(x, y, z);
        return m_gl.Pixel(p.x, p.y);
    }

    RenderTest::SavedSwitches m_saved;
    RenderTest::Gl m_gl{kSide, kSide};
    std::unique_ptr<TestUtil::Game> m_game;
    Model::CVellModel m_model{Render::CreateRenderer()};
    Render::CRenderViewCore m_view{&m_model};
};

TEST_F(Draw, TexturedQuadShowsItsTextureColour) {
    Load({});
    Picture();
    EXPECT_TRUE(IsTexel(PixelAt(0, 0))) << PixelAt(0, 0)[0];
    EXPECT_TRUE(IsTexel(PixelAt(40, 40)));
    EXPECT_TRUE(IsTexel(PixelAt(-40, -40)));
    EXPECT_TRUE(RenderTest::IsBackground(m_gl.Pixel(1, 1)));
    EXPECT_TRUE(RenderTest::IsBackground(PixelAt(0, 60)));
}

// The model loads with no context; each context it is drawn in makes its own texture, kept
// while that context lives, and a context that goes takes only its own textures along.
TEST_F(Draw, AModelDrawnInTwoContextsIsTexturedInBoth) {
    Load({});
    for (int round = 0; round < 2; ++round) {
        RenderTest::Gl other(kSide, kSide);
        ASSERT_TRUE(other.Ok());
        Render::CRenderViewCore view(&m_model);
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

TEST_F(Draw, ModelIsMirroredInX) {
    // A wire sliver on the left keeps the box centred on the origin.
    SceneFiles::Scene scene;
    scene.patches = {Patch{.x0 = 10, .x1 = 50}, Patch{.x0 = -50, .x1 = -48, .textured = false}};
    Load(scene);
    Picture();
    const RenderTest::Point mirrored = RenderTest::ScreenOf(30, 0, 0, true);
    const RenderTest::Point plain = RenderTest::ScreenOf(30, 0, 0, false);
    EXPECT_NE(mirrored.x, plain.x);
    EXPECT_TRUE(IsTexel(m_gl.Pixel(mirrored.x, mirrored.y)));
    EXPECT_TRUE(RenderTest::IsBackground(m_gl.Pixel(plain.x, plain.y)));
}

TEST_F(Draw, TexelsWithAlphaAtMostHalfLeaveTheBackground) {
    SceneFiles::Scene scene;
    scene.texel = 0x7FC86432;  // alpha 127/255, just below one half
    Load(scene);
    Picture();
    EXPECT_EQ(m_gl.CountAll(RenderTest::IsBackground), kSide * kSide);
}

TEST_F(Draw, TexelsWithAlphaAboveHalfAreDrawn) {
    SceneFiles::Scene scene;
    // 130/255: clear of one half by more than the driver's 8-bit rounding of the reference.
    scene.texel = 0x82C86432;
    Load(scene);
    Picture();
    EXPECT_TRUE(IsTexel(PixelAt(0, 0)));
}

TEST_F(Draw, UntexturedSubMeshIsWireframeAndTheNextFillsAgain) {
    SceneFiles::Scene scene;
    scene.patches = {Patch{.x0 = -50, .x1 = -5, .textured = false}, Patch{.x0 = 5, .x1 = 50}};
    Load(scene);
    Picture();
    // The wire quad: its middle shows the background, its edges are white lines.
    EXPECT_TRUE(RenderTest::IsBackground(PixelAt(-35, 20)));
    const RenderTest::Point a = At(-50, -50);
    const RenderTest::Point b = At(-5, 50);
    const int white =
        m_gl.Count(std::min(a.x, b.x) - 1, a.y - 1, std::max(a.x, b.x) + 1, b.y + 1, IsWhite);
    EXPECT_GT(white, 100);
    // The textured quad after it is filled.
    EXPECT_TRUE(IsTexel(PixelAt(30, 20)));
    EXPECT_TRUE(IsTexel(PixelAt(20, -30)));
    GLint modes[2] = {};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_FILL);
}

TEST_F(Draw, SubMeshWithoutAMaterialIsWireframe) {
    Load({});
    m_model.SkinAt(0).materials.clear();
    Picture();
    EXPECT_TRUE(RenderTest::IsBackground(PixelAt(10, 20)));
    EXPECT_GT(m_gl.CountAll(IsWhite), 100);
    EXPECT_EQ(m_gl.CountAll(IsTexel), 0);
}

TEST_F(Draw, InvisibleSubMeshDrawsNothingAndChangesNoState) {
    Load({});
    m_model.SetSubMeshVisible(0, false);
    glDisable(GL_ALPHA_TEST);
    glDepthFunc(GL_LESS);
    Picture();
    EXPECT_EQ(m_gl.CountAll(RenderTest::IsBackground), kSide * kSide);
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LESS);
}

TEST_F(Draw, DrawLeavesAlphaTestDepthLequalAndArraysOn) {
    Load({});
    Picture();
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LEQUAL);
}

TEST_F(Draw, StripSubMeshFills) {
    SceneFiles::Scene scene;
    scene.patches = {Patch{.strip = true}};
    Load(scene);
    Picture();
    EXPECT_TRUE(IsTexel(PixelAt(0, 0)));
    EXPECT_TRUE(IsTexel(PixelAt(-40, 40)));
}

TEST_F(Draw, PointLineAndFillModes) {
    Load({});
    m_model.SetPolygonMode(GL_POINT);
    Picture();
    EXPECT_TRUE(RenderTest::IsBackground(PixelAt(0, 0)));
    const int points = m_gl.CountAll(IsTexel);
    EXPECT_GT(points, 0);
    EXPECT_LE(points, 8);  // the four corners

    m_model.SetPolygonMode(GL_LINE);
    Picture();
    EXPECT_TRUE(RenderTest::IsBackground(PixelAt(10, 20)));
    const int lines = m_gl.CountAll(IsTexel);
    EXPECT_GT(lines, 200);

    m_model.SetPolygonMode(GL_FILL);
    Picture();
    EXPECT_TRUE(IsTexel(PixelAt(10, 20)));
    EXPECT_GT(m_gl.CountAll(IsTexel), 4 * lines);
}

TEST_F(Draw, EmptyModelDrawsNothingAndKeepsTheMatrixStack) {
    m_view.InitGL();
    m_view.OnSize(kSide, kSide);
    m_view.m_bShowAxes = false;
    GLint before = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &before);
    Picture();
    GLint after = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &after);
    EXPECT_EQ(before, after);
    EXPECT_EQ(m_gl.CountAll(RenderTest::IsBackground), kSide * kSide);
}

TEST_F(Draw, SubMeshWhoseIndicesPassItsVerticesIsSkipped) {
    SceneFiles::Scene scene;
    scene.patches = {Patch{.x0 = -50, .x1 = -5}, Patch{.x0 = 5, .x1 = 50}};
    Load(scene);
    m_model.MeshAt(0).subMeshes[0].indices.push_back(4000);
    Picture();
    EXPECT_TRUE(RenderTest::IsBackground(PixelAt(-30, 0)));
    EXPECT_TRUE(IsTexel(PixelAt(30, 0)));
}

class DrawSkeleton : public Draw {
protected:
    // A quad behind the joints (farther from the eye), the root at the origin, the child
    // 30 units above it, coloured red and green.
    void LoadPosed(SceneFiles::Scene scene) {
        scene.patches = {Patch{.z = 20}};
        Load(scene);
        m_model.LoadAnimation(m_game->Node(SceneFiles::kAnimation));
        m_model.PlayAnimation(1);
        m_model.PoseAt(0);
        m_model.GetSkeleton().boneColors = {{1, 0, 0}, {0, 1, 0}};
        EXPECT_TRUE(m_model.ToggleSkeleton());
        Picture();
    }
};

constexpr Rgba kRed = {255, 0, 0, 255};
constexpr Rgba kGreen = {0, 255, 0, 255};

TEST_F(DrawSkeleton, JointsAreColouredPointsAndBonesRunFromTheParent) {
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

TEST_F(DrawSkeleton, LabelsAreDrawnBesideTheirJoints) {
    LoadPosed({});
    const RenderTest::Point child = At(0, 30);
    const int greenText = m_gl.Count(child.x + 4, child.y + 1, child.x + 60, child.y + 14,
                                     [](const Rgba& p) { return RenderTest::Near(p, kGreen, 2); });
    EXPECT_GT(greenText, 20);  // "child(1)"
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

TEST_F(DrawSkeleton, SkinShowsTheBoneColoursWhileTheSkeletonIsShown) {
    LoadPosed({});
    EXPECT_FALSE(IsTexel(PixelAt(30, -30, 20)));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_ARRAY));
    m_model.ToggleSkeleton();
    Picture();
    EXPECT_TRUE(IsTexel(PixelAt(30, -30, 20)));
}

}  // namespace
