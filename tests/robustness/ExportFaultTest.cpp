// Every writer of the program against places that can't be written, even by root: below a
// regular file, a folder in the output's place, a full device, and a disk that fills up (a
// file-size limit). Each says which file it could not write and why, leaves no partial,
// empty or temporary file behind, and the next export into a good folder works.
#include <GL/gl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "GameFolder.h"
#include "GlTest.h"
#include "dds/dds.h"
#include "export/gltf.h"
#include "forge/scene.h"
#include "media/media.h"
#include "model/bmp.h"
#include "pakmgr/pack.h"
#include "view/view.h"

namespace {

using TestUtil::ErrorOf;
using TestUtil::FilesIn;
using TestUtil::Game;

// Draws a plain colour over the whole buffer; counts the pictures.
class ClearSink final : public Model::IAnimate {
public:
    int GetWidth() override { return RenderTest::SharedGl()->Width(); }
    int GetHeight() override { return RenderTest::SharedGl()->Height(); }
    void Advance() override {}
    void Render() override {
        glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    void SetProgressRange(unsigned short, unsigned short) override {}
    void StepProgress() override { ++steps; }
    int steps = 0;
};

// The writers' character with two textured sub-meshes and a ten-frame animation playing.
struct Exporter {
    Exporter() {
        SceneFiles::Scene scene;
        scene.patches = {SceneFiles::Patch{}, SceneFiles::Patch{.z = 10}};
        game = std::make_unique<Game>(SceneFiles::FilesOf(scene));
        skin = game->Node(SceneFiles::kSkinArg);
        model->Load(skin);
        model->LoadAnimation(game->Node(SceneFiles::kAnimationArg));
        model->PlayAnimation(1);
    }
    std::unique_ptr<Game> game;
    PakMgr::ITreeNode* skin = nullptr;
    std::unique_ptr<Model::IVellModel> model = View::CreateModel();
    ClearSink sink;
};

Exporter& TheExporter() {
    static Exporter exporter;
    return exporter;
}

const std::vector<uint8_t> kRawBytes = Forge::Bytes("raw bytes of an archived file, some more");
const uint8_t kPixel[4] = {1, 2, 3, 4};

// SaveToFile and WriteBmp tell by errno; said as the throwing writers say it.
void Check(bool written, const std::string& path) {
    if (!written) {
        throw Except(ErrorKind::Io, "can't write %s: %s", path.c_str(), std::strerror(errno));
    }
}

void SaveRaw(const std::string& path) {
    PakMgr::CMemoryRead reader(kRawBytes.data(), static_cast<uint32_t>(kRawBytes.size()));
    Check(reader.SaveToFile(path), path);
}

void WriteBmp(const std::string& path) {
    Check(Model::WriteBmp(path.c_str(), {1, -1, 4, 4, kPixel}), path);
}

void WritePng(const std::string& path) {
    Dds::WritePng(path, 1, 1, kPixel);
}

void WriteGlb(const std::string& path) {
    Export::ExportGltf(*TheExporter().model, path, {TheExporter().skin});
}

void ExportObj(const std::string& folder) {
    TheExporter().model->ExportObj("test", TheExporter().skin, folder);
}

void ExportFrames(const std::string& folder) {
    TheExporter().model->ExportFrames(folder, &TheExporter().sink);
}

// A mod archive of a folder holding one file.
void WritePak(const std::string& path) {
    static const TestUtil::TempDir source;
    Forge::SaveBytes(source / "mod.txt", kRawBytes);
    PakMgr::WritePack(PakMgr::PlanPack(source.Path(), path), path, {});
}

// Two pictures as a moving picture of the format.
auto MovieWriter(Media::Format format) {
    return [format](const std::string& path) {
        constexpr int kSide = 16;
        auto writer = Media::CreateMovieWriter(
            format, path, {.width = kSide, .height = kSide, .fps = 25, .pictures = 2});
        for (uint8_t grey : {uint8_t{0x80}, uint8_t{0x20}}) {
            writer->Add(std::vector<uint8_t>(std::size_t{kSide} * kSide * 4, grey));
        }
        writer->Finish();
    };
}

struct Writer {
    const char* label;
    const char* name;  // the file that a folder of its name blocks
    std::function<void(const std::string& folder)> intoFolder;
    std::function<void(const std::string& path)> toPath;  // null: the writer picks names
};

void PrintTo(const Writer& writer, std::ostream* out) {
    *out << writer.label;
}

auto AtName(std::function<void(const std::string&)> write, std::string name) {
    return [write, name](const std::string& folder) { write(folder + "/" + name); };
}

const Writer kWriters[] = {
    {"raw", "raw.bin", AtName(SaveRaw, "raw.bin"), SaveRaw},
    {"png", "t.png", AtName(WritePng, "t.png"), WritePng},
    {"bmp", "b.bmp", AtName(WriteBmp, "b.bmp"), WriteBmp},
    {"glb", "m.glb", AtName(WriteGlb, "m.glb"), WriteGlb},
    {"gltf", "m.gltf", AtName(WriteGlb, "m.gltf"), nullptr},
    {"gltfBin", "m.bin", AtName(WriteGlb, "m.gltf"), nullptr},
    {"obj", "patch1_01.obj", ExportObj, nullptr},
    {"objTexture", "hero.dds", ExportObj, nullptr},
    {"frames", "00000003.bmp", ExportFrames, nullptr},
    {"gif", "m.gif", AtName(MovieWriter(Media::Format::Gif), "m.gif"), nullptr},
    {"webp", "m.webp", AtName(MovieWriter(Media::Format::Webp), "m.webp"),
     MovieWriter(Media::Format::Webp)},
    {"mp4", "m.mp4", AtName(MovieWriter(Media::Format::Mp4), "m.mp4"), nullptr},
    {"webm", "m.webm", AtName(MovieWriter(Media::Format::Webm), "m.webm"), nullptr},
    // A device would get a temporary file beside it: an archive goes to a regular file only.
    {"pak", "m.pak", AtName(WritePak, "m.pak"), nullptr},
};

// No file of the export left empty or cut short, and no temporary file.
void ExpectNothingPartial(const std::string& folder, const std::string& blocked) {
    for (const std::string& name : FilesIn(folder)) {
        EXPECT_NE(name[0], '.') << "temporary file left: " << name;
        if (name != blocked && name != "a-file") {
            EXPECT_GT(std::filesystem::file_size(folder + "/" + name), 0u) << name;
        }
    }
}

class UnwritableDestination : public ::testing::TestWithParam<Writer> {
protected:
    // The character is made here, before any test limits the size of the files written.
    void SetUp() override {
        ASSERT_NE(RenderTest::SharedGl(), nullptr);
        TheExporter();
    }

    // After each case the next export into a good folder writes the writer's file whole.
    void TearDown() override {
        TestUtil::TempDir good;
        EXPECT_NO_THROW(GetParam().intoFolder(good.Path()));
        EXPECT_GT(TestUtil::ReadBytes(good / GetParam().name).size(), 0u);
        ExpectNothingPartial(good.Path(), "");
    }

    TestUtil::TempDir m_out;
};

TEST_P(UnwritableDestination, BelowARegularFile) {
    const std::string folder = m_out / "a-file";  // nothing below it can be made, even by root
    std::ofstream(folder) << "not a folder";
    const std::string error = ErrorOf([&] { GetParam().intoFolder(folder); });
    EXPECT_TRUE(error.starts_with("can't write " + folder + "/")) << error;
    EXPECT_TRUE(error.ends_with(": Not a directory")) << error;
    EXPECT_EQ(FilesIn(m_out.Path()), std::vector<std::string>{"a-file"});
    EXPECT_EQ(TestUtil::ReadText(folder), "not a folder");
}

TEST_P(UnwritableDestination, AFolderInTheOutputsPlace) {
    const std::string blocked = m_out / GetParam().name;
    std::filesystem::create_directory(blocked);
    EXPECT_EQ(ErrorOf([&] { GetParam().intoFolder(m_out.Path()); }),
              "can't write " + blocked + ": Is a directory");
    EXPECT_TRUE(std::filesystem::is_directory(blocked));
    ExpectNothingPartial(m_out.Path(), GetParam().name);
}

TEST_P(UnwritableDestination, ADiskThatFillsUp) {
    std::string error;
    {
        TestUtil::FileSizeLimit limit(32);
        error = ErrorOf([&] { GetParam().intoFolder(m_out.Path()); });
    }
    EXPECT_TRUE(error.starts_with("can't write " + m_out.Path() + "/")) << error;
    EXPECT_TRUE(error.ends_with(": File too large")) << error;
    ExpectNothingPartial(m_out.Path(), "");
    EXPECT_EQ(std::filesystem::exists(m_out / GetParam().name), false);
}

TEST_P(UnwritableDestination, AFullDevice) {
    if (!GetParam().toPath) {
        GTEST_SKIP() << "the writer picks its own file names";
    }
    // A device is written in place (it can't be replaced); its bytes don't fit.
    EXPECT_EQ(ErrorOf([&] { GetParam().toPath("/dev/full"); }),
              "can't write /dev/full: No space left on device");
    struct stat info {};
    EXPECT_TRUE(::stat("/dev/full", &info) == 0 && S_ISCHR(info.st_mode));
}

INSTANTIATE_TEST_SUITE_P(EveryWriter, UnwritableDestination, ::testing::ValuesIn(kWriters),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
