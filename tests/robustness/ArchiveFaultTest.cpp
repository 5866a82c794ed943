// Archives that change under the program: deleted, cut short or overwritten between
// Open and LoadFile. Loads fail cleanly with null or Except, never with wrong bytes, and
// the program works again once the folder is opened anew.
#include <unistd.h>

#include <filesystem>

#include "GameFolder.h"
#include "GlTest.h"
#include "forge/scene.h"

namespace {

using TestUtil::ErrorOf;
using TestUtil::Game;

std::vector<uint8_t> Text(std::size_t size, char seed) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i % 23);
    }
    return bytes;
}

// Two files whose stored bytes lie one after the other, the table at the end.
std::vector<Forge::PakFile> TwoFiles() {
    return {{"\\docs\\first.txt", Text(4000, 'a')}, {"\\docs\\second.txt", Text(4000, 'k')}};
}

std::vector<uint8_t> Load(const Game& game, const std::string& path) {
    std::unique_ptr<PakMgr::IRead> file = PakMgr::GetPakMgr()->LoadFile(game.Node(path));
    if (!file) {
        return {};
    }
    std::vector<uint8_t> bytes(file->GetSize());
    file->Read(bytes.data(), file->GetSize());
    return bytes;
}

PakMgr::PakEntry EntryOf(const Game& game, const std::string& path) {
    PakMgr::PakEntry entry;
    PakMgr::GetPakMgr()->GetEntry(static_cast<uint32_t>(game.Node(path)->GetIndex()), entry);
    return entry;
}

// Gone before the first load: null, and the files load once it is back and reopened. Gone
// after a load: the archive stays open, its bytes there until it closes.
TEST(ArchiveChanges, DeletedBeforeOrAfterTheFirstLoad) {
    Game game(TwoFiles());
    std::filesystem::rename(game.ArchivePath(), game.ArchivePath() + ".away");
    EXPECT_TRUE(Load(game, "docs/first.txt").empty());
    EXPECT_TRUE(Load(game, "docs/second.txt").empty());
    std::filesystem::rename(game.ArchivePath() + ".away", game.ArchivePath());
    game.Reopen();
    EXPECT_EQ(Load(game, "docs/first.txt"), Text(4000, 'a'));

    std::filesystem::remove(game.ArchivePath());
    EXPECT_EQ(Load(game, "docs/second.txt"), Text(4000, 'k'));
    PakMgr::GetPakMgr()->Clear();
    EXPECT_FALSE(PakMgr::GetPakMgr()->Open(game.Folder()));  // the folder holds no archive now
    EXPECT_EQ(PakMgr::GetPakMgr()->GetFileCount(), 0u);
}

TEST(ArchiveChanges, TruncatedArchiveLoadsWhatLiesBeforeTheCut) {
    Game game(TwoFiles());
    const PakMgr::PakEntry second = EntryOf(game, "docs/second.txt");
    ASSERT_EQ(Load(game, "docs/first.txt"), Text(4000, 'a'));  // the archive is open now
    // Cut in the middle of the second file's stored bytes.
    std::filesystem::resize_file(game.ArchivePath(), second.offset + second.storedSize / 2);
    EXPECT_EQ(Load(game, "docs/first.txt"), Text(4000, 'a'));
    EXPECT_TRUE(Load(game, "docs/second.txt").empty());

    std::filesystem::resize_file(game.ArchivePath(), 0);
    EXPECT_TRUE(Load(game, "docs/first.txt").empty());
}

// Model loads from an archive gone or cut short (the table is at the end, so every stored
// file lies before a cut of the table) throw; the model stays usable.
TEST(ArchiveChanges, ModelLoadFromAVanishedOrTruncatedArchiveThrows) {
    ASSERT_NE(RenderTest::SharedGl(), nullptr);
    Game game(SceneFiles::FilesOf({}));
    auto model = Model::CreateModel();
    const PakMgr::PakEntry mesh = EntryOf(game, "chars/hero/hero.msh");
    std::filesystem::rename(game.ArchivePath(), game.ArchivePath() + ".away");
    EXPECT_EQ(ErrorOf([&] { model->Load(game.Node(SceneFiles::kSkinArg)); }),
              "can't read .skn file: hero.skn");
    EXPECT_EQ(ErrorOf([&] { model->LoadAnimation(game.Node(SceneFiles::kAnimationArg)); }),
              "can't read .ani file: hero.ani");
    EXPECT_TRUE(model->IsEmpty());

    std::filesystem::rename(game.ArchivePath() + ".away", game.ArchivePath());
    game.Reopen();
    model->Load(game.Node(SceneFiles::kSkinArg));
    EXPECT_EQ(TestUtil::SubMeshesOf(*model), std::vector<std::string>{"patch0"});

    auto other = Model::CreateModel();
    game.Reopen();  // the archive is opened again at the next load
    std::filesystem::resize_file(game.ArchivePath(), mesh.offset + 1);
    EXPECT_EQ(ErrorOf([&] { other->Load(game.Node(SceneFiles::kSkinArg)); }),
              "can't read .msh file: hero.msh");
    EXPECT_TRUE(other->IsEmpty());
}

}  // namespace
