// VellModelBrowser [GAME_DIR]: the desktop viewer of the game's character models.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "CrashDump.h"
#include "Run.h"
#include "base/buildinfo.h"

namespace {

constexpr int kAnswered = 0;

// --help and --version are answered before anything of Qt exists, so they need no display.
bool AnswerHelpOrVersion(std::string_view arg) {
    if (arg == "--version") {
        std::printf("VellModelBrowser %s (commit %s)\n", BuildInfo::kVersion, BuildInfo::kCommit);
        return true;
    }
    if (arg == "--help" || arg == "-h") {
        std::printf(
            "usage: VellModelBrowser [GAME_DIR]\n"
            "       VellModelBrowser --help | --version\n"
            "The desktop viewer of the game's 3D character models: opens every *.pak archive\n"
            "of GAME_DIR (or of the folder chosen with 文件 / 打开, Ctrl+O) and shows their\n"
            "merged tree. The keys are listed in VellModelBrowser(1); vell(1) does the same\n"
            "work from the command line.\n");
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], App::kCrashPromptSwitch) == 0) {
        return App::RunCrashPrompt(argc, argv);
    }
    if (argc > 1 && AnswerHelpOrVersion(argv[1])) {
        return kAnswered;
    }
    App::InstallCrashDumpFilter();
    App::CrashIfAsked();
    return App::Run(argc, argv);
}
