// vell gltf: the model with its skeleton, skin and every animation as one glTF 2.0 file.
#include <charconv>
#include <cstdio>

#include "Cli.h"
#include "glcontext/glcontext.h"
#include "model/model.h"

namespace Cli {

namespace {

// Textures are made while skins load, so a context must exist; nothing is drawn in it.
constexpr int kContextSide = 16;

class CountNames final : public Model::IStringList {
public:
    void AddString(const std::string&) override { ++count; }
    unsigned count = 0;
};

// "I,J,..." sub-mesh positions as `vell` lists them.
std::vector<unsigned> ParseHidden(const std::string& text) {
    std::vector<unsigned> hidden;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        unsigned value = 0;
        const char* first = text.data() + start;
        const char* last = text.data() + comma;
        auto [end, ec] = std::from_chars(first, last, value);
        if (first == last || ec != std::errc() || end != last) {
            Fail(kUsage, "bad --hide (want sub-mesh numbers separated by commas): " + text);
        }
        hidden.push_back(value);
        start = comma + 1;
    }
    return hidden;
}

}  // namespace

int CmdGltf(std::span<char*> args) {
    Args a(args, {"-o", "--attach", "--ani", "--hide"}, {"--no-version-check"});
    if (a.Positionals().size() < 2) {
        Fail(kUsage, "missing GAME_DIR or SKN");
    }
    const std::string out = a.Required("-o");
    const std::vector<unsigned> hidden =
        a.Has("--hide") ? ParseHidden(a.Value("--hide")) : std::vector<unsigned>{};

    PakMgr::IPakMgr& mgr = OpenGame(a.Positionals()[0]);
    std::vector<PakMgr::ITreeNode*> skins;
    for (std::size_t i = 1; i < a.Positionals().size(); ++i) {
        skins.push_back(NodeAt(mgr, a.Positionals()[i]));
    }
    PakMgr::ITreeNode* aniNode = a.Has("--ani") ? NodeAt(mgr, a.Value("--ani")) : nullptr;
    PakMgr::ITreeNode* attachNode = a.Has("--attach") ? NodeAt(mgr, a.Value("--attach")) : nullptr;

    std::string error;
    auto context = GlContext::Headless::Create(kContextSide, kContextSide, &error);
    if (!context) {
        Fail(kFailed, "no OpenGL context for the textures: " + error);
    }
    Model::IVellModel* model = Model::GetModel();
    if (a.Has("--no-version-check")) {
        model->ToggleVersionCheck();
    }
    for (PakMgr::ITreeNode* skin : skins) {
        model->Load(skin);
    }
    if (attachNode) {
        model->LoadAttachment(attachNode);
        skins.push_back(attachNode);
    }
    if (aniNode) {
        model->LoadAnimation(aniNode);
    }
    CountNames subMeshes;
    model->EnumSubMeshes(&subMeshes);
    for (unsigned index : hidden) {
        if (index >= subMeshes.count) {
            Fail(kUsage, "no sub-mesh " + std::to_string(index) + " (the model has " +
                             std::to_string(subMeshes.count) + ")");
        }
        model->SetSubMeshVisible(index, false);
    }
    model->ExportGltf(out, skins);
    std::printf("wrote %s\n", out.c_str());
    return kOk;
}

}  // namespace Cli
