#include "Glyphs.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <tuple>

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

struct FontSetDeleter {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};
using FontSet = std::unique_ptr<FcFontSet, FontSetDeleter>;

struct ObjectSetDeleter {
    void operator()(FcObjectSet* s) const { FcObjectSetDestroy(s); }
};
using ObjectSet = std::unique_ptr<FcObjectSet, ObjectSetDeleter>;

// The face that stands in for "Fixedsys", the original's bitmap face, and for any face
// that isn't there: the one scripts/setup installs, so that labels look the same on every
// machine whatever other monospace faces it has.
constexpr char kStandIn[] = "DejaVu Sans Mono";

// The family to ask for a requested face name.
std::string FamilyFor(const char* faceName) {
    if (!faceName || !*faceName ||
        FcStrCmpIgnoreCase(reinterpret_cast<const FcChar8*>(faceName),
                           reinterpret_cast<const FcChar8*>("Fixedsys")) == 0) {
        return kStandIn;
    }
    return faceName;
}

// The boldest upright face of exactly that family, by name alone: no alias or preference of
// the configuration puts another family in its place. Equal faces go by file name, so the
// choice doesn't hang on the order fontconfig lists them in.
std::optional<FontFile> FaceOfFamily(FcConfig* config, const std::string& family) {
    Pattern pattern(FcPatternCreate());
    ObjectSet objects(FcObjectSetBuild(FC_FILE, FC_INDEX, FC_WEIGHT, FC_SLANT, nullptr));
    if (!pattern || !objects) {
        return std::nullopt;
    }
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FontSet faces(FcFontList(config, pattern.get(), objects.get()));
    std::optional<FontFile> best;
    int bestScore = 0;
    for (int i = 0; faces && i < faces->nfont; ++i) {
        FcPattern* face = faces->fonts[i];
        FcChar8* file = nullptr;
        if (FcPatternGetString(face, FC_FILE, 0, &file) != FcResultMatch) {
            continue;
        }
        FontFile candidate{reinterpret_cast<const char*>(file), 0};
        FcPatternGetInteger(face, FC_INDEX, 0, &candidate.index);
        int weight = FC_WEIGHT_REGULAR;
        int slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(face, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(face, FC_SLANT, 0, &slant);
        constexpr int kSlanted = 1000;  // worse than any weight
        const int score =
            (slant == FC_SLANT_ROMAN ? 0 : kSlanted) + std::abs(weight - FC_WEIGHT_BOLD);
        if (!best || score < bestScore ||
            (score == bestScore &&
             std::tie(candidate.path, candidate.index) < std::tie(best->path, best->index))) {
            best = candidate;
            bestScore = score;
        }
    }
    return best;
}

// Any bold monospace face fontconfig offers, for a machine without the stand-in.
std::optional<FontFile> AnyMonospaceFace(FcConfig* config) {
    Pattern pattern(FcPatternCreate());
    if (!pattern) {
        return std::nullopt;
    }
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("monospace"));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, FC_WEIGHT_BOLD);
    FcPatternAddInteger(pattern.get(), FC_SPACING, FC_MONO);
    FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    Pattern match(FcFontMatch(config, pattern.get(), &result));
    FcChar8* file = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch) {
        return std::nullopt;
    }
    FontFile found{reinterpret_cast<const char*>(file), 0};
    FcPatternGetInteger(match.get(), FC_INDEX, 0, &found.index);
    return found;
}

// The face asked for by name, else the stand-in, else any monospace face. A configuration
// of our own, released afterwards, leaves nothing behind in the process (the shared one
// lives until FcFini, which a process that also runs a toolkit must not call).
std::optional<FontFile> FindFontFile(const char* faceName) {
    Config config(FcInitLoadConfigAndFonts());
    if (!config) {
        return std::nullopt;
    }
    const std::string family = FamilyFor(faceName);
    std::optional<FontFile> found = FaceOfFamily(config.get(), family);
    if (!found && family != kStandIn) {
        found = FaceOfFamily(config.get(), kStandIn);
    }
    return found ? found : AnyMonospaceFace(config.get());
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
        const auto destination = static_cast<std::ptrdiff_t>((bitmap.rows - 1 - row) * rowBytes);
        std::copy(src, src + rowBytes, glyph.rows.begin() + destination);
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
    return FromBitmap(face->glyph, cellAdvance);
}

// The advance of the face's '0' as drawn (emboldening widens it), if the face has one.
std::optional<float> ZeroAdvance(FT_Face face, bool embolden) {
    const FT_UInt index = FT_Get_Char_Index(face, '0');
    if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) != 0) {
        return std::nullopt;
    }
    if (embolden) {
        FT_GlyphSlot_Embolden(face->glyph);
    }
    return static_cast<float>((face->glyph->advance.x + 32) >> 6);
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
    // One cell per code, as a fixed-pitch face advances: the width of its '0' (not its widest
    // glyph, which in a face with wide symbols is two cells or more).
    const float widest = static_cast<float>((face->size->metrics.max_advance + 32) >> 6);
    const float cellAdvance = ZeroAdvance(face.get(), embolden).value_or(widest);
    set.file = file->path;
    set.glyphs.reserve(static_cast<std::size_t>(count));
    for (int code = 0; code < count; ++code) {
        set.glyphs.push_back(Rasterise(face.get(), code, embolden, cellAdvance));
    }
    return set;
}

}  // namespace Font
