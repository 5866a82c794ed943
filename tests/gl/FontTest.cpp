// The bitmap font in a real GL context: its display lists, where texts land, and the
// state it changes.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "GlTest.h"
#include "TestUtil.h"
#include "font/font.h"

namespace {

using RenderTest::Rgba;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr float kYellow[3] = {1, 1, 0};
constexpr float kOrigin[3] = {0, 0, 0};

// A fontconfig configuration of the test's own, in force while it lives.
class FontConfig {
public:
    explicit FontConfig(const std::string& body) {
        std::ofstream(m_dir / "fonts.conf")
            << "<fontconfig>" << body << "<cachedir>" << m_dir.Path() << "</cachedir></fontconfig>";
        ::setenv("FONTCONFIG_FILE", (m_dir / "fonts.conf").c_str(), 1);
    }
    ~FontConfig() { ::unsetenv("FONTCONFIG_FILE"); }
    FontConfig(const FontConfig&) = delete;
    FontConfig& operator=(const FontConfig&) = delete;
    // A configuration that knows the one font file and nothing else.
    static std::string Only(const TestUtil::TempDir& dir, const std::string& file) {
        std::filesystem::create_symlink(file, dir / std::filesystem::path(file).filename());
        return "<dir>" + dir.Path() + "</dir>";
    }

private:
    TestUtil::TempDir m_dir;
};

class FontTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_gl.Ok());
        m_font.Create("Fixedsys", 14);
        glViewport(0, 0, kWidth, kHeight);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    static float RasterX() {
        GLfloat position[4] = {};
        glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
        return position[0];
    }
    // How far the raster position moves over the text printed at (100, 100) of the grid.
    static float Advance(Font::CSimpleFont& font, const std::string& text) {
        font.Printf2D(100, 100, kYellow, "%s", text.c_str());
        return RasterX() - 100.5f * kWidth / 640.0f;
    }
    static bool Lit(const Rgba& p) { return p[0] > 0 || p[1] > 0 || p[2] > 0; }

    RenderTest::Gl m_gl{kWidth, kHeight};
    Font::CSimpleFont m_font;
};

// Lists for codes 0 to 254 only, whatever the face asked for and the unpack state.
TEST_F(FontTest, ListsForCodes0To254OfAMonospaceFace) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_TRUE);
    Font::CSimpleFont other;
    other.Create("No Such Face At All", 14);
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 8);  // restored
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    for (int code : {0, int{'A'}, 254}) {
        EXPECT_TRUE(glIsList(Font::kFirstList + code)) << code;
    }
    EXPECT_FALSE(glIsList(Font::kFirstList + 255));
    EXPECT_FALSE(glIsList(Font::kFirstList - 1));
    other.Printf2D(0, 0, kYellow, "W");
    const std::vector<uint8_t> fromOther = m_gl.Context().ReadPixels();
    const float otherEnd = RasterX();
    glClear(GL_COLOR_BUFFER_BIT);
    m_font.Printf2D(0, 0, kYellow, "W");
    EXPECT_EQ(m_gl.Context().ReadPixels(), fromOther);
    EXPECT_FLOAT_EQ(RasterX(), otherEnd);
}

// A 640 × 480 grid whatever the viewport, the text's bottom left at the point; the
// matrices are as they were.
TEST_F(FontTest, Printf2DPutsTheTextAtItsPointOfTheGrid) {
    EXPECT_EQ(m_font.Printf2D(0, 0, kYellow, "%s", "AW"), 2);
    m_gl.Read();
    const int near = m_gl.Count(0, 0, 24, 16, Lit);
    EXPECT_GT(near, 10);
    EXPECT_EQ(m_gl.CountAll(Lit), near);
    const auto yellow = [](const Rgba& p) { return p[0] == 255 && p[1] == 255 && p[2] == 0; };
    EXPECT_EQ(m_gl.Count(0, 0, 24, 16, yellow), near);
    glClear(GL_COLOR_BUFFER_BIT);
    m_font.Printf2D(320, 240, kYellow, "X");
    m_gl.Read();
    EXPECT_GT(m_gl.Count(kWidth / 2 - 2, kHeight / 2 - 2, kWidth / 2 + 12, kHeight / 2 + 14, Lit),
              6);
    EXPECT_EQ(m_gl.Count(0, 0, kWidth / 2 - 4, kHeight - 1, Lit), 0);
    // The matrices are restored.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(2, 3, 4);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(5, 6, 7);
    m_font.Printf2D(10, 10, kYellow, "abc");
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[12], 5.0f);
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    EXPECT_EQ(m[5], 3.0f);
}

// One cell each, control codes too; byte 255 and a null format draw nothing; texts are cut
// to 1023 characters.
TEST_F(FontTest, GlyphsAdvanceByOneCellEach) {
    const float one = Advance(m_font, "W");
    EXPECT_GT(one, 4.0f);
    EXPECT_LT(one, 14.0f);
    for (const char* text : {"ii", "WW", "\x01\x02"}) {
        EXPECT_FLOAT_EQ(Advance(m_font, text), 2 * one) << text;
    }
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_FLOAT_EQ(Advance(m_font, "\xff"), 0);
    // A null format, given an argument as a format from elsewhere would be.
    const char* none = nullptr;
    EXPECT_EQ(m_font.Printf3D(kOrigin, kYellow, none, "x"), 0);
    EXPECT_EQ(m_font.Printf2D(0, 0, kYellow, none, "x"), 0);
    m_gl.Read();
    EXPECT_EQ(m_gl.CountAll(Lit), 0);
    const std::string longText(3000, 'x');
    EXPECT_EQ(m_font.Printf3D(kOrigin, kYellow, "%s", longText.c_str()), 1023);
    EXPECT_EQ(m_font.Printf2D(0, 0, kYellow, "%s%s", "ab", "cd"), 4);
}

// Control codes only advance, C1 ones too, even in a face that has glyphs for them: one of
// our own with a full block at 'A' and at each of them.
TEST_F(FontTest, ControlCodesOnlyAdvanceWhateverTheFaceHas) {
    const TestUtil::TempDir dir;
    std::ofstream bdf(dir / "block.bdf");
    bdf << "STARTFONT 2.1\nFONT block\nSIZE 14 75 75\nFONTBOUNDINGBOX 8 8 0 0\nSTARTPROPERTIES 5\n"
           "FAMILY_NAME \"Block\"\nWEIGHT_NAME \"Bold\"\nPIXEL_SIZE 14\nCHARSET_REGISTRY "
           "\"ISO10646\"\nCHARSET_ENCODING \"1\"\nENDPROPERTIES\nCHARS 4\n";
    for (int code : {int{'A'}, 0x7F, 0x85, 0x9F}) {
        bdf << "STARTCHAR c\nENCODING " << code
            << "\nSWIDTH 500 0\nDWIDTH 8 0\nBBX 8 8 0 0\nBITMAP\n"
            << TestUtil::Repeat("FF\n", 8) << "ENDCHAR\n";
    }
    bdf << "ENDFONT\n" << std::flush;
    {
        FontConfig config("<dir>" + dir.Path() + "</dir>");
        m_font.Create("Block", 14);
    }
    m_font.Printf2D(0, 0, kYellow, "A\x7f\x85\x9f");
    m_gl.Read();
    EXPECT_EQ(m_gl.CountAll(Lit), 64);  // the 'A' only
}

// A cell is the width of the face's '0', not that of its widest glyph: in a face of our own
// (so on any machine, whatever fonts it has) with an 8-pixel '0' and a 16-pixel 'W', every
// code advances by 8, the wide glyph, a missing one and a control code too.
TEST_F(FontTest, ACellIsTheZeroNotTheWidestGlyph) {
    constexpr int kZero = 8;
    const TestUtil::TempDir dir;
    std::ofstream bdf(dir / "wide.bdf");
    bdf << "STARTFONT 2.1\nFONT wide\nSIZE 14 75 75\nFONTBOUNDINGBOX 16 8 0 0\n"
           "STARTPROPERTIES 5\nFAMILY_NAME \"Wide\"\nWEIGHT_NAME \"Bold\"\nPIXEL_SIZE 14\n"
           "CHARSET_REGISTRY \"ISO10646\"\nCHARSET_ENCODING \"1\"\nENDPROPERTIES\nCHARS 2\n";
    bdf << "STARTCHAR zero\nENCODING 48\nSWIDTH 500 0\nDWIDTH " << kZero
        << " 0\nBBX 8 8 0 0\nBITMAP\n"
        << TestUtil::Repeat("FF\n", 8) << "ENDCHAR\n";
    bdf << "STARTCHAR wide\nENCODING 87\nSWIDTH 1000 0\nDWIDTH 16 0\nBBX 16 8 0 0\nBITMAP\n"
        << TestUtil::Repeat("FFFF\n", 8) << "ENDCHAR\nENDFONT\n"
        << std::flush;
    {
        FontConfig config("<dir>" + dir.Path() + "</dir>");
        m_font.Create("Wide", 14);
    }
    for (const std::string text : {"0", "W", "A", "\x01"}) {
        EXPECT_FLOAT_EQ(Advance(m_font, text), kZero) << text;
    }
    EXPECT_FLOAT_EQ(Advance(m_font, "0W0"), 3 * kZero);
}

struct InstalledFace {
    std::string family;
    std::string file;
};

// The installed faces: DejaVu Sans Mono Bold (what "Fixedsys" stands for) and another
// monospace face, as the machine's own fontconfig lists them.
struct InstalledFaces {
    std::optional<InstalledFace> standIn;
    std::optional<InstalledFace> other;
};

InstalledFaces FindInstalledFaces() {
    InstalledFaces found;
    FcConfig* config = FcInitLoadConfigAndFonts();
    FcPattern* all = FcPatternCreate();
    FcObjectSet* objects =
        FcObjectSetBuild(FC_FAMILY, FC_FILE, FC_WEIGHT, FC_SLANT, FC_SPACING, nullptr);
    FcFontSet* faces = FcFontList(config, all, objects);
    for (int i = 0; faces && i < faces->nfont; ++i) {
        FcChar8* family = nullptr;
        FcChar8* file = nullptr;
        int weight = 0, slant = 0, spacing = FC_PROPORTIONAL;
        FcPatternGetString(faces->fonts[i], FC_FAMILY, 0, &family);
        FcPatternGetString(faces->fonts[i], FC_FILE, 0, &file);
        FcPatternGetInteger(faces->fonts[i], FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(faces->fonts[i], FC_SLANT, 0, &slant);
        FcPatternGetInteger(faces->fonts[i], FC_SPACING, 0, &spacing);
        if (!family || !file) {
            continue;
        }
        const InstalledFace face{reinterpret_cast<const char*>(family),
                                 reinterpret_cast<const char*>(file)};
        if (face.family == "DejaVu Sans Mono") {
            if (weight == FC_WEIGHT_BOLD && slant == FC_SLANT_ROMAN) {
                found.standIn = face;
            }
        } else if (spacing == FC_MONO || face.family.find("Mono") != std::string::npos) {
            if (!found.other || face.file < found.other->file) {
                found.other = face;
            }
        }
    }
    FcFontSetDestroy(faces);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(all);
    FcConfigDestroy(config);
    return found;
}

// Bone labels look the same on every machine: "Fixedsys" is DejaVu Sans Mono Bold even where
// the configuration puts another monospace face before every family asked for; only where it
// is missing does another face stand in. Whatever the face, every code advances by one cell,
// the width of its '0', control codes included.
TEST_F(FontTest, FixedsysIsDejaVuSansMonoAndEveryCodeOneCellWhateverTheMachinePrefers) {
    const InstalledFaces faces = FindInstalledFaces();
    if (!faces.standIn) {
        GTEST_SKIP() << "DejaVu Sans Mono Bold is not installed (scripts/setup installs it)";
    }
    const std::string sample = "W0g|\xe9";
    // What DejaVu Sans Mono Bold draws, from a configuration that holds nothing else.
    std::vector<uint8_t> dejaVu;
    {
        TestUtil::TempDir fonts;
        FontConfig only(FontConfig::Only(fonts, faces.standIn->file));
        Font::CSimpleFont font;
        font.Create("Fixedsys", 14);
        glClear(GL_COLOR_BUFFER_BIT);
        font.Printf2D(100, 100, kYellow, "%s", sample.c_str());
        dejaVu = m_gl.Context().ReadPixels();
    }
    struct Row {
        const char* name;
        std::string config;  // empty: the machine's own
        bool isDejaVu;
    };
    TestUtil::TempDir otherFonts;
    std::vector<Row> rows = {{"the machine's own", "", true}};
    if (faces.other) {
        const std::string first = "<string>" + faces.other->family + "</string>";
        rows.push_back({"another face first",
                        "<include>/etc/fonts/fonts.conf</include>"
                        "<match target=\"pattern\"><edit name=\"family\" "
                        "mode=\"prepend_first\" binding=\"strong\">" +
                            first + "</edit></match>",
                        true});
        rows.push_back({"DejaVu missing", FontConfig::Only(otherFonts, faces.other->file), false});
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::optional<FontConfig> config;
        if (!row.config.empty()) {
            config.emplace(row.config);
        }
        Font::CSimpleFont font;
        font.Create("Fixedsys", 14);
        config.reset();
        glClear(GL_COLOR_BUFFER_BIT);
        font.Printf2D(100, 100, kYellow, "%s", sample.c_str());
        if (row.isDejaVu) {
            EXPECT_TRUE(m_gl.Context().ReadPixels() == dejaVu);
        }
        const float cell = Advance(font, "0");
        EXPECT_GT(cell, 4.0f);
        EXPECT_LT(cell, 10.0f);  // a digit's width, not that of the face's widest (CJK) glyph
        for (const std::string text : {"W", "i", "\x01", "\x7f", "\x85", "\xe9", "\xfe"}) {
            EXPECT_FLOAT_EQ(Advance(font, text), cell) << int{static_cast<uint8_t>(text[0])};
        }
    }
}

TEST_F(FontTest, Printf3DDrawsAtTheProjectedPointWithoutLightingTexturingBlendingAndFog) {
    const GLenum switches[] = {GL_LIGHTING, GL_TEXTURE_2D, GL_BLEND, GL_FOG};
    for (GLenum s : switches) {
        glEnable(s);
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    EXPECT_EQ(m_font.Printf3D(kOrigin, kYellow, "%s", "M"), 1);
    for (GLenum s : switches) {
        EXPECT_FALSE(glIsEnabled(s)) << s;
    }
    m_gl.Read();
    const int near =
        m_gl.Count(kWidth / 2 - 2, kHeight / 2 - 4, kWidth / 2 + 12, kHeight / 2 + 14, Lit);
    EXPECT_GT(near, 6);
    EXPECT_EQ(m_gl.CountAll(Lit), near);
}

}  // namespace
