// vell fbx: the model as vell gltf makes it, turned into FBX by Blender (in the background,
// with factory settings), or with --each every model below a folder, one Blender per worker.
#include <cstdio>

#include "Cli.h"
#include "ModelInput.h"
#include "base/text.h"
#include "export/fbx.h"

namespace Cli {

int CmdFbx(std::span<char*> args) {
    Args a(args, {"-o", "--attach", "--ani", "--hide", "--scale", "--each", "--jobs"},
           {"--no-version-check"});
    const float scale =
        a.Has("--scale") ? ParseScale(a.Value("--scale")) : Export::kMetresPerGameUnit;
    const bool each = a.Has("--each");
    if (each) {
        ExpectPositionals(a, {"GAME_DIR"});
    } else {
        ExpectPositionals(a, {"GAME_DIR", "SKN..."});
    }
    const std::string out = a.Required("-o");
    if (!each && !Base::LowerAscii(out).ends_with(".fbx")) {
        FailUsage("-o wants a file name ending in .fbx: " + out);
    }
    // Said before any work: without Blender nothing here can be done.
    if (Export::FindBlender().empty()) {
        Fail(kFailed, "fbx needs Blender: apt install blender");
    }
    if (each) {
        PakMgr::IPakMgr& mgr = OpenGame(a.Positionals()[0]);
        Model::versionCheck = !a.Has("--no-version-check");
        return ExportEach(a, mgr, {.scale = scale}, Export::ExportFolderFbx);
    }
    PakMgr::IPakMgr& mgr = OpenGame(a.Positionals()[0]);
    const ExportInput loaded = LoadForExport(a, mgr);
    MakeFolderFor(out);
    Export::ExportFbx(*loaded.model, out, loaded.textureFolders,
                      {.scale = scale, .animations = loaded.input.anis});
    std::printf("wrote %s\n", out.c_str());
    return kOk;
}

}  // namespace Cli
