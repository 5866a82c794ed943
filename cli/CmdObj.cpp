// vell obj: the model as the browser would show it (skins, attachment, animation frame,
// hidden sub-meshes) written as Wavefront OBJ files with their textures; with --mtl also
// materials for other tools; with --each every model below a folder.
#include "Cli.h"
#include "ModelInput.h"
#include "base/text.h"

namespace Cli {

namespace {

// The main window's title, which the browser writes into every OBJ file's header.
constexpr char kTitle[] = "Vell 模型浏览器v1.0a";
// Textures are made while the skins load; their context never draws.

}  // namespace

int CmdObj(std::span<char*> args) {
    Args a(args, {"-o", "--attach", "--ani", "--anim", "--frame", "--hide", "--each", "--jobs"},
           {"--no-version-check", "--mtl"});
    if (a.Has("--each")) {
        ExpectPositionals(a, {"GAME_DIR"});
        PakMgr::IPakMgr& mgr = OpenGame(a.Positionals()[0]);
        Model::versionCheck = !a.Has("--no-version-check");
        return ExportEach(a, mgr,
                          {.format = Export::FolderFormat::Obj,
                           .mtl = a.Has("--mtl"),
                           .comment = Base::Utf8ToGbk(kTitle)});
    }
    if (a.Values("--ani").size() > 1) {
        FailUsage("obj takes one --ani");
    }
    ExpectPositionals(a, {"GAME_DIR", "SKN..."});
    const std::string outDir = a.Required("-o");
    const bool playAnimation = a.Has("--anim");
    const unsigned animation = playAnimation ? ParseIndex(a.Value("--anim"), "--anim") : 0;
    const bool setFrame = a.Has("--frame");
    const float frame = setFrame ? ParseFrame(a.Value("--frame")) : 0.0f;
    if (setFrame && !(a.Has("--ani") && playAnimation)) {
        FailUsage("--frame poses an animation: it needs --ani ANI and --anim N");
    }
    const std::vector<unsigned> hidden = a.Has("--hide")
                                             ? ParseIndexList(a.Value("--hide"), "--hide index")
                                             : std::vector<unsigned>{};

    PakMgr::IPakMgr& mgr = OpenGame(a.Positionals()[0]);
    const ModelInput input = FindModelInput(a, mgr);
    // Loading and exporting need no GL context.
    const std::unique_ptr<Model::IVellModel> owned = Model::CreateModel();
    Model::IVellModel* model = owned.get();
    if (a.Has("--no-version-check")) {
        model->ToggleVersionCheck();
    }
    LoadModel(*model, input);
    if (playAnimation) {
        PlayAnimation(*model, animation);
    }
    if (setFrame) {
        PoseAtFrame(*model, animation, frame, a.Value("--frame"));
    }
    HideSubMeshes(*model, hidden);
    // Only a command that will write leaves a folder behind.
    MakeFolder(outDir);
    std::vector<PakMgr::CutNames::Renamed> renamed;
    model->ExportObj(Base::Utf8ToGbk(kTitle), input.skins.back(), outDir, a.Has("--mtl"), &renamed);
    for (const PakMgr::CutNames::Renamed& r : renamed) {
        std::fprintf(stderr, "vell: renamed %s to %s/%s: its name was taken\n", r.source.c_str(),
                     outDir.c_str(), r.name.c_str());
    }
    if (!renamed.empty()) {
        std::printf("%zu renamed\n", renamed.size());
    }
    return kOk;
}

}  // namespace Cli
