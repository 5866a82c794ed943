// Frame export and the BMP writer: the files, their bytes, and the capture's rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

#include "AllocationCounter.h"
#include "ViewGuard.h"
#include "dds/dds.h"
#include "model/bmp.h"

namespace {

using TestUtil::FilesIn;

constexpr int kWidth = 300;
constexpr int kHeight = 200;
constexpr std::size_t kPictureBytes = 54 + kWidth * kHeight * 4;  // 240054

uint32_t U32(const std::vector<uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// The export sink over the view's scene; its size may change between calls.
class Sink final : public Model::IAnimate {
public:
    explicit Sink(View::CRenderViewCore& view) : m_view(view) {}
    int GetWidth() override { return Next(m_widths); }
    int GetHeight() override { return Next(m_heights); }
    void Advance() override { ++advances; }
    void Render() override {
        ++renders;
        m_view.Render();
    }
    void SetProgressRange(unsigned short low, unsigned short high) override {
        rangeLow = low;
        rangeHigh = high;
    }
    void StepProgress() override { ++steps; }

    // Sizes given out in turn, the last one repeated.
    void Sizes(std::vector<int> widths, std::vector<int> heights) {
        m_widths = std::move(widths);
        m_heights = std::move(heights);
    }

    int renders = 0;
    int steps = 0;
    int advances = 0;
    int rangeLow = -1;
    int rangeHigh = -1;

private:
    static int Next(std::vector<int>& sizes) {
        const int size = sizes.front();
        if (sizes.size() > 1) {
            sizes.erase(sizes.begin());
        }
        return size;
    }
    View::CRenderViewCore& m_view;
    std::vector<int> m_widths{kWidth};
    std::vector<int> m_heights{kHeight};
};

class FrameExport : public RenderTest::ViewTest {
protected:
    FrameExport() : ViewTest(kWidth, kHeight) {}
    Sink m_sink{m_view};
    TestUtil::TempDir m_out;
};

TEST_F(FrameExport, TenFramesGiveTenNumberedPictures) {
    Load({});
    EXPECT_TRUE(m_model.ExportFrames(m_out.Path(), &m_sink));
    std::vector<std::string> expected;
    for (int i = 0; i < 10; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%.8d.bmp", i);
        expected.push_back(name);
        EXPECT_EQ(std::filesystem::file_size(m_out / name), kPictureBytes) << name;
    }
    EXPECT_EQ(FilesIn(m_out.Path()), expected);
    // Ten pictures drawn and stepped through a progress range of 0 to 10, none advanced.
    EXPECT_EQ(std::tuple(m_sink.renders, m_sink.steps, m_sink.advances, m_sink.rangeLow,
                         m_sink.rangeHigh),
              std::tuple(10, 10, 0, 0, 10));
    EXPECT_EQ(m_model.Playback().currentFrame, 0.0f);
}

TEST_F(FrameExport, HeaderIsByteForByteAndPixelsAreTheReadBack) {
    Load({});
    m_model.ExportFrames(m_out.Path(), &m_sink);
    const std::vector<uint8_t> file = TestUtil::ReadBytes(m_out / "00000009.bmp");
    ASSERT_EQ(file.size(), kPictureBytes);
    const uint8_t header[54] = {'B',  'M',  0xB6, 0xA9, 0x03, 0x00,  // file size 240054
                                0,    0,    0,    0,                 // reserved
                                54,   0,    0,    0,                 // pixel offset
                                40,   0,    0,    0,                 // info header size
                                0x2C, 0x01, 0,    0,                 // width 300
                                0xC8, 0,    0,    0,                 // height +200: rows bottom-up
                                1,    0,    32,   0,                 // planes, bits per pixel
                                0,    0,    0,    0,                 // uncompressed
                                0x80, 0xA9, 0x03, 0x00,              // image size 240000
                                0,    0,    0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(std::begin(header), std::end(header), file.begin()));
    EXPECT_EQ(static_cast<int32_t>(U32(file, 22)), kHeight);

    // The last frame is still in the buffer: the file holds what GL reads back, opaque.
    std::vector<uint8_t> bgra(kWidth * kHeight * 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_BGRA, GL_UNSIGNED_BYTE, bgra.data());
    for (std::size_t a = 3; a < bgra.size(); a += 4) {
        bgra[a] = 0xFF;
    }
    EXPECT_TRUE(std::equal(bgra.begin(), bgra.end(), file.begin() + 54));

    // Blue, green, red, alpha: the model's texel inside the quad (clear of the axes), the
    // background in a corner.
    const std::size_t middle = 54 + (std::size_t{kHeight / 2 - 20} * kWidth + kWidth / 2 + 20) * 4;
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + middle, file.begin() + middle + 3),
              (std::vector<uint8_t>{0x32, 0x64, 0xC8}));
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 54, file.begin() + 57),
              (std::vector<uint8_t>{0xB2, 0x33, 0x33}));
}

TEST_F(FrameExport, FramesFollowTheModel) {
    SceneFiles::Scene scene;
    scene.travel = 60;  // the root carries the quad 60 units along x by the last frame
    Load(scene);
    m_model.ExportFrames(m_out.Path(), &m_sink);
    const std::vector<uint8_t> first = TestUtil::ReadBytes(m_out / "00000000.bmp");
    const std::vector<uint8_t> last = TestUtil::ReadBytes(m_out / "00000009.bmp");
    ASSERT_EQ(first.size(), kPictureBytes);
    ASSERT_EQ(last.size(), kPictureBytes);
    EXPECT_NE(first, last);
    // The pose of the last exported frame stays.
    EXPECT_NEAR(m_model.MeshAt(0).subMeshes[0].skinnedPositions[0][0], -50 + 60, 0.01f);
}

// No sink, or one without pixels, writes no picture; before any playback one is written.
TEST_F(FrameExport, SinkWithoutPixelsWritesNoPicture) {
    Load({}, false);
    EXPECT_TRUE(m_model.ExportFrames(m_out.Path(), nullptr));
    EXPECT_TRUE(FilesIn(m_out.Path()).empty());
    m_model.ExportFrames(m_out.Path(), &m_sink);
    EXPECT_EQ(FilesIn(m_out.Path()), std::vector<std::string>{"00000000.bmp"});
    std::filesystem::remove(m_out / "00000000.bmp");
    Load({});
    const int steps = m_sink.steps;
    for (const auto& [width, height] : {std::pair{0, kHeight}, {kWidth, 0}, {-5, -5}}) {
        m_sink.Sizes({width}, {height});
        EXPECT_TRUE(m_model.ExportFrames(m_out.Path(), &m_sink));
        EXPECT_TRUE(FilesIn(m_out.Path()).empty());
    }
    EXPECT_EQ(m_sink.steps - steps, 30);
}

TEST_F(FrameExport, ReadBackKeepsTheSizeTheBufferWasMadeFor) {
    Load({});
    // The sink grows after the buffer is made; reading the new size would overrun it.
    m_sink.Sizes({100, 100, kWidth}, {50, 50, kHeight});
    m_model.ExportFrames(m_out.Path(), &m_sink);
    const std::vector<uint8_t> file = TestUtil::ReadBytes(m_out / "00000005.bmp");
    ASSERT_EQ(file.size(), 54u + 100 * 50 * 4);
    EXPECT_EQ(U32(file, 18), 100u);
    EXPECT_EQ(U32(file, 22), 50u);
}

TEST_F(FrameExport, FrameNumbersBeyondFloatPrecisionStillEnd) {
    Load({});
    // From 2^31 on a float frame no longer moves by a step of 2^24: the export stops there,
    // with as many pictures as the frame count promised.
    m_model.Playback().lastFrame = INT32_MAX;
    m_model.Playback().frameStep = 16777216.0f;
    m_sink.Sizes({0}, {0});
    EXPECT_TRUE(m_model.ExportFrames(m_out.Path(), &m_sink));
    EXPECT_EQ(static_cast<unsigned>(m_sink.steps), m_model.GetFrameCount(1));
    EXPECT_EQ(m_sink.steps, 129);
}

TEST_F(FrameExport, FramesAllocateNothing) {
    // Without mesh bones the pose itself allocates nothing, so allocations that grow with
    // the frames are the drawing's, the capture's or the writer's. The GL driver compiles
    // its shaders (in C++) when it first meets a state: the fewest of a few runs counts.
    const auto fewestAllocations = [this](uint32_t frames) {
        SceneFiles::Scene scene;
        scene.skinned = false;
        scene.frames = frames;
        Load(scene);
        std::size_t fewest = SIZE_MAX;
        for (int run = 0; run < 4; ++run) {
            const std::size_t before = AllocationCounter::Count();
            m_model.ExportFrames(m_out.Path(), &m_sink);
            fewest = std::min(fewest, AllocationCounter::Count() - before);
        }
        return fewest;
    };
    EXPECT_EQ(fewestAllocations(3), fewestAllocations(23));
}

// A height of -1 (rows bottom first) is stored as +1, +1 (top first) as -1; a file is cut.
TEST(WriteBmp, HeaderAndPixelsUnchangedAndNoFileWithoutPixels) {
    TestUtil::TempDir dir;
    Forge::SaveBytes(dir / "a.bmp", std::vector<uint8_t>(4000, 7));
    const uint8_t pixels[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (const auto& [height, stored] : {std::pair{-1, 1}, {1, -1}}) {
        ASSERT_TRUE(Model::WriteBmp((dir / "a.bmp").c_str(), {2, height, 8, 4, pixels}));
        const std::vector<uint8_t> file = TestUtil::ReadBytes(dir / "a.bmp");
        ASSERT_EQ(file.size(), 62u);
        EXPECT_EQ(U32(file, 2), 62u);
        EXPECT_EQ(U32(file, 18), 2u);
        EXPECT_EQ(static_cast<int32_t>(U32(file, 22)), stored);
        EXPECT_EQ(U32(file, 34), 8u);
        EXPECT_TRUE(std::equal(std::begin(pixels), std::end(pixels), file.begin() + 54));
    }
    EXPECT_FALSE(Model::WriteBmp((dir / "none/d.bmp").c_str(), {1, -1, 4, 4, pixels}));
    EXPECT_FALSE(Model::WriteBmp(nullptr, {1, -1, 4, 4, pixels}));
    EXPECT_FALSE(Model::WriteBmp((dir / "e.bmp").c_str(), {1, -1, 4, 4, nullptr}));
    EXPECT_FALSE(std::filesystem::exists(dir / "e.bmp"));
    // Nor does the PNG encoder take too few pixels (the vell table reads its PNGs back).
    EXPECT_TRUE(Dds::EncodePng(1, 1, std::vector<uint8_t>(3)).empty());
    EXPECT_TRUE(Dds::EncodePng(0, 1, std::vector<uint8_t>(4)).empty());
}

}  // namespace
