#include "ModelInput.h"

#include <charconv>

namespace Cli {

namespace {

class CountNames final : public Model::IStringList {
public:
    void AddString(const std::string&) override { ++count; }
    unsigned count = 0;
};

}  // namespace

ModelInput FindModelInput(const Args& args, PakMgr::IPakMgr& mgr) {
    ModelInput input;
    for (std::size_t i = 1; i < args.Positionals().size(); ++i) {
        input.skins.push_back(NodeAt(mgr, args.Positionals()[i]));
    }
    if (args.Has("--attach")) {
        input.attach = NodeAt(mgr, args.Value("--attach"));
    }
    if (args.Has("--ani")) {
        input.ani = NodeAt(mgr, args.Value("--ani"));
    }
    return input;
}

std::unique_ptr<GlContext::Headless> MakeContext(int width, int height) {
    std::string error;
    auto context = GlContext::Headless::Create(width, height, &error);
    if (!context) {
        Fail(kFailed, error.empty() ? "no OpenGL context" : error);
    }
    return context;
}

void LoadModel(Model::IVellModel& model, const ModelInput& input) {
    for (PakMgr::ITreeNode* skin : input.skins) {
        model.Load(skin);
    }
    if (input.attach) {
        model.LoadAttachment(input.attach);
    }
    if (input.ani) {
        model.LoadAnimation(input.ani);
    }
}

unsigned ParseIndex(std::string_view text, const char* option) {
    unsigned value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        Fail(kUsage, std::string("bad ") + option + ": " + std::string(text));
    }
    return value;
}

std::vector<unsigned> ParseIndexList(std::string_view text, const char* option) {
    std::vector<unsigned> indices;
    while (true) {
        const std::size_t comma = text.find(',');
        indices.push_back(ParseIndex(text.substr(0, comma), option));
        if (comma == std::string_view::npos) {
            return indices;
        }
        text.remove_prefix(comma + 1);
    }
}

void PlayAnimation(Model::IVellModel& model, unsigned index) {
    CountNames animations;
    model.EnumAnimations(&animations);
    if (index > animations.count) {
        Fail(kUsage, "no animation " + std::to_string(index) + " (there are " +
                         std::to_string(animations.count) + ")");
    }
    model.PlayAnimation(index);
}

void HideSubMeshes(Model::IVellModel& model, const std::vector<unsigned>& indices) {
    CountNames subMeshes;
    model.EnumSubMeshes(&subMeshes);
    for (unsigned index : indices) {
        if (index >= subMeshes.count) {
            Fail(kUsage, "no sub-mesh " + std::to_string(index) + " (the model has " +
                             std::to_string(subMeshes.count) + ")");
        }
        model.SetSubMeshVisible(index, false);
    }
}

}  // namespace Cli
