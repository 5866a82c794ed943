// Exports into places that can't be written, even by root: below a regular file, onto a
// full device, or where a folder already holds the output's name. Each says what it could
// not write, leaves no partial file behind, and the next export into a good folder works.
#include <GL/gl.h>

#include "GameFolder.h"
#include "GlTest.h"
#include "SceneFiles.h"

namespace {

using TestUtil::BlockingFile;
using TestUtil::ErrorOf;
using TestUtil::FilesIn;
using TestUtil::Game;

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

// ---- raw files --------------------------------------------------------------------------

class RawExport : public ::testing::Test {
protected:
    const std::vector<uint8_t> m_bytes = Forge::Bytes("raw bytes of an archived file");
    PakMgr::CMemoryRead m_reader{m_bytes.data(), static_cast<uint32_t>(m_bytes.size())};
    TestUtil::TempDir m_out;
};

TEST_F(RawExport, BelowARegularFileFailsAndCreatesNothing) {
    const std::string blocker = BlockingFile(m_out);
    EXPECT_FALSE(m_reader.SaveToFile(blocker + "/raw.bin"));
    EXPECT_EQ(FilesIn(m_out.Path()), std::vector<std::string>{"a-file"});
    EXPECT_EQ(TestUtil::ReadText(blocker), "not a folder");
}

TEST_F(RawExport, FullDeviceFails) {
    // Opening succeeds; the bytes only fail to land when they are flushed.
    EXPECT_FALSE(m_reader.SaveToFile("/dev/full"));
}

TEST_F(RawExport, AFolderOfTheSameNameFails) {
    std::filesystem::create_directory(m_out / "raw.bin");
    EXPECT_FALSE(m_reader.SaveToFile(m_out / "raw.bin"));
    EXPECT_TRUE(std::filesystem::is_directory(m_out / "raw.bin"));
}

TEST_F(RawExport, TheReaderStillSavesAfterAFailure) {
    EXPECT_FALSE(m_reader.SaveToFile("/dev/full"));
    EXPECT_FALSE(m_reader.SaveToFile(BlockingFile(m_out) + "/x"));
    ASSERT_TRUE(m_reader.SaveToFile(m_out / "raw.bin"));
    EXPECT_EQ(TestUtil::ReadBytes(m_out / "raw.bin"), m_bytes);
}

TEST(RawExportCommand, UnwritableOutputFolderFailsWithAMessage) {
    Game game({{"\\docs\\a.txt", Forge::Bytes("hello")}});
    TestUtil::TempDir out;
    const std::string blocker = BlockingFile(out);
    TestUtil::RunResult r =
        TestUtil::Vell({"extract", game.Folder(), "docs/a.txt", "-o", blocker + "/out"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(StartsWith(r.err, "vell: can't create folder")) << r.err;
    EXPECT_EQ(FilesIn(out.Path()), std::vector<std::string>{"a-file"});
}

// ---- OBJ --------------------------------------------------------------------------------

// The writers' character with two textured sub-meshes, loaded as the whole model.
class ObjExport : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(RenderTest::SharedGl(), nullptr);
        SceneFiles::Scene scene;
        scene.patches = {SceneFiles::Patch{}, SceneFiles::Patch{.z = 10}};
        m_game = std::make_unique<Game>(SceneFiles::FilesOf(scene));
        m_skin = m_game->Node(SceneFiles::kSkinArg);
        m_model->Load(m_skin);
    }

    std::string Export(const std::string& folder) {
        return ErrorOf([&] { m_model->ExportObj("test", m_skin, folder); });
    }

    std::unique_ptr<Game> m_game;
    PakMgr::ITreeNode* m_skin = nullptr;
    std::unique_ptr<Model::IVellModel> m_model = Model::CreateModel();
    TestUtil::TempDir m_out;
};

TEST_F(ObjExport, FolderBelowARegularFileThrowsNamingTheFile) {
    const std::string folder = BlockingFile(m_out) + "/obj";
    EXPECT_EQ(Export(folder), "can't write " + folder + "/patch0_00.obj: Not a directory");
}

TEST_F(ObjExport, AnObjFileThatCantBeMadeStopsTheExport) {
    std::filesystem::create_directory(m_out / "patch1_01.obj");
    EXPECT_EQ(Export(m_out.Path()),
              "can't write " + (m_out / "patch1_01.obj") + ": Is a directory");
    // The first sub-mesh was written whole before; nothing else was left behind.
    EXPECT_EQ(FilesIn(m_out.Path()),
              (std::vector<std::string>{"hero.dds", "patch0_00.obj", "patch1_01.obj"}));
    EXPECT_TRUE(std::filesystem::is_directory(m_out / "patch1_01.obj"));
}

TEST_F(ObjExport, ATextureThatCantBeCopiedThrowsNamingTheTexture) {
    std::filesystem::create_directory(m_out / "hero.dds");
    EXPECT_EQ(Export(m_out.Path()), "can't write " + (m_out / "hero.dds") + ": Is a directory");
}

TEST_F(ObjExport, TheModelExportsAgainAfterAFailure) {
    Export(BlockingFile(m_out) + "/obj");
    TestUtil::TempDir good;
    EXPECT_TRUE(m_model->ExportObj("test", m_skin, good.Path()));
    EXPECT_EQ(FilesIn(good.Path()),
              (std::vector<std::string>{"hero.dds", "patch0_00.obj", "patch1_01.obj"}));
    EXPECT_EQ(TestUtil::ReadBytes(good / "hero.dds"), SceneFiles::TextureOf({}));
}

// ---- frames -----------------------------------------------------------------------------

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

class FrameExport : public ObjExport {
protected:
    void SetUp() override {
        ObjExport::SetUp();
        m_model->LoadAnimation(m_game->Node(SceneFiles::kAnimationArg));
        m_model->PlayAnimation(1);  // ten frames
    }
    ClearSink m_sink;
};

TEST_F(FrameExport, FolderBelowARegularFileThrowsNamingTheFirstPicture) {
    const std::string folder = BlockingFile(m_out) + "/frames";
    EXPECT_EQ(ErrorOf([&] { m_model->ExportFrames(folder, &m_sink); }),
              "can't write " + folder + "/00000000.bmp: Not a directory");
}

TEST_F(FrameExport, APictureThatCantBeMadeStopsTheExport) {
    std::filesystem::create_directory(m_out / "00000003.bmp");
    EXPECT_EQ(ErrorOf([&] { m_model->ExportFrames(m_out.Path(), &m_sink); }),
              "can't write " + (m_out / "00000003.bmp") + ": Is a directory");
    EXPECT_EQ(FilesIn(m_out.Path()), (std::vector<std::string>{"00000000.bmp", "00000001.bmp",
                                                               "00000002.bmp", "00000003.bmp"}));
    EXPECT_EQ(m_sink.steps, 3);
}

TEST_F(FrameExport, TheModelExportsAgainAfterAFailure) {
    ErrorOf([&] { m_model->ExportFrames(BlockingFile(m_out) + "/frames", &m_sink); });
    TestUtil::TempDir good;
    EXPECT_TRUE(m_model->ExportFrames(good.Path(), &m_sink));
    EXPECT_EQ(FilesIn(good.Path()).size(), 10u);
    const std::size_t pictureBytes = 54 + 64 * 48 * 4;
    EXPECT_EQ(TestUtil::ReadBytes(good / "00000009.bmp").size(), pictureBytes);
}

}  // namespace
