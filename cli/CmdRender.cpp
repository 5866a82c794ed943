// vell render: the model drawn headless as a picture (PNG) or a moving picture (GIF, WebP,
// MP4, WebM) of its animation or of a turn around it, the picture the gallery shows.
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>

#include "Cli.h"
#include "ModelInput.h"
#include "dds/dds.h"
#include "media/media.h"
#include "picture/picture.h"
#include "view/view.h"

namespace Cli {

namespace {

// The viewer plays 60 animation frames a second; a turn is drawn 25 times a second, which a
// GIF's hundredths of a second keep exactly.
constexpr int kAnimationRate = 60;
constexpr int kTurntableRate = 25;
constexpr float kTurntableSeconds = 4.0f;
constexpr float kLongestTurn = 600.0f;
constexpr float kFullTurn = 360.0f;

struct Request {
    std::string out;
    Media::Format format = Media::Format::Png;
    Picture::Options picture;
    bool animation = false;  // --ani and --anim
    unsigned anim = 0;
    bool setFrame = false;
    float frame = 0;
    bool turntable = false;
    float seconds = kTurntableSeconds;
};

float ParseNumber(std::string_view text, const char* what) {
    float value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value)) {
        FailUsage(std::string("bad ") + what + ": " + std::string(text));
    }
    return value;
}

Picture::Camera ParseCamera(std::string_view text) {
    constexpr char kWant[] = "--camera (want YAW,PITCH,DISTANCE, the distance above 0)";
    const std::size_t first = text.find(',');
    const std::size_t second = first == std::string_view::npos ? first : text.find(',', first + 1);
    if (second == std::string_view::npos) {
        FailUsage(std::string("bad ") + kWant + ": " + std::string(text));
    }
    Picture::Camera camera{ParseNumber(text.substr(0, first), kWant),
                           ParseNumber(text.substr(first + 1, second - first - 1), kWant),
                           ParseNumber(text.substr(second + 1), kWant)};
    if (!(camera.distance > 0)) {
        FailUsage(std::string("bad ") + kWant + ": " + std::string(text));
    }
    return camera;
}

Media::Format FormatFor(const std::string& out) {
    const auto format = Media::FormatOf(out);
    if (!format) {
        FailUsage("-o wants a file ending in .png, .gif, .webp, .mp4 or .webm: " + out);
    }
    return *format;
}

// What the options ask for, checked against each other before the game is opened.
Request ParseRequest(const Args& a) {
    Request r;
    r.out = a.Required("-o");
    r.format = FormatFor(r.out);
    const Size size = a.Has("--size") ? ParseSize(a.Value("--size"), Picture::kMaxSide) : Size{};
    r.picture = {.width = size.width,
                 .height = size.height,
                 .transparent = a.Has("--transparent"),
                 .light = a.Has("--light"),
                 .grid = a.Has("--grid")};
    if (a.Has("--camera")) {
        r.picture.camera = ParseCamera(a.Value("--camera"));
    }
    r.animation = a.Has("--ani") && a.Has("--anim");
    if (a.Has("--ani") != a.Has("--anim")) {
        FailUsage("an animation needs both --ani ANI and --anim N");
    }
    r.anim = r.animation ? ParseIndex(a.Value("--anim"), "--anim") : 0;
    r.setFrame = a.Has("--frame");
    r.frame = r.setFrame ? ParseFrame(a.Value("--frame")) : 0.0f;
    r.turntable = a.Has("--turntable");
    if (r.turntable && !a.Value("--turntable").empty()) {
        r.seconds = ParseNumber(a.Value("--turntable"), "--turntable (want seconds)");
        if (!(r.seconds > 0) || r.seconds > kLongestTurn) {
            FailUsage("bad --turntable (want 0 to 600 seconds): " + a.Value("--turntable"));
        }
    }
    const bool moving = Media::IsMoving(r.format);
    if (r.setFrame && !r.animation) {
        FailUsage("--frame poses an animation: it needs --ani ANI and --anim N");
    }
    if (!moving && r.turntable) {
        FailUsage("--turntable makes a moving picture: -o wants .gif, .webp, .mp4 or .webm");
    }
    if (moving && !r.turntable && (!r.animation || r.setFrame)) {
        FailUsage(
            "a moving picture plays an animation (--ani ANI --anim N, no --frame) or "
            "turns around the model (--turntable)");
    }
    if (r.picture.transparent && !Media::KeepsAlpha(r.format)) {
        FailUsage("--transparent wants .png, .gif or .webp: a video keeps no transparency");
    }
    if (Media::WantsEvenSize(r.format) && (size.width % 2 != 0 || size.height % 2 != 0)) {
        FailUsage("bad --size for a video (want an even width and height): " + a.Value("--size"));
    }
    return r;
}

// One line on a terminal, renewed with each picture and cleared at the end.
class Progress {
public:
    explicit Progress(unsigned total) : m_total(total), m_terminal(::isatty(STDERR_FILENO) == 1) {}
    ~Progress() {
        if (m_terminal && m_done > 0) {
            std::fprintf(stderr, "\r\033[K");
        }
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    void Step() {
        ++m_done;
        if (m_terminal) {
            std::fprintf(stderr, "\r\033[K%u/%u pictures", m_done, m_total);
            std::fflush(stderr);
        }
    }

private:
    unsigned m_total;
    bool m_terminal;
    unsigned m_done = 0;
};

unsigned WriteMoving(GlContext::Headless& context, Model::IVellModel& model, const Request& r) {
    const unsigned pictures =
        r.turntable ? std::max(2u, static_cast<unsigned>(std::lround(r.seconds * kTurntableRate)))
                    : model.GetFrameCount(r.anim);
    if (pictures == 0) {
        Fail(kUsage, "--anim 0 is the bind pose: it has no frames to play");
    }
    auto writer = Media::CreateMovieWriter(r.format, r.out,
                                           {.width = r.picture.width,
                                            .height = r.picture.height,
                                            .fps = r.turntable ? kTurntableRate : kAnimationRate,
                                            .alpha = r.picture.transparent,
                                            .pictures = pictures});
    Picture::Options options = r.picture;
    const Picture::Camera start =
        options.camera.value_or(Picture::FramedCamera(model, options.width, options.height));
    Progress progress(pictures);
    for (unsigned i = 0; i < pictures; ++i) {
        if (r.turntable) {
            options.camera = start;
            options.camera->yaw += kFullTurn * static_cast<float>(i) / static_cast<float>(pictures);
        } else {
            model.PoseAt(static_cast<float>(i));
        }
        writer->Add(Picture::Render(context, model, options).rgba);
        progress.Step();
    }
    writer->Finish();
    return pictures;
}

}  // namespace

int CmdRender(std::span<char*> args) {
    Args a(args, {"-o", "--size", "--ani", "--anim", "--frame", "--attach", "--camera"},
           {"--transparent", "--light", "--grid"}, {"--turntable"});
    ExpectPositionals(a, {"GAME_DIR", "SKN..."});
    const Request r = ParseRequest(a);

    PakMgr::IPakMgr& mgr = OpenGame(a.Positionals()[0]);
    const ModelInput input = FindModelInput(a, mgr);
    auto context = MakeContext(r.picture.width, r.picture.height);
    const std::unique_ptr<Model::IVellModel> model = View::CreateModel();
    LoadModel(*model, input);
    if (r.animation) {
        PlayAnimation(*model, r.anim);
        model->PoseAt(0);
    }
    if (r.setFrame) {
        PoseAtFrame(*model, r.anim, r.frame, a.Value("--frame"));
    }
    // Only a command that will write leaves a folder behind.
    MakeFolderFor(r.out);
    unsigned pictures = 1;
    if (Media::IsMoving(r.format)) {
        pictures = WriteMoving(*context, *model, r);
    } else {
        const Picture::Image image = Picture::Render(*context, *model, r.picture);
        Dds::WritePng(r.out, static_cast<uint32_t>(image.width),
                      static_cast<uint32_t>(image.height), image.rgba);
    }
    std::printf("wrote %s (%u %s)\n", r.out.c_str(), pictures,
                pictures == 1 ? "picture" : "pictures");
    return kOk;
}

}  // namespace Cli
