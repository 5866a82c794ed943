// The moving-picture writers: each format read back by its own library's decoder (pictures,
// size, delays, colour, transparency), and the sizes and failures that leave no file.
#include <gtest/gtest.h>

#include <cstdlib>

#include "MovieReader.h"
#include "TestUtil.h"
#include "base/except.h"
#include "media/media.h"

namespace {

using Media::Format;

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr int kPictures = 8;
constexpr uint8_t kSquare[3] = {200, 100, 50};
constexpr uint8_t kGround[3] = {51, 51, 178};

// A square moving right over an opaque ground; with `alpha`, the ground is transparent.
std::vector<uint8_t> PictureAt(int index, bool alpha) {
    std::vector<uint8_t> rgba(std::size_t(kWidth) * kHeight * 4);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const bool square = x >= index * 4 && x < index * 4 + 16 && y >= 16 && y < 32;
            uint8_t* p = &rgba[(std::size_t(y) * kWidth + x) * 4];
            const uint8_t* colour = square ? kSquare : kGround;
            std::copy(colour, colour + 3, p);
            p[3] = square || !alpha ? 255 : 0;
        }
    }
    return rgba;
}

std::string Write(Format format, const std::string& path, int fps, bool alpha) {
    auto writer = Media::CreateMovieWriter(
        format, path,
        {.width = kWidth, .height = kHeight, .fps = fps, .alpha = alpha, .pictures = kPictures});
    for (int i = 0; i < kPictures; ++i) {
        writer->Add(PictureAt(i, alpha));
    }
    writer->Finish();
    return path;
}

const uint8_t* Pixel(const MovieReader::Movie& movie, int picture, int x, int y) {
    return &movie.rgba[static_cast<std::size_t>(picture)][(std::size_t(y) * movie.width + x) * 4];
}

bool Near(const uint8_t* p, const uint8_t* want, int tolerance) {
    for (int c = 0; c < 3; ++c) {
        if (std::abs(p[c] - want[c]) > tolerance) {
            return false;
        }
    }
    return true;
}

struct FormatCase {
    const char* name;
    Format format;
    int fps;
    bool alpha;
    const char* codec;
    int delayMs;    // -1: the video's own timing is not checked
    int tolerance;  // of the square's colour: the palette's and the video's loss
};

const FormatCase kFormats[] = {
    {"a.gif", Format::Gif, 25, false, "gif", 40, 24},
    {"fast.gif", Format::Gif, 60, false, "gif", 20, 24},
    {"clear.gif", Format::Gif, 25, true, "gif", 40, 24},
    {"a.webp", Format::Webp, 25, false, "webp", 40, 12},
    {"clear.webp", Format::Webp, 60, true, "webp", 17, 12},
    {"a.mp4", Format::Mp4, 25, false, "h264", 40, 16},
    {"a.webm", Format::Webm, 30, false, "vp9", 33, 16},
};

class FormatRows : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatRows, DecoderOfItsLibraryReadsEveryPicture) {
    const FormatCase& row = GetParam();
    TestUtil::TempDir dir;
    const MovieReader::Movie movie =
        MovieReader::Read(Write(row.format, dir.Path() + "/" + row.name, row.fps, row.alpha));
    ASSERT_TRUE(movie.ok);
    EXPECT_EQ(movie.codec, row.codec);
    EXPECT_EQ(movie.width, kWidth);
    EXPECT_EQ(movie.height, kHeight);
    ASSERT_EQ(movie.pictures, kPictures);
    for (int delay : movie.delaysMs) {
        EXPECT_NEAR(delay, row.delayMs, 1);
    }
    // The square moves: the first picture's is where the last one's is not.
    EXPECT_TRUE(Near(Pixel(movie, 0, 2, 24), kSquare, row.tolerance));
    EXPECT_FALSE(Near(Pixel(movie, kPictures - 1, 2, 24), kSquare, row.tolerance));
    EXPECT_TRUE(Near(Pixel(movie, kPictures - 1, 32, 24), kSquare, row.tolerance));
    const uint8_t* ground = Pixel(movie, 0, 60, 4);
    if (row.alpha) {
        EXPECT_EQ(ground[3], 0);
        EXPECT_EQ(Pixel(movie, 0, 2, 24)[3], 255);
    } else {
        EXPECT_TRUE(Near(ground, kGround, row.tolerance));
        EXPECT_EQ(ground[3], 255);
    }
}

INSTANTIATE_TEST_SUITE_P(Media, FormatRows, ::testing::ValuesIn(kFormats), [](const auto& info) {
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), '.', '_');
    return name;
});

TEST(MovieWriter, FormatsByEndingInAnyCase) {
    EXPECT_EQ(Media::FormatOf("x/A.GIF"), Format::Gif);
    EXPECT_EQ(Media::FormatOf("b.WebM"), Format::Webm);
    EXPECT_EQ(Media::FormatOf("c.png"), Format::Png);
    EXPECT_EQ(Media::FormatOf("c.mp4"), Format::Mp4);
    EXPECT_EQ(Media::FormatOf(".gif"), std::nullopt);
    EXPECT_EQ(Media::FormatOf("c.bmp"), std::nullopt);
}

struct RefusedCase {
    Format format;
    Media::MovieOptions options;
};

// Refused before anything is written: nothing is left in the folder.
TEST(MovieWriter, SizesTheFormatCantTakeAreRefused) {
    const RefusedCase rows[] = {
        {Format::Mp4, {.width = 63, .height = 48}},
        {Format::Webm, {.width = 64, .height = 47}},
        {Format::Gif, {.width = 8192, .height = 8192, .pictures = 9}},
        {Format::Webp, {.width = 0, .height = 10}},
        {Format::Png, {.width = 10, .height = 10}},
    };
    for (const RefusedCase& row : rows) {
        TestUtil::TempDir dir;
        try {
            Media::CreateMovieWriter(row.format, dir.Path() + "/out", row.options);
            ADD_FAILURE() << "made " << row.options.width << "x" << row.options.height;
        } catch (const Except& e) {
            EXPECT_EQ(e.Kind(), ErrorKind::Input) << e.Message();
        }
        EXPECT_TRUE(TestUtil::FilesIn(dir.Path()).empty());
    }
}

// A writer that goes without Finish (the user cancelled) leaves nothing behind, and a
// finished one replaces the file whole.
TEST(MovieWriter, OnlyFinishWritesTheFile) {
    for (Format format : {Format::Gif, Format::Webp, Format::Mp4, Format::Webm}) {
        TestUtil::TempDir dir;
        {
            auto writer = Media::CreateMovieWriter(
                format, dir.Path() + "/out", {.width = kWidth, .height = kHeight, .pictures = 2});
            writer->Add(PictureAt(0, false));
        }
        EXPECT_TRUE(TestUtil::FilesIn(dir.Path()).empty());
    }
}

TEST(MovieWriter, AFolderThatIsMissingIsAnIoFailure) {
    TestUtil::TempDir dir;
    for (Format format : {Format::Gif, Format::Webp, Format::Mp4}) {
        try {
            Write(format, dir.Path() + "/missing/out", 25, false);
            ADD_FAILURE() << "wrote into a missing folder";
        } catch (const Except& e) {
            EXPECT_EQ(e.Kind(), ErrorKind::Io) << e.Message();
        }
    }
}

}  // namespace
