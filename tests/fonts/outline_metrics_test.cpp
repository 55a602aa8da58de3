// Metrics of the outline build and its failures, on any driver. The face
// for "Arial" bold italic is Liberation Sans Bold Italic, whose advances are
// Arial's own (2048 units to the em), so the expected figures are Arial's.
#include <string.h>

#include <functional>

#include "font_fixture.h"

namespace {

const int glyph_count = 255;

struct Build {
    BOOL result;
    GLYPHMETRICSFLOAT metrics[256];
};

// Metrics start as a pattern the build must overwrite or leave alone.
void fill_with_marks(GLYPHMETRICSFLOAT* metrics, int count) {
    memset(metrics, 0x5A, count * sizeof *metrics);
}

bool marked(const GLYPHMETRICSFLOAT& m) {
    GLYPHMETRICSFLOAT mark;
    fill_with_marks(&mark, 1);
    return memcmp(&m, &mark, sizeof m) == 0;
}

class OutlineMetrics : public FontWindow {
protected:
    void SetUp() override {
        FontWindow::SetUp();
        if (fonts_hidden) GTEST_SKIP() << "needs the installed fonts";
        SelectObject(gl.device_context, program_font());
        fill_with_marks(build.metrics, 256);
        build.result =
            wglUseFontOutlinesA(gl.device_context, 0, glyph_count, 1000, 0.0f, 0.2f, WGL_FONT_POLYGONS, build.metrics);
        ASSERT_TRUE(build.result);
    }
    Build build;
};

TEST_F(OutlineMetrics, AdvancesAreTheFacesInEmUnits) {
    struct Case {
        unsigned char code;
        int advance;  // in units of 1/2048 em
    } cases[] = {
        {'O', 1593},  {'i', 569}, {' ', 569}, {'W', 1933}, {0x80, 1139},  // the euro sign, by Windows-1252
        {0x99, 2048},                                                     // the trade mark sign
        {0xE9, 1139},                                                     // e acute, by Latin-1
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_FLOAT_EQ(build.metrics[c.code].gmfCellIncX, c.advance / 2048.0f);
        EXPECT_EQ(build.metrics[c.code].gmfCellIncY, 0.0f);
    }
}

TEST_F(OutlineMetrics, OrreluneIsAsWideAsInArial) {
    float total = 0;
    for (const char* p = "Orrelune"; *p; ++p) total += build.metrics[static_cast<unsigned char>(*p)].gmfCellIncX;
    EXPECT_FLOAT_EQ(total, 8536 / 2048.0f);
}

TEST_F(OutlineMetrics, BlackBoxesFrameTheInk) {
    const GLYPHMETRICSFLOAT& o = build.metrics['O'];
    const GLYPHMETRICSFLOAT& h = build.metrics['H'];
    // 'H' stands on the base line; the round 'O' overshoots it a little at
    // both ends; 'p' hangs below it.
    EXPECT_EQ(h.gmfptGlyphOrigin.y - h.gmfBlackBoxY, 0.0f);
    EXPECT_GT(h.gmfptGlyphOrigin.y, 0.6f);
    EXPECT_NEAR(o.gmfptGlyphOrigin.y - o.gmfBlackBoxY, -0.01f, 0.01f);
    EXPECT_NEAR(o.gmfptGlyphOrigin.y, h.gmfptGlyphOrigin.y, 0.02f);
    EXPECT_GT(o.gmfptGlyphOrigin.y, h.gmfptGlyphOrigin.y);
    EXPECT_LT(build.metrics['p'].gmfptGlyphOrigin.y - build.metrics['p'].gmfBlackBoxY, -0.15f);
    EXPECT_GT(o.gmfptGlyphOrigin.x, 0.0f);
    EXPECT_LT(o.gmfBlackBoxX, o.gmfCellIncX);
    EXPECT_LT(build.metrics['i'].gmfBlackBoxX, o.gmfBlackBoxX / 2);
    // The italic 'l' leans past its advance.
    const GLYPHMETRICSFLOAT& l = build.metrics['l'];
    EXPECT_GT(l.gmfptGlyphOrigin.x + l.gmfBlackBoxX, l.gmfCellIncX);
    // A space has no ink but still moves on.
    for (int blank : {0x20, 0xA0}) {
        const GLYPHMETRICSFLOAT& m = build.metrics[blank];
        EXPECT_EQ(m.gmfBlackBoxX, 0.0f);
        EXPECT_EQ(m.gmfBlackBoxY, 0.0f);
        EXPECT_GT(m.gmfCellIncX, 0.2f);
    }
}

TEST_F(OutlineMetrics, EveryCodeOfTheRangeIsWrittenAndNoneBeyond) {
    for (int code = 0; code < glyph_count; ++code) {
        SCOPED_TRACE(code);
        EXPECT_FALSE(marked(build.metrics[code]));
        // Codes without a glyph of their own take the default glyph's advance.
        EXPECT_GT(build.metrics[code].gmfCellIncX, 0.2f);
    }
    EXPECT_TRUE(marked(build.metrics[255]));
}

TEST_F(FontWindow, FailuresLeaveTheMetricsAlone) {
    if (fonts_hidden) GTEST_SKIP() << "needs the installed fonts";
    struct Case {
        const char* name;
        std::function<HDC(HDC)> prepare;  // returns the DC to build from
    } cases[] = {
        {"nothing selected (the first case, on a fresh DC)", [](HDC dc) { return dc; }},
        {"the stock system font selected",
         [](HDC dc) {
             SelectObject(dc, GetStockObject(SYSTEM_FONT));
             return dc;
         }},
        {"a deleted font",
         [](HDC dc) {
             HFONT font = program_font();
             SelectObject(dc, font);
             DeleteObject(font);
             return dc;
         }},
        {"not a DC",
         [](HDC dc) {
             SelectObject(dc, program_font());
             return reinterpret_cast<HDC>(0x1234);
         }},
        {"no current context",
         [](HDC dc) {
             SelectObject(dc, program_font());
             wglMakeCurrent(nullptr, nullptr);
             return dc;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(wglMakeCurrent(gl.device_context, gl.render_context));
        HDC target = c.prepare(gl.device_context);
        GLYPHMETRICSFLOAT metrics[4];
        fill_with_marks(metrics, 4);
        EXPECT_FALSE(wglUseFontOutlinesA(target, 'A', 4, 1000, 0.0f, 0.2f, WGL_FONT_POLYGONS, metrics));
        for (const GLYPHMETRICSFLOAT& m : metrics) EXPECT_TRUE(marked(m));
    }
}

// With no fonts installed the font object is still made and selected; the
// build fails and the program's zeroed metrics stay zero.
TEST_F(FontWindow, MissingFaceFailsWithoutACrash) {
    if (!fonts_hidden) GTEST_SKIP() << "runs with the fonts hidden (--no-fonts)";
    HFONT font = program_font();
    ASSERT_TRUE(font);
    EXPECT_TRUE(SelectObject(gl.device_context, font));
    GLYPHMETRICSFLOAT metrics[256] = {};
    EXPECT_FALSE(wglUseFontOutlinesA(gl.device_context, 0, glyph_count, 1000, 0.0f, 0.2f, WGL_FONT_POLYGONS, metrics));
    for (const GLYPHMETRICSFLOAT& m : metrics) EXPECT_EQ(m.gmfCellIncX, 0.0f);
}

TEST_F(FontWindow, FontObjectsFollowTheWin32Rules) {
    HFONT font = program_font();
    ASSERT_TRUE(font);
    LOGFONTA recorded;
    ASSERT_EQ(GetObjectA(font, sizeof recorded, &recorded), static_cast<int>(sizeof recorded));
    EXPECT_EQ(recorded.lfHeight, -12);
    EXPECT_EQ(recorded.lfWeight, FW_BOLD);
    EXPECT_EQ(recorded.lfItalic, TRUE);
    EXPECT_STREQ(recorded.lfFaceName, "Arial");
    EXPECT_EQ(GetObjectA(font, 0, nullptr), static_cast<int>(sizeof(LOGFONTA)));

    // A fresh DC holds the stock system font; each selection hands back the one before.
    EXPECT_EQ(SelectObject(gl.device_context, font), GetStockObject(SYSTEM_FONT));
    HFONT other = program_font();
    EXPECT_EQ(SelectObject(gl.device_context, other), font);
    EXPECT_EQ(SelectObject(gl.device_context, font), other);

    // A face name longer than the record holds is cut to fit it.
    char long_name[64];
    memset(long_name, 'x', sizeof long_name - 1);
    long_name[sizeof long_name - 1] = '\0';
    HFONT cut = CreateFontA(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, long_name);
    ASSERT_EQ(GetObjectA(cut, sizeof recorded, &recorded), static_cast<int>(sizeof recorded));
    EXPECT_EQ(strlen(recorded.lfFaceName), static_cast<size_t>(LF_FACESIZE - 1));

    EXPECT_TRUE(DeleteObject(other));
    EXPECT_FALSE(DeleteObject(other));
    EXPECT_EQ(GetObjectA(other, sizeof recorded, &recorded), 0);
}

}  // namespace
