// The crash report of the real program: a deliberate crash in its test mode, the question
// answered through the prompt-only copy of the program.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iomanip>
#include <regex>
#include <sstream>
#include <string>

#include "CrashDump.h"
#include "Language.h"
#include "TestUtil.h"
#include "forge/pak.h"

namespace {

// The settings of the program run by a test: in a folder of their own, with the language
// given remembered (none: nothing remembered).
class ProgramSettings {
public:
    explicit ProgramSettings(const char* language) {
        ::setenv("XDG_CONFIG_HOME", m_dir.Path().c_str(), 1);
        if (language) {
            QSettings settings(QString::fromStdString(m_dir / "Vell/VellModelBrowser.conf"),
                               QSettings::IniFormat);
            settings.setValue(QStringLiteral("language"), QString::fromLatin1(language));
        }
    }
    ~ProgramSettings() { ::unsetenv("XDG_CONFIG_HOME"); }
    ProgramSettings(const ProgramSettings&) = delete;
    ProgramSettings& operator=(const ProgramSettings&) = delete;

private:
    TestUtil::TempDir m_dir;
};

// Runs the program in `folder` with a crash switch and the prompt's answer; a hang ends
// after a generous minute instead of blocking the suite.
TestUtil::RunResult CrashIn(const std::string& folder, const char* crash, const char* answer,
                            const char* language) {
    const ProgramSettings settings(language);
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
    const char* language;  // remembered, or null
    const char* prompt;    // the question asked
};

constexpr const char* kChinesePrompt = "程序即将崩溃，是否保存dump文件?";

TEST(CrashReport, AnswerDecidesTheDumpAndNothingHangs) {
    const CrashRow rows[] = {
        {"0x18", "yes", SIGSEGV, "address 0x18\n", "CrashIfAsked", nullptr, kChinesePrompt},
        {"0x18", "no", SIGSEGV, nullptr, nullptr, "zh_CN", kChinesePrompt},
        // The prompt's own process speaks the language remembered.
        {"0x18", "no", SIGSEGV, nullptr, nullptr, "en",
         "The program is about to crash. Save a dump file?"},
        // The name tells the time of the crash, not of the answer.
        {"0x18", "yes:3", SIGSEGV, "address 0x18\n", "CrashIfAsked", nullptr, kChinesePrompt},
        // malloc aborts holding its lock: the prompt is still reached.
        {"heap", "yes", SIGABRT, nullptr, "malloc", nullptr, kChinesePrompt},
    };
    for (const CrashRow& row : rows) {
        TestUtil::TempDir dir;
        const std::time_t started = std::time(nullptr);
        const auto result = CrashIn(dir.Path(), row.crash, row.answer, row.language);
        EXPECT_EQ(result.exitCode, 128 + row.signal) << row.crash << result.err;
        EXPECT_NE(result.err.find(std::string("crash prompt: ") + row.prompt + "\n"),
                  std::string::npos)
            << result.err;
        // Nothing but the dump is written there.
        const auto dumps = TestUtil::FilesIn(dir.Path());
        if (std::string(row.answer) == "no") {
            EXPECT_TRUE(dumps.empty());
            continue;
        }
        ASSERT_EQ(dumps.size(), 1u) << row.crash;
        const std::string& name = dumps[0];
        EXPECT_TRUE(std::regex_match(name, std::regex(R"(\d{4}-\d\d-\d\d \d\d\.\d\d\.\d\d\.dmp)")))
            << name;
        // The program crashes as it starts; a slow start may take a second or two.
        EXPECT_GE(DumpTime(name), started) << name;
        EXPECT_LE(DumpTime(name), started + 2) << name;
        const std::string text = TestUtil::ReadText(dir / name);
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

// The crash question as the user sees it, in the language in use: its text and buttons,
// answered by a click.
TEST(CrashReport, QuestionSpeaksTheLanguageAndTakesAClick) {
    struct Row {
        App::Language language;
        const char* question;
        const char* no;
        const char* yes;
    };
    const Row rows[] = {
        {App::Language::Chinese, "程序即将崩溃，是否保存dump文件?", "否", "是"},
        {App::Language::English, "The program is about to crash. Save a dump file?", "No", "Yes"},
    };
    for (const Row& row : rows) {
        App::InstallTranslations(row.language);
        QStringList buttons;
        QString question;
        QTimer click;
        QObject::connect(&click, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) {
                return;
            }
            click.stop();
            question = box->text();
            for (QAbstractButton* button : box->buttons()) {
                buttons << button->text();
            }
            QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
        });
        click.start(10);
        EXPECT_EQ(App::AskAboutCrash(), App::kPromptAnswerNo);
        EXPECT_EQ(question, QString::fromUtf8(row.question));
        EXPECT_EQ(buttons.size(), 2);
        EXPECT_TRUE(buttons.contains(QString::fromUtf8(row.no))) << row.no;
        EXPECT_TRUE(buttons.contains(QString::fromUtf8(row.yes))) << row.yes;
    }
    App::InstallTranslations(App::Language::Chinese);
}

// The whole program: started with a game folder, closed through its exit question; a start
// folder without archives is reported.
// The language remembered is the one it starts in; "where is the game ?!" is the same in
// both.
TEST(ProgramRun, StartFolderOpensOrIsReportedAndCloseEndsWithOne) {
    struct Row {
        const char* language;  // remembered, or null
        const char* question;  // the exit question
    };
    const Row rows[] = {{nullptr, "确定要退出吗？     "},
                        {"en", "Do you really want to quit?     "}};
    TestUtil::TempDir game;
    TestUtil::TempDir empty;
    Forge::SavePak(game / "data.pak", {{"\\docs\\readme.txt", Forge::Bytes("hi")}});
    for (const Row& row : rows) {
        const ProgramSettings settings(row.language);
        ::setenv("VELL_TEST_CLOSE", "1", 1);
        const TestUtil::RunResult opened = TestUtil::Run(VELL_APP_BINARY, {game.Path()});
        const TestUtil::RunResult missing = TestUtil::Run(VELL_APP_BINARY, {empty.Path()});
        ::unsetenv("VELL_TEST_CLOSE");
        EXPECT_EQ(opened.exitCode, 1);
        EXPECT_EQ(opened.err.find("where is the game"), std::string::npos) << opened.err;
        EXPECT_NE(opened.err.find(std::string("message: ") + row.question + "\n"),
                  std::string::npos)
            << opened.err;
        EXPECT_EQ(missing.exitCode, 1);
        EXPECT_NE(missing.err.find("message: where is the game ?!\n"), std::string::npos)
            << missing.err;
    }
}

// Nothing remembered, the program speaks Chinese whatever the locale says: English ones
// (LANG, or LC_ALL over it) included. Qt takes the locale's name from these variables, so
// the rows hold whether or not the machine has the locale installed.
TEST(ProgramRun, ChineseWhateverTheLocale) {
    struct Row {
        const char* variable;
        const char* locale;
    };
    const Row rows[] = {
        {"LANG", "en_US.UTF-8"}, {"LC_ALL", "en_US.UTF-8"}, {"LANG", "en_GB.UTF-8"}};
    TestUtil::TempDir game;
    Forge::SavePak(game / "data.pak", {{"\\docs\\readme.txt", Forge::Bytes("hi")}});
    const std::string lang = std::getenv("LANG") ? std::getenv("LANG") : "";
    for (const Row& row : rows) {
        const ProgramSettings settings(nullptr);
        for (const char* variable : {"LANG", "LC_ALL", "LC_MESSAGES", "LANGUAGE"}) {
            ::unsetenv(variable);
        }
        ::setenv(row.variable, row.locale, 1);
        ::setenv("VELL_TEST_CLOSE", "1", 1);
        const TestUtil::RunResult run = TestUtil::Run(VELL_APP_BINARY, {game.Path()});
        ::unsetenv("VELL_TEST_CLOSE");
        ::unsetenv(row.variable);
        if (!lang.empty()) {
            ::setenv("LANG", lang.c_str(), 1);
        }
        EXPECT_EQ(run.exitCode, 1) << row.variable << "=" << row.locale << ": " << run.err;
        EXPECT_NE(run.err.find("message: 确定要退出吗？     \n"), std::string::npos)
            << row.variable << "=" << row.locale << ": " << run.err;
    }
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

// A command line the program doesn't take is said before a window opens, and a missing
// display is one line: both exit 2, never a window on nothing nor an abort.
TEST(ProgramRun, WrongCommandLinesAndNoDisplayAreUsageErrors) {
    struct Row {
        std::vector<std::string> args;
        bool display;
        const char* err;  // what stderr starts with
        bool usage;       // the usage follows
    };
    TestUtil::TempDir game;
    Forge::SavePak(game / "data.pak", {{"\\docs\\readme.txt", Forge::Bytes("hi")}});
    const Row rows[] = {
        {{"--bogus"}, true, "VellModelBrowser: unknown option: --bogus\n", true},
        {{"-x", game.Path()}, true, "VellModelBrowser: too many arguments: ", true},
        {{game.Path(), game.Path()}, true, "VellModelBrowser: too many arguments: ", true},
        {{"--bogus"}, false, "VellModelBrowser: unknown option: --bogus\n", true},
        {{game.Path()}, false, "VellModelBrowser: can't open a display", false},
        {{}, false, "VellModelBrowser: can't open a display", false},
    };
    const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    ::setenv("VELL_TEST_CLOSE", "1", 1);
    for (const Row& row : rows) {
        if (!row.display) {
            ::unsetenv("DISPLAY");
        }
        const TestUtil::RunResult result = TestUtil::Run(VELL_APP_BINARY, row.args);
        ::setenv("DISPLAY", display.c_str(), 1);
        const std::string shown = row.args.empty() ? "(none)" : row.args[0];
        EXPECT_EQ(result.exitCode, 2) << shown << ": " << result.err;
        EXPECT_TRUE(result.err.starts_with(row.err)) << shown << ": " << result.err;
        const std::size_t lines =
            static_cast<std::size_t>(std::count(result.err.begin(), result.err.end(), '\n'));
        if (row.usage) {
            EXPECT_NE(result.err.find("\nusage: VellModelBrowser [GAME_DIR]\n"), std::string::npos)
                << shown;
        } else {
            EXPECT_EQ(lines, 1u) << shown << ": " << result.err;
        }
        EXPECT_EQ(result.out, "") << shown;
    }
    ::unsetenv("VELL_TEST_CLOSE");
}

}  // namespace
