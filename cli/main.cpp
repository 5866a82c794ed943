// vell: the model browser's work from the command line.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "Cli.h"
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
    {"make-sample", Cli::CmdMakeSample, "make-sample OUT_DIR [--characters N] [--patch [all]]"},
};

void PrintUsage(std::FILE* to) {
    std::fprintf(to, "usage: vell COMMAND ARGS...\ncommands:\n");
    for (const Command& c : kCommands) {
        std::fprintf(to, "  vell %s\n", c.usage);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? Cli::kUsage : Cli::kOk;
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
            if (e.code == Cli::kUsage && e.message.rfind("missing", 0) == 0) {
                std::fprintf(stderr, "usage: vell %s\n", c.usage);
            }
            return e.code;
        } catch (const Except& e) {
            std::fflush(stdout);
            // Loader messages may quote archive names, which are code page 936.
            std::fprintf(stderr, "vell: %s\n", Base::GbkToUtf8(e.Message()).c_str());
            return Cli::kFailed;
        }
    }
    std::fprintf(stderr, "vell: unknown command: %s\n", argv[1]);
    PrintUsage(stderr);
    return Cli::kUsage;
}
