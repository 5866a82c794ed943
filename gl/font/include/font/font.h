// The bitmap font: glyph display lists built once in the current GL context, then texts
// drawn at the raster position, one list per byte.
#pragma once

namespace Font {

// Display list kFirstList + c holds the glyph of byte c, for c below kGlyphCount.
inline constexpr unsigned kFirstList = 1000;
inline constexpr int kGlyphCount = 255;
inline constexpr int kTextBufferSize = 1024;  // formatted text: 1023 characters and a NUL

struct IFont {
    virtual ~IFont() = default;
    // Builds the glyph lists from a bold font of that face and cell height in pixels, every
    // code one cell (the face's '0') wide. The face is looked up by its family name through
    // fontconfig; "Fixedsys" and a face that isn't there are DejaVu Sans Mono, and only a
    // machine without that one gets whichever monospace face fontconfig prefers.
    // A failure leaves the lists empty: texts then draw nothing.
    virtual void Create(const char* faceName, int height) = 0;
    // Formats and draws a text with its origin at pixel (x, y) of a 640 x 480 grid,
    // (0, 0) bottom left, whatever the viewport. Returns the formatted length, 0 for a
    // null format.
    [[gnu::format(printf, 5, 6)]] virtual int Printf2D(int x, int y, const float color[3],
                                                       const char* format, ...) = 0;
    // Formats and draws a text with its origin at a point of the scene.
    [[gnu::format(printf, 4, 5)]] virtual int Printf3D(const float position[3],
                                                       const float color[3], const char* format,
                                                       ...) = 0;
};

class CSimpleFont final : public IFont {
public:
    void Create(const char* faceName, int height) override;
    [[gnu::format(printf, 5, 6)]] int Printf2D(int x, int y, const float color[3],
                                               const char* format, ...) override;
    [[gnu::format(printf, 4, 5)]] int Printf3D(const float position[3], const float color[3],
                                               const char* format, ...) override;
};

// The program's one font.
IFont* GetFont();

}  // namespace Font
