// Glyph bitmaps as glBitmap takes them, rasterised without any GL context.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Font {

struct Glyph {
    int width = 0;  // pixels; 0 for a glyph that only advances
    int height = 0;
    float xOrigin = 0;  // the raster position's offset inside the bitmap
    float yOrigin = 0;
    float advance = 0;
    std::vector<uint8_t> rows;  // 1 bit per pixel, most significant first, bottom row first,
                                // each row padded to whole bytes
};

struct GlyphSet {
    std::string file;           // the font file fontconfig chose; empty when none was found
    std::vector<Glyph> glyphs;  // one per byte 0 .. count - 1, empty when nothing was found
};

// A bold face of that name (see IFont::Create) at a cell height of `height` pixels, bytes
// read as Latin-1, every glyph advancing by one cell; control codes and bytes the face has no
// glyph for only advance.
GlyphSet RasteriseGlyphs(const char* faceName, int height, int count);

}  // namespace Font
