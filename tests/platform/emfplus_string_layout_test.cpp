// DrawString layout: wrapping, tab stops, line limit, trimming, alignment and hotkey prefixes
// on advances alone, then vertical lines, hotkey underlines and tab stops through metafiles.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/emfplus/emfplus_string_layout.h"
#include "platform/fonts/font_match.h"
#include "tests/platform/emfplus_builder.h"

namespace qm::emfplus {
namespace {

// Every character ten units wide.
std::vector<LayoutChar> Chars(const std::u32string& text) {
    std::vector<LayoutChar> out;
    for (char32_t c : text)
        out.push_back({c, 10});
    return out;
}

// The characters of each line, the ellipsis written as '~'.
std::vector<std::u32string> Texts(const std::u32string& text, const std::vector<LaidLine>& lines) {
    std::vector<std::u32string> out;
    for (const LaidLine& line : lines) {
        std::u32string s;
        for (const LaidChar& c : line.chars)
            s.push_back(c.index == LaidChar::kEllipsis ? U'~' : text[c.index]);
        out.push_back(s);
    }
    return out;
}

std::vector<std::u32string> Lay(const std::u32string& text, const LayoutParams& p) {
    return Texts(text, LayOutString(Chars(text), p));
}

TEST(StringLayout, WrapsAfterBlanksBreaksLongWordsAndKeepsLineBreaks) {
    LayoutParams p;
    p.width = 60;
    EXPECT_EQ(Lay(U"ab cd efgh", p), (std::vector<std::u32string>{U"ab cd", U"efgh"}));
    EXPECT_EQ(Lay(U"abcdefghij", p), (std::vector<std::u32string>{U"abcdef", U"ghij"}));
    // Blanks hang past the end; a line break always breaks.
    EXPECT_EQ(Lay(U"abcdef   gh\nij", p), (std::vector<std::u32string>{U"abcdef", U"gh", U"ij"}));
    // Ideographs break anywhere.
    EXPECT_EQ(Lay(U"\u4E00\u4E8C\u4E09\u56DB\u4E94\u516D\u4E03", p).size(), 2u);
    p.flags = kFormatNoWrap;
    p.trimming = Trimming::None;
    EXPECT_EQ(Lay(U"ab cd efgh", p), (std::vector<std::u32string>{U"ab cd efgh"}));
    // Unbounded: one line per paragraph.
    p = {};
    EXPECT_EQ(Lay(U"ab cd efgh\nx", p).size(), 2u);
}

TEST(StringLayout, TabsMoveToTheirStopsThenRepeatTheLastDistance) {
    LayoutParams p;
    p.firstTabOffset = 5;
    p.tabStops = {40, 30};
    const std::u32string text = U"a\tb\tc\td";
    const auto lines = LayOutString(Chars(text), p);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].chars.size(), 4u); // tabs are not drawn
    EXPECT_DOUBLE_EQ(lines[0].chars[1].x, 45);
    EXPECT_DOUBLE_EQ(lines[0].chars[2].x, 75);
    EXPECT_DOUBLE_EQ(lines[0].chars[3].x, 105);
    // Without stops, every defaultTab.
    p = {};
    p.defaultTab = 32;
    const auto plain = LayOutString(Chars(U"abcd\te"), p);
    EXPECT_DOUBLE_EQ(plain[0].chars.back().x, 64);
}

TEST(StringLayout, LinesBelowTheRectangleGoUnlessClippingIsOff) {
    LayoutParams p;
    p.width = 40;
    p.height = 25; // two and a half lines
    p.lineHeight = 10;
    p.trimming = Trimming::None;
    const std::u32string text = U"aaa bbb ccc ddd";
    EXPECT_EQ(Lay(text, p).size(), 3u); // the partly visible third line stays
    p.flags = kFormatLineLimit;
    EXPECT_EQ(Lay(text, p).size(), 2u);
    p.flags = kFormatNoClip;
    EXPECT_EQ(Lay(text, p).size(), 4u);
    p.flags = kFormatLineLimit;
    p.height = 9; // not even one whole line
    EXPECT_TRUE(Lay(text, p).empty());
}

TEST(StringLayout, TrimmingCutsAtCharactersOrWordsWithOrWithoutAnEllipsis) {
    LayoutParams p;
    p.width = 75;
    p.flags = kFormatNoWrap;
    p.ellipsisAdvance = 10;
    const std::u32string text = U"abc defgh ijk";
    auto one = [&](Trimming t) {
        p.trimming = t;
        const auto lines = Lay(text, p);
        return lines.size() == 1 ? lines[0] : U"?";
    };
    EXPECT_EQ(one(Trimming::None), text);
    EXPECT_EQ(one(Trimming::Character), U"abc def");
    EXPECT_EQ(one(Trimming::Word), U"abc");
    EXPECT_EQ(one(Trimming::EllipsisCharacter), U"abc de~");
    EXPECT_EQ(one(Trimming::EllipsisWord), U"abc~");
    // The path keeps its last part whole.
    const std::u32string path = U"c:\\dir\\sub\\file";
    p.trimming = Trimming::EllipsisPath;
    p.width = 90;
    EXPECT_EQ(Lay(path, p), (std::vector<std::u32string>{U"c:\\~\\file"}));
    // Text cut short below the rectangle: the last line takes the rest and shows the ellipsis.
    p = {};
    p.width = 60;
    p.height = 10;
    p.lineHeight = 10;
    p.ellipsisAdvance = 10;
    p.trimming = Trimming::EllipsisWord;
    EXPECT_EQ(Lay(U"ab cd ef gh", p), (std::vector<std::u32string>{U"ab cd~"}));
    p.trimming = Trimming::Character;
    EXPECT_EQ(Lay(U"ab cd ef gh", p), (std::vector<std::u32string>{U"ab cd"}));
}

TEST(StringLayout, AlignmentMarginsRightToLeftAndTrailingBlanks) {
    LayoutParams p;
    p.width = 100;
    p.height = 50;
    p.lineHeight = 10;
    p.leadingMargin = 5;
    p.trailingMargin = 5;
    const auto near = LayOutString(Chars(U"ab  "), p);
    EXPECT_DOUBLE_EQ(near[0].left, 5);
    EXPECT_DOUBLE_EQ(near[0].width, 20); // trailing blanks not measured
    p.alignment = 1;
    p.lineAlignment = 1;
    const auto centre = LayOutString(Chars(U"ab  "), p);
    EXPECT_DOUBLE_EQ(centre[0].left, 40);
    EXPECT_DOUBLE_EQ(centre[0].top, 20);
    p.flags = kFormatMeasureTrailingSpaces;
    EXPECT_DOUBLE_EQ(LayOutString(Chars(U"ab  "), p)[0].left, 30);
    // Right to left: near is the right edge.
    p.flags = kFormatRightToLeft;
    p.alignment = 0;
    p.lineAlignment = 2;
    const auto rtl = LayOutString(Chars(U"ab"), p);
    EXPECT_DOUBLE_EQ(rtl[0].left, 75);
    EXPECT_DOUBLE_EQ(rtl[0].top, 40);
}

TEST(StringLayout, HotkeyPrefixesAreTakenOut) {
    std::vector<size_t> marked;
    EXPECT_EQ(RemoveHotkeyPrefixes(U"&File && &Edit&", HotkeyPrefix::Show, marked), U"File & Edit");
    EXPECT_EQ(marked, (std::vector<size_t>{0, 7}));
    EXPECT_EQ(RemoveHotkeyPrefixes(U"&File", HotkeyPrefix::Hide, marked), U"File");
    EXPECT_TRUE(marked.empty());
    EXPECT_EQ(RemoveHotkeyPrefixes(U"&File", HotkeyPrefix::None, marked), U"&File");
}

} // namespace
} // namespace qm::emfplus

namespace qm::emf::testing {
namespace {

struct Format {
    uint32_t flags = 0;
    int32_t hotkey = 0;
    float firstTab = 0;
    std::vector<float> tabs = {};
    uint32_t trimming = 1;
};

// An Arial string drawn black in a 200 x 100 rectangle at (10, 10) of a 220 x 120 picture,
// with a StringFormat object of this kind. With a seed name, its records are also written to
// $QM_EMFPLUS_SEEDS for the fuzz target.
Picture PlayFormatted(const std::u16string& text, const Format& f, float emSize = 20,
                      const char* seed = nullptr) {
    EmfBuilder emf(220, 120);
    PlusBuilder b;
    b.PageTransform(2, 1.0f);
    PlusData font;
    font.U32(0xDBC01002).F(emSize).U32(2).I32(0).U32(0).U32(5).Text(u"Arial");
    b.Record(0x4008, 0x0600 | 2, font);
    PlusData format;
    format.U32(0xDBC01002).U32(f.flags).U32(0).U32(0).U32(0).U32(0).U32(0);
    format.F(f.firstTab).I32(f.hotkey).F(0).F(0).F(1).U32(f.trimming);
    format.I32(int32_t(f.tabs.size())).I32(0);
    for (float t : f.tabs)
        format.F(t);
    b.Record(0x4008, 0x0700 | 3, format);
    b.Record(0x401C, 0x8000 | 2,
             PlusData()
                 .U32(0xFF000000u)
                 .U32(3)
                 .U32(uint32_t(text.size()))
                 .Rect(10, 10, 200, 100)
                 .Text(text));
    b.EndOfFile();
    if (const char* dir = std::getenv("QM_EMFPLUS_SEEDS"); dir && seed)
        std::ofstream(std::string(dir) + "/" + seed, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.Records().data()),
                   std::streamsize(b.Records().size()));
    b.Flush(emf);
    return Play(emf.Finish());
}

struct Box {
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
};

Box InkBox(const Picture& p, int x0 = 0, int x1 = 1 << 20) {
    Box b;
    for (int y = 0; y < p.height; ++y)
        for (int x = std::max(x0, 0); x < std::min(x1, p.width); ++x)
            if ((p.At(x, y) & 0xFF) < 128) {
                b.left = std::min(b.left, x), b.right = std::max(b.right, x);
                b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
            }
    return b;
}

TEST(EmfPlusStringFormat, VerticalLinesRunDownFromTheRightEdge) {
    if (!fonts::IsFontLoadable("Arial"))
        GTEST_SKIP() << "no Arial substitute installed";
    const Box flat = InkBox(PlayFormatted(u"Vertical", {}));
    const Box turned = InkBox(PlayFormatted(u"Vertical", {0x2}));
    ASSERT_GE(turned.right, 0);
    EXPECT_GT(flat.right - flat.left, flat.bottom - flat.top);
    EXPECT_GT(turned.bottom - turned.top, 2 * (turned.right - turned.left));
    EXPECT_GE(turned.left, 180); // the first line is the rightmost column
    EXPECT_LE(turned.right, 210);
    EXPECT_NEAR(turned.bottom - turned.top, flat.right - flat.left, 3);
}

TEST(EmfPlusStringFormat, ShownHotkeyIsUnderlinedAndItsPrefixIsNotDrawn) {
    if (!fonts::IsFontLoadable("Arial"))
        GTEST_SKIP() << "no Arial substitute installed";
    const Picture plain = PlayFormatted(u"File", {});
    const Picture hidden = PlayFormatted(u"&File", {0, 2});
    const Picture shown = PlayFormatted(u"&File", {0, 1});
    EXPECT_EQ(hidden.pixels, plain.pixels);
    const Box letters = InkBox(plain);
    const Box underlined = InkBox(shown);
    EXPECT_GT(underlined.bottom, letters.bottom); // the bar below the baseline
    // The bar spans the first letter only.
    Box bar;
    for (int y = letters.bottom + 1; y < shown.height; ++y)
        for (int x = 0; x < shown.width; ++x)
            if ((shown.At(x, y) & 0xFF) < 128)
                bar.left = std::min(bar.left, x), bar.right = std::max(bar.right, x);
    EXPECT_LE(bar.left, letters.left);
    EXPECT_GT(bar.right - bar.left, 6);
    EXPECT_LT(bar.right - bar.left, 16);
}

TEST(EmfPlusStringFormat, TabStopsOfTheFormatPlaceTheTextAfterATab) {
    if (!fonts::IsFontLoadable("Arial"))
        GTEST_SKIP() << "no Arial substitute installed";
    const Box b = InkBox(PlayFormatted(u"A\tB", {0, 0, 20, {100}}), 40);
    // Every feature at once, for the fuzz target's seeds.
    PlayFormatted(u"&Tabs\tand\ttabs && lines\nC:\\dir\\sub\\a file name that is long",
                  {0x2 | 0x2000 | 0x800, 1, 10, {30, 40, 0}, 5}, 14, "string_format");
    EXPECT_GE(b.left, 10 + 120);
    EXPECT_LE(b.left, 10 + 123);
}

TEST(EmfPlusStringFormat, EllipsisTrimmingKeepsTheLineInsideTheRectangle) {
    if (!fonts::IsFontLoadable("Arial"))
        GTEST_SKIP() << "no Arial substitute installed";
    const std::u16string text = u"A long line that does not fit in the rectangle";
    const Box cut = InkBox(PlayFormatted(text, {0x1000 | 0x4000, 0, 0, {}, 3}));
    const Box spill = InkBox(PlayFormatted(text, {0x1000 | 0x4000, 0, 0, {}, 0}));
    EXPECT_GT(spill.right, 215);
    EXPECT_LE(cut.right, 210);
    EXPECT_GT(cut.right, 180);
}

} // namespace
} // namespace qm::emf::testing

namespace qm::emf::testing {
namespace {

// Right to left, the line begins at the right edge and the ellipsis ends it on the left.
TEST(EmfPlusStringFormat, RightToLeftEllipsisEndsTheLineOnTheLeft) {
    if (!fonts::IsFontLoadable("David CLM"))
        GTEST_SKIP() << "culmus not installed";
    std::u16string hebrew;
    for (int i = 0; i < 8; ++i)
        hebrew += u"\u05E9\u05DC\u05D5\u05DD ";
    EmfBuilder emf(220, 120);
    PlusBuilder b;
    b.PageTransform(2, 1.0f);
    PlusData font;
    font.U32(0xDBC01002).F(20).U32(2).I32(0).U32(0).U32(5).Text(u"David");
    b.Record(0x4008, 0x0600 | 2, font);
    PlusData format; // right to left, no wrapping, trimmed with an ellipsis
    format.U32(0xDBC01002).U32(0x1 | 0x1000).U32(0).U32(0).U32(0).U32(0).U32(0);
    format.F(0).I32(0).F(0).F(0).F(1).U32(3).I32(0).I32(0);
    b.Record(0x4008, 0x0700 | 3, format);
    b.Record(0x401C, 0x8000 | 2,
             PlusData()
                 .U32(0xFF000000u)
                 .U32(3)
                 .U32(uint32_t(hebrew.size()))
                 .Rect(10, 10, 200, 100)
                 .Text(hebrew));
    b.EndOfFile().Flush(emf);
    const Picture p = Play(emf.Finish());
    const Box all = InkBox(p);
    ASSERT_GE(all.right, 0);
    // Letters at the right end reach well above the dots of an ellipsis; at the left end only
    // the dots, near the bottom of the ink.
    const Box right = InkBox(p, all.right - 3, all.right + 1);
    const Box left = InkBox(p, all.left, all.left + 4);
    EXPECT_LT(right.top, all.top + 4);
    EXPECT_GT(left.top, all.top + 6);
}

} // namespace
} // namespace qm::emf::testing
