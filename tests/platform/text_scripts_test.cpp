// Text beyond Latin: East Asian, Hebrew and Arabic faces drawn with installed fonts of their
// script, characters a face lacks taken from another font, and turned text placed by each
// alignment.
#include <gtest/gtest.h>

#include <cairo.h>

#include <vector>

#include "platform/emf/text_draw.h"
#include "platform/fonts/font_match.h"

using namespace qm::emf;

namespace {

// The ink of one string as a set of dark pixels on a white 200 x 200 canvas.
std::vector<bool> Ink(const std::string& face, std::vector<uint32_t> codes, int escapement = 0,
                      uint32_t align = kTaBaseline, double x = 20, double y = 120,
                      int box[4] = nullptr, uint32_t options = 0) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 200, 200);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    TextRequest r;
    r.font.faceName = face;
    r.font.height = -48;
    r.font.escapement = escapement;
    r.align = align;
    r.refX = x;
    r.refY = y;
    r.codes = std::move(codes);
    r.options = options;
    DrawTextRequest(cr, r);
    cairo_surface_flush(s);
    std::vector<bool> ink(200 * 200);
    if (box) {
        box[0] = box[1] = 200;
        box[2] = box[3] = -1;
    }
    for (int j = 0; j < 200; ++j)
        for (int i = 0; i < 200; ++i) {
            const uint32_t p = reinterpret_cast<uint32_t*>(
                cairo_image_surface_get_data(s) + j * cairo_image_surface_get_stride(s))[i];
            ink[j * 200 + i] = (p & 0xFF) < 128;
            if (ink[j * 200 + i] && box) {
                box[0] = std::min(box[0], i), box[1] = std::min(box[1], j);
                box[2] = std::max(box[2], i), box[3] = std::max(box[3], j);
            }
        }
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    return ink;
}

int Count(const std::vector<bool>& v) {
    int n = 0;
    for (bool b : v)
        n += b;
    return n;
}

// Two different characters that both come out as the missing-glyph box look the same.
void ExpectRealGlyphs(const std::string& face, uint32_t a, uint32_t b) {
    const auto first = Ink(face, {a}), second = Ink(face, {b});
    EXPECT_GT(Count(first), 20) << face;
    EXPECT_GT(Count(second), 20) << face;
    EXPECT_NE(first, second) << face << ": both drawn as the missing-glyph box";
}

} // namespace

TEST(TextScripts, EastAsianFacesMapToFontsOfTheirScript) {
    if (!qm::fonts::IsFontLoadable("Noto Sans CJK JP"))
        GTEST_SKIP() << "fonts-noto-cjk not installed";
    EXPECT_EQ(qm::fonts::MatchFont("MS Mincho", 400, false).family, "Noto Serif CJK JP");
    EXPECT_EQ(qm::fonts::MatchFont("ＭＳ ゴシック", 400, false).family, "Noto Sans Mono CJK JP");
    EXPECT_EQ(qm::fonts::MatchFont("MS PGothic", 400, false).family, "Noto Sans CJK JP");
    EXPECT_EQ(qm::fonts::MatchFont("SimSun", 400, false).family, "Noto Serif CJK SC");
    EXPECT_EQ(qm::fonts::MatchFont("PMingLiU", 400, false).family, "Noto Serif CJK TC");
    EXPECT_EQ(qm::fonts::MatchFont("Malgun Gothic", 400, false).family, "Noto Sans CJK KR");
    ExpectRealGlyphs("ＭＳ 明朝", 0x65E5, 0x672C);     // 日 本
    ExpectRealGlyphs("Malgun Gothic", 0xD55C, 0xAE00); // 한 글
}

TEST(TextScripts, CharactersALatinFaceLacksComeFromAnotherFont) {
    if (!qm::fonts::IsFontLoadable("Noto Sans CJK JP") || !qm::fonts::IsFontLoadable("Arial"))
        GTEST_SKIP() << "fonts-noto-cjk or an Arial substitute not installed";
    ExpectRealGlyphs("Arial", 0x6F22, 0x5B57); // 漢 字
}

TEST(TextScripts, HebrewAndArabicFacesMapToFontsOfTheirScript) {
    if (!qm::fonts::IsFontLoadable("David CLM") || !qm::fonts::IsFontLoadable("KacstBook"))
        GTEST_SKIP() << "culmus or fonts-kacst not installed";
    EXPECT_EQ(qm::fonts::MatchFont("David", 400, false).family, "David CLM");
    EXPECT_EQ(qm::fonts::MatchFont("Miriam", 400, false).family, "Miriam CLM");
    EXPECT_EQ(qm::fonts::MatchFont("Simplified Arabic", 400, false).family, "KacstBook");
    ExpectRealGlyphs("David", 0x05E9, 0x05DC); // ש ל
    ExpectRealGlyphs("Simplified Arabic", 0x0628, 0x0633);
}

// Text turned by 90 degrees runs upwards; the alignment flags name the point of the turned
// string that lands on the reference point.
TEST(TextScripts, TurnedTextIsPlacedByEachAlignment) {
    if (!qm::fonts::IsFontLoadable("Arial"))
        GTEST_SKIP() << "no Arial substitute installed";
    const std::vector<uint32_t> text = {'T', 'e', 'x', 't'};
    const double x = 100, y = 100;
    int box[4];
    struct Case {
        uint32_t align;
        const char* name;
    };
    for (const Case c :
         {Case{0, "left top"}, Case{kTaCenter, "centre top"}, Case{kTaRight, "right top"},
          Case{kTaBaseline, "left baseline"}, Case{kTaBottom, "left bottom"},
          Case{kTaRight | kTaBottom, "right bottom"}}) {
        SCOPED_TRACE(c.name);
        Ink("Arial", text, 900, c.align, x, y, box);
        ASSERT_GE(box[2], 0);
        // Along the string (upwards on the page).
        const uint32_t horizontal = c.align & kTaCenter;
        if (horizontal == 0)
            EXPECT_LE(box[3], y + 1); // starts at the point and runs up
        else if (horizontal == kTaRight)
            EXPECT_GE(box[1], y - 1); // ends at the point
        else
            EXPECT_TRUE(box[1] < y && box[3] > y);
        // Across it: the top of the letters faces left.
        const uint32_t vertical = c.align & kTaBaseline;
        if (vertical == 0)
            EXPECT_GE(box[0], x - 1); // top at the point: letters to its right
        else if (vertical == kTaBottom)
            EXPECT_LE(box[2], x + 1); // bottom at the point: letters to its left
        else
            EXPECT_TRUE(box[0] < x && box[2] >= x - 12); // baseline: descenders cross it
    }
}

// Hebrew runs right to left: of "lamed shin" the shin is drawn first, at the left.
TEST(TextScripts, RightToLeftTextIsShapedIntoDrawingOrder) {
    if (!qm::fonts::IsFontLoadable("David CLM"))
        GTEST_SKIP() << "culmus not installed";
    int shinBox[4], pairBox[4];
    const auto shin = Ink("David", {0x05E9}, 0, kTaBaseline, 20, 120, shinBox);
    const auto pair = Ink("David", {0x05DC, 0x05E9}, 0, kTaBaseline, 20, 120, pairBox);
    ASSERT_GE(shinBox[2], 0);
    EXPECT_EQ(pairBox[0], shinBox[0]);
    for (int y = 0; y < 200; ++y)
        for (int x = shinBox[0]; x <= shinBox[2]; ++x)
            ASSERT_EQ(pair[y * 200 + x], shin[y * 200 + x]) << x << "," << y;
    EXPECT_GT(pairBox[2], shinBox[2] + 5); // the lamed follows on the right
}

// Arabic letters join: two behs take their initial and final forms, not two isolated ones.
TEST(TextScripts, ArabicLettersTakeTheirJoiningForms) {
    if (!qm::fonts::IsFontLoadable("KacstBook"))
        GTEST_SKIP() << "fonts-kacst not installed";
    int one[4], two[4];
    Ink("Simplified Arabic", {0x0628}, 0, kTaBaseline, 20, 120, one);
    Ink("Simplified Arabic", {0x0628, 0x0628}, 0, kTaBaseline, 20, 120, two);
    ASSERT_GE(one[2], 0);
    ASSERT_GE(two[2], 0);
    // Joined forms are narrower than two isolated letters side by side.
    EXPECT_LT(two[2] - two[0], 2 * (one[2] - one[0]));
}

namespace {

// UTF-16 code units of a string of code points.
std::vector<uint32_t> Utf16(std::initializer_list<char32_t> text) {
    std::vector<uint32_t> out;
    for (char32_t c : text) {
        if (c < 0x10000) {
            out.push_back(c);
        } else {
            out.push_back(0xD800 + ((c - 0x10000) >> 10));
            out.push_back(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

} // namespace

// The symbols of Wingdings 2, Wingdings 3 and Webdings come out as their Unicode equivalents
// drawn by a font that has them, whether the codes are plain bytes or in the private-use
// range: the same ink as those characters written in that font (these ones only it has).
TEST(TextScripts, DingbatFacesDrawTheUnicodeEquivalentsOfTheirCodes) {
    if (!qm::fonts::IsFontLoadable("Symbola"))
        GTEST_SKIP() << "fonts-symbola not installed";
    struct Case {
        const char* face;
        std::vector<uint32_t> codes;
        std::initializer_list<char32_t> unicode;
    };
    const Case cases[] = {
        {"Wingdings 2", {0xF021, 0xF050, 0xF0E0}, {0x1F58A, 0x1F5F8, 0x1F7BB}},
        {"Wingdings 2", {0x21, 0xE0}, {0x1F58A, 0x1F7BB}},
        {"Wingdings 3", {0xF021, 0xF06A, 0xF0E0}, {0x2B60, 0x1F854, 0x1F876}},
        {"Webdings", {0xF021, 0xF050, 0xF0E0}, {0x1F577, 0x1F3DE, 0x1F31C}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.face);
        const auto symbols = Ink(c.face, c.codes);
        const auto reference = Ink("Symbola", Utf16(c.unicode));
        EXPECT_GT(Count(symbols), 50);
        EXPECT_EQ(symbols, reference);
    }
}

// Mixed strings are drawn in the order of the bidirectional algorithm: each run in its own
// direction, the runs ordered by the paragraph's direction (right to left with
// ETO_RTLREADING). The left part of the string looks as the characters drawn there alone.
TEST(TextScripts, MixedStringsAreReorderedRunByRun) {
    if (!qm::fonts::IsFontLoadable("David CLM"))
        GTEST_SKIP() << "culmus not installed";
    const uint32_t shin = 0x05E9, lamed = 0x05DC;
    struct Case {
        const char* name;
        std::vector<uint32_t> text;
        uint32_t options;
        std::vector<uint32_t> left; // what lies at the left, drawn alone left to right
    };
    const Case cases[] = {
        {"Latin, Hebrew, Latin", {'A', ' ', shin, lamed, ' ', 'B'}, 0, {'A', ' ', lamed}},
        {"the same read right to left",
         {'A', ' ', shin, lamed, ' ', 'B'},
         kEtoRtlReading,
         {'B', ' ', lamed}},
        {"Hebrew and digits right to left",
         {shin, lamed, ' ', '1', '2'},
         kEtoRtlReading,
         {'1', '2', ' ', lamed}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int whole[4], left[4];
        const auto all = Ink("David", c.text, 0, kTaBaseline, 20, 120, whole, c.options);
        const auto part = Ink("David", c.left, 0, kTaBaseline, 20, 120, left);
        ASSERT_GE(left[2], 0);
        EXPECT_GT(whole[2], left[2] + 10); // more follows on the right
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x <= left[2]; ++x)
                ASSERT_EQ(all[y * 200 + x], part[y * 200 + x]) << x << "," << y;
    }
}
