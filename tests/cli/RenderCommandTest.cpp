// vell render end to end: one command line a row (its status, what it says, the file it
// leaves), each file read back by its own format's decoder; then the pixels: a transparent
// background and the opaque model, and a turntable that comes back to where it began.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "CommandRows.h"
#include "MovieReader.h"
#include "TestUtil.h"
#include "forge/scene.h"
#include "glcontext/glcontext.h"
#include "model/model.h"
#include "picture/picture.h"
#include "view/view.h"

namespace {

namespace fs = std::filesystem;
using SceneFiles::kAnimationArg;
using SceneFiles::kSkinArg;

// Two patches unlike their mirror image, so that half a turn shows another picture; the
// walk carries them 30 units along x.
SceneFiles::Scene TurnableScene() {
    SceneFiles::Scene scene;
    scene.patches = {{.x0 = -50, .y0 = -50, .x1 = 0, .y1 = 50},
                     {.x0 = 20, .y0 = -50, .x1 = 50, .y1 = 0}};
    scene.travel = 30;
    return scene;
}

const std::string& Game() {
    static const TestUtil::TempDir dir;
    static const std::string folder = [] {
        Forge::SavePak(dir / "data.pak", SceneFiles::FilesOf(TurnableScene()));
        return dir.Path();
    }();
    return folder;
}

struct Movie {
    const char* codec = nullptr;  // null: not a moving picture
    int pictures = 0;
    int delayMs = 0;  // -1: not checked
    int width = 0;
    int height = 0;
};

struct Row {
    const char* name;
    std::vector<std::string> args;  // after "render {S} SKN"
    int exitCode;
    std::string err;  // the start of stderr
    std::string out;  // a text of stdout
    std::vector<std::string> files;
    Movie movie;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

const std::vector<std::string> kWalk = {"--ani", kAnimationArg, "--anim", "1"};
std::vector<std::string> Walk(std::vector<std::string> extra) {
    std::vector<std::string> args = kWalk;
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

// One command line a row.
// clang-format off
const Row kRows[] = {
    {"Png", {"-o", "{O}/a.png"}, 0, "", "wrote {O}/a.png (1 picture)\n", {"a.png"}},
    {"PngAtAFrame", Walk({"--frame", "4.5", "--size", "32x24", "-o", "{O}/a.png"}), 0, "", "", {"a.png"}},
    {"PngLitWithGridAndCamera", {"--light", "--grid", "--camera", "30,-20,400", "--size", "32x24", "-o", "{O}/x/y.PNG"}, 0, "", "", {"x/y.PNG"}},
    {"Gif", Walk({"--size", "64x48", "-o", "{O}/a.gif"}), 0, "", "(10 pictures)", {"a.gif"}, {"gif", 10, 20, 64, 48}},
    {"GifWithAttachment", Walk({"--attach", kSkinArg, "--size", "32x24", "-o", "{O}/a.gif"}), 0, "", "", {"a.gif"}, {"gif", 10, 20, 32, 24}},
    {"Webp", Walk({"--size", "64x48", "--transparent", "-o", "{O}/a.webp"}), 0, "", "", {"a.webp"}, {"webp", 10, 17, 64, 48}},
    {"Mp4", Walk({"--size", "64x48", "-o", "{O}/a.mp4"}), 0, "", "", {"a.mp4"}, {"h264", 10, 17, 64, 48}},
    {"Webm", Walk({"--size", "64x48", "-o", "{O}/a.webm"}), 0, "", "", {"a.webm"}, {"vp9", 10, 17, 64, 48}},
    {"TurntableGif", {"--turntable", "0.4", "--size", "32x32", "-o", "{O}/t.gif"}, 0, "", "", {"t.gif"}, {"gif", 10, 40, 32, 32}},
    {"TurntableOfAFrame", Walk({"--frame", "9", "--turntable", "0.4", "--size", "16x16", "-o", "{O}/t.webp"}), 0, "", "(10 pictures)", {"t.webp"}, {"webp", 10, 40, 16, 16}},
    {"TurntableOfFourSeconds", {"--turntable", "--size", "8x8", "-o", "{O}/t.mp4"}, 0, "", "(100 pictures)", {"t.mp4"}, {"h264", 100, 40, 8, 8}},
    // The command line's shape: a usage error, and nothing written.
    {"NoOutput", {}, 2, "vell: missing option -o\nusage: vell render "},
    {"UnknownEnding", {"-o", "{O}/a.bmp"}, 2, "vell: -o wants a file ending in .png, .gif, .webp, .mp4 or .webm: {O}/a.bmp\nusage: ", "", {"!a.bmp"}},
    {"MovingWithoutAnimation", {"-o", "{O}/a.gif"}, 2, "vell: a moving picture plays an animation (--ani ANI --anim N, no --frame) or turns around the model (--turntable)\n", "", {"!a.gif"}},
    {"MovingAtOneFrame", Walk({"--frame", "2", "-o", "{O}/a.gif"}), 2, "vell: a moving picture plays", "", {"!a.gif"}},
    {"TurntableAsPng", {"--turntable", "-o", "{O}/a.png"}, 2, "vell: --turntable makes a moving picture", "", {"!a.png"}},
    {"TurntableOfNoTime", {"--turntable", "0", "-o", "{O}/a.gif"}, 2, "vell: bad --turntable (want 0 to 600 seconds): 0\n", "", {"!a.gif"}},
    {"TurntableBackwards", {"--turntable", "-2", "-o", "{O}/a.gif"}, 2, "vell: bad --turntable", "", {"!a.gif"}},
    {"TransparentVideo", Walk({"--transparent", "-o", "{O}/a.mp4"}), 2, "vell: --transparent wants .png, .gif or .webp: a video keeps no transparency\n", "", {"!a.mp4"}},
    {"OddVideo", Walk({"--size", "63x48", "-o", "{O}/a.webm"}), 2, "vell: bad --size for a video (want an even width and height): 63x48\n", "", {"!a.webm"}},
    {"TooLarge", {"--size", "8193x8", "-o", "{O}/a.png"}, 2, "vell: bad --size (want WIDTHxHEIGHT, 1 to 8192 each): 8193x8\n", "", {"!a.png"}},
    {"FrameWithoutAnimation", {"--frame", "2", "-o", "{O}/a.png"}, 2, "vell: --frame poses an animation: it needs --ani ANI and --anim N\n"},
    {"AniWithoutAnim", {"--ani", kAnimationArg, "-o", "{O}/a.png"}, 2, "vell: an animation needs both --ani ANI and --anim N\n"},
    {"CameraOfTwoNumbers", {"--camera", "1,2", "-o", "{O}/a.png"}, 2, "vell: bad --camera (want YAW,PITCH,DISTANCE, the distance above 0): 1,2\n"},
    {"CameraAtTheEye", {"--camera", "0,0,0", "-o", "{O}/a.png"}, 2, "vell: bad --camera"},
    {"CameraNotANumber", {"--camera", "a,0,9", "-o", "{O}/a.png"}, 2, "vell: bad --camera"},
    // What the names ask for: status 2 without the usage; a file that can't be written: 1.
    {"NoSuchAnimation", {"--ani", kAnimationArg, "--anim", "2", "-o", "{O}/a.gif"}, 2, "vell: no animation 2 (there are 1)\n", "", {"!a.gif"}},
    {"FramePastTheLast", Walk({"--frame", "9.5", "-o", "{O}/a.png"}), 2, "vell: no frame 9.5 in animation 1 (its frames are 0 to 9, fractions allowed)\n", "", {"!a.png"}},
    {"BindPoseHasNoFrames", {"--ani", kAnimationArg, "--anim", "0", "-o", "{O}/a.gif"}, 2, "vell: --anim 0 is the bind pose: it has no frames to play\n", "", {"!a.gif"}},
    {"AttachmentThatIsNoSkin", {"--attach", kAnimationArg, "-o", "{O}/a.png"}, 1, "vell: unknown .skn file version: 0\n", "", {"!a.png"}},
    {"BelowAFile", {"-o", "{O}/f.png/a.png"}, 1, "vell: can't create folder {O}/f.png\n"},
};
// clang-format on

class Render : public ::testing::TestWithParam<Row> {};

TEST_P(Render, Row) {
    const Row& row = GetParam();
    TestUtil::TempDir out;
    std::ofstream(out / "f.png") << "a file";
    const std::pair<const char*, std::string> keys[] = {{"{O}", out.Path()}};
    std::vector<std::string> args = {"render", Game(), kSkinArg};
    for (const std::string& arg : row.args) {
        args.push_back(CommandRows::Substituted(arg, keys));
    }
    const TestUtil::RunResult r = TestUtil::Vell(args);
    EXPECT_EQ(r.exitCode, row.exitCode) << r.err;
    EXPECT_TRUE(r.err.starts_with(CommandRows::Substituted(row.err, keys))) << r.err;
    EXPECT_NE(r.out.find(CommandRows::Substituted(row.out, keys)), std::string::npos) << r.out;
    for (const std::string& file : row.files) {
        CommandRows::ExpectFile(out.Path(), file);
    }
    if (row.movie.codec) {
        const MovieReader::Movie movie = MovieReader::Read(out / row.files[0]);
        ASSERT_TRUE(movie.ok);
        EXPECT_EQ(movie.codec, row.movie.codec);
        EXPECT_EQ(movie.pictures, row.movie.pictures);
        EXPECT_EQ(movie.width, row.movie.width);
        EXPECT_EQ(movie.height, row.movie.height);
        for (int delay : movie.delaysMs) {
            EXPECT_NEAR(delay, row.movie.delayMs, 1);
        }
    }
    // Nothing half-written beside the file: no temporary file is left.
    for (const auto& entry : fs::recursive_directory_iterator(out.Path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    }
}

INSTANTIATE_TEST_SUITE_P(Vell, Render, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

std::vector<uint8_t> ReadPng(const std::string& path, int& width) {
    png_image image{.version = PNG_IMAGE_VERSION};
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return {};
    }
    image.format = PNG_FORMAT_RGBA;
    width = static_cast<int>(image.width);
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr);
    return rgba;
}

// The scene's texel is C8 64 32; the patch fills the left of the middle row.
TEST(RenderPictures, TransparentBackgroundHasAlphaZeroAndTheModel255) {
    TestUtil::TempDir out;
    const auto r = TestUtil::Vell(
        {"render", Game(), kSkinArg, "--transparent", "--size", "64x64", "-o", out / "a.png"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    int width = 0;
    const std::vector<uint8_t> rgba = ReadPng(out / "a.png", width);
    ASSERT_EQ(rgba.size(), 64u * 64 * 4);
    auto at = [&](int x, int y) { return &rgba[(std::size_t(y) * width + x) * 4]; };
    EXPECT_EQ(at(0, 0)[3], 0);
    EXPECT_EQ(at(63, 63)[3], 0);
    const uint8_t* model = at(20, 32);
    EXPECT_EQ(std::vector<uint8_t>(model, model + 4),
              (std::vector<uint8_t>{0xC8, 0x64, 0x32, 255}));
}

// The gallery draws through Picture::Render: the PNG of vell render is that picture, byte for
// byte, drawn in this process from the same archive.
TEST(RenderPictures, PngIsThePictureTheGalleryDraws) {
    constexpr int kWidth = 96;
    constexpr int kHeight = 64;
    TestUtil::TempDir out;
    const auto r =
        TestUtil::Vell({"render", Game(), kSkinArg, "--size", "96x64", "-o", out / "a.png"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    int width = 0;
    const std::vector<uint8_t> written = ReadPng(out / "a.png", width);

    PakMgr::IPakMgr& mgr = *PakMgr::GetPakMgr();
    mgr.Clear();
    ASSERT_TRUE(mgr.Open(Game()) && mgr.BuildTree());
    std::string error;
    auto context = GlContext::Headless::Create(kWidth, kHeight, &error);
    ASSERT_TRUE(context) << error;
    {
        auto model = View::CreateModel();
        model->Load(PakMgr::FindPath(mgr, kSkinArg));
        const Picture::Image drawn =
            Picture::Render(*context, *model, {.width = kWidth, .height = kHeight});
        EXPECT_EQ(drawn.rgba, written);
    }
    mgr.Clear();
}

double Difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        sum += std::abs(a[i] - b[i]);
    }
    return sum / static_cast<double>(a.size());
}

// A turn of 20 pictures: the last is 18 degrees short of the first, the middle one half a
// turn from it.
TEST(RenderPictures, TurntableEndsLikeItBeginsAndTurnsBetween) {
    TestUtil::TempDir out;
    const auto r = TestUtil::Vell(
        {"render", Game(), kSkinArg, "--turntable", "0.8", "--size", "64x64", "-o", out / "t.gif"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const MovieReader::Movie movie = MovieReader::Read(out / "t.gif");
    ASSERT_EQ(movie.pictures, 20);
    const double last = Difference(movie.rgba.front(), movie.rgba.back());
    const double middle = Difference(movie.rgba.front(), movie.rgba[10]);
    EXPECT_LT(last, middle / 4) << "last " << last << " middle " << middle;
    EXPECT_GT(last, 0.0) << "the last picture repeats the first";
    EXPECT_GT(middle, 10.0);
}

}  // namespace

// FFmpeg's libraries (and the 150 they pull in) load only when a GIF or a video is written:
// every other start of vell would otherwise pay tens of milliseconds and megabytes for them.
TEST(RenderModule, VellStartsWithoutFfmpegsLibraries) {
    const TestUtil::RunResult loaded =
        TestUtil::Run("/lib64/ld-linux-x86-64.so.2", {"--list", VELL_BINARY});
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    EXPECT_NE(loaded.out.find("libc.so"), std::string::npos) << loaded.out;
    for (const char* library : {"libavcodec", "libavformat", "libavfilter", "libswscale"}) {
        EXPECT_EQ(loaded.out.find(library), std::string::npos) << library;
    }
}

// A vell whose FFmpeg module is missing (copied away from its prefix) still draws PNG and
// WebP, and says for a GIF or a video what it lacks, leaving no file.
TEST(RenderModule, MissingModuleIsSaidAndLeavesNoFile) {
    const TestUtil::TempDir prefix;
    fs::create_directories(prefix / "bin");
    const std::string vell = prefix / "bin/vell";
    fs::copy_file(VELL_BINARY, vell);
    const TestUtil::TempDir out;
    const struct {
        const char* file;
        bool needsModule;
    } kRows[] = {{"a.gif", true}, {"a.mp4", true}, {"a.webm", true}, {"a.webp", false}};
    for (const auto& row : kRows) {
        const std::string file = out / row.file;
        const TestUtil::RunResult run = TestUtil::Run(
            vell, {"render", Game(), kSkinArg, "--size", "32x32", "--turntable", "1", "-o", file});
        if (row.needsModule) {
            EXPECT_EQ(run.exitCode, 1) << row.file;
            EXPECT_NE(run.err.find("vell_media_ffmpeg.so is not installed"), std::string::npos)
                << run.err;
            EXPECT_FALSE(fs::exists(file)) << row.file;
        } else {
            EXPECT_EQ(run.exitCode, 0) << row.file << ": " << run.err;
            EXPECT_TRUE(fs::exists(file)) << row.file;
        }
    }
}
