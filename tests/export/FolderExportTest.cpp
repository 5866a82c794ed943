// The folder export when the machine runs short: threads that can't be made leave fewer
// workers (the caller alone at worst), and memory that runs out on a worker, here in the
// texture decoding, fails that model alone with a line of its own while the others are
// written and counted.
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <optional>

#include "AllocationCounter.h"
#include "GameFolder.h"
#include "ThreadSeam.h"
#include "export/folder.h"
#include "export/gltf.h"
#include "forge/scene.h"
#include "model/model.h"

namespace {

namespace fs = std::filesystem;

using ThreadSeam::kAny;
constexpr uint32_t kBigSide = 512;                    // decodes to 1 MiB of RGBA
constexpr std::size_t kAllocationLimit = 512 * 1024;  // below that, above anything else

// The scene's character under chars/<folder>/, its texture replaced by `texture` when given.
std::vector<Forge::PakFile> CharacterIn(const std::string& folder,
                                        std::optional<std::vector<uint8_t>> texture = {}) {
    std::vector<Forge::PakFile> files = SceneFiles::FilesOf({});
    for (Forge::PakFile& file : files) {
        file.path.replace(7, 4, folder);  // "\chars\hero\..."
        if (texture && file.path.ends_with(".dds")) {
            file.data = *texture;
        }
    }
    return files;
}

// A DXT1 texture of kBigSide² in one grey, small in the archive.
std::vector<uint8_t> BigTexture(uint8_t grey) {
    const Forge::DdsDesc big{
        .width = kBigSide, .height = kBigSide, .format = Forge::DdsFormat::DXT1};
    const std::vector<uint8_t> rgba(std::size_t{kBigSide} * kBigSide * 4, grey);
    return Forge::WriteDds(big, Forge::EncodeDxt(big.format, kBigSide, kBigSide, rgba));
}

// Three characters; the one in b/ has the big texture.
std::vector<Forge::PakFile> ThreeCharacters() {
    std::vector<Forge::PakFile> files = CharacterIn("a");
    for (auto& more : {CharacterIn("b", BigTexture(0x80)), CharacterIn("c")}) {
        files.insert(files.end(), more.begin(), more.end());
    }
    return files;
}

TEST(FolderExport, FewerThreadsOrMemoryRunningOutFailOnlyWhatTheyMust) {
    TestUtil::Game game(ThreeCharacters());
    const struct {
        std::size_t threadsMade;  // kAny: as many as asked for
        bool memoryRunsOut;
    } kRows[] = {{kAny, false}, {0, false}, {1, false}, {kAny, true}, {0, true}, {2, true}};
    for (const auto& row : kRows) {
        SCOPED_TRACE(::testing::Message()
                     << row.threadsMade << " threads made, memory runs out " << row.memoryRunsOut);
        TestUtil::TempDir out;
        ThreadSeam::Allow allow(row.threadsMade);
        std::optional<AllocationCounter::FailAbove> failAbove;
        if (row.memoryRunsOut) {
            failAbove.emplace(kAllocationLimit);
        }
        std::vector<std::string> lines;
        const Export::FolderSummary summary = Export::ExportFolder(
            game.Node("chars"), out.Path(), {.jobs = 4},
            [&](const Export::FolderItem& item, std::size_t done, std::size_t total) {
                EXPECT_EQ(total, 3u);
                EXPECT_EQ(done, lines.size() + 1);
                lines.push_back(item.path + (item.error.empty() ? "" : ": " + item.error));
                return true;
            });
        failAbove.reset();
        std::sort(lines.begin(), lines.end());
        const std::string b = row.memoryRunsOut ? "b/hero.skn: out of memory" : "b/hero.skn";
        EXPECT_EQ(lines, (std::vector<std::string>{"a/hero.skn", b, "c/hero.skn"}));
        EXPECT_EQ(summary.written, row.memoryRunsOut ? 2u : 3u);
        EXPECT_EQ(summary.failed, row.memoryRunsOut ? 1u : 0u);
        EXPECT_FALSE(summary.cancelled);
        EXPECT_TRUE(fs::is_regular_file(out / "a/hero.glb"));
        EXPECT_TRUE(fs::is_regular_file(out / "c/hero.glb"));
        EXPECT_EQ(fs::exists(out / "b/hero.glb"), !row.memoryRunsOut);
        // The failed model leaves nothing behind, not even a temporary file.
        EXPECT_EQ(TestUtil::FilesIn(out / "b").size(), row.memoryRunsOut ? 0u : 1u);
    }
}

// One model alone, its two textures decoded on workers of their own: memory running out on
// one of them is the export's failure, thrown on the caller's thread, and no file is left.
TEST(FolderExport, MemoryRunningOutWhileTexturesDecodeFailsTheExportOnItsCaller) {
    SceneFiles::Scene scene;
    scene.patches.resize(2);
    Forge::SkinDesc skin = SceneFiles::SkinOf(scene);
    skin.materials[1].params = {Forge::TextParam("g_DiffuseTex", "second.dds")};
    std::vector<Forge::PakFile> files = SceneFiles::FilesOf(scene);
    files[0].data = Forge::WriteSkin(skin);
    const std::vector<uint8_t> texture = BigTexture(0x40);
    files[2].data = texture;
    files.push_back({"\\chars\\hero\\second.dds", texture});
    TestUtil::Game game(files);
    std::unique_ptr<Model::IVellModel> model = Model::CreateModel();
    model->Load(game.Node(SceneFiles::kSkinArg));
    TestUtil::TempDir out;
    {
        AllocationCounter::FailAbove failAbove(kAllocationLimit);
        EXPECT_THROW(Export::ExportGltf(*model, out / "hero.glb", {game.Node(SceneFiles::kSkinArg)},
                                        {.imageThreads = 2}),
                     std::bad_alloc);
    }
    EXPECT_TRUE(TestUtil::FilesIn(out.Path()).empty());
    Export::ExportGltf(*model, out / "hero.glb", {game.Node(SceneFiles::kSkinArg)});
    EXPECT_TRUE(fs::is_regular_file(out / "hero.glb"));
}

}  // namespace
