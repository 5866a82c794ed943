// vell import: a glTF written by vell gltf and edited elsewhere, made the game's files again
// over the skin it was exported from, under their archive paths in a folder for vell pack.
#include <cstdio>

#include "Cli.h"
#include "ModelInput.h"
#include "base/text.h"
#include "import/import.h"

namespace Cli {

int CmdImport(std::span<char*> args) {
    Args a(args, {"--onto", "-o", "--scale", "--ani"}, {"--all", "--explain"});
    ExpectPositionals(a, {"GAME_DIR", "EDITED"});
    const std::string gltf = a.Positionals()[1];
    const std::string lower = Base::LowerAscii(gltf);
    if (!lower.ends_with(".glb") && !lower.ends_with(".gltf")) {
        FailUsage("the edited file's name must end in .glb or .gltf: " + gltf);
    }
    const std::string onto = a.Required("--onto");
    const std::string out = a.Required("-o");
    Import::ImportOptions options;
    options.scale = a.Has("--scale") ? ParseScale(a.Value("--scale")) : options.scale;
    options.all = a.Has("--all");

    PakMgr::IPakMgr& mgr = OpenGame(a.Positionals()[0]);
    PakMgr::ITreeNode* skin = NodeAt(mgr, onto);
    for (const std::string& ani : a.Values("--ani")) {
        options.animations.push_back(NodeAt(mgr, ani));
    }
    Import::ImportPlan plan;
    try {
        plan = Import::PlanImportFile(skin, gltf, options);
    } catch (const Except& e) {
        // A glTF that doesn't fit the base is what was asked for failing, whatever its kind.
        Fail(kFailed, Base::GbkToUtf8(e.Message()));
    }
    if (a.Has("--explain")) {
        for (const std::string& reason : plan.reasons) {
            std::fprintf(stderr, "explain: %s\n", reason.c_str());
        }
    }
    if (plan.files.empty()) {
        std::printf("nothing changed\n");
        return kOk;
    }
    MakeFolder(out);
    try {
        Import::WritePlan(plan, out);
    } catch (const Except& e) {
        Fail(kFailed, Base::GbkToUtf8(e.Message()));
    }
    for (const Import::ImportedFile& file : plan.files) {
        std::printf("wrote %s\n", file.path.c_str());
    }
    for (const std::string& limit : plan.limits) {
        std::printf("limit: %s\n", limit.c_str());
    }
    return kOk;
}

}  // namespace Cli
