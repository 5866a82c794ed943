// Internals of the sample game generator: small vector maths, pictures painted pixel by
// pixel, and the pieces the archives are assembled from.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "forge/dds.h"
#include "forge/model.h"
#include "forge/pak.h"

namespace Forge::SampleBuild {

// ---- vectors ------------------------------------------------------------------------------

inline Vec3 operator+(Vec3 a, Vec3 b) {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
inline Vec3 operator*(Vec3 a, float s) {
    return {a[0] * s, a[1] * s, a[2] * s};
}
inline float Dot(Vec3 a, Vec3 b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
inline Vec3 Cross(Vec3 a, Vec3 b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline float Length(Vec3 a) {
    return std::sqrt(Dot(a, a));
}
inline Vec3 Normalize(Vec3 a) {
    const float length = Length(a);
    return length > 0 ? a * (1 / length) : Vec3{0, 1, 0};
}
inline Vec3 Lerp(Vec3 a, Vec3 b, float t) {
    return a + (b - a) * t;
}
inline float Smoothstep(float edge0, float edge1, float x) {
    float t = std::fmin(std::fmax((x - edge0) / (edge1 - edge0), 0.0f), 1.0f);
    return t * t * (3 - 2 * t);
}

// ---- pictures -----------------------------------------------------------------------------

struct Rgba {
    float r = 0, g = 0, b = 0, a = 1;  // 0..1
};
inline Rgba Mix(Rgba a, Rgba b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
            a.a + (b.a - a.a) * t};
}
inline Rgba Shade(Rgba c, float s) {
    return {c.r * s, c.g * s, c.b * s, c.a};
}
inline constexpr Rgba Hex(uint32_t rgb) {
    return {((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f, 1};
}

struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgba;  // top row first
};

// Value noise in 0..1 on a lattice of `cell` pixels, repeating every `period` cells.
float Noise(float x, float y, uint32_t seed, int period = 1 << 16);
// A few octaves of Noise, 0..1.
float Fractal(float x, float y, uint32_t seed, int octaves, int period = 1 << 16);
uint32_t Hash(uint32_t a, uint32_t b = 0, uint32_t c = 0);

// The painted textures of the character and its weapon.
enum class Cloth { Crimson, Azure, Costume };
Picture PaintFace();
Picture PaintCloth(Cloth colours, uint32_t size);
Picture PaintTrousers();
Picture PaintBoots();
Picture PaintHair();
Picture PaintGlove();
Picture PaintHelmet();
Picture PaintSword();
Picture PaintGlow();
Picture PaintMask();
Picture PaintTattoo();

std::vector<uint8_t> EncodeDds(const Picture& picture, DdsFormat format);

// ---- the archives' contents -----------------------------------------------------------------

// Paths are archive bytes: code page 936, '\' between components.
struct FileSet {
    std::vector<PakFile> files;
    void Add(std::string path, std::vector<uint8_t> data) {
        files.push_back(PakFile{.path = std::move(path), .data = std::move(data)});
    }
};

// The character: the whole model, its parts, the weapon and the animations, plus the
// patched copies the update archive carries.
struct CharacterFiles {
    FileSet base;
    FileSet patch;
};
CharacterFiles MakeCharacter();
// The crowd: `count` characters made from the hero, each in a folder of its own below
// Sample::kCrowdFolder.
FileSet MakeCrowd(uint32_t count);

// Everything else a game folder holds, grouped by the archive it goes into.
struct FillerFiles {
    FileSet characters;
    FileSet data;
    FileSet sound;
    FileSet ui;
    FileSet patch;
};
FillerFiles MakeFiller(std::size_t target);

}  // namespace Forge::SampleBuild

namespace Forge {
struct SampleArchive;
enum class SamplePatch;
}  // namespace Forge

namespace Forge::SampleBuild {

// Changes the archives as the option asks (see SamplePatch).
void ApplyPatch(std::vector<SampleArchive>& archives, SamplePatch patch);

}  // namespace Forge::SampleBuild
