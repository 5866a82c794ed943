#include "Glyphs.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <memory>
#include <optional>

namespace Font {
namespace {

constexpr int kFirstControl = 0x7F;  // DEL and the C1 controls up to kLastControl
constexpr int kLastControl = 0x9F;
constexpr int kFirstPrintable = 0x20;

struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

struct FontFile {
    std::string path;
    int index = 0;
};

struct ConfigDeleter {
    void operator()(FcConfig* c) const { FcConfigDestroy(c); }
};
using Config = std::unique_ptr<FcConfig, ConfigDeleter>;

// Asks fontconfig for a bold monospace face of that family; an unknown family falls to
// the system's monospace face before anything proportional. A configuration of our own,
// released afterwards, leaves nothing behind in the process (the shared one lives until
// FcFini, which a process that also runs a toolkit must not call).
std::optional<FontFile> FindFontFile(const char* faceName) {
    Config config(FcInitLoadConfigAndFonts());
    Pattern pattern(FcPatternCreate());
    if (!config || !pattern) {
        return std::nullopt;
    }
    if (faceName && *faceName) {
        FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName));
    }
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("monospace"));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, FC_WEIGHT_BOLD);
    FcPatternAddInteger(pattern.get(), FC_SPACING, FC_MONO);
    FcConfigSubstitute(config.get(), pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    Pattern match(FcFontMatch(config.get(), pattern.get(), &result));
    FcChar8* file = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch) {
        return std::nullopt;
    }
    FontFile found{reinterpret_cast<const char*>(file), 0};
    FcPatternGetInteger(match.get(), FC_INDEX, 0, &found.index);
    return found;
}

struct LibraryDeleter {
    void operator()(FT_Library l) const { FT_Done_FreeType(l); }
};
struct FaceDeleter {
    void operator()(FT_Face f) const { FT_Done_Face(f); }
};
using Library = std::unique_ptr<FT_LibraryRec_, LibraryDeleter>;
using Face = std::unique_ptr<FT_FaceRec_, FaceDeleter>;

// Windows-style heights count the whole cell (ascent plus descent), not the em.
bool SetCellHeight(FT_Face face, int height) {
    FT_Size_RequestRec request{};
    request.type = FT_SIZE_REQUEST_TYPE_CELL;
    request.height = static_cast<FT_Long>(height) * 64;
    if (FT_IS_SCALABLE(face) && FT_Request_Size(face, &request) == 0) {
        return true;
    }
    return FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(height)) == 0;
}

Glyph FromBitmap(FT_GlyphSlot slot, float advance) {
    const FT_Bitmap& bitmap = slot->bitmap;
    Glyph glyph;
    glyph.advance = advance;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO || bitmap.width == 0 || bitmap.rows == 0) {
        return glyph;
    }
    glyph.width = static_cast<int>(bitmap.width);
    glyph.height = static_cast<int>(bitmap.rows);
    glyph.xOrigin = static_cast<float>(-slot->bitmap_left);
    glyph.yOrigin = static_cast<float>(glyph.height - slot->bitmap_top);
    const std::size_t rowBytes = (bitmap.width + 7) / 8;
    glyph.rows.resize(rowBytes * bitmap.rows);
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        // FreeType stores the top row first (for a positive pitch), glBitmap the bottom one.
        const int pitch = bitmap.pitch;
        const unsigned char* src =
            pitch >= 0
                ? bitmap.buffer + static_cast<std::ptrdiff_t>(row) * pitch
                : bitmap.buffer + static_cast<std::ptrdiff_t>(bitmap.rows - 1 - row) * -pitch;
        std::copy(src, src + rowBytes, glyph.rows.begin() + (bitmap.rows - 1 - row) * rowBytes);
    }
    return glyph;
}

Glyph Rasterise(FT_Face face, int code, bool embolden, float cellAdvance) {
    const bool control = code < kFirstPrintable || (code >= kFirstControl && code <= kLastControl);
    const FT_UInt index = control ? 0 : FT_Get_Char_Index(face, static_cast<FT_ULong>(code));
    if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) != 0) {
        return Glyph{.advance = cellAdvance};
    }
    if (embolden) {
        FT_GlyphSlot_Embolden(face->glyph);
    }
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) != 0) {
        return Glyph{.advance = cellAdvance};
    }
    return FromBitmap(face->glyph, static_cast<float>((face->glyph->advance.x + 32) >> 6));
}

}  // namespace

GlyphSet RasteriseGlyphs(const char* faceName, int height, int count) {
    GlyphSet set;
    std::optional<FontFile> file = FindFontFile(faceName);
    FT_Library rawLibrary = nullptr;
    if (!file || height <= 0 || FT_Init_FreeType(&rawLibrary) != 0) {
        return set;
    }
    Library library(rawLibrary);
    FT_Face rawFace = nullptr;
    if (FT_New_Face(library.get(), file->path.c_str(), file->index, &rawFace) != 0) {
        return set;
    }
    Face face(rawFace);
    if (!SetCellHeight(face.get(), height)) {
        return set;
    }
    FT_Select_Charmap(face.get(), FT_ENCODING_UNICODE);
    const bool embolden = (face->style_flags & FT_STYLE_FLAG_BOLD) == 0;
    const float cellAdvance = static_cast<float>((face->size->metrics.max_advance + 32) >> 6);
    set.file = file->path;
    set.glyphs.reserve(static_cast<std::size_t>(count));
    for (int code = 0; code < count; ++code) {
        set.glyphs.push_back(Rasterise(face.get(), code, embolden, cellAdvance));
    }
    return set;
}

}  // namespace Font
