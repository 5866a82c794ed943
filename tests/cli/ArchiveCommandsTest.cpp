#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "TestUtil.h"
#include "forge/pak.h"

using TestUtil::Vell;

namespace {

class ArchiveCommands : public ::testing::Test {
protected:
    void SetUp() override {
        Forge::SavePak(m_game / "data.pak",
                       {{.path = "\\chars\\hero\\hero.skn", .data = Forge::Bytes("skin")},
                        {.path = "\\chars\\hero\\hero.msh", .data = Forge::Bytes("mesh!")},
                        {.path = "\\ui\\\xd6\xd0\xce\xc4.txt", .data = Forge::Bytes("zh")},
                        {.path = "\\evil\\..", .data = Forge::Bytes("dots")},
                        {.path = "\\broken.bin", .data = Forge::Bytes("x"), .inflatedSize = 9}});
        Forge::SavePak(m_game / "patch.pak",
                       {{.path = "\\chars\\hero\\hero.skn", .data = Forge::Bytes("patched")}});
    }
    TestUtil::TempDir m_game;
    TestUtil::TempDir m_out;
};

}  // namespace

TEST_F(ArchiveCommands, ListPrintsEveryEntryInOrder) {
    auto r = Vell({"list", m_game.Path()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("0\t4\t"), std::string::npos);
    EXPECT_NE(r.out.find("\tdata.pak\t\\chars\\hero\\hero.skn\n"), std::string::npos);
    EXPECT_NE(r.out.find("\\ui\\中文.txt\n"), std::string::npos);
    EXPECT_NE(r.out.find("5\t7\t"), std::string::npos);  // the patch's copy stays listed
    EXPECT_TRUE(r.out.ends_with("6 entries in 2 archives\n")) << r.out;
}

TEST_F(ArchiveCommands, TreePrintsTheMergedTree) {
    auto r = Vell({"tree", m_game.Path()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("chars/\t#0\n  hero/\t#0\n    hero.skn\t#0\n    hero.msh\t#1\n"))
        << r.out;
    EXPECT_NE(r.out.find("ui/\t#2\n  中文.txt\t#2\n"), std::string::npos);
}

TEST_F(ArchiveCommands, ExtractWritesInflatedBytesUnderTheNodesName) {
    auto r = Vell(
        {"extract", m_game.Path(), "chars/hero/hero.skn", "\\ui\\中文.txt", "-o", m_out / "x"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(TestUtil::ReadText(m_out / "x/hero.skn"), "skin");  // the first archive wins
    EXPECT_EQ(TestUtil::ReadText(m_out / "x/中文.txt"), "zh");
}

TEST_F(ArchiveCommands, ExtractAllKeepsEveryFileInsideTheFolder) {
    auto r = Vell({"extract", m_game.Path(), "--all", "-o", m_out / "all"});
    EXPECT_EQ(r.exitCode, 1);  // the broken entry
    EXPECT_NE(r.err.find("vell: can't read broken.bin"), std::string::npos) << r.err;
    EXPECT_EQ(TestUtil::ReadText(m_out / "all/chars/hero/hero.msh"), "mesh!");
    EXPECT_EQ(TestUtil::ReadText(m_out / "all/evil/_"), "dots");
    EXPECT_FALSE(std::filesystem::exists(m_out / "evil"));
    EXPECT_FALSE(std::filesystem::exists(m_out / "all/broken.bin"));
}

TEST_F(ArchiveCommands, FailuresHaveTheirStatusAndMessage) {
    auto missing = Vell({"extract", m_game.Path(), "chars/nobody.skn", "-o", m_out.Path()});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.err, "vell: no such file in the archives: chars/nobody.skn\n");

    auto broken = Vell({"extract", m_game.Path(), "broken.bin", "-o", m_out.Path()});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_EQ(broken.err, "vell: can't read broken.bin\n");

    auto noGame = Vell({"list", m_out.Path()});
    EXPECT_EQ(noGame.exitCode, 2);
    EXPECT_EQ(noGame.err, "vell: where is the game ?!\n");

    EXPECT_EQ(Vell({"list"}).exitCode, 2);
    EXPECT_EQ(Vell({"extract", m_game.Path(), "broken.bin"}).exitCode, 2);  // no -o
    EXPECT_EQ(Vell({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(Vell({"tree", m_game.Path(), "--bogus"}).exitCode, 2);
}

TEST_F(ArchiveCommands, UnwritableOutputIsAFailure) {
    std::filesystem::create_directory(m_out / "file_not_dir");
    Forge::SaveBytes(m_out / "blocker", Forge::Bytes("x"));
    auto r = Vell({"extract", m_game.Path(), "chars/hero/hero.skn", "-o", m_out / "blocker"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("can't create folder"), std::string::npos) << r.err;
}

// Names over the file system's 255 bytes are cut; cut names that meet are told apart.
TEST_F(ArchiveCommands, ExtractAllCutsLongNamesApart) {
    std::string gbk, utf8;
    for (int i = 0; i < 120; ++i) {
        gbk += "\xd6\xd0";
        utf8 += i < 83 ? "中" : "";
    }
    Forge::SavePak(m_game / "long.pak",
                   {{.path = "\\long\\" + gbk + "1.txt", .data = Forge::Bytes("one")},
                    {.path = "\\long\\" + gbk + "2.txt", .data = Forge::Bytes("two")}});
    Vell({"extract", m_game.Path(), "--all", "-o", m_out / "all"});
    EXPECT_EQ(TestUtil::ReadText(m_out / "all/long/" + utf8 + ".txt"), "one");
    EXPECT_EQ(TestUtil::ReadText(m_out / "all/long/" + utf8 + "~1.txt"), "two");
}

// A file that can't be written whole (here: over the file size limit) is not left behind.
TEST_F(ArchiveCommands, APartlyWrittenFileIsRemoved) {
    Forge::SavePak(m_game / "big.pak",
                   {{.path = "\\big.bin", .data = std::vector<uint8_t>(100000, 7)}});
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit low = saved;
    low.rlim_cur = 4096;
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);  // writes fail with EFBIG instead
    ::setrlimit(RLIMIT_FSIZE, &low);
    auto r = Vell({"extract", m_game.Path(), "big.bin", "-o", m_out.Path()});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(m_out / "big.bin"));
}
