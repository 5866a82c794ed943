// vell: the model browser's work from the command line.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Cli.h"
#include "base/buildinfo.h"
#include "base/text.h"

namespace {

// A command: its name, what runs it, its usage (the lines after "vell "), and one sentence
// saying what it does. `vell help COMMAND` prints them with a line for each option the usage
// names, from kOptions; the man page and the README are checked against them.
struct Command {
    const char* name;
    int (*run)(std::span<char*> args);
    const char* usage;
    const char* what;
};

constexpr Command kCommands[] = {
    {"list", Cli::CmdList, "list GAME_DIR",
     "One line per archive entry, duplicates included: index, inflated and stored sizes, "
     "offset, archive and path, then the number of entries and of archives read."},
    {"tree", Cli::CmdTree, "tree GAME_DIR",
     "The merged directory tree the viewer shows, with each node's entry index."},
    {"extract", Cli::CmdExtract, "extract GAME_DIR (PATH... | --all) -o OUT_DIR",
     "Copies files out of the archives as stored; a folder is copied whole with everything "
     "below it."},
    {"info", Cli::CmdInfo, "info GAME_DIR PATH [--no-version-check]",
     "The header and tables of a .msh, .skn, .ani or .dds file, one key = value a line."},
    {"texture", Cli::CmdTexture, "texture GAME_DIR DDS_PATH -o FILE.png",
     "A DDS texture decoded in software and written as PNG."},
    {"frames", Cli::CmdFrames,
     "frames GAME_DIR SKN... --ani ANI --anim N -o OUT_DIR [--size WxH] [--fps F] [--attach SKN]",
     "Every frame of an animation drawn as the viewer draws it, as BMP pictures named "
     "00000000.bmp, 00000001.bmp, ..."},
    {"render", Cli::CmdRender,
     "render GAME_DIR SKN... -o FILE.png|FILE.gif|FILE.webp|FILE.mp4|FILE.webm [--size WxH] "
     "[--ani ANI --anim N [--frame F]] [--turntable [SECONDS]] [--transparent] [--light] "
     "[--grid] [--camera YAW,PITCH,DISTANCE] [--attach SKN]",
     "The model drawn as the viewer frames it, the picture its gallery shows: a PNG at rest "
     "or at one frame, or the animation (or a turn around the model) as an animated GIF or "
     "WebP, an MP4 or a WebM video."},
    {"obj", Cli::CmdObj,
     "obj GAME_DIR SKN... -o OUT_DIR [--attach SKN] [--ani ANI] [--anim N] [--frame F] "
     "[--hide I,J,...] [--mtl] [--no-version-check]\n"
     "  vell obj GAME_DIR --each FOLDER -o OUT_DIR [--mtl] [--jobs N] [--no-version-check]",
     "One OBJ file per visible sub-mesh with a copy of its texture, as the viewer writes them."},
    {"gltf", Cli::CmdGltf,
     "gltf GAME_DIR SKN... -o FILE.glb|FILE.gltf [--attach SKN] [--ani ANI]... "
     "[--hide I,J,...] [--scale S] [--no-version-check]\n"
     "  vell gltf GAME_DIR --each FOLDER -o OUT_DIR [--format glb|gltf] [--scale S] [--jobs N] "
     "[--no-version-check]",
     "The model with skeleton, skin weights, textures and every animation as glTF 2.0, in "
     "metres."},
    {"fbx", Cli::CmdFbx,
     "fbx GAME_DIR SKN... -o FILE.fbx [--attach SKN] [--ani ANI]... [--hide I,J,...] "
     "[--scale S] [--no-version-check]\n"
     "  vell fbx GAME_DIR --each FOLDER -o OUT_DIR [--scale S] [--jobs N] [--no-version-check]",
     "The model of gltf as FBX, made by Blender in the background: mesh, skin, armature, every "
     "animation as an action and the textures inside the file."},
    {"which", Cli::CmdWhich, "which GAME_DIR PATH",
     "Every record of the archives that holds the path, in the columns of list, the one the "
     "tree reads first; status 1 when no record holds it."},
    {"diff", Cli::CmdDiff, "diff OLD_GAME_DIR NEW_GAME_DIR [--extract OUT_DIR]",
     "What an update changed: per path of the merged trees + added, - removed or M changed "
     "(the inflated bytes differ), in byte order of the paths, then the counts."},
    {"make-sample", Cli::CmdMakeSample, "make-sample OUT_DIR [--characters N] [--patch [all]]",
     "Writes the sample game, five archives with about 35,000 files and one complete "
     "character: the same bytes on every run with the same options."},
    {"import", Cli::CmdImport,
     "import GAME_DIR EDITED.glb|EDITED.gltf --onto SKN -o OUT_DIR [--ani ANI]... [--scale S] "
     "[--all] [--explain]",
     "A glTF that gltf wrote, edited elsewhere, as the game's files it changes (mesh, skin, "
     "textures, animations) under their archive paths in OUT_DIR for pack; one line per file "
     "written, or \"nothing changed\"."},
    {"pack", Cli::CmdPack,
     "pack FOLDER -o FILE.pak | --game GAME_DIR [--name NAME] [--level 1..12] [--jobs N] "
     "[--split]",
     "A mod: every regular file below FOLDER under its relative path in one new archive, names "
     "in code page 936, records in byte order of path (the same bytes on every run), written "
     "whole or not at all."},
    {"mods", Cli::CmdMods, "mods GAME_DIR",
     "Every archive that overrides files of another, its overrides and the archives under "
     "them; then each path held by two or more of them, and which one wins."},
};

constexpr Command kHelp = {"help", nullptr, "help [COMMAND]",
                           "The usage of every command, or of one, with a line per option."};

// What each option does, whichever command takes it; its value as the man page names it.
struct Option {
    const char* name;
    const char* value;
    const char* what;
};

constexpr Option kOptions[] = {
    {"-o", "OUT_DIR|FILE",
     "Where the output goes: a folder, or a file for texture, gltf, fbx, render and pack; a "
     "folder missing is made, with the folders above it."},
    {"--all", "",
     "Every file of the archives; for import, every file of the base model, an unchanged one "
     "as the base's own bytes."},
    {"--onto", "SKN",
     "The skin the glTF was exported from: the base whose files the import makes again."},
    {"--explain", "", "Says on stderr why each file differs from the base."},
    {"--ani", "ANI", "An animation file whose skeleton poses the model."},
    {"--anim", "N",
     "The animation to pose or draw, 1 for the first in the file; 0 is the bind pose."},
    {"--frame", "F",
     "The frame of the --anim animation to pose, from 0 to its last, fractions allowed."},
    {"--attach", "SKN",
     "A skin hung on the hand's bone, as the viewer's attachment; the plain OBJ files leave it "
     "out, those of --mtl hold it."},
    {"--hide", "I,J,...", "Sub-meshes left out, counted from 0."},
    {"--mtl", "",
     "For other tools: the attachment is written too, and each OBJ file also gets a .mtl naming "
     "a PNG copy of its texture and its glow."},
    {"--scale", "S",
     "Multiplies every length of the game's units (centimetres); 0.01 by default, which gives "
     "metres, as glTF counts them; import divides by it again."},
    {"--each", "FOLDER",
     "Every skin below FOLDER that loads as a whole model, exported on its own at its folder "
     "path below OUT_DIR."},
    {"--format", "glb|gltf", "The kind of file written for each model; glb by default."},
    {"--jobs", "N",
     "Models exported (files compressed) at once, 1 to 64, fbx with a Blender each; the number "
     "of cores by default."},
    {"--level", "N", "The compression level, 1 (fastest) to 12 (smallest); 6 by default."},
    {"--split", "",
     "An archive that would pass 4 GiB goes on in NAME_1.pak, NAME_2.pak, ... instead of being "
     "refused."},
    {"--game", "GAME_DIR",
     "The game the mod is for: checked against, and written into without -o."},
    {"--name", "NAME", "The archive's name in the game's folder; the folder's name by default."},
    {"--size", "WxH",
     "The pictures' size, 1 to 16384 pixels each way (render: 8192, even for a video); "
     "640x480 by default."},
    {"--turntable", "[SECONDS]",
     "A full turn of the camera around the model at rest (or at --frame) instead of the "
     "animation, in 4 seconds unless given, 25 pictures a second."},
    {"--transparent", "",
     "A transparent background, the colours in straight alpha (PNG, WebP; GIF keeps pixels "
     "under half cover transparent)."},
    {"--light", "", "One light from the eye, as the viewer's 光照."},
    {"--grid", "", "The ground grid under the model, as the viewer's 地面网格."},
    {"--camera", "YAW,PITCH,DISTANCE",
     "Where the camera looks from, as the view's mouse turns it: degrees about the upright "
     "and the level axis, and the eye's distance in the game's units (centimetres)."},
    {"--fps", "F",
     "The animation's speed in frames per second, as the viewer's speed slider; 0 pauses."},
    {"--no-version-check", "", "Reads model files of versions the viewer does not know."},
    {"--characters", "N",
     "N more characters made from the hero's generator, each with its own name, size, colours "
     "and skeleton, in one more archive (at most 2000)."},
    {"--patch", "[all]",
     "The sample as an update leaves it: a few files changed, added and removed, and an "
     "archive that overrides copies of the others; with all, every file changed."},
    {"--extract", "OUT_DIR",
     "Also writes the added and changed files of the new game under their paths, with the "
     "names that extract gives them."},
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

// The options a usage names ("-o", "--ani"...), in the order it first names them.
std::vector<std::string_view> OptionsOf(std::string_view usage) {
    std::vector<std::string_view> options;
    while (!usage.empty()) {
        const std::size_t end = std::min(usage.find_first_of(" \n"), usage.size());
        std::string_view word = usage.substr(0, end);
        usage.remove_prefix(std::min(end + 1, usage.size()));
        word.remove_prefix(std::min(word.find_first_not_of("[("), word.size()));
        word = word.substr(0, word.find_first_of("])."));
        const bool option = word.size() > 1 && word[0] == '-' && word != "--";
        if (option && std::find(options.begin(), options.end(), word) == options.end()) {
            options.push_back(word);
        }
    }
    return options;
}

const Option* FindOption(std::string_view name) {
    const auto* o = std::find_if(std::begin(kOptions), std::end(kOptions),
                                 [&](const Option& option) { return name == option.name; });
    return o != std::end(kOptions) ? o : nullptr;
}

// The usage, what the command does, and a line per option.
void PrintCommandUsage(const Command& command) {
    std::printf("usage: vell %s\n\n%s\n", command.usage, command.what);
    std::vector<std::pair<std::string, const char*>> lines;
    std::size_t width = 0;
    for (std::string_view name : OptionsOf(command.usage)) {
        if (const Option* option = FindOption(name)) {
            std::string head(name);
            if (*option->value) {
                head += ' ';
                head += option->value;
            }
            width = std::max(width, head.size());
            lines.emplace_back(std::move(head), option->what);
        }
    }
    if (!lines.empty()) {
        std::printf("\noptions:\n");
    }
    for (const auto& [head, what] : lines) {
        std::printf("  %-*s  %s\n", static_cast<int>(width), head.c_str(), what);
    }
}

// The answer to `help [COMMAND]`: usage on stdout, or a usage error.
int Help(std::span<char*> args) {
    if (args.empty()) {
        PrintUsage(stdout);
        return Cli::kOk;
    }
    const Command* command = args.size() != 1                          ? nullptr
                             : args[0] == std::string_view(kHelp.name) ? &kHelp
                                                                       : FindCommand(args[0]);
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
