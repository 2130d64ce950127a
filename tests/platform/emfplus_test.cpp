// EMF+ playback: which records play, objects, transforms, clipping and drawing, on metafiles
// built here.
#include <gtest/gtest.h>

#include "platform/emfplus/emfplus.h"
#include "platform/fonts/font_match.h"
#include "tests/platform/emfplus_builder.h"

namespace qm::emf::testing {
namespace {

using emfplus::EmfPlusMode;

constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kBlue = 0xFF0000FFu;

Picture PlayMode(const std::vector<uint8_t>& data, EmfPlusMode mode) {
    Picture p;
    EmfHeaderInfo h;
    int32_t w = 0, hgt = 0;
    if (!ReadEmfHeader(data, h) || !ComputePlaySize(h, w, hgt))
        return p;
    p.width = w + 1;
    p.height = hgt + 1;
    p.pixels.assign(size_t(p.width) * p.height, 0xFFFFFFFFu);
    Surface s{p.pixels.data(), p.width, p.height, p.width * 4};
    p.played = PlayEnhMetaFile(data, s, {0, 0, w, hgt}, mode);
    return p;
}

int CountColour(const Picture& p, uint32_t rgb) {
    int n = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            n += p.At(x, y) == rgb;
    return n;
}

// A GDI rectangle in blue (solid brush selected, no pen) in the plain records.
void PlainBlueRect(EmfBuilder& emf) {
    emf.Record(39, {1, 0, 0x00FF0000, 0}); // CREATEBRUSHINDIRECT 1: blue
    emf.Record(37, {1});                   // SELECTOBJECT brush
    emf.Record(37, {int32_t(0x80000008)}); // NULL_PEN
    emf.Record(43, {50, 50, 90, 90});      // RECTANGLE
}

TEST(EmfPlusChoice, OnlyFilesPlayTheirEmfPlusRecordsDualFilesKeepGdiUnlessPreferred) {
    // EMF+ only: the plain records draw nothing.
    EmfBuilder only;
    PlusBuilder(true).FillRect(kRed, 10, 10, 20, 20).EndOfFile().Flush(only);
    const auto onlyBytes = only.Finish();
    EXPECT_EQ(PlayMode(onlyBytes, EmfPlusMode::Auto).At(15, 15), 0xFF0000u);
    EXPECT_EQ(PlayMode(onlyBytes, EmfPlusMode::Never).At(15, 15), 0xFFFFFFu);

    // Dual: both draw; the plain records win unless EMF+ is preferred.
    EmfBuilder dual;
    PlusBuilder(true).FillRect(kRed, 10, 10, 20, 20).Flush(dual);
    PlainBlueRect(dual);
    const auto dualBytes = dual.Finish();
    const Picture gdi = PlayMode(dualBytes, EmfPlusMode::Auto);
    EXPECT_EQ(gdi.At(15, 15), 0xFFFFFFu);
    EXPECT_EQ(gdi.At(60, 60), 0x0000FFu);
    const Picture plus = PlayMode(dualBytes, EmfPlusMode::Prefer);
    EXPECT_EQ(plus.At(15, 15), 0xFF0000u);
    EXPECT_EQ(plus.At(60, 60), 0xFFFFFFu);

    // A header without the dual flag is EMF+ only whatever the plain records do.
    EmfBuilder notDual;
    PlusBuilder(false).FillRect(kRed, 10, 10, 20, 20).Flush(notDual);
    PlainBlueRect(notDual);
    EXPECT_EQ(PlayMode(notDual.Finish(), EmfPlusMode::Auto).At(15, 15), 0xFF0000u);
}

TEST(EmfPlusChoice, ScanCountsPlainDrawingOnlyOutsideGetDcHandOvers) {
    EmfBuilder emf;
    PlusBuilder(true).FillRect(kRed, 0, 0, 5, 5).GetDC().Flush(emf);
    PlainBlueRect(emf);
    const auto bytes = emf.Finish();
    const emfplus::EmfPlusScan scan = emfplus::ScanEmfPlus(bytes);
    EXPECT_TRUE(scan.hasEmfPlus);
    EXPECT_TRUE(scan.headerSaysDual);
    EXPECT_TRUE(scan.emfPlusDraws);
    EXPECT_FALSE(scan.plainDraws);
    // The plain rectangle after GetDC is drawn along with the EMF+ one.
    const Picture p = PlayMode(bytes, EmfPlusMode::Auto);
    EXPECT_EQ(p.At(2, 2), 0xFF0000u);
    EXPECT_EQ(p.At(60, 60), 0x0000FFu);

    EXPECT_FALSE(emfplus::ScanEmfPlus(EmfBuilder().Finish()).hasEmfPlus);
}

TEST(EmfPlusTransforms, PageUnitsWorldTransformAndSaveRestore) {
    EmfBuilder emf;
    PlusBuilder b(false, 96);
    // Millimetres at the EMF+ header's 96 dpi (3.78 px), not the reference device's.
    b.PageTransform(6, 1.0f);
    b.Record(0x4025, 0, PlusData().U32(7));     // Save 7
    b.Record(0x402D, 0, PlusData().F(10).F(0)); // translate 10 mm
    b.FillRect(kRed, 0, 0, 5, 5);               // 10..15 mm
    b.Record(0x4026, 0, PlusData().U32(7));     // Restore 7
    b.FillRect(kBlue, 0, 12, 5, 5);             // untranslated, lower
    b.EndOfFile().Flush(emf);
    const Picture p = Play(emf.Finish());
    EXPECT_EQ(p.At(39, 10), 0xFF0000u); // 37.8 .. 56.7
    EXPECT_EQ(p.At(56, 10), 0xFF0000u);
    EXPECT_EQ(p.At(37, 10), 0xFFFFFFu);
    EXPECT_EQ(p.At(10, 55), 0x0000FFu);
    EXPECT_EQ(p.At(50, 55), 0xFFFFFFu);
}

TEST(EmfPlusClip, IntersectAndExcludeCombine) {
    EmfBuilder emf;
    PlusBuilder b;
    b.PageTransform(2, 1.0f);
    b.Record(0x4032, 0x0000, PlusData().Rect(10, 10, 60, 60)); // replace
    b.Record(0x4032, 0x0400, PlusData().Rect(30, 30, 20, 20)); // exclude
    b.FillRect(kRed, 0, 0, 100, 100);
    b.Record(0x4031, 0, PlusData());                           // reset
    b.Record(0x4032, 0x0100, PlusData().Rect(80, 80, 10, 10)); // intersect with none
    b.FillRect(kBlue, 0, 0, 100, 100);
    b.EndOfFile().Flush(emf);
    const Picture p = Play(emf.Finish());
    EXPECT_EQ(p.At(5, 5), 0xFFFFFFu);
    EXPECT_EQ(p.At(15, 15), 0xFF0000u);
    EXPECT_EQ(p.At(40, 40), 0xFFFFFFu); // excluded hole
    EXPECT_EQ(p.At(65, 65), 0xFF0000u);
    EXPECT_EQ(p.At(85, 85), 0x0000FFu);
    EXPECT_EQ(CountColour(p, 0x0000FF), 100);
}

TEST(EmfPlusObjects, PenBrushAndAPathSplitOverTwoRecords) {
    EmfBuilder emf;
    PlusBuilder b;
    b.PageTransform(2, 1.0f);
    b.SolidBrush(3, kBlue);
    // A closed square path (float points), sent in two pieces.
    PlusData path;
    path.U32(0xDBC01002).U32(4).U32(0);
    for (auto [x, y] : {std::pair{20.f, 20.f}, {60.f, 20.f}, {60.f, 60.f}, {20.f, 60.f}})
        path.F(x).F(y);
    path.Bytes({0, 1, 1, 0x81});
    const std::vector<uint8_t>& all = path.bytes;
    const uint32_t total = uint32_t(all.size());
    PlusData first, second;
    first.U32(total).Bytes({all.begin(), all.begin() + 20});
    second.U32(total).Bytes({all.begin() + 20, all.end()});
    b.Record(0x4008, 0x8000 | 0x0300 | 5, first);
    b.Record(0x4008, 0x8000 | 0x0300 | 5, second);
    b.Record(0x4014, 5, PlusData().U32(3)); // FillPath with brush 3
    b.SolidPen(1, kRed, 4.0f);
    b.Record(0x400D, 1, PlusData().U32(2).F(10).F(80).F(90).F(80)); // DrawLines
    b.EndOfFile().Flush(emf);
    const Picture p = Play(emf.Finish());
    EXPECT_EQ(p.At(40, 40), 0x0000FFu);
    EXPECT_EQ(p.At(15, 40), 0xFFFFFFu);
    EXPECT_EQ(p.At(50, 80), 0xFF0000u);
    EXPECT_EQ(p.At(50, 81), 0xFF0000u);
    EXPECT_EQ(p.At(50, 85), 0xFFFFFFu);
}

TEST(EmfPlusObjects, DashedPenLeavesGaps) {
    EmfBuilder emf;
    PlusBuilder b;
    b.PageTransform(2, 1.0f);
    b.SolidPen(1, kRed, 2.0f, 0x20, PlusData().I32(1)); // line style: dash (3 on, 1 off)
    b.Record(0x400D, 1, PlusData().U32(2).F(0).F(50).F(100).F(50));
    b.EndOfFile().Flush(emf);
    const Picture p = Play(emf.Finish());
    int red = 0, white = 0;
    for (int x = 0; x < 96; ++x)
        (p.At(x, 50) == 0xFF0000u ? red : white)++;
    EXPECT_NEAR(red, 72, 6);
    EXPECT_NEAR(white, 24, 6);
}

TEST(EmfPlusText, DrawStringInksInsideItsRectangle) {
    EmfBuilder emf(200, 60);
    PlusBuilder b;
    b.PageTransform(2, 1.0f);
    PlusData font;
    font.U32(0xDBC01002).F(20).U32(2).I32(0).U32(0).U32(5).Text(u"Arial");
    b.Record(0x4008, 0x0600 | 2, font);
    b.Record(
        0x401C, 0x8000 | 2,
        PlusData().U32(0xFF000000u).U32(0xFFFFFFFFu).U32(5).Rect(10, 10, 180, 40).Text(u"Hello"));
    b.EndOfFile().Flush(emf);
    const Picture p = Play(emf.Finish());
    int inside = 0, outside = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if ((p.At(x, y) & 0xFF) < 128)
                (x >= 10 && x < 190 && y >= 10 && y < 50 ? inside : outside)++;
    EXPECT_GT(inside, 100);
    EXPECT_EQ(outside, 0);
}

TEST(EmfPlusRobustness, BrokenRecordsAndObjectsAreSkipped) {
    EmfBuilder emf;
    PlusBuilder b;
    b.Record(0x4008, 0x0100 | 70, PlusData().U32(1));               // object id out of range
    b.Record(0x4008, 0x0300 | 1, PlusData().U32(0).U32(1000000));   // path with missing points
    b.Record(0x4014, 1, PlusData().U32(0));                         // fill the broken path
    b.Record(0x400A, 0x8000, PlusData().U32(kRed).U32(0x7FFFFFFF)); // too many rectangles
    b.Record(0x4026, 0, PlusData().U32(99));                        // restore of nothing
    b.Record(0x402A, 0, PlusData().F(1e30f).F(0).F(0).F(1e30f).F(0).F(0));
    b.FillRect(kRed, 10, 10, 10, 10);
    b.EndOfFile().Flush(emf);
    const Picture p = Play(emf.Finish());
    EXPECT_TRUE(p.played);
    EXPECT_EQ(p.At(15, 15), 0xFF0000u);
}

} // namespace
} // namespace qm::emf::testing

namespace qm::emf::testing {
namespace {

Picture PlayString(const std::u16string& face, const std::u16string& text) {
    EmfBuilder emf(200, 60);
    PlusBuilder b;
    b.PageTransform(2, 1.0f);
    PlusData font;
    font.U32(0xDBC01002).F(30).U32(2).I32(0).U32(0).U32(uint32_t(face.size())).Text(face);
    b.Record(0x4008, 0x0600 | 2, font);
    b.Record(0x401C, 0x8000 | 2,
             PlusData()
                 .U32(0xFF000000u)
                 .U32(0xFFFFFFFFu)
                 .U32(uint32_t(text.size()))
                 .Rect(10, 5, 180, 50)
                 .Text(text));
    b.EndOfFile().Flush(emf);
    return Play(emf.Finish());
}

TEST(EmfPlusText, HebrewStringsAreShapedRightToLeft) {
    if (!fonts::IsFontLoadable("David CLM"))
        GTEST_SKIP() << "culmus not installed";
    const Picture shin = PlayString(u"David", u"\u05E9");
    const Picture pair = PlayString(u"David", u"\u05DC\u05E9"); // lamed, shin
    int left = shin.width, right = -1;
    for (int y = 0; y < shin.height; ++y)
        for (int x = 0; x < shin.width; ++x)
            if ((shin.At(x, y) & 0xFF) < 128)
                left = std::min(left, x), right = std::max(right, x);
    ASSERT_GE(right, 0);
    // The shin, drawn first, sits at the start of the line in both.
    for (int y = 0; y < shin.height; ++y)
        for (int x = left; x <= right; ++x)
            ASSERT_EQ(pair.At(x, y), shin.At(x, y)) << x << "," << y;
}

// A mixed string keeps its Latin runs left to right: "A", then the Hebrew word reversed, then
// "B". Its left part looks as "A" and the lamed drawn alone.
TEST(EmfPlusText, MixedStringsAreReorderedRunByRun) {
    if (!fonts::IsFontLoadable("David CLM"))
        GTEST_SKIP() << "culmus not installed";
    const Picture all = PlayString(u"David", u"A \u05E9\u05DC B");
    const Picture left = PlayString(u"David", u"A \u05DC");
    int right = -1, wholeRight = -1;
    for (int y = 0; y < left.height; ++y)
        for (int x = 0; x < left.width; ++x) {
            if ((left.At(x, y) & 0xFF) < 128)
                right = std::max(right, x);
            if ((all.At(x, y) & 0xFF) < 128)
                wholeRight = std::max(wholeRight, x);
        }
    ASSERT_GE(right, 0);
    EXPECT_GT(wholeRight, right + 10);
    for (int y = 0; y < left.height; ++y)
        for (int x = 0; x <= right; ++x)
            ASSERT_EQ(all.At(x, y), left.At(x, y)) << x << "," << y;
}

} // namespace
} // namespace qm::emf::testing

namespace qm::emf::testing {
namespace {

TEST(EmfPlusText, GlyphsLargerThanTheRasteriserTakesAreDrawnFromTheirOutlines) {
    // An "H" 70,000 pixels high whose left stem covers the whole picture (past the leading
    // margin of a sixth of an em).
    EmfBuilder emf(200, 60);
    PlusBuilder b;
    b.PageTransform(2, 1.0f);
    PlusData font;
    font.U32(0xDBC01002).F(70000).U32(2).I32(0).U32(0).U32(5).Text(u"Arial");
    b.Record(0x4008, 0x0600 | 2, font);
    b.Record(0x401C, 0x8000 | 2,
             PlusData()
                 .U32(0xFF000000u)
                 .U32(0xFFFFFFFFu)
                 .U32(1)
                 .Rect(-20000, -60000, 100000, 100000)
                 .Text(u"H"));
    b.EndOfFile().Flush(emf);
    const Picture p = Play(emf.Finish());
    int black = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            black += p.At(x, y) == 0;
    EXPECT_EQ(black, p.width * p.height);
}

} // namespace
} // namespace qm::emf::testing

namespace qm::emf::testing {
namespace {

// A pen with an adjustable arrow at its end (a custom cap three pen widths wide and long,
// filled): the line ends in a triangle whose tip is the end point.
TEST(EmfPlusObjects, ArrowCapsEndTheLine) {
    EmfBuilder emf;
    PlusBuilder b;
    b.PageTransform(2, 1.0f);
    PlusData arrow;
    arrow.U32(0xDBC01002).I32(1); // custom line cap: adjustable arrow
    arrow.F(3).F(3).F(0).U32(1);  // width, height, middle inset, filled
    arrow.I32(0).I32(0).I32(0).F(10).F(1).F(0).F(0).F(0).F(0);
    PlusData optional;
    optional.U32(uint32_t(arrow.bytes.size())).Bytes(arrow.bytes);
    b.SolidPen(1, 0xFFFF0000u, 2.0f, 0x1000, optional); // custom end cap
    b.Record(0x400D, 1, PlusData().U32(2).F(10).F(50).F(80).F(50));
    b.EndOfFile().Flush(emf);
    const Picture p = Play(emf.Finish());
    EXPECT_EQ(p.At(40, 49), 0xFF0000u); // the line
    EXPECT_EQ(p.At(40, 47), 0xFFFFFFu); // two pixels wide
    EXPECT_EQ(p.At(75, 48), 0xFF0000u); // the arrow, wider near its base
    EXPECT_EQ(p.At(75, 51), 0xFF0000u);
    EXPECT_EQ(p.At(75, 46), 0xFFFFFFu);
    EXPECT_EQ(p.At(81, 50), 0xFFFFFFu); // nothing beyond the tip
}

} // namespace
} // namespace qm::emf::testing
