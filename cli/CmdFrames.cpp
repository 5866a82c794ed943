// vell frames: an animation's frames drawn headless and written as BMP pictures, the same
// scene the desktop view shows with its default settings.
#include <unistd.h>

#include <charconv>
#include <cstdio>

#include "Cli.h"
#include "ModelInput.h"
#include "view/view.h"

namespace Cli {

namespace {

constexpr int kMaxSide = 16384;

float ParseSpeed(const std::string& text) {
    float fps = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), fps);
    if (ec != std::errc() || end != text.data() + text.size() || !(fps >= 0)) {
        FailUsage("bad --fps (want a number of frames per second, 0 or more): " + text);
    }
    return fps;
}

// The frame-export sink: the view's scene drawn into the headless context's buffer, which
// the model reads back before anything else draws. On a terminal a progress line counts the
// pictures on stderr; the line is cleared when the export ends.
class HeadlessAnimate final : public Model::IAnimate {
public:
    HeadlessAnimate(View::CRenderViewCore& view, Size size)
        : m_view(view), m_size(size), m_terminal(::isatty(STDERR_FILENO) == 1) {}
    ~HeadlessAnimate() override {
        if (m_terminal && m_pictures > 0) {
            std::fprintf(stderr, "\r\033[K");
        }
    }
    int GetWidth() override { return m_size.width; }
    int GetHeight() override { return m_size.height; }
    void Advance() override { View::GetModel()->Update(); }
    void Render() override { m_view.Render(); }
    void SetProgressRange(unsigned short, unsigned short high) override { m_total = high; }
    void StepProgress() override {
        ++m_pictures;
        if (m_terminal) {
            std::fprintf(stderr, "\r\033[K%u/%u pictures", m_pictures, m_total);
            std::fflush(stderr);
        }
    }
    unsigned Pictures() const { return m_pictures; }

private:
    View::CRenderViewCore& m_view;
    Size m_size;
    bool m_terminal;
    unsigned m_total = 0;
    unsigned m_pictures = 0;
};

}  // namespace

int CmdFrames(std::span<char*> args) {
    Args a(args, {"--ani", "--anim", "-o", "--size", "--fps", "--attach"}, {});
    ExpectPositionals(a, {"GAME_DIR", "SKN..."});
    a.Required("--ani");
    const unsigned animation = ParseIndex(a.Required("--anim"), "--anim");
    const std::string outDir = a.Required("-o");
    const Size size = a.Has("--size") ? ParseSize(a.Value("--size"), kMaxSide) : Size{};
    const bool setSpeed = a.Has("--fps");
    const float fps = setSpeed ? ParseSpeed(a.Value("--fps")) : 0.0f;

    PakMgr::IPakMgr& mgr = OpenGame(a.Positionals()[0]);
    const ModelInput input = FindModelInput(a, mgr);
    // The one command that draws: without a context it fails before loading anything.
    auto context = MakeContext(size.width, size.height);
    Model::IVellModel* model = View::GetModel();
    LoadModel(*model, input);
    PlayAnimation(*model, animation);
    if (setSpeed) {
        model->SetSpeed(fps);
    }
    // Only a command that will draw leaves a folder behind.
    MakeFolder(outDir);
    View::CRenderViewCore view(model);
    view.InitGL();
    view.OnSize(size.width, size.height);
    view.ResetView();
    unsigned pictures = 0;
    {
        HeadlessAnimate sink(view, size);
        model->ExportFrames(outDir, &sink);
        pictures = sink.Pictures();
    }
    std::printf("wrote %u pictures to %s\n", pictures, outDir.c_str());
    return kOk;
}

}  // namespace Cli
