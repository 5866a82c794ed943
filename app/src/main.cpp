// VellModelBrowser [GAME_DIR]: the desktop viewer of the game's character models.
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <string_view>

#include "CrashDump.h"
#include "Language.h"
#include "Run.h"
#include "base/buildinfo.h"

namespace {

constexpr int kAnswered = 0;
// Buffers from this size on (a texture decoded, an archived file read whole) are mapped
// for themselves and given back when freed. Left to itself, the allocator raises the
// size after the first large buffer freed and then keeps megabytes of freed buffers in its
// heap, so that the memory the viewer holds swings by megabytes from one model to the next.
constexpr int kMappedBufferBytes = 256 << 10;
constexpr int kUsageError = 2;

constexpr const char* kUsage =
    "usage: VellModelBrowser [GAME_DIR]\n"
    "       VellModelBrowser --help | --version\n";

// --help and --version are answered before anything of Qt exists, so they need no display.
bool AnswerHelpOrVersion(std::string_view arg) {
    if (arg == "--version") {
        std::printf("VellModelBrowser %s (commit %s)\n", BuildInfo::kVersion, BuildInfo::kCommit);
        return true;
    }
    if (arg == "--help" || arg == "-h") {
        std::printf(
            "%s"
            "The desktop viewer of the game's 3D character models: opens every *.pak archive\n"
            "of GAME_DIR (or of the folder chosen with 文件 / 打开, Ctrl+O) and shows their\n"
            "merged tree. The keys are listed in VellModelBrowser(1); vell(1) does the same\n"
            "work from the command line.\n",
            kUsage);
        return true;
    }
    return false;
}

// The command line takes one game folder at most and no other option: anything else is
// said before a window opens (a mistyped option must not open the program on nothing).
bool UsageIsWrong(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "VellModelBrowser: too many arguments: %s\n%s", argv[2], kUsage);
        return true;
    }
    const std::string_view arg = argc > 1 ? argv[1] : "";
    if (arg.size() > 1 && arg[0] == '-') {
        std::fprintf(stderr, "VellModelBrowser: unknown option: %s\n%s", argv[1], kUsage);
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
    if (UsageIsWrong(argc, argv)) {
        return kUsageError;
    }
    mallopt(M_MMAP_THRESHOLD, kMappedBufferBytes);
    App::InstallCrashDumpFilter();
    // The crash prompt speaks the language last chosen from the start.
    App::SetIdentity();
    App::SetCrashPromptLanguage(App::RememberedLanguage());
    App::CrashIfAsked();
    return App::Run(argc, argv);
}
