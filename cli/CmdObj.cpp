// vell obj: the model as the browser would show it (skins, attachment, animation frame,
// hidden sub-meshes) written as Wavefront OBJ files with their textures.
#include <charconv>
#include <cmath>

#include "Cli.h"
#include "glcontext/glcontext.h"
#include "model/model.h"

namespace Cli {

namespace {

// The main window's title, which the browser writes into every OBJ file's header.
constexpr char kTitle[] = "Vell 模型浏览器v1.0a";
// Textures are made while the skins load; their context never draws.
constexpr int kContextSide = 16;

class NameList final : public Model::IStringList {
public:
    void AddString(const std::string& name) override { names.push_back(name); }
    std::vector<std::string> names;
};

unsigned ParseIndex(std::string_view text, const char* what) {
    unsigned value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        Fail(kUsage, std::string("bad ") + what + ": " + std::string(text));
    }
    return value;
}

float ParseFrame(const std::string& text) {
    float frame = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), frame);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(frame) ||
        frame < 0) {
        Fail(kUsage, "bad --frame (want a frame number, fractions allowed): " + text);
    }
    return frame;
}

std::vector<unsigned> ParseList(const std::string& text) {
    std::vector<unsigned> indices;
    std::string_view rest(text);
    while (true) {
        const std::size_t comma = rest.find(',');
        indices.push_back(ParseIndex(rest.substr(0, comma), "--hide index"));
        if (comma == std::string_view::npos) {
            return indices;
        }
        rest.remove_prefix(comma + 1);
    }
}

}  // namespace

int CmdObj(std::span<char*> args) {
    Args a(args, {"-o", "--attach", "--ani", "--anim", "--frame", "--hide"},
           {"--no-version-check"});
    if (a.Positionals().size() < 2) {
        Fail(kUsage, "missing GAME_DIR or SKN");
    }
    const std::string outDir = a.Required("-o");
    const bool playAnimation = a.Has("--anim");
    const unsigned animation = playAnimation ? ParseIndex(a.Value("--anim"), "--anim") : 0;
    const bool setFrame = a.Has("--frame");
    const float frame = setFrame ? ParseFrame(a.Value("--frame")) : 0.0f;
    const std::vector<unsigned> hidden =
        a.Has("--hide") ? ParseList(a.Value("--hide")) : std::vector<unsigned>{};

    PakMgr::IPakMgr& mgr = OpenGame(a.Positionals()[0]);
    std::vector<PakMgr::ITreeNode*> skins;
    for (std::size_t i = 1; i < a.Positionals().size(); ++i) {
        skins.push_back(NodeAt(mgr, a.Positionals()[i]));
    }
    PakMgr::ITreeNode* attachNode = a.Has("--attach") ? NodeAt(mgr, a.Value("--attach")) : nullptr;
    PakMgr::ITreeNode* aniNode = a.Has("--ani") ? NodeAt(mgr, a.Value("--ani")) : nullptr;
    MakeFolder(outDir);

    std::string error;
    auto context = GlContext::Headless::Create(kContextSide, kContextSide, &error);
    if (!context) {
        Fail(kFailed, "no OpenGL context for textures: " + error);
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
    }
    model->LoadAnimation(aniNode);
    if (playAnimation) {
        NameList animations;
        model->EnumAnimations(&animations);
        if (animation > animations.names.size()) {
            Fail(kUsage, "no animation " + std::to_string(animation) + " (there are " +
                             std::to_string(animations.names.size()) + ")");
        }
        model->PlayAnimation(animation);
    }
    if (setFrame) {
        model->PoseAt(frame);
    }
    NameList subMeshes;
    model->EnumSubMeshes(&subMeshes);
    for (unsigned index : hidden) {
        if (index >= subMeshes.names.size()) {
            Fail(kUsage, "no sub-mesh " + std::to_string(index) + " (there are " +
                             std::to_string(subMeshes.names.size()) + ")");
        }
        model->SetSubMeshVisible(index, false);
    }
    model->ExportObj(PakMgr::Utf8ToGbk(kTitle), skins.back(), outDir);
    return kOk;
}

}  // namespace Cli
