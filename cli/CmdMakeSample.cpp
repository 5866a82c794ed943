// vell make-sample: writes the sample game folder (archives with one complete character).
#include <cstdio>
#include <stdexcept>

#include "Cli.h"
#include "forge/sample.h"

namespace Cli {

int CmdMakeSample(std::span<char*> argv) {
    Args args(argv, {}, {});
    if (args.Positionals().size() != 1) {
        Fail(kUsage, args.Positionals().empty() ? "missing OUT_DIR" : "too many arguments");
    }
    const std::string& folder = args.Positionals()[0];
    MakeFolder(folder);
    const Forge::SampleGame game = Forge::MakeSampleGame();
    std::size_t bytes = 0;
    try {
        bytes = Forge::SaveSampleGame(game, folder);
    } catch (const std::runtime_error& e) {
        Fail(kFailed, e.what());
    }
    std::size_t entries = 0;
    for (const Forge::SampleArchive& archive : game.archives) {
        entries += archive.files.size();
        std::printf("%s: %zu files\n", archive.name.c_str(), archive.files.size());
    }
    std::printf("%zu files in %zu archives, %.1f MB, in %s\n", entries, game.archives.size(),
                double(bytes) / (1024.0 * 1024.0), folder.c_str());
    return kOk;
}

}  // namespace Cli
