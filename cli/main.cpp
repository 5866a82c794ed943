// vell: the model browser's work from the command line.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

#include "Cli.h"
#include "base/buildinfo.h"
#include "base/text.h"

namespace {

struct Command {
    const char* name;
    int (*run)(std::span<char*> args);
    const char* usage;
};

constexpr Command kCommands[] = {
    {"list", Cli::CmdList, "list GAME_DIR"},
    {"tree", Cli::CmdTree, "tree GAME_DIR"},
    {"extract", Cli::CmdExtract, "extract GAME_DIR (PATH... | --all) -o OUT_DIR"},
    {"info", Cli::CmdInfo, "info GAME_DIR PATH [--no-version-check]"},
    {"texture", Cli::CmdTexture, "texture GAME_DIR DDS_PATH -o FILE.png"},
    {"frames", Cli::CmdFrames,
     "frames GAME_DIR SKN... --ani ANI --anim N -o OUT_DIR [--size WxH] [--fps F] [--attach SKN]"},
    {"obj", Cli::CmdObj,
     "obj GAME_DIR SKN... -o OUT_DIR [--attach SKN] [--ani ANI] [--anim N] [--frame F] "
     "[--hide I,J,...] [--mtl] [--no-version-check]\n"
     "  vell obj GAME_DIR --each FOLDER -o OUT_DIR [--mtl] [--jobs N] [--no-version-check]"},
    {"gltf", Cli::CmdGltf,
     "gltf GAME_DIR SKN... -o FILE.glb|FILE.gltf [--attach SKN] [--ani ANI]... "
     "[--hide I,J,...] [--scale S] [--no-version-check]\n"
     "  vell gltf GAME_DIR --each FOLDER -o OUT_DIR [--format glb|gltf] [--scale S] [--jobs N] "
     "[--no-version-check]"},
    {"which", Cli::CmdWhich, "which GAME_DIR PATH"},
    {"diff", Cli::CmdDiff, "diff OLD_GAME_DIR NEW_GAME_DIR [--extract OUT_DIR]"},
    {"make-sample", Cli::CmdMakeSample, "make-sample OUT_DIR [--characters N] [--patch [all]]"},
    {"pack", Cli::CmdPack,
     "pack FOLDER (-o FILE.pak | --game GAME_DIR [--name NAME]) [--game GAME_DIR] "
     "[--level 1..12] [--jobs N] [--split]"},
    {"mods", Cli::CmdMods, "mods GAME_DIR"},
};

void PrintUsage(std::FILE* to) {
    std::fprintf(to,
                 "usage: vell COMMAND ARGS...\n"
                 "       vell help [COMMAND] | vell COMMAND --help | vell --version\n"
                 "commands:\n");
    for (const Command& c : kCommands) {
        std::fprintf(to, "  vell %s\n", c.usage);
    }
}

const Command* FindCommand(std::string_view name) {
    const auto* c = std::find_if(std::begin(kCommands), std::end(kCommands),
                                 [&](const Command& command) { return name == command.name; });
    return c != std::end(kCommands) ? c : nullptr;
}

bool IsHelp(std::string_view arg) {
    return arg == "--help" || arg == "-h";
}

void PrintCommandUsage(const Command& command) {
    std::printf("usage: vell %s\n", command.usage);
}

// The answer to `help [COMMAND]`: usage on stdout, or a usage error.
int Help(std::span<char*> args) {
    if (args.empty()) {
        PrintUsage(stdout);
        return Cli::kOk;
    }
    const Command* command = args.size() == 1 ? FindCommand(args[0]) : nullptr;
    if (!command) {
        std::fprintf(stderr, "vell: help wants one of the commands\n");
        PrintUsage(stderr);
        return Cli::kUsage;
    }
    PrintCommandUsage(*command);
    return Cli::kOk;
}

// --version, --help, help [COMMAND] and COMMAND --help are answered on stdout with status 0;
// nothing for any other command line.
std::optional<int> AnswerHelpOrVersion(std::span<char*> args) {
    const std::string_view first = args[0];
    if (first == "--version") {
        std::printf("vell %s (commit %s)\n", BuildInfo::kVersion, BuildInfo::kCommit);
        return Cli::kOk;
    }
    if (IsHelp(first)) {
        PrintUsage(stdout);
        return Cli::kOk;
    }
    if (first == "help") {
        return Help(args.subspan(1));
    }
    const Command* command = FindCommand(first);
    if (command && std::any_of(args.begin() + 1, args.end(), IsHelp)) {
        PrintCommandUsage(*command);
        return Cli::kOk;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return Cli::kUsage;
    }
    if (const auto answered =
            AnswerHelpOrVersion(std::span<char*>(argv + 1, static_cast<std::size_t>(argc - 1)))) {
        return *answered;
    }
    for (const Command& c : kCommands) {
        if (std::string_view(argv[1]) != c.name) {
            continue;
        }
        try {
            return c.run(std::span<char*>(argv + 2, static_cast<std::size_t>(argc - 2)));
        } catch (const Cli::Exit& e) {
            std::fflush(stdout);
            std::fprintf(stderr, "vell: %s\n", e.message.c_str());
            if (e.showUsage) {
                std::fprintf(stderr, "usage: vell %s\n", c.usage);
            }
            return e.code;
        } catch (const Except& e) {
            std::fflush(stdout);
            // Loader messages may quote archive names, which are code page 936.
            std::fprintf(stderr, "vell: %s\n", Base::GbkToUtf8(e.Message()).c_str());
            return Cli::ExitCodeOf(e);
        } catch (...) {
            // Memory running out, or anything else thrown: said, never a crash.
            std::fflush(stdout);
            std::fprintf(stderr, "vell: %s\n", Base::Describe(std::current_exception()).c_str());
            return Cli::kFailed;
        }
    }
    std::fprintf(stderr, "vell: unknown command: %s\n", argv[1]);
    PrintUsage(stderr);
    return Cli::kUsage;
}
