// VellModelBrowser [GAME_DIR]: the desktop viewer of the game's character models.
#include <cstring>

#include "CrashDump.h"
#include "Run.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], App::kCrashPromptSwitch) == 0) {
        return App::RunCrashPrompt(argc, argv);
    }
    App::InstallCrashDumpFilter();
    App::CrashIfAsked();
    return App::Run(argc, argv);
}
