#include "picture/picture.h"

#include <GL/gl.h>

#include <algorithm>

#include "base/except.h"
#include "font/font.h"
#include "glcontext/glcontext.h"
#include "model/model.h"
#include "view/view.h"

namespace Picture {
namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr int kOpaque = 255;

// Pictures draw no labels: the program's one font belongs to one thread's context, and a
// picture may be drawn on any thread.
class NoFont final : public Font::IFont {
public:
    void Create(const char*, int) override {}
    int Printf2D(int, int, const float*, const char*, ...) override { return 0; }
    int Printf3D(const float*, const float*, const char*, ...) override { return 0; }
};

void CheckSize(const Options& options) {
    if (options.width < 1 || options.height < 1 || options.width > kMaxSide ||
        options.height > kMaxSide) {
        throw Except(ErrorKind::Input, "a picture is 1 to %d pixels each way, not %dx%d", kMaxSide,
                     options.width, options.height);
    }
}

void Prepare(GlContext::Headless& context, const Options& options) {
    if (!context.MakeCurrent()) {
        throw Except(ErrorKind::Unsupported, "can't make the picture's GL context current");
    }
    if ((context.Width() != options.width || context.Height() != options.height) &&
        !context.Resize(options.width, options.height)) {
        throw Except(ErrorKind::Unsupported, "can't make a %dx%d GL framebuffer", options.width,
                     options.height);
    }
}

std::vector<uint8_t> Draw(GlContext::Headless& context, View::CRenderViewCore& core,
                          uint32_t background) {
    core.m_clrBackground = background;
    core.Render();
    glFinish();
    return context.ReadPixels();
}

void PlaceCamera(View::CRenderViewCore& core, Model::IVellModel& model, const Options& options) {
    core.ResetView();
    core.m_bShowAxes = false;
    core.m_bShowGrid = options.grid;
    if (options.camera) {
        const Camera framed = FramedCamera(model, options.width, options.height);
        core.m_fRotXExtra = options.camera->pitch;
        core.m_fRotYExtra = options.camera->yaw;
        core.m_fZoom = options.camera->distance - framed.distance;
    }
}

}  // namespace

// What was drawn over black (b = a·c) and over white (w = a·c + 1 - a) gives the coverage a
// = 1 - (w - b) and the colour c = b / a, whatever blending drew it; the model's opaque
// pixels are the same in both.
void Unblend(std::span<uint8_t> overBlack, std::span<const uint8_t> overWhite) {
    for (std::size_t p = 0; p + 3 < overBlack.size() && p + 3 < overWhite.size(); p += 4) {
        int spread = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            spread = std::max(spread, overWhite[p + c] - overBlack[p + c]);
        }
        const int alpha = kOpaque - std::clamp(spread, 0, kOpaque);
        for (std::size_t c = 0; c < 3; ++c) {
            const int colour = alpha == 0 ? 0 : (overBlack[p + c] * kOpaque + alpha / 2) / alpha;
            overBlack[p + c] = static_cast<uint8_t>(std::min(colour, kOpaque));
        }
        overBlack[p + 3] = static_cast<uint8_t>(alpha);
    }
}

void FlipRows(std::span<uint8_t> rgba, int width, int height) {
    const std::size_t row = std::size_t(width) * 4;
    if (rgba.size() < row * std::size_t(std::max(height, 0))) {
        return;
    }
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        std::swap_ranges(rgba.begin() + static_cast<std::ptrdiff_t>(row * top),
                         rgba.begin() + static_cast<std::ptrdiff_t>(row * (top + 1)),
                         rgba.begin() + static_cast<std::ptrdiff_t>(row * bottom));
    }
}

Camera FramedCamera(Model::IVellModel& model, int width, int height) {
    float min[3] = {0, 0, 0};
    float max[3] = {0, 0, 0};
    model.GetBoundingBox(min, max);
    const float aspect = static_cast<float>(width) / static_cast<float>(std::max(height, 1));
    return Camera{0, 0, View::FrameBox(min, max, aspect, 0).eyeZ};
}

Image Render(GlContext::Headless& context, Model::IVellModel& model, const Options& options) {
    CheckSize(options);
    Prepare(context, options);
    model.SetLighting(options.light);
    NoFont font;
    View::CRenderViewCore core(&model, &font);
    core.InitGL();
    core.OnSize(options.width, options.height);
    PlaceCamera(core, model, options);

    Image image{options.width, options.height, {}};
    if (options.transparent) {
        image.rgba = Draw(context, core, kBlack);
        Unblend(image.rgba, Draw(context, core, kWhite));
    } else {
        image.rgba = Draw(context, core, View::kDefaultBackground);
        for (std::size_t p = 3; p < image.rgba.size(); p += 4) {
            image.rgba[p] = kOpaque;
        }
    }
    FlipRows(image.rgba, image.width, image.height);
    return image;
}

}  // namespace Picture
