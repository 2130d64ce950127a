#include "platform/fonts/code_page.h"
#include "platform/fonts/font_face.h"
#include "platform/fonts/font_match.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <future>
#include <vector>

using namespace qm::fonts;

namespace {

bool HaveMetricFonts() {
    return IsFontLoadable("Liberation Sans") || IsFontLoadable("Arimo");
}

} // namespace

TEST(FontMatch, WindowsFacesWithMetricCompatibleFontsAreLoadable) {
    if (!HaveMetricFonts())
        GTEST_SKIP() << "no Liberation or Croscore fonts installed";
    EXPECT_TRUE(IsFontLoadable("Arial"));
    EXPECT_TRUE(IsFontLoadable("arial"));
    EXPECT_TRUE(IsFontLoadable("Times New Roman"));
    EXPECT_TRUE(IsFontLoadable("TimesNewRoman"));
    EXPECT_TRUE(IsFontLoadable("Courier New"));
    EXPECT_TRUE(IsFontLoadable("DejaVu Sans"));
}

TEST(FontMatch, FallbackOnlyFacesAreNotLoadable) {
    EXPECT_FALSE(IsFontLoadable(""));
    EXPECT_FALSE(IsFontLoadable("   "));
    EXPECT_FALSE(IsFontLoadable("No Such Font 4711"));
    // fontconfig would hand out its default sans font for this one
    EXPECT_FALSE(IsFontLoadable("Liberation Sans Fallback Test"));
}

TEST(FontMatch, ArialResolvesToMetricCompatibleFileWithStyles) {
    if (!HaveMetricFonts())
        GTEST_SKIP() << "no Liberation or Croscore fonts installed";
    FontMatch regular = MatchFont("Arial", 400, false);
    EXPECT_TRUE(regular.exact);
    EXPECT_TRUE(regular.family == "Liberation Sans" || regular.family == "Arimo") << regular.family;
    EXPECT_FALSE(regular.file.empty());

    FontMatch boldItalic = MatchFont("ARIAL", 700, true);
    EXPECT_TRUE(boldItalic.exact);
    EXPECT_NE(boldItalic.file, regular.file);
    EXPECT_FALSE(boldItalic.syntheticBold);
    EXPECT_FALSE(boldItalic.syntheticItalic);
    // Widths asked for by a logical font are measured against Arial's own average width.
    if (!regular.exact || regular.family == "Arial")
        return;
    EXPECT_EQ(regular.windowsAvgCharWidth, 904);
}

TEST(FontMatch, UnknownFaceGetsSubstituteByFamilyHint) {
    if (!HaveMetricFonts())
        GTEST_SKIP() << "no Liberation or Croscore fonts installed";
    FontMatch any = MatchFont("No Such Font 4711", 400, false);
    EXPECT_FALSE(any.exact);
    EXPECT_FALSE(any.file.empty());

    FontMatch roman = MatchFont("No Such Font 4711", 400, false, FontHint::Roman);
    FontMatch serif = MatchFont("Times New Roman", 400, false);
    EXPECT_EQ(roman.file, serif.file);
    EXPECT_FALSE(roman.exact);

    FontMatch modern = MatchFont("", 400, false, HintFromPitchAndFamily(0x31));
    EXPECT_EQ(modern.file, MatchFont("Courier New", 400, false).file);
}

TEST(FontMatch, PitchAndFamilyHints) {
    EXPECT_EQ(HintFromPitchAndFamily(0x12), FontHint::Roman);
    EXPECT_EQ(HintFromPitchAndFamily(0x22), FontHint::Swiss);
    EXPECT_EQ(HintFromPitchAndFamily(0x01), FontHint::Modern);
    EXPECT_EQ(HintFromPitchAndFamily(0x00), FontHint::Any);
    EXPECT_TRUE(IsSymbolFace("Wingdings"));
    EXPECT_TRUE(IsSymbolFace("SYMBOL"));
    EXPECT_FALSE(IsSymbolFace("Arial"));
}

TEST(FontMatch, ConcurrentLookupsAgree) {
    std::vector<std::future<FontMatch>> results;
    for (int i = 0; i < 8; ++i)
        results.push_back(std::async(std::launch::async, [i] {
            return MatchFont(i % 2 ? "Courier New" : "courier new", 700, false);
        }));
    std::string first = results[0].get().file;
    for (size_t i = 1; i < results.size(); ++i)
        EXPECT_EQ(results[i].get().file, first);
}

TEST(BitmapFonts, MapperPicksTallestSizeNotTallerAndWholeEnlargements) {
    // MS Sans Serif's three sizes: cells 13, 16, 20 with 2, 3, 4 px internal leading.
    const std::vector<BitmapStrike> strikes = {
        {0, 13, 2, 400, {}}, {1, 16, 3, 400, {}}, {2, 20, 4, 400, {}}};
    auto pick = [&](double h) {
        StrikeChoice c = ChooseBitmapStrike(strikes, h);
        return std::make_pair(static_cast<int>(c.strike), c.scale);
    };
    EXPECT_EQ(pick(-13), std::make_pair(1, 1)); // em heights 11, 13, 16
    EXPECT_EQ(pick(-12), std::make_pair(0, 1));
    EXPECT_EQ(pick(16), std::make_pair(1, 1)); // cell heights
    EXPECT_EQ(pick(19.5), std::make_pair(1, 1));
    EXPECT_EQ(pick(8), std::make_pair(0, 1)); // smaller than all: the shortest
    EXPECT_EQ(pick(-8), std::make_pair(0, 1));
    EXPECT_EQ(pick(-33), std::make_pair(2, 2)); // only whole multiples of em 16
    EXPECT_EQ(pick(100), std::make_pair(2, 5));
    EXPECT_EQ(pick(1e9).second, 64); // bounded

    // Enlargements as the reference renderer's recorder measured them (its advances):
    // the next multiple of the cell is taken when it overshoots by at most a quarter cell,
    // a quarter less one pixel for doubling. An em height adds the internal leading.
    EXPECT_EQ(pick(-30), std::make_pair(2, 1)); // cell 34 asked: 40 overshoots by 6
    EXPECT_EQ(pick(-32), std::make_pair(2, 2)); // 36: by 4, just within
    EXPECT_EQ(pick(-40), std::make_pair(2, 2)); // 44: 60 overshoots by 16
    EXPECT_EQ(pick(30), std::make_pair(2, 1));
    EXPECT_EQ(pick(37), std::make_pair(2, 2));
    const std::vector<BitmapStrike> courier = {{0, 13, 0, 400, {}}};
    const std::vector<BitmapStrike> small = {{0, 11, 2, 400, {}}};
    auto scale = [](const std::vector<BitmapStrike>& s, double h) {
        return ChooseBitmapStrike(s, h).scale;
    };
    EXPECT_EQ(scale(courier, -22), 1);
    EXPECT_EQ(scale(courier, -24), 2);
    EXPECT_EQ(scale(courier, -30), 2);
    EXPECT_EQ(scale(courier, -40), 3);
    EXPECT_EQ(scale(courier, 37), 3);
    EXPECT_EQ(scale(small, -18), 1);
    EXPECT_EQ(scale(small, -20), 2);
    EXPECT_EQ(scale(small, -30), 3);
    EXPECT_EQ(scale(small, -40), 4);
    EXPECT_EQ(scale(small, 30), 2);
    EXPECT_EQ(scale(small, std::nan("")), 1);
}

TEST(BitmapFonts, LookAlikeFilesOfWindowsFaces) {
    FontMatch sans = MatchFont("MS Sans Serif", 400, false);
    if (sans.file.find(".fon") == std::string::npos)
        GTEST_SKIP() << "no look-alike raster fonts installed";
    EXPECT_TRUE(sans.bitmap);
    EXPECT_TRUE(sans.exact);
    EXPECT_FALSE(IsFontLoadable("MS Sans Serif")) << "only a few pixel sizes";
    std::vector<BitmapStrike> strikes = BitmapStrikes(sans.file);
    ASSERT_GE(strikes.size(), 2u);
    for (size_t i = 1; i < strikes.size(); ++i)
        EXPECT_GT(strikes[i].cellHeight, strikes[i - 1].cellHeight);

    sans.index = strikes[0].index;
    auto face = OpenFontFace(sans);
    ASSERT_TRUE(face);
    EXPECT_TRUE(face->IsBitmap());
    EXPECT_FALSE(face->SmoothAt(13));
    EXPECT_EQ(face->Metrics().ascent + face->Metrics().descent, strikes[0].cellHeight);
    // Glyphs are found by Unicode although the font is indexed by code page bytes.
    uint32_t euro = face->GlyphIndex(U'\u20AC'), m = face->GlyphIndex(U'M');
    EXPECT_NE(m, 0u);
    EXPECT_NE(euro, 0u);
    EXPECT_EQ(face->GlyphIndex(U'\u4E00'), 0u);
    GlyphBitmap bm = face->BitmapGlyph(m);
    EXPECT_GT(bm.advance, 0);
    ASSERT_EQ(bm.coverage.size(), size_t(bm.width) * bm.height);
    EXPECT_TRUE(std::all_of(bm.coverage.begin(), bm.coverage.end(),
                            [](uint8_t v) { return v == 0 || v == 255; }));
    EXPECT_GT(std::count(bm.coverage.begin(), bm.coverage.end(), 255), 10);

    // Outline look-alikes: bold has its own file.
    FontMatch tahoma = MatchFont("Tahoma", 400, false), bold = MatchFont("tahoma", 700, false);
    EXPECT_FALSE(tahoma.bitmap);
    EXPECT_TRUE(IsFontLoadable("Tahoma"));
    EXPECT_NE(tahoma.file, bold.file);
    EXPECT_FALSE(bold.syntheticBold);
}

namespace {

std::u32string Decoded(int codePage, std::string_view bytes, std::vector<int>* lengths = nullptr) {
    std::u32string out;
    for (const AnsiChar& c :
         DecodeAnsiText(codePage, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()})) {
        out.push_back(c.code);
        if (lengths)
            lengths->push_back(c.bytes);
    }
    return out;
}

} // namespace

TEST(CodePages, CharacterSetsNameTheirCodePages) {
    EXPECT_EQ(CodePageOfCharSet(128), 932);  // SHIFTJIS
    EXPECT_EQ(CodePageOfCharSet(129), 949);  // HANGUL
    EXPECT_EQ(CodePageOfCharSet(130), 1361); // JOHAB
    EXPECT_EQ(CodePageOfCharSet(134), 936);  // GB2312
    EXPECT_EQ(CodePageOfCharSet(136), 950);  // CHINESEBIG5
    EXPECT_EQ(CodePageOfCharSet(204), 1251);
    EXPECT_EQ(CodePageOfCharSet(255), 437); // OEM
    EXPECT_EQ(CodePageOfCharSet(0), 0);     // ANSI
    EXPECT_EQ(CodePageOfCharSet(2), 0);     // SYMBOL
    EXPECT_TRUE(IsDoubleByteCodePage(932));
    EXPECT_FALSE(IsDoubleByteCodePage(1251));
}

TEST(CodePages, DoubleBytePagesTakeLeadAndTrailBytesTogether) {
    std::vector<int> lengths;
    // Shift-JIS: kanji, an ASCII letter, a half-width katakana (one byte), kanji.
    EXPECT_EQ(Decoded(932,
                      "\x93\xfa"
                      "A"
                      "\xb1\x96\x7b",
                      &lengths),
              U"\u65E5A\uFF71\u672C");
    EXPECT_EQ(lengths, (std::vector<int>{2, 1, 1, 2}));
    EXPECT_EQ(Decoded(936, "\xd6\xd0\xce\xc4"), U"\u4E2D\u6587");
    EXPECT_EQ(Decoded(949, "\xc7\xd1\xb1\xb9"), U"\uD55C\uAD6D");
    EXPECT_EQ(Decoded(950, "\xa4\xa4\xa4\xe5"), U"\u4E2D\u6587");
    EXPECT_EQ(Decoded(1361, "\x88\x61"), U"\uAC00");
    // A lead byte left at the end stands alone; a pair the page leaves out is one unknown.
    lengths.clear();
    EXPECT_EQ(Decoded(932, "a\x93", &lengths), U"a\uFFFD");
    EXPECT_EQ(lengths, (std::vector<int>{1, 1}));
    EXPECT_EQ(Decoded(936, "\x81\x7f"
                           "b"),
              U"\uFFFDb");
}

TEST(CodePages, SingleBytePagesAndWindows1252) {
    EXPECT_EQ(Decoded(1251, "\xcf\xf0"), U"\u041F\u0440");
    EXPECT_EQ(Decoded(437, "\xb3\xc4\x82"), U"\u2502\u2500\u00E9");
    EXPECT_EQ(Decoded(0, "\x80\xe9"), U"\u20AC\u00E9");
    EXPECT_EQ(Decoded(1253, "\xaa"), U"\uFFFD"); // not in Windows-1253
}

// MS Serif and Terminal come from the X11 bitmap fonts, one file per size: the Times bitmaps
// for MS Serif, character cells for Terminal (8 x 12 at its usual height).
TEST(BitmapFonts, MsSerifAndTerminalLookAlikesComeAsOneFilePerSize) {
    FontMatch terminal = MatchFont("Terminal", 400, false);
    if (!terminal.bitmap)
        GTEST_SKIP() << "xfonts-base not installed";
    auto heights = [](const std::vector<BitmapStrike>& strikes) {
        std::vector<int> out;
        for (const BitmapStrike& s : strikes)
            out.push_back(s.cellHeight);
        return out;
    };
    const std::vector<BitmapStrike> cells = BitmapStrikes(terminal);
    EXPECT_EQ(heights(cells), (std::vector<int>{6, 8, 12, 16, 18}));
    const StrikeChoice usual = ChooseBitmapStrike(cells, 12);
    terminal.file = cells[usual.strike].file;
    terminal.index = cells[usual.strike].index;
    auto face = OpenFontFace(terminal);
    ASSERT_TRUE(face);
    EXPECT_TRUE(face->IsBitmap());
    EXPECT_EQ(face->Metrics().ascent + face->Metrics().descent, 12);
    const GlyphBitmap h = face->BitmapGlyph(face->GlyphIndex(U'H'));
    EXPECT_EQ(h.advance, 8);
    EXPECT_GT(h.height, 6);
    EXPECT_EQ(face->GlyphIndex(U'\u20AC'), 0u); // left to the fallback

    // Outline text (EMF+) takes an outline stand-in instead.
    EXPECT_FALSE(MatchOutlineFont("Terminal", 400, false).bitmap);
    EXPECT_FALSE(MatchOutlineFont("MS Sans Serif", 400, false).bitmap);

    FontMatch serif = MatchFont("MS Serif", 400, false);
    if (!serif.bitmap)
        GTEST_SKIP() << "xfonts-75dpi or xfonts-100dpi not installed";
    const std::vector<BitmapStrike> sizes = BitmapStrikes(serif);
    EXPECT_EQ(heights(sizes), (std::vector<int>{9, 11, 12, 14, 15, 17, 19, 20, 26, 34}));
    for (const BitmapStrike& s : BitmapStrikes(MatchFont("MS Serif", 700, false)))
        EXPECT_EQ(s.weight, 700);
    serif.file = sizes[1].file;
    serif.index = sizes[1].index;
    auto times = OpenFontFace(serif);
    ASSERT_TRUE(times);
    EXPECT_EQ(times->Metrics().ascent + times->Metrics().descent, 11);
    EXPECT_NE(times->GlyphIndex(U'\u00E9'), 0u);
}
