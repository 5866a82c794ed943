// `vell frames` end to end: the real binary, a game folder written by the project's writers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "TestUtil.h"
#include "forge/scene.h"

namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t CountFiles(const std::string& folder) {
    if (!std::filesystem::is_directory(folder)) {
        return 0;
    }
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
}

class FramesCommand : public ::testing::Test {
protected:
    void SetUp() override { Write(SceneFiles::FilesOf({})); }
    void Write(const std::vector<Forge::PakFile>& files) {
        Forge::SavePak(m_game / "data.pak", files);
    }
    TestUtil::RunResult Frames(std::vector<std::string> extra) {
        std::vector<std::string> args = {"frames", m_game.Path(), SceneFiles::kSkinArg, "--ani",
                                         SceneFiles::kAnimationArg};
        args.insert(args.end(), extra.begin(), extra.end());
        return TestUtil::Vell(args);
    }
    std::string Out() const { return m_out / "frames"; }

    TestUtil::TempDir m_game;
    TestUtil::TempDir m_out;
};

TEST_F(FramesCommand, WritesEveryFrameWithTheModelInIt) {
    const TestUtil::RunResult r = Frames({"--anim", "1", "-o", Out()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "wrote 10 pictures to " + Out() + "\n");
    EXPECT_EQ(CountFiles(Out()), 10u);
    for (const char* name : {"00000000.bmp", "00000009.bmp"}) {
        const std::vector<uint8_t> file = ReadBytes(Out() + "/" + name);
        ASSERT_EQ(file.size(), 54u + 640 * 480 * 4) << name;
        // Below and right of the middle, inside the quad and clear of the axes: the texel
        // in blue, green, red order.
        const std::size_t at = 54 + (std::size_t{240 - 40} * 640 + 320 + 40) * 4;
        EXPECT_EQ(file[at], 0x32);
        EXPECT_EQ(file[at + 1], 0x64);
        EXPECT_EQ(file[at + 2], 0xC8);
        // The default background in the bottom-left corner.
        EXPECT_EQ(file[54], 0xB2);
        EXPECT_EQ(file[56], 0x33);
        EXPECT_EQ(file[57], 0xFF);  // opaque, though the offscreen buffer has alpha
    }
}

TEST_F(FramesCommand, SizeAndSpeed) {
    const TestUtil::RunResult r =
        Frames({"--anim", "1", "-o", Out(), "--size", "300x200", "--fps", "84"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "wrote 4 pictures to " + Out() + "\n");
    EXPECT_EQ(std::filesystem::file_size(Out() + "/00000004.bmp"), 240054u);
    EXPECT_TRUE(std::filesystem::exists(Out() + "/00000009.bmp"));
    EXPECT_EQ(CountFiles(Out()), 4u);
}

// Where the driver lacks S3TC a compressed texture is decoded here and drawn all the same.
TEST_F(FramesCommand, CompressedTextureWithoutS3tcIsDecoded) {
    std::vector<Forge::PakFile> files = SceneFiles::FilesOf({});
    const std::vector<uint8_t> rgba = {0xC8, 0x64, 0x32, 0xFF};  // the scene's texel, 4 times 4
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 16; ++i) {
        pixels.insert(pixels.end(), rgba.begin(), rgba.end());
    }
    Forge::DdsDesc desc{.width = 4, .height = 4, .format = Forge::DdsFormat::DXT1};
    for (Forge::PakFile& f : files) {
        if (f.path == SceneFiles::kTexture) {
            f.data = Forge::WriteDds(desc, Forge::EncodeDxt(desc.format, 4, 4, pixels));
        }
    }
    Write(files);
    ::setenv("MESA_EXTENSION_OVERRIDE", "-GL_EXT_texture_compression_s3tc", 1);
    const TestUtil::RunResult r = Frames({"--anim", "1", "-o", Out()});
    ::unsetenv("MESA_EXTENSION_OVERRIDE");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<uint8_t> file = ReadBytes(Out() + "/00000000.bmp");
    ASSERT_EQ(file.size(), 54u + 640 * 480 * 4);
    const std::size_t at = 54 + (std::size_t{240 - 40} * 640 + 320 + 40) * 4;
    EXPECT_NEAR(file[at], 0x32, 8);  // blue, green, red through 5:6:5
    EXPECT_NEAR(file[at + 1], 0x64, 8);
    EXPECT_NEAR(file[at + 2], 0xC8, 8);
}

TEST_F(FramesCommand, BindPoseIsOnePicture) {
    const TestUtil::RunResult r = Frames({"--anim", "0", "-o", Out(), "--size", "32x16"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(CountFiles(Out()), 1u);
    EXPECT_EQ(std::filesystem::file_size(Out() + "/00000000.bmp"), 54u + 32 * 16 * 4);
}

TEST_F(FramesCommand, WithAnAttachment) {
    const TestUtil::RunResult r =
        Frames({"--anim", "1", "-o", Out(), "--size", "64x48", "--attach", SceneFiles::kSkinArg});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(CountFiles(Out()), 10u);
}

TEST_F(FramesCommand, UsageErrors) {
    EXPECT_EQ(
        TestUtil::Vell({"frames", m_game.Path(), SceneFiles::kSkinArg, "--anim", "1", "-o", Out()})
            .exitCode,
        2);                                                        // no --ani
    EXPECT_EQ(Frames({"-o", Out()}).exitCode, 2);                  // no --anim
    EXPECT_EQ(Frames({"--anim", "1"}).exitCode, 2);                // no -o
    EXPECT_EQ(Frames({"--anim", "x", "-o", Out()}).exitCode, 2);   // not a number
    EXPECT_EQ(Frames({"--anim", "-1", "-o", Out()}).exitCode, 2);  // negative
    EXPECT_EQ(Frames({"--anim", "2", "-o", Out()}).exitCode, 2);   // one animation only
    EXPECT_EQ(Frames({"--anim", "1", "-o", Out(), "--size", "0x10"}).exitCode, 2);
    EXPECT_EQ(Frames({"--anim", "1", "-o", Out(), "--size", "640"}).exitCode, 2);
    EXPECT_EQ(Frames({"--anim", "1", "-o", Out(), "--size", "99999x10"}).exitCode, 2);
    EXPECT_EQ(Frames({"--anim", "1", "-o", Out(), "--fps", "fast"}).exitCode, 2);
    EXPECT_EQ(Frames({"--anim", "1", "-o", Out(), "--fps", "-3"}).exitCode, 2);
    EXPECT_EQ(TestUtil::Vell({"frames", m_game.Path(), "--ani", SceneFiles::kAnimationArg, "--anim",
                              "1", "-o", Out()})
                  .exitCode,
              2);  // no SKN
    EXPECT_EQ(TestUtil::Vell({"frames", m_game.Path(), "chars/hero/none.skn", "--ani",
                              SceneFiles::kAnimationArg, "--anim", "1", "-o", Out()})
                  .exitCode,
              2);
    EXPECT_EQ(TestUtil::Vell({"frames", m_out / "no-game", SceneFiles::kSkinArg, "--ani",
                              SceneFiles::kAnimationArg, "--anim", "1", "-o", Out()})
                  .exitCode,
              2);
    EXPECT_EQ(CountFiles(Out()), 0u);
}

TEST_F(FramesCommand, NoDisplayIsOneClearLine) {
    // No EGL vendor library can be found: no display at all.
    ::setenv("__EGL_VENDOR_LIBRARY_FILENAMES", "/nonexistent/vendor.json", 1);
    const TestUtil::RunResult r = Frames({"--anim", "1", "-o", Out()});
    ::unsetenv("__EGL_VENDOR_LIBRARY_FILENAMES");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("vell: ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_FALSE(std::filesystem::exists(Out()));
}

TEST_F(FramesCommand, BrokenModelFailsWithItsMessage) {
    std::vector<Forge::PakFile> files = SceneFiles::FilesOf({});
    files[1].data.resize(100);  // the .msh cut short
    Write(files);
    const TestUtil::RunResult r = Frames({"--anim", "1", "-o", Out()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("vell: ", 0), 0u) << r.err;
    EXPECT_EQ(CountFiles(Out()), 0u);
}

TEST_F(FramesCommand, BrokenAnimationFails) {
    std::vector<Forge::PakFile> files = SceneFiles::FilesOf({});
    files[3].data.resize(40);
    Write(files);
    const TestUtil::RunResult r = Frames({"--anim", "1", "-o", Out()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(CountFiles(Out()), 0u);
}

// Only `vell frames` draws: with EGL finding no driver, every other command still works and
// frames says why it can't.
TEST_F(FramesCommand, OnlyFramesNeedsAnOpenGLContext) {
    ::setenv("__EGL_VENDOR_LIBRARY_FILENAMES", "/nonexistent/egl-vendor.json", 1);
    const std::string game = m_game.Path();
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } rows[] = {
        {{"obj", game, SceneFiles::kSkinArg, "--ani", SceneFiles::kAnimationArg, "-o",
          m_out / "obj"},
         0},
        {{"gltf", game, SceneFiles::kSkinArg, "--ani", SceneFiles::kAnimationArg, "-o",
          m_out / "m.glb"},
         0},
        {{"info", game, SceneFiles::kSkinArg}, 0},
        {{"texture", game, SceneFiles::kTexture, "-o", m_out / "t.png"}, 0},
        {{"list", game}, 0},
        {{"tree", game}, 0},
        {{"extract", game, SceneFiles::kSkinArg, "-o", m_out / "raw"}, 0},
        {{"frames", game, SceneFiles::kSkinArg, "--ani", SceneFiles::kAnimationArg, "--anim", "1",
          "-o", Out()},
         1},
    };
    for (const auto& row : rows) {
        const TestUtil::RunResult r = TestUtil::Vell(row.args);
        EXPECT_EQ(r.exitCode, row.exitCode) << row.args[0] << ": " << r.err;
        if (row.exitCode != 0) {
            EXPECT_EQ(r.err.rfind("vell: no OpenGL context: ", 0), 0u) << r.err;
        }
    }
    ::unsetenv("__EGL_VENDOR_LIBRARY_FILENAMES");
    EXPECT_EQ(CountFiles(Out()), 0u);
    EXPECT_GT(std::filesystem::file_size(m_out / "m.glb"), 0u);
    EXPECT_GT(std::filesystem::file_size(m_out / "t.png"), 0u);
}

}  // namespace
