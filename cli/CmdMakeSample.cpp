// vell make-sample: writes the sample game folder (archives with one complete character).
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "Cli.h"
#include "base/text.h"
#include "forge/sample.h"

namespace Cli {

namespace {

// Archives already in the folder join the sample when it is opened; say so.
void NoteOtherArchives(const std::string& folder, const Forge::SampleGame& game) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        const std::string lower = Base::LowerAscii(name);
        const bool ours = std::any_of(game.archives.begin(), game.archives.end(),
                                      [&](const auto& a) { return a.name == name; });
        if (!ours && lower.ends_with(".pak")) {
            std::fprintf(stderr, "vell: note: %s also holds %s, which opens with the sample\n",
                         folder.c_str(), name.c_str());
        }
    }
}

// More would take minutes and gigabytes: a crowd for trying the program at scale, not a game.
constexpr uint32_t kMostCharacters = 2000;

Forge::SampleOptions Options(const Args& args) {
    Forge::SampleOptions options;
    if (args.Has("--characters")) {
        const std::string text = args.Value("--characters");
        uint32_t count = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
        if (error != std::errc() || end != text.data() + text.size() || count > kMostCharacters) {
            FailUsage("--characters takes a number from 0 to " + std::to_string(kMostCharacters) +
                      ": " + text);
        }
        options.characters = count;
    }
    if (args.Has("--patch")) {
        options.patch = Forge::SamplePatch::Some;
    }
    return options;
}

}  // namespace

int CmdMakeSample(std::span<char*> argv) {
    // "--patch all" is one option of two words; "--patch" alone is a flag.
    std::vector<char*> rest;
    bool patchAll = false;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        if (std::string_view(argv[i]) == "--patch" && i + 1 < argv.size() &&
            std::string_view(argv[i + 1]) == "all") {
            patchAll = true;
            rest.push_back(argv[i++]);
            continue;
        }
        rest.push_back(argv[i]);
    }
    Args args(rest, {"--characters"}, {"--patch"});
    ExpectPositionals(args, {"OUT_DIR"});
    Forge::SampleOptions options = Options(args);
    if (patchAll) {
        options.patch = Forge::SamplePatch::All;
    }
    const std::string& folder = args.Positionals()[0];
    MakeFolder(folder);
    const Forge::SampleGame game = Forge::MakeSampleGame(options);
    std::size_t bytes = 0;
    try {
        bytes = Forge::SaveSampleGame(game, folder);
    } catch (const std::runtime_error& e) {
        Fail(kFailed, e.what());
    }
    NoteOtherArchives(folder, game);
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
