// Text through whole metafiles of our own: a font record, the alignment and an EXTTEXTOUTW
// record per case, played as a conversion plays them. The ink must land in the box the
// alignment names and be real glyphs, not missing-glyph boxes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/emf/text_draw.h"
#include "platform/fonts/font_match.h"
#include "tests/platform/emf_builder.h"

namespace qm::emf::testing {
namespace {

constexpr int kSize = 240;

struct Text {
    std::u16string face;
    std::u16string text;
    int height = -40;
    int escapement = 0; // tenths of a degree
    uint32_t align = kTaBaseline;
    uint32_t options = 0;
    int charset = -1;             // the face's own when negative
    std::string ansi = {};        // when set: an EXTTEXTOUTA record of these bytes instead
    std::vector<int32_t> dx = {}; // the spacing array, one entry per character (or byte)
};

// A picture of kSize x kSize pixels with the text at (120, 120).
Picture PlayText(const Text& t) {
    EmfBuilder b(kSize, kSize);
    // EMR_EXTCREATEFONTINDIRECTW into slot 1: height, width, escapement, orientation, weight,
    // italic/underline/strike-out/charset, precisions/quality/pitch, face (32 UTF-16 units).
    const uint32_t charset = t.charset >= 0                       ? uint32_t(t.charset)
                             : t.face.rfind(u"Wingdings", 0) == 0 ? 2
                                                                  : 1;
    std::vector<int32_t> f = {
        1, t.height, 0, t.escapement, t.escapement, 400, int32_t(charset << 24), 0};
    std::vector<int32_t> name(16, 0);
    std::memcpy(name.data(), t.face.data(), std::min<size_t>(t.face.size(), 31) * 2);
    f.insert(f.end(), name.begin(), name.end());
    b.Raw(82, f);
    b.Record(37, {1});                // select it
    b.Record(18, {1});                // transparent background
    b.Record(22, {int32_t(t.align)}); // SetTextAlign
    // EMR_EXTTEXTOUTW (or A) at (120, 120), no rectangle, no spacing array.
    const bool wide = t.ansi.empty();
    const int32_t n = int32_t(wide ? t.text.size() : t.ansi.size());
    std::vector<int32_t> r = {0, 0, -1, -1, 1, 0, 0, 120, 120, n, 76, int32_t(t.options),
                              0, 0, -1, -1, 0};
    std::vector<int32_t> chars(wide ? (n + 1) / 2 : (n + 3) / 4, 0);
    std::memcpy(chars.data(), wide ? static_cast<const void*>(t.text.data()) : t.ansi.data(),
                size_t(n) * (wide ? 2 : 1));
    r.insert(r.end(), chars.begin(), chars.end());
    if (!t.dx.empty()) {
        r[16] = int32_t(76 + 4 * chars.size()); // offDx: after the string
        r.insert(r.end(), t.dx.begin(), t.dx.end());
    }
    b.Raw(wide ? 84 : 83, r);
    return Play(b.Finish());
}

struct Ink {
    int left = kSize, top = kSize, right = -1, bottom = -1, count = 0;
    std::vector<bool> mask;
};

Ink InkOf(const Picture& p) {
    Ink ink;
    ink.mask.assign(size_t(p.width) * p.height, false);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if ((p.At(x, y) & 0xFF) < 128 || ((p.At(x, y) >> 16) & 0xFF) < 128) {
                ink.mask[size_t(y) * p.width + x] = true;
                ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y), ink.bottom = std::max(ink.bottom, y);
                ++ink.count;
            }
    return ink;
}

// A string of the script in its face: ink right of the reference point and mostly above the
// baseline, and every character a glyph of its own (two characters never look alike, as two
// missing-glyph boxes would).
void ExpectScriptString(const std::u16string& face, const std::u16string& text) {
    const Ink all = InkOf(PlayText({face, text}));
    ASSERT_GT(all.count, 100);
    EXPECT_GE(all.left, 118);
    EXPECT_LT(all.top, 120 - 20);
    EXPECT_LE(all.bottom, 120 + 16);
    const Ink first = InkOf(PlayText({face, text.substr(0, 1)}));
    const Ink second = InkOf(PlayText({face, text.substr(1, 1)}));
    EXPECT_GT(first.count, 30);
    EXPECT_NE(first.mask, second.mask) << "drawn as missing-glyph boxes";
}

TEST(TextMetafile, CjkStringDrawsGlyphsOfItsScript) {
    if (!fonts::IsFontLoadable("Noto Serif CJK JP"))
        GTEST_SKIP() << "fonts-noto-cjk not installed";
    ExpectScriptString(u"MS Mincho", u"漢字");
    ExpectScriptString(u"SimSun", u"中文");
}

TEST(TextMetafile, HebrewStringDrawsGlyphsOfItsScript) {
    if (!fonts::IsFontLoadable("David CLM"))
        GTEST_SKIP() << "culmus not installed";
    ExpectScriptString(u"David", u"\u05E9\u05DC\u05D5\u05DD");
    // Right to left reading: the same ink.
    const Ink plain = InkOf(PlayText({u"David", u"\u05E9\u05DC\u05D5\u05DD"}));
    Text rtl{u"David", u"\u05E9\u05DC\u05D5\u05DD"};
    rtl.options = kEtoRtlReading;
    EXPECT_EQ(InkOf(PlayText(rtl)).mask, plain.mask);
}

TEST(TextMetafile, WingdingsTwoStringDrawsItsSymbols) {
    if (!fonts::IsFontLoadable("Symbola"))
        GTEST_SKIP() << "fonts-symbola not installed";
    // Three symbols, as the private-use codes a recording of Wingdings 2 text holds.
    const Ink symbols = InkOf(PlayText({u"Wingdings 2", u"\uF021\uF050\uF0E0"}));
    const Ink reference = InkOf(PlayText({u"Symbola", u"\U0001F58A\U0001F5F8\U0001F7BB"}));
    ASSERT_GT(symbols.count, 100);
    EXPECT_GE(symbols.left, 118);
    // The same shapes, whatever the baseline the stand-in face gives.
    ASSERT_EQ(symbols.right - symbols.left, reference.right - reference.left);
    ASSERT_EQ(symbols.bottom - symbols.top, reference.bottom - reference.top);
    for (int y = 0; y <= symbols.bottom - symbols.top; ++y)
        for (int x = 0; x <= symbols.right - symbols.left; ++x)
            ASSERT_EQ(symbols.mask[size_t(symbols.top + y) * kSize + symbols.left + x],
                      reference.mask[size_t(reference.top + y) * kSize + reference.left + x])
                << x << "," << y;
}

// ANSI bytes in a character set, and the characters they stand for.
struct AnsiCase {
    const char16_t* face;
    int charset;
    const char* bytes;
    std::u16string text;
};

// Each case's bytes in an ANSI record draw exactly what its characters draw from a Unicode one.
template <size_t N> void ExpectAnsiDrawsAsUnicode(const AnsiCase (&cases)[N], int minInk) {
    for (const AnsiCase& c : cases) {
        SCOPED_TRACE(c.charset);
        Text ansi{c.face, u"", -40, 0, kTaBaseline, 0, c.charset, c.bytes};
        Text wide{c.face, c.text, -40, 0, kTaBaseline, 0, c.charset};
        const Ink fromBytes = InkOf(PlayText(ansi));
        EXPECT_GT(fromBytes.count, minInk);
        EXPECT_EQ(fromBytes.mask, InkOf(PlayText(wide)).mask);
    }
}

// The bytes of ANSI text records are characters of the code page of the font's character set.
TEST(TextMetafile, AnsiTextFollowsTheCodePageOfItsCharacterSet) {
    if (!fonts::IsFontLoadable("David CLM") || !fonts::IsFontLoadable("Arial"))
        GTEST_SKIP() << "culmus or an Arial substitute not installed";
    const AnsiCase cases[] = {
        {u"David", 177, "\xF9\xEC\xE5\xED", u"\u05E9\u05DC\u05D5\u05DD"}, // Hebrew
        {u"Arial", 204, "\xCF\xF0\xE8", u"\u041F\u0440\u0438"},           // Cyrillic
        {u"Arial", 161, "\xC1\xE2", u"\u0391\u03B2"},                     // Greek
    };
    ExpectAnsiDrawsAsUnicode(cases, 100);
}

// Double-byte code pages: the bytes of Japanese, Chinese and Korean ANSI records draw what the
// same characters draw from a Unicode record, ASCII between them included.
TEST(TextMetafile, AnsiTextInDoubleByteCodePagesDrawsItsCharacters) {
    if (!fonts::IsFontLoadable("Noto Sans CJK JP"))
        GTEST_SKIP() << "fonts-noto-cjk not installed";
    const AnsiCase cases[] = {
        {u"MS Gothic", 128,
         "\x93\xfa\x96\x7b"
         "A"
         "\x8c\xea",
         u"\u65E5\u672CA\u8A9E"},                               // 932
        {u"SimSun", 134, "\xd6\xd0\xce\xc4", u"\u4E2D\u6587"},  // 936
        {u"Gulim", 129, "\xc7\xd1\xb1\xb9", u"\uD55C\uAD6D"},   // 949
        {u"MingLiU", 136, "\xa4\xa4\xa4\xe5", u"\u4E2D\u6587"}, // 950
    };
    ExpectAnsiDrawsAsUnicode(cases, 200);
}

// The spacing array of an ANSI record has an entry per byte: a double-byte character moves
// the pen by the sum of the entries of its two bytes.
TEST(TextMetafile, DoubleByteCharacterAdvancesByTheEntriesOfBothBytes) {
    if (!fonts::IsFontLoadable("Noto Sans CJK JP"))
        GTEST_SKIP() << "fonts-noto-cjk not installed";
    Text ansi{u"MS Gothic",
              u"",
              -30,
              0,
              kTaBaseline,
              0,
              128,
              "\x93\xfa"
              "A\x96\x7b"};
    ansi.dx = {20, 30, 12, 0, 30};
    Text wide{u"MS Gothic", u"\u65E5A\u672C", -30, 0, kTaBaseline, 0, 128};
    wide.dx = {50, 12, 30};
    const Ink fromBytes = InkOf(PlayText(ansi));
    EXPECT_GT(fromBytes.count, 200);
    EXPECT_EQ(fromBytes.mask, InkOf(PlayText(wide)).mask);
    // Taken per byte instead, the letter and the second character would sit further left.
    wide.dx = {20, 30, 12};
    EXPECT_NE(fromBytes.mask, InkOf(PlayText(wide)).mask);
}

// Terminal's look-alike sizes come from files of their own: each height takes its cell, and
// the glyphs are raster glyphs (no grey pixels).
TEST(TextMetafile, TerminalTakesTheCellOfItsHeight) {
    if (!fonts::MatchFont("Terminal", 400, false).bitmap)
        GTEST_SKIP() << "xfonts-base not installed";
    for (auto [height, advance] : {std::pair{12, 8}, std::pair{18, 9}}) {
        SCOPED_TRACE(height);
        const Ink one = InkOf(PlayText({u"Terminal", u"H", height, 0, kTaBaseline, 0, 255}));
        const Picture two = PlayText({u"Terminal", u"HH", height, 0, kTaBaseline, 0, 255});
        const Ink both = InkOf(two);
        ASSERT_GT(one.count, 10);
        EXPECT_EQ(both.right - one.right, advance);
        for (uint32_t pixel : two.pixels)
            ASSERT_TRUE((pixel & 0xFFFFFF) == 0 || (pixel & 0xFFFFFF) == 0xFFFFFF);
    }
}

// Text turned by 90 degrees runs up the page. The alignment names the point of the turned
// string that lands on the reference point: along the string its start, centre or end, across
// it its top, baseline or bottom (top facing left).
TEST(TextMetafile, TurnedTextIsPlacedByEachOfTheNineAlignments) {
    if (!fonts::IsFontLoadable("Arial"))
        GTEST_SKIP() << "no Arial substitute installed";
    const int x = 120, y = 120;
    for (uint32_t horizontal : {0u, uint32_t(kTaCenter), uint32_t(kTaRight)})
        for (uint32_t vertical : {0u, uint32_t(kTaBaseline), uint32_t(kTaBottom)}) {
            SCOPED_TRACE(::testing::Message() << "align " << (horizontal | vertical));
            const Ink ink = InkOf(PlayText({u"Arial", u"Text", -40, 900, horizontal | vertical}));
            ASSERT_GT(ink.count, 50);
            EXPECT_GT(ink.bottom - ink.top, ink.right - ink.left); // runs up the page
            if (horizontal == 0)
                EXPECT_LE(ink.bottom, y + 1);
            else if (horizontal == kTaRight)
                EXPECT_GE(ink.top, y - 1);
            else
                EXPECT_TRUE(ink.top < y - 10 && ink.bottom > y + 10);
            if (vertical == 0)
                EXPECT_GE(ink.left, x - 1);
            else if (vertical == kTaBottom)
                EXPECT_LE(ink.right, x + 1);
            else
                EXPECT_TRUE(ink.left < x - 10 && ink.right >= x - 2);
        }
}

} // namespace
} // namespace qm::emf::testing
