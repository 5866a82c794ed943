// vell gltf: the model with its skeleton, skin and every animation as one glTF 2.0 file.
#include <cstdio>

#include "Cli.h"
#include "ModelInput.h"

namespace Cli {

namespace {

// Textures are made while skins load, so a context must exist; nothing is drawn in it.

}  // namespace

int CmdGltf(std::span<char*> args) {
    Args a(args, {"-o", "--attach", "--ani", "--hide"}, {"--no-version-check"});
    if (a.Positionals().size() < 2) {
        Fail(kUsage, "missing GAME_DIR or SKN");
    }
    const std::string out = a.Required("-o");
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
    HideSubMeshes(*model, hidden);
    // Textures are looked up below every loaded skin's folder, the attachment's too.
    std::vector<PakMgr::ITreeNode*> skins = input.skins;
    if (input.attach) {
        skins.push_back(input.attach);
    }
    model->ExportGltf(out, skins);
    std::printf("wrote %s\n", out.c_str());
    return kOk;
}

}  // namespace Cli
