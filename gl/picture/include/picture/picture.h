// A picture of a loaded model drawn headless: the view's scene without the axes, framed as
// the view frames a model it has just shown, or from a camera of one's own. vell render and
// the gallery draw through this one function, so the same model gives the same picture.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace Model {
struct IVellModel;
}
namespace GlContext {
class Headless;
}

namespace Picture {

inline constexpr int kMaxSide = 8192;

// Where the camera looks from, as the view's mouse turns it: yaw about the vertical axis and
// pitch about the horizontal one in degrees (fractions allowed), and the eye's distance from
// the point it looks at, in the game's units.
struct Camera {
    float yaw = 0;
    float pitch = 0;
    float distance = 0;
};

struct Options {
    int width = 480;
    int height = 480;
    // A background of alpha 0 and every other pixel in straight (not premultiplied) alpha:
    // the model's opaque pixels 255, the grid's faded lines between.
    bool transparent = false;
    bool light = false;  // one light from the eye, as the view's 光照
    bool grid = false;   // the ground grid under the model
    // Without one, the camera the view starts with for a newly shown model.
    std::optional<Camera> camera;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // width × height × 4 bytes, rows top first
};

// The camera the view frames `model` with at this picture size, for turning it from there.
Camera FramedCamera(Model::IVellModel& model, int width, int height);

// Draws `model` as posed now into `context` (made current, resized to the picture when its
// size differs) and reads it back. The model must be one that draws (View::CreateModel) and
// is used only on this thread while it draws; one context and one model per thread lets
// several threads draw at once. Turns the model's lighting to `options.light`.
// Throws Except (Input) for a size outside 1 to kMaxSide, (Unsupported) when the context
// can't be made current or sized.
Image Render(GlContext::Headless& context, Model::IVellModel& model, const Options& options);

// For windows that draw their own scene: `overBlack` and `overWhite` are one RGBA picture
// drawn over a black and over a white background; `overBlack` becomes it in straight alpha
// (the background 0, opaque pixels 255, what blending drew keeping its colour).
void Unblend(std::span<uint8_t> overBlack, std::span<const uint8_t> overWhite);
// RGBA rows as GL reads them (bottom first) turned top first, in place.
void FlipRows(std::span<uint8_t> rgba, int width, int height);

}  // namespace Picture
