// Pictures drawn headless: their rows, their camera, straight alpha, and the same picture
// from several threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <tuple>

#include "ViewGuard.h"
#include "base/parallel.h"
#include "picture/picture.h"

namespace {

constexpr int kSide = 96;
constexpr uint32_t kTexel = 0xFFC86432;  // the scene's one colour, A8R8G8B8
constexpr RenderTest::Rgba kModel = {0xC8, 0x64, 0x32, 255};
constexpr RenderTest::Rgba kOpaqueBackground = {0x33, 0x33, 0xB2, 255};

// A wide patch in the upper half and a speck at the bottom that stretches the box down, so
// the upper rows show the model and the lower ones the background.
SceneFiles::Scene UpperHalf() {
    SceneFiles::Scene scene;
    scene.texel = kTexel;
    scene.patches = {{.x0 = -50, .y0 = 0, .x1 = 50, .y1 = 50},
                     {.x0 = -1, .y0 = -50, .x1 = 1, .y1 = -49}};
    return scene;
}

RenderTest::Rgba At(const Picture::Image& image, int x, int y) {
    const std::size_t p = (std::size_t(y) * image.width + x) * 4;
    return {image.rgba[p], image.rgba[p + 1], image.rgba[p + 2], image.rgba[p + 3]};
}

class PictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_game = std::make_unique<TestUtil::Game>(SceneFiles::FilesOf(UpperHalf()));
        m_context = GlContext::Headless::Create(kSide, kSide, &m_error);
        ASSERT_TRUE(m_context) << m_error;
        Load(*m_model);
    }
    void Load(Model::IVellModel& model) { model.Load(m_game->Node(SceneFiles::kSkin)); }
    Picture::Image Draw(const Picture::Options& options) {
        return Picture::Render(*m_context, *m_model, options);
    }

    RenderTest::SavedSwitches m_saved;
    std::unique_ptr<TestUtil::Game> m_game;
    std::string m_error;
    std::unique_ptr<GlContext::Headless> m_context;
    std::unique_ptr<Model::IVellModel> m_model = View::CreateModel();
};

TEST_F(PictureTest, RowsGoTopFirstOverTheOpaqueBackground) {
    const Picture::Image image = Draw({.width = kSide, .height = kSide});
    ASSERT_EQ(image.rgba.size(), std::size_t(kSide) * kSide * 4);
    EXPECT_EQ(At(image, kSide / 2, kSide / 4), kModel);
    EXPECT_EQ(At(image, kSide / 4, kSide * 3 / 4), kOpaqueBackground);
}

TEST_F(PictureTest, TransparentBackgroundHasAlphaZeroAndTheModel255) {
    const Picture::Image image = Draw({.width = kSide, .height = kSide, .transparent = true});
    EXPECT_EQ(At(image, kSide / 2, kSide / 4), kModel);
    EXPECT_EQ(At(image, kSide / 4, kSide * 3 / 4), (RenderTest::Rgba{0, 0, 0, 0}));
}

// The grid's faded lines are blended: over a transparent background they keep their grey in
// straight alpha, only their alpha fading.
TEST_F(PictureTest, BlendedPixelsKeepTheirColourInStraightAlpha) {
    Picture::Camera camera = Picture::FramedCamera(*m_model, kSide, kSide);
    camera.pitch = 30;
    const Picture::Image image = Draw(
        {.width = kSide, .height = kSide, .transparent = true, .grid = true, .camera = camera});
    int faded = 0;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const RenderTest::Rgba p = At(image, x, y);
            if (p[3] > 0 && p[3] < 255) {
                ++faded;
                // Eight bits over black and over white: the fainter, the coarser the colour.
                EXPECT_TRUE(RenderTest::Near(p, {204, 204, 204, 0}, 2 + 512 / p[3]))
                    << x << "," << y << ": " << p[0] << " " << p[1] << " " << p[2] << " " << p[3];
            }
        }
    }
    EXPECT_GT(faded, 20);
}

TEST_F(PictureTest, TheFramedCameraIsTheDefault) {
    Picture::Options options{.width = 120, .height = kSide};
    const Picture::Image framed = Draw(options);
    options.camera = Picture::FramedCamera(*m_model, options.width, options.height);
    EXPECT_EQ(Draw(options).rgba, framed.rgba);
    EXPECT_EQ(framed.width, 120);
}

// Yaw and pitch in degrees as the mouse turns the view; a full turn is the start again and a
// quarter turn shows the flat patch edge on.
TEST_F(PictureTest, CameraTurnsByItsAngles) {
    Picture::Options options{.width = kSide, .height = kSide};
    Picture::Camera camera = Picture::FramedCamera(*m_model, kSide, kSide);
    options.camera = camera;
    const Picture::Image start = Draw(options);
    int differing = 0;
    for (const auto& [yaw, pitch, same] :
         {std::tuple{360.0f, 0.0f, true}, {90.0f, 0.0f, false}, {0.0f, 90.0f, false}}) {
        camera.yaw = yaw;
        camera.pitch = pitch;
        options.camera = camera;
        const Picture::Image turned = Draw(options);
        const bool equal = At(turned, kSide / 2, kSide / 4) == At(start, kSide / 2, kSide / 4);
        EXPECT_EQ(equal, same) << "yaw " << yaw << " pitch " << pitch;
        differing += equal ? 0 : 1;
    }
    EXPECT_EQ(differing, 2);
}

// The framed picture leaves a margin beside the patch; from half the distance it fills it.
TEST_F(PictureTest, NearerCameraFillsTheMargin) {
    Picture::Camera camera = Picture::FramedCamera(*m_model, kSide, kSide);
    EXPECT_EQ(At(Draw({.width = kSide, .height = kSide}), 2, kSide / 4), kOpaqueBackground);
    camera.distance *= 0.5f;
    const Picture::Image near = Draw({.width = kSide, .height = kSide, .camera = camera});
    EXPECT_EQ(At(near, 2, kSide / 4), kModel);
}

TEST_F(PictureTest, SizesOutsideTheRangeAreRefused) {
    for (const auto& [width, height] : {std::pair{0, 10}, {10, -1}, {Picture::kMaxSide + 1, 10}}) {
        try {
            Draw({.width = width, .height = height});
            ADD_FAILURE() << width << "x" << height << " was drawn";
        } catch (const Except& e) {
            EXPECT_EQ(e.Kind(), ErrorKind::Input);
        }
    }
}

// One context and one model per thread: every thread's picture is the one drawn alone.
TEST_F(PictureTest, ThreadsDrawTheSamePictureAtOnce) {
    const Picture::Options options{.width = kSide, .height = kSide, .light = true};
    const Picture::Image alone = Draw(options);
    constexpr std::size_t kThreads = 3;
    std::atomic<int> same{0};
    const auto failures = Base::ForEachIndex(kThreads, kThreads, [&](std::size_t) {
        std::string error;
        auto context = GlContext::Headless::Create(16, 16, &error);
        auto model = View::CreateModel();
        Load(*model);
        for (int round = 0; round < 3; ++round) {
            if (Picture::Render(*context, *model, options).rgba == alone.rgba) {
                ++same;
            }
        }
    });
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(same.load(), 3 * static_cast<int>(kThreads));
}

}  // namespace
