// vell gltf: the model with its skeleton, skin and every animation as one glTF 2.0 file, or
// with --each every model below a folder, each as a file of its own.
#include <cstdio>

#include "Cli.h"
#include "ModelInput.h"
#include "base/text.h"
#include "export/gltf.h"

namespace Cli {

namespace {

Export::FolderFormat ParseFormat(const std::string& text) {
    if (text == "glb") {
        return Export::FolderFormat::Glb;
    }
    if (text == "gltf") {
        return Export::FolderFormat::Gltf;
    }
    FailUsage("bad --format (want glb or gltf): " + text);
}

}  // namespace

int CmdGltf(std::span<char*> args) {
    Args a(args, {"-o", "--attach", "--ani", "--hide", "--scale", "--each", "--format", "--jobs"},
           {"--no-version-check"});
    const float scale =
        a.Has("--scale") ? ParseScale(a.Value("--scale")) : Export::kMetresPerGameUnit;
    if (a.Has("--each")) {
        ExpectPositionals(a, {"GAME_DIR"});
        Export::FolderOptions options{.scale = scale};
        options.format = a.Has("--format") ? ParseFormat(a.Value("--format")) : options.format;
        PakMgr::IPakMgr& mgr = OpenGame(a.Positionals()[0]);
        Model::versionCheck = !a.Has("--no-version-check");
        return ExportEach(a, mgr, options);
    }
    ExpectPositionals(a, {"GAME_DIR", "SKN..."});
    const std::string out = a.Required("-o");
    if (!Base::LowerAscii(out).ends_with(".glb") && !Base::LowerAscii(out).ends_with(".gltf")) {
        FailUsage("-o wants a file name ending in .glb or .gltf: " + out);
    }
    PakMgr::IPakMgr& mgr = OpenGame(a.Positionals()[0]);
    // Loading and exporting need no GL context.
    const ExportInput loaded = LoadForExport(a, mgr);
    MakeFolderFor(out);
    Export::ExportGltf(*loaded.model, out, loaded.textureFolders,
                       {.scale = scale, .animations = loaded.input.anis});
    std::printf("wrote %s\n", out.c_str());
    return kOk;
}

}  // namespace Cli
