// The crash report of the real program: a deliberate crash in its test mode, the question
// answered through the prompt-only copy of the program.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iomanip>
#include <regex>
#include <sstream>
#include <string>

#include "CrashDump.h"
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

// Runs the program in `folder` with a crash switch and the prompt's answer; a hang ends
// after a generous minute instead of blocking the suite.
TestUtil::RunResult CrashIn(const std::string& folder, const char* crash, const char* answer) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    ::setenv("VELL_TEST_CRASH", crash, 1);
    ::setenv("VELL_CRASH_ANSWER", answer, 1);
    TestUtil::RunResult result = TestUtil::Run("/usr/bin/timeout", {"60", VELL_APP_BINARY});
    ::unsetenv("VELL_TEST_CRASH");
    ::unsetenv("VELL_CRASH_ANSWER");
    std::filesystem::current_path(previous);
    return result;
}

// The local time a dump's name tells, in seconds since 1970.
std::time_t DumpTime(const std::string& name) {
    std::tm t{};
    std::istringstream in(name);
    in >> std::get_time(&t, "%Y-%m-%d %H.%M.%S");
    t.tm_isdst = -1;
    return in.fail() ? 0 : std::mktime(&t);
}

struct CrashRow {
    const char* crash;   // an address to read, or "heap": threads and a corrupted heap
    const char* answer;  // ":N": the user answers N seconds after the crash
    int signal;
    const char* address;   // in the dump, or null
    const char* function;  // of the program, named in the dump's backtrace
};

TEST(CrashReport, AnswerDecidesTheDumpAndNothingHangs) {
    const CrashRow rows[] = {
        {"0x18", "yes", SIGSEGV, "address 0x18\n", "CrashIfAsked"},
        {"0x18", "no", SIGSEGV, nullptr, nullptr},
        // The name tells the time of the crash, not of the answer.
        {"0x18", "yes:3", SIGSEGV, "address 0x18\n", "CrashIfAsked"},
        // malloc aborts holding its lock: the prompt is still reached.
        {"heap", "yes", SIGABRT, nullptr, "malloc"},
    };
    for (const CrashRow& row : rows) {
        TestUtil::TempDir dir;
        const std::time_t started = std::time(nullptr);
        const auto result = CrashIn(dir.Path(), row.crash, row.answer);
        EXPECT_EQ(result.exitCode, 128 + row.signal) << row.crash << result.err;
        const auto dumps = Dumps(dir.Path());
        if (std::string(row.answer) == "no") {
            EXPECT_TRUE(dumps.empty());
            continue;
        }
        ASSERT_EQ(dumps.size(), 1u) << row.crash;
        const std::string name = dumps[0].filename().string();
        EXPECT_TRUE(std::regex_match(name, std::regex(R"(\d{4}-\d\d-\d\d \d\d\.\d\d\.\d\d\.dmp)")))
            << name;
        // The program crashes as it starts; a slow start may take a second or two.
        EXPECT_GE(DumpTime(name), started) << name;
        EXPECT_LE(DumpTime(name), started + 2) << name;
        const std::string text = TestUtil::ReadText(dumps[0].string());
        EXPECT_NE(text.find("signal " + std::to_string(row.signal) + " ("), std::string::npos);
        if (row.address) {
            EXPECT_NE(text.find(row.address), std::string::npos) << text.substr(0, 200);
        }
        EXPECT_NE(text.find("backtrace:"), std::string::npos);
        EXPECT_NE(text.find(row.function), std::string::npos);
        EXPECT_NE(text.find("memory map:"), std::string::npos);
        EXPECT_NE(text.find("VellModelBrowser"), std::string::npos);
    }
}

// The crash question as the user sees it: Chinese buttons, answered by a click.
TEST(CrashReport, QuestionSpeaksChineseAndTakesAClick) {
    QStringList buttons;
    QTimer click;
    QObject::connect(&click, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            return;
        }
        click.stop();
        for (QAbstractButton* button : box->buttons()) {
            buttons << button->text();
        }
        buttons.sort();
        for (QAbstractButton* button : box->buttons()) {
            if (box->buttonRole(button) == QMessageBox::NoRole) {
                QTest::mouseClick(button, Qt::LeftButton);
            }
        }
    });
    click.start(10);
    EXPECT_EQ(App::AskAboutCrash(), App::kPromptAnswerNo);
    EXPECT_EQ(buttons, QStringList({QString::fromUtf8("否"), QString::fromUtf8("是")}));
}

// The whole program: started with a game folder, closed through its exit question; a start
// folder without archives is reported.
TEST(ProgramRun, StartFolderOpensOrIsReportedAndCloseEndsWithOne) {
    TestUtil::TempDir game;
    TestUtil::TempDir empty;
    Forge::SavePak(game / "data.pak", {{"\\docs\\readme.txt", Forge::Bytes("hi")}});
    ::setenv("VELL_TEST_CLOSE", "1", 1);
    const TestUtil::RunResult opened = TestUtil::Run(VELL_APP_BINARY, {game.Path()});
    const TestUtil::RunResult missing = TestUtil::Run(VELL_APP_BINARY, {empty.Path()});
    ::unsetenv("VELL_TEST_CLOSE");
    EXPECT_EQ(opened.exitCode, 1);
    EXPECT_EQ(opened.err.find("where is the game"), std::string::npos) << opened.err;
    EXPECT_NE(opened.err.find("message: 确定要退出吗？     \n"), std::string::npos) << opened.err;
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("message: where is the game ?!\n"), std::string::npos)
        << missing.err;
}

// --help and --version are answered on stdout before anything of Qt exists: they work
// without a display.
TEST(ProgramRun, HelpAndVersionNeedNoDisplay) {
    struct Row {
        const char* arg;
        const char* out;  // what stdout starts with
    };
    const Row rows[] = {
        {"--version", "VellModelBrowser " VELL_VERSION " (commit "},
        {"--help", "usage: VellModelBrowser [GAME_DIR]\n"},
        {"-h", "usage: VellModelBrowser [GAME_DIR]\n"},
    };
    const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    ::unsetenv("DISPLAY");
    for (const Row& row : rows) {
        const TestUtil::RunResult result = TestUtil::Run(VELL_APP_BINARY, {row.arg});
        EXPECT_EQ(result.exitCode, 0) << row.arg << result.err;
        EXPECT_TRUE(result.out.starts_with(row.out)) << row.arg << ": " << result.out;
        EXPECT_EQ(result.err, "") << row.arg;
    }
    ::setenv("DISPLAY", display.c_str(), 1);
}

}  // namespace
