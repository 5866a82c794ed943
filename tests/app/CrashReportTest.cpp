// The crash report of the real program: a deliberate crash in its test mode, the question
// answered through the prompt-only copy of the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "TestUtil.h"
#include "forge/pak.h"

namespace {

std::vector<std::filesystem::path> Dumps(const std::string& folder) {
    std::vector<std::filesystem::path> dumps;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".dmp") {
            dumps.push_back(entry.path());
        }
    }
    return dumps;
}

// Runs the program in `folder` with the crash switch and the prompt's answer.
TestUtil::RunResult CrashIn(const std::string& folder, const char* answer) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    ::setenv("VELL_TEST_CRASH", "0x18", 1);
    ::setenv("VELL_CRASH_ANSWER", answer, 1);
    TestUtil::RunResult result = TestUtil::Run(VELL_APP_BINARY, {});
    ::unsetenv("VELL_TEST_CRASH");
    ::unsetenv("VELL_CRASH_ANSWER");
    std::filesystem::current_path(previous);
    return result;
}

TEST(CrashReport, YesWritesADumpIntoTheCurrentFolder) {
    TestUtil::TempDir dir;
    const auto result = CrashIn(dir.Path(), "yes");
    EXPECT_EQ(result.exitCode, 128 + SIGSEGV);
    const auto dumps = Dumps(dir.Path());
    ASSERT_EQ(dumps.size(), 1u);
    const std::string name = dumps[0].filename().string();
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(\d{4}-\d\d-\d\d \d\d\.\d\d\.\d\d\.dmp)")))
        << name;
    const std::string text = TestUtil::ReadText(dumps[0].string());
    EXPECT_NE(text.find("signal 11"), std::string::npos);
    EXPECT_NE(text.find("address 0x18"), std::string::npos);
    EXPECT_NE(text.find("backtrace:"), std::string::npos);
    // The backtrace names the program's own functions.
    EXPECT_NE(text.find("CrashIfAsked"), std::string::npos);
    EXPECT_NE(text.find("memory map:"), std::string::npos);
    EXPECT_NE(text.find("VellModelBrowser"), std::string::npos);
}

TEST(CrashReport, NoWritesNothing) {
    TestUtil::TempDir dir;
    const auto result = CrashIn(dir.Path(), "no");
    EXPECT_EQ(result.exitCode, 128 + SIGSEGV);
    EXPECT_TRUE(Dumps(dir.Path()).empty());
}

// The whole program: started with a game folder, closed through its exit question.
TestUtil::RunResult RunAndClose(const std::string& gameDir) {
    ::setenv("VELL_TEST_CLOSE", "1", 1);
    TestUtil::RunResult result = TestUtil::Run(VELL_APP_BINARY, {gameDir});
    ::unsetenv("VELL_TEST_CLOSE");
    return result;
}

TEST(ProgramRun, OpensTheStartFolderAndEndsWithOneAfterClose) {
    TestUtil::TempDir game;
    Forge::SavePak(game / "data.pak", {{"\\docs\\readme.txt", Forge::Bytes("hi")}});
    const auto result = RunAndClose(game.Path());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err.find("where is the game"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("message: 确定要退出吗？     \n"), std::string::npos) << result.err;
}

TEST(ProgramRun, StartFolderWithoutArchivesIsReported) {
    TestUtil::TempDir empty;
    const auto result = RunAndClose(empty.Path());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("message: where is the game ?!\n"), std::string::npos) << result.err;
}

}  // namespace
