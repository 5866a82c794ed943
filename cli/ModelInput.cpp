#include "ModelInput.h"

#include <unistd.h>

#include <charconv>
#include <cmath>
#include <mutex>

#include "base/parallel.h"

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
    for (const std::string& ani : args.Values("--ani")) {
        input.anis.push_back(NodeAt(mgr, ani));
    }
    input.ani = input.anis.empty() ? nullptr : input.anis.front();
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
        FailUsage(std::string("bad ") + option + ": " + std::string(text));
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

float ParseScale(const std::string& text) {
    float scale = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), scale);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(scale) ||
        !(scale > 0)) {
        FailUsage("bad --scale (want a number above 0): " + text);
    }
    return scale;
}

int ExportEach(const Args& args, PakMgr::IPakMgr& mgr, Export::FolderOptions options) {
    PakMgr::ITreeNode* folder = NodeAt(mgr, args.Value("--each"));
    if (folder->GetChildCount() == 0) {
        Fail(kUsage, "--each wants a folder: " + args.Value("--each"));
    }
    const std::string outDir = args.Required("-o");
    if (args.Has("--jobs")) {
        options.jobs = ParseIndex(args.Value("--jobs"), "--jobs");
        if (options.jobs == 0 || options.jobs > Base::kMaxWorkers) {
            FailUsage("bad --jobs (want 1 to " + std::to_string(Base::kMaxWorkers) +
                      "): " + args.Value("--jobs"));
        }
    }
    MakeFolder(outDir);
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    const Export::FolderSummary summary = Export::ExportFolder(
        folder, outDir, options,
        [&](const Export::FolderItem& item, std::size_t done, std::size_t total) {
            if (terminal) {
                std::fprintf(stderr, "\r\033[K");
            }
            for (const std::string& warning : item.warnings) {
                std::fprintf(stderr, "vell: warning: %s: %s\n", item.path.c_str(), warning.c_str());
            }
            for (const auto& [from, to] : item.renamed) {
                std::fprintf(stderr, "vell: renamed %s to %s/%s: its name was taken\n",
                             from.c_str(), outDir.c_str(), to.c_str());
            }
            if (!item.error.empty()) {
                std::fprintf(stderr, "vell: %s: %s\n", item.path.c_str(), item.error.c_str());
            }
            if (terminal) {
                std::fprintf(stderr, "[%zu/%zu] %s", done, total, item.path.c_str());
                std::fflush(stderr);
            }
            return true;
        });
    if (terminal) {
        std::fprintf(stderr, "\r\033[K");
    }
    std::printf("wrote %zu of %zu models, %zu failed", summary.written,
                summary.written + summary.failed, summary.failed);
    if (summary.renamed > 0) {
        std::printf(", %zu renamed", summary.renamed);
    }
    std::printf("\n");
    return summary.failed > 0 ? kFailed : kOk;
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

float ParseFrame(const std::string& text) {
    float frame = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), frame);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(frame) ||
        frame < 0) {
        FailUsage("bad --frame (want a frame number, fractions allowed): " + text);
    }
    return frame;
}

// The frame of the playing animation, after checking that it has that frame.
void PoseAtFrame(Model::IVellModel& model, unsigned animation, float frame,
                 const std::string& text) {
    if (animation == 0) {
        Fail(kUsage, "--frame " + text + ": --anim 0 is the bind pose, which has no frames");
    }
    const int lastFrame = model.GetState().lastFrame;
    if (frame > static_cast<float>(lastFrame)) {
        Fail(kUsage, "no frame " + text + " in animation " + std::to_string(animation) +
                         " (its frames are 0 to " + std::to_string(lastFrame) +
                         ", fractions allowed)");
    }
    model.PoseAt(frame);
}

namespace {

bool ParseInt(std::string_view text, int& value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

Size ParseSize(const std::string& text, int maxSide) {
    Size size;
    const std::size_t x = text.find('x');
    if (x == std::string::npos || !ParseInt(std::string_view(text).substr(0, x), size.width) ||
        !ParseInt(std::string_view(text).substr(x + 1), size.height) || size.width < 1 ||
        size.height < 1 || size.width > maxSide || size.height > maxSide) {
        FailUsage("bad --size (want WIDTHxHEIGHT, 1 to " + std::to_string(maxSide) +
                  " each): " + text);
    }
    return size;
}

}  // namespace Cli
