// An OpenGL context without a window: EGL on Mesa's surfaceless platform, desktop OpenGL
// with the compatibility profile, drawing into a framebuffer object of a chosen size.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace GlContext {

class Headless {
public:
    // Makes the context, current on the calling thread, with an RGBA8 colour and a 24-bit
    // depth buffer of width × height bound for drawing. Installs the context's extension
    // lookup for textures. Null with *error set when no display or context can be had.
    static std::unique_ptr<Headless> Create(int width, int height, std::string* error);

    ~Headless();
    Headless(const Headless&) = delete;
    Headless& operator=(const Headless&) = delete;

    // Makes this context current on the calling thread, with its store of textures: models
    // drawn here make their textures in this context, deleted when it is destroyed.
    bool MakeCurrent();
    // Leaves the calling thread with no context current, so that a thread that also draws
    // through another window system's context (a GUI's) can make that one current again.
    void DoneCurrent();
    // Replaces the drawing buffers with ones of the new size (contents undefined).
    bool Resize(int width, int height);
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    // The colour buffer as 8-bit RGBA, width × height pixels, rows bottom first as OpenGL
    // numbers them.
    std::vector<uint8_t> ReadPixels() const;

private:
    struct State;
    explicit Headless(std::unique_ptr<State> state);
    bool MakeBuffers(int width, int height);

    std::unique_ptr<State> m_state;
    int m_width = 0;
    int m_height = 0;
};

}  // namespace GlContext
