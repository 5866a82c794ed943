// The sample character's textures, painted from their texture coordinates: each picture
// follows the layout the character's tubes map onto it.
#include <algorithm>
#include <cmath>

#include "SampleBuild.h"
#include "TwoThreads.h"

namespace Forge::SampleBuild {

uint32_t Hash(uint32_t a, uint32_t b, uint32_t c) {
    uint32_t h =
        a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

namespace {

float Lattice(int x, int y, uint32_t seed, int period) {
    const auto wrap = [period](int i) { return uint32_t(((i % period) + period) % period); };
    return float(Hash(wrap(x), wrap(y), seed) & 0xFFFF) / 65535.0f;
}

}  // namespace

float Noise(float x, float y, uint32_t seed, int period) {
    const float fx = std::floor(x);
    const float fy = std::floor(y);
    const int ix = int(fx);
    const int iy = int(fy);
    const float tx = Smoothstep(0, 1, x - fx);
    const float ty = Smoothstep(0, 1, y - fy);
    const float a = Lattice(ix, iy, seed, period);
    const float b = Lattice(ix + 1, iy, seed, period);
    const float c = Lattice(ix, iy + 1, seed, period);
    const float d = Lattice(ix + 1, iy + 1, seed, period);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float Fractal(float x, float y, uint32_t seed, int octaves, int period) {
    float sum = 0;
    float amplitude = 0.5f;
    float total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * Noise(x, y, seed + i, period);
        total += amplitude;
        x *= 2;
        y *= 2;
        period *= 2;
        amplitude *= 0.5f;
    }
    return sum / total;
}

namespace {

uint8_t Byte(float c) {
    return uint8_t(std::lround(std::clamp(c, 0.0f, 1.0f) * 255));
}

// Paints every pixel from its texture coordinates (pixel centres), rows split between two
// threads; each pixel depends only on its own coordinates, so the result is the same.
template <typename Paint>
Picture PaintPicture(uint32_t width, uint32_t height, Paint paint) {
    Picture picture{width, height, std::vector<uint8_t>(std::size_t{width} * height * 4)};
    auto rows = [&](uint32_t from, uint32_t to) {
        for (uint32_t y = from; y < to; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                const Rgba c = paint((x + 0.5f) / width, (y + 0.5f) / height);
                uint8_t* p = &picture.rgba[(std::size_t{y} * width + x) * 4];
                p[0] = Byte(c.r);
                p[1] = Byte(c.g);
                p[2] = Byte(c.b);
                p[3] = Byte(c.a);
            }
        }
    };
    SampleBuild::Both([&] { rows(0, height / 2); }, [&] { rows(height / 2, height); });
    return picture;
}

// 0 outside, 1 inside an ellipse of half sizes (rx, ry), soft over `edge`.
float Ellipse(float x, float y, float rx, float ry, float edge = 0.08f) {
    const float d = std::sqrt((x * x) / (rx * rx) + (y * y) / (ry * ry));
    return 1 - Smoothstep(1 - edge, 1 + edge, d);
}

float Band(float x, float from, float to, float edge = 0.004f) {
    return Smoothstep(from - edge, from + edge, x) * (1 - Smoothstep(to - edge, to + edge, x));
}

// Woven fabric: fine threads and a broad, soft variation.
Rgba Fabric(Rgba base, float u, float v, uint32_t seed, float scale) {
    const float weave =
        0.93f + 0.07f * std::sin(u * scale * 6.2832f) * std::sin(v * scale * 6.2832f);
    const float folds = 0.82f + 0.3f * Fractal(u * 6, v * 3, seed, 4, 6);
    return Shade(base, weave * folds);
}

Rgba Leather(Rgba base, float u, float v, uint32_t seed) {
    const float grain = 0.85f + 0.25f * Fractal(u * 40, v * 40, seed, 3, 40);
    const float wear = 0.9f + 0.2f * Fractal(u * 5, v * 5, seed + 9, 3, 5);
    return Shade(base, grain * wear);
}

Rgba Metal(Rgba base, float u, float v, uint32_t seed) {
    const float brushed = 0.9f + 0.12f * Noise(u * 3, v * 300, seed, 3);
    return Shade(base, brushed);
}

// The viewer draws without lighting: a tube's flanks, where its surface turns away from
// the eye, are painted darker so that limbs read as round. u goes once round the tube.
Rgba Round(Rgba c, float u) {
    return Shade(c, 0.78f + 0.22f * std::abs(std::cos(6.2832f * (u - 0.5f))));
}

constexpr Rgba kSkin = Hex(0xF2C9AC);
constexpr Rgba kGold = Hex(0xD8AE4C);
constexpr Rgba kLeatherBrown = Hex(0x6B4428);

Rgba SkinTone(float u, float v, uint32_t seed) {
    return Shade(kSkin, 0.94f + 0.08f * Fractal(u * 30, v * 30, seed, 3, 30));
}

}  // namespace

Picture PaintFace() {
    // The head wraps round the picture with the face at u = 0.5; distances in model units.
    constexpr float kRound = 60.5f;
    constexpr float kTall = 27;
    return PaintPicture(1024, 1024, [](float u, float v) {
        if (v >= 0.9f) {
            return Round(Shade(SkinTone(u, v, 1), 0.95f), u);
        }
        const float x = (u - 0.5f) * kRound;
        const float y = (v / 0.9f - 0.5f) * kTall;  // down from the eyes' line
        const float ax = std::abs(x);
        Rgba c = SkinTone(u, v, 1);
        // Cheeks, and a shadow under the jaw and at the back.
        c = Mix(c, Hex(0xE8A39A), 0.35f * Ellipse(ax - 4.2f, y - 3.2f, 2.6f, 1.8f, 0.9f));
        c = Shade(c, 1 - 0.12f * Smoothstep(9, 14, y) - 0.1f * Smoothstep(12, 28, ax));
        // Nose shading.
        c = Shade(c, 1 - 0.12f * Ellipse(ax - 1.2f, y - 2.8f, 0.6f, 1.6f, 0.9f));
        c = Shade(c, 1 - 0.35f * Ellipse(ax - 0.7f, y - 4.1f, 0.35f, 0.2f, 0.6f));
        // Lips.
        const float mouth = Ellipse(x, y - 6.4f, 1.75f, 0.65f, 0.25f);
        c = Mix(c, Hex(0xC4676A), 0.85f * mouth);
        c = Mix(c, Hex(0x7A3438), Ellipse(x, y - 6.4f, 1.6f, 0.08f, 0.6f));
        // Brows.
        const float browY = -2.5f - 0.35f * std::cos((ax - 3.2f) * 0.8f);
        c = Mix(c, Hex(0x3A2418), 0.9f * Ellipse(ax - 3.3f, y - browY, 1.9f, 0.28f, 0.35f));
        // Eyes: white, iris, pupil, highlight, upper lid line.
        const float ex = ax - 3.2f;
        const float eye = Ellipse(ex, y, 1.6f, 0.8f, 0.15f);
        Rgba eyeColour = Hex(0xF4F1EC);
        const float iris = Ellipse(ex, y, 0.62f, 0.62f, 0.1f);
        eyeColour =
            Mix(eyeColour,
                Mix(Hex(0x3C7A52), Hex(0x1E4030), Smoothstep(0, 0.6f, std::hypot(ex, y))), iris);
        eyeColour = Mix(eyeColour, Hex(0x0C0A08), Ellipse(ex, y, 0.27f, 0.27f, 0.1f));
        eyeColour = Mix(eyeColour, Hex(0xFFFFFF), Ellipse(ex + 0.22f, y + 0.2f, 0.1f, 0.1f, 0.3f));
        c = Mix(c, eyeColour, eye);
        const float lid = Ellipse(ex, y + 0.74f, 1.7f, 0.2f, 0.3f) * Smoothstep(-0.1f, 0.25f, -y);
        c = Mix(c, Hex(0x1C120C), 0.95f * lid);
        c = Mix(c, Hex(0xB07D68), 0.4f * Ellipse(ex, y + 0.95f, 1.6f, 0.3f, 0.6f));
        return c;
    });
}

Picture PaintCloth(Cloth colours, uint32_t size) {
    const Rgba main = colours == Cloth::Crimson ? Hex(0x8E1C26)
                      : colours == Cloth::Azure ? Hex(0x22488E)
                                                : Hex(0x2C6A44);
    const Rgba trim = colours == Cloth::Costume ? Hex(0xC8CCD4) : kGold;
    const uint32_t seed = 10 + uint32_t(colours);
    return PaintPicture(size, size, [=](float u, float v) {
        if (v < 0.5f) {  // the tunic, shoulders (0) to hips (1), u = 0.5 at the front
            const float t = v / 0.5f;
            Rgba c = Fabric(main, u, t, seed, 64);
            const float front = std::abs(u - 0.5f);
            c = Mix(c, Shade(trim, 0.95f), Band(t, 0.045f, 0.075f) + Band(t, 0.94f, 0.985f));
            c = Mix(c, trim, Band(front, -1, 0.012f) * Smoothstep(0.06f, 0.08f, t));
            for (int b = 0; b < 6; ++b) {
                const float by = 0.16f + 0.13f * b;
                c = Mix(c, Shade(trim, 1.15f), Ellipse(u - 0.5f, t - by, 0.007f, 0.014f, 0.3f));
            }
            // Embroidery on the chest.
            const float pattern = std::sin(u * 120) * std::sin(t * 70);
            c = Mix(c, trim,
                    0.6f * Band(t, 0.1f, 0.26f) * Smoothstep(0.7f, 0.9f, pattern) *
                        Band(front, 0.03f, 0.12f));
            return Round(c, u);
        }
        if (v < 0.8f) {
            const float t = (v - 0.5f) / 0.3f;
            if (u < 0.5f) {  // arm: sleeve to the elbow, then skin
                if (t < 0.46f) {
                    Rgba c = Fabric(main, u * 2, t, seed + 1, 24);
                    return Round(Mix(c, trim, Band(t, 0.41f, 0.46f)), u * 2);
                }
                return Round(SkinTone(u, t, 3), u * 2);
            }
            if (u < 0.75f) {  // hands
                const float knuckles =
                    Ellipse(std::fmod(u * 16, 1.0f) - 0.5f, t - 0.75f, 0.4f, 0.08f, 0.9f);
                return Round(Shade(SkinTone(u, t, 4), 1 - 0.08f * knuckles), (u - 0.5f) * 4);
            }
            Rgba c = Leather(kLeatherBrown, u, t, seed + 2);  // belt and shoulder pads
            c = Mix(c, trim, Band(t, 0.05f, 0.09f) + Band(t, 0.91f, 0.95f));
            const float stud = Ellipse(std::fmod(u * 24, 1.0f) - 0.5f,
                                       std::fmod(t * 6, 1.0f) - 0.5f, 0.22f, 0.22f, 0.3f);
            return Mix(c, Shade(trim, 1.1f), stud);
        }
        const float t = (v - 0.8f) / 0.2f;  // the skirt, waist (0) to hem (1)
        Rgba c = Fabric(main, u, t, seed + 3, 64);
        c = Shade(c, 0.85f + 0.15f * std::sin(u * 6.2832f * 24));  // pleats
        c = Mix(c, trim, Band(t, 0.9f, 0.96f) + Band(t, 0.02f, 0.06f));
        return Round(c, u);
    });
}

Picture PaintTrousers() {
    const Rgba cloth = Hex(0x4A4038);
    return PaintPicture(512, 512, [=](float u, float v) {
        Rgba c = Fabric(cloth, u, v, 21, 48);
        const float side = std::min(std::abs(u - 0.25f), std::abs(u - 0.75f));
        c = Shade(c, 1 - 0.3f * Band(side, -1, 0.004f));
        const float t = (v - 0.2f) / 0.8f;
        const float patch = Ellipse(u - 0.5f, t - 0.48f, 0.09f, 0.07f, 0.1f);
        c = Mix(c, Leather(Hex(0x4E4236), u, v, 22), 0.7f * patch);
        return Round(c, u);
    });
}

Picture PaintBoots() {
    return PaintPicture(512, 512, [](float u, float v) {
        if (v < 0.5f) {  // shaft, top (0) to ankle (1)
            const float t = v / 0.5f;
            Rgba c = Leather(Hex(0x5E3A20), u, t, 31);
            c = Mix(c, Hex(0x7A5234), Band(t, -1, 0.14f));  // folded cuff
            c = Shade(c, 1 - 0.35f * Band(t, 0.14f, 0.16f));
            const float lace = std::abs(std::fmod(t * 18, 1.0f) - 0.5f) * 0.08f;
            c = Mix(c, Hex(0x2A1A10),
                    Band(std::abs(u - 0.5f), lace - 0.006f, lace + 0.006f) *
                        Smoothstep(0.2f, 0.25f, t));
            return Round(c, u);
        }
        const float t = (v - 0.5f) / 0.5f;  // foot, heel (0) to toe (1); u = 0.5 is the sole
        Rgba c = Leather(Hex(0x5E3A20), u, t, 32);
        const float sole = Band(std::abs(u - 0.5f), -1, 0.17f, 0.01f);
        c = Mix(c, Leather(Hex(0x2B211B), u, t, 33), sole);
        c = Shade(c, 1 - 0.3f * Band(std::abs(u - 0.5f), 0.17f, 0.19f));
        return c;
    });
}

Picture PaintHair() {
    const Rgba dark = Hex(0x2E1C12);
    const Rgba light = Hex(0x7A5032);
    return PaintPicture(512, 512, [=](float u, float v) {
        const float streak = Fractal(u * 160, v * 6, 41, 3, 160);
        Rgba c = Mix(dark, light, Smoothstep(0.3f, 0.9f, streak));
        if (u < 0.5f) {
            return c;
        }
        // Strand cards: six strips, thin strands thinning out toward their ends.
        const float across = std::fmod((u - 0.5f) * 12, 1.0f);
        const float strands = Noise(u * 256, v * 3, 42, 256);
        const float edge = std::pow(std::abs(across - 0.5f) * 2, 3.0f);
        const float threshold = 0.08f + 0.55f * std::pow(v, 1.6f) + 0.4f * edge;
        c.a = Smoothstep(threshold - 0.05f, threshold + 0.05f, strands);
        return c;
    });
}

Picture PaintGlove() {
    return PaintPicture(256, 256, [](float u, float v) {
        Rgba c = Leather(Hex(0x3A2A22), u, v, 51);
        return Mix(c, kGold, Band(v, 0.02f, 0.06f));
    });
}

Picture PaintHelmet() {
    return PaintPicture(256, 256, [](float u, float v) {
        Rgba c = Metal(Hex(0x9AA0A8), u, v, 61);
        c = Mix(c, kGold, Band(v, 0.86f, 0.94f) + Band(std::abs(u - 0.5f), -1, 0.01f));
        const float rivet = Ellipse(std::fmod(u * 24, 1.0f) - 0.5f, v - 0.9f, 0.2f, 0.02f, 0.3f);
        return Shade(Mix(c, Hex(0xE0E4EA), rivet), 0.8f + 0.2f * (1 - v));
    });
}

Picture PaintSword() {
    return PaintPicture(256, 256, [](float u, float v) {
        if (v < 0.8f) {  // the blade, with a fuller along its middle
            Rgba c = Metal(Hex(0xC8D0DA), u, v, 71);
            const float fuller =
                Band(std::abs(u - 0.25f), -1, 0.03f) + Band(std::abs(u - 0.75f), -1, 0.03f);
            return Shade(c, 1 - 0.25f * fuller);
        }
        if (u < 0.5f) {  // the grip, wrapped
            const float wrap = std::sin((u * 8 + v * 40) * 6.2832f);
            return Shade(Leather(Hex(0x40261A), u, v, 72), 0.8f + 0.2f * wrap);
        }
        return Metal(kGold, u, v, 73);
    });
}

Picture PaintGlow() {
    return PaintPicture(128, 128, [](float u, float v) {
        return Mix(Hex(0x102040), Hex(0x80C0FF),
                   Smoothstep(0.2f, 0.8f, Fractal(u * 8, v * 8, 81, 3, 8)));
    });
}

Picture PaintMask() {
    return PaintPicture(128, 128, [](float u, float v) {
        const float m = Band(v, 0.1f, 0.15f) + Band(std::abs(u - 0.5f), -1, 0.03f);
        return Mix(Hex(0x000000), Hex(0xFFFFFF), std::min(m, 1.0f));
    });
}

Picture PaintTattoo() {
    return PaintPicture(128, 128, [](float u, float v) {
        const float swirl =
            std::sin(std::hypot(u - 0.5f, v - 0.5f) * 40 + std::atan2(v - 0.5f, u - 0.5f) * 3);
        return Mix(Hex(0xFFFFFF), Hex(0x203048), Smoothstep(0.7f, 0.9f, swirl));
    });
}

std::vector<uint8_t> EncodeDds(const Picture& picture, DdsFormat format) {
    DdsDesc desc;
    desc.width = picture.width;
    desc.height = picture.height;
    desc.format = format;
    return WriteDds(desc, EncodeDxt(format, picture.width, picture.height, picture.rgba));
}

}  // namespace Forge::SampleBuild
