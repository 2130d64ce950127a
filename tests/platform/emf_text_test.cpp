#include "platform/emf/text_draw.h"
#include "platform/fonts/font_match.h"
#include "tests/platform/emf_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>

using namespace qm::emf;

namespace {

struct Canvas {
    cairo_surface_t* surface;
    cairo_t* cr;
    Canvas(int w = 300, int h = 200) {
        surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
        cr = cairo_create(surface);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
    }
    ~Canvas() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    uint32_t At(int x, int y) {
        cairo_surface_flush(surface);
        auto* row =
            cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
        return reinterpret_cast<uint32_t*>(row)[x] & 0xFFFFFF;
    }
    // Bounding box of pixels darker than light grey: left, top, right, bottom (inclusive).
    bool Ink(int (&box)[4]) {
        int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
        box[0] = w, box[1] = h, box[2] = -1, box[3] = -1;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint32_t p = At(x, y);
                if (((p >> 16) & 0xFF) < 128 || ((p >> 8) & 0xFF) < 128 || (p & 0xFF) < 128) {
                    box[0] = std::min(box[0], x), box[1] = std::min(box[1], y);
                    box[2] = std::max(box[2], x), box[3] = std::max(box[3], y);
                }
            }
        return box[2] >= 0;
    }
};

std::vector<uint32_t> Codes(const char* s) {
    std::vector<uint32_t> v;
    while (*s)
        v.push_back(static_cast<unsigned char>(*s++));
    return v;
}

TextRequest ArialAt(double x, double y, const char* text, int height = -40) {
    TextRequest r;
    r.font.faceName = "Arial";
    r.font.height = height;
    r.refX = x;
    r.refY = y;
    r.codes = Codes(text);
    return r;
}

bool HaveFonts() {
    return qm::fonts::IsFontLoadable("Arial");
}

} // namespace

TEST(TextDraw, VerticalAlignmentPlacesBaselineTopAndBottom) {
    if (!HaveFonts())
        GTEST_SKIP() << "no Arial substitute installed";
    int top[4], base[4], bottom[4];
    {
        Canvas c;
        DrawTextRequest(c.cr, ArialAt(20, 100, "H"));
        ASSERT_TRUE(c.Ink(top));
    }
    {
        Canvas c;
        TextRequest r = ArialAt(20, 100, "H");
        r.align = kTaBaseline;
        DrawTextRequest(c.cr, r);
        ASSERT_TRUE(c.Ink(base));
    }
    {
        Canvas c;
        TextRequest r = ArialAt(20, 100, "H");
        r.align = kTaBottom;
        DrawTextRequest(c.cr, r);
        ASSERT_TRUE(c.Ink(bottom));
    }
    // 40 px em: cap height about 29 px; the cell ascent (about 36 px) lies above the baseline.
    EXPECT_NEAR(base[3], 99, 1);
    EXPECT_NEAR(base[3] - base[1], 28, 2);
    EXPECT_NEAR(top[3], 100 + 36 - 1, 2);
    EXPECT_GT(top[1], 100);
    EXPECT_NEAR(bottom[3], 100 - 8 - 1, 2); // descent about 8.5 px
}

TEST(TextDraw, SpacingArrayAndHorizontalAlignment) {
    if (!HaveFonts())
        GTEST_SKIP() << "no Arial substitute installed";
    Canvas c;
    TextRequest r = ArialAt(20, 20, "II");
    r.dx = {100, 100};
    TextResult res = DrawTextRequest(c.cr, r);
    EXPECT_DOUBLE_EQ(res.advanceX, 200);
    EXPECT_NEAR(res.advanceY, 0, 1e-9);
    int box[4];
    ASSERT_TRUE(c.Ink(box));
    EXPECT_NEAR(box[2] - box[0], 100 + 3, 3); // the two stems are 100 px apart

    Canvas right;
    r.align = kTaRight;
    r.refX = 250;
    DrawTextRequest(right.cr, r);
    ASSERT_TRUE(right.Ink(box));
    EXPECT_LT(box[2], 250 - 100 + 10);
    EXPECT_GE(box[0], 250 - 200);
}

TEST(TextDraw, OpaqueAndClippingRectangles) {
    if (!HaveFonts())
        GTEST_SKIP() << "no Arial substitute installed";
    Canvas c;
    TextRequest r = ArialAt(10, 10, "WWWWWWWW");
    r.options = kEtoOpaque | kEtoClipped;
    r.hasRect = true;
    r.rect[0] = 5, r.rect[1] = 5, r.rect[2] = 60, r.rect[3] = 40;
    r.bkColor = 0xFF0000FF;
    DrawTextRequest(c.cr, r);
    EXPECT_EQ(c.At(5, 5), 0x0000FFu);
    EXPECT_EQ(c.At(59, 6), 0x0000FFu) << "rectangle excludes only its right and bottom edge";
    EXPECT_EQ(c.At(6, 39), 0x0000FFu);
    EXPECT_EQ(c.At(60, 20), 0xFFFFFFu);
    EXPECT_EQ(c.At(30, 40), 0xFFFFFFu);
    for (int x = 60; x < 300; ++x)
        for (int y = 0; y < 200; ++y)
            ASSERT_EQ(c.At(x, y), 0xFFFFFFu) << "ink outside the clip rectangle at " << x;
}

TEST(TextDraw, EscapementTurnsTheBaseline) {
    if (!HaveFonts())
        GTEST_SKIP() << "no Arial substitute installed";
    Canvas c;
    TextRequest r = ArialAt(150, 180, "Rotated", -20);
    r.font.escapement = 900;
    r.align = kTaBaseline;
    TextResult res = DrawTextRequest(c.cr, r);
    int box[4];
    ASSERT_TRUE(c.Ink(box));
    EXPECT_GT(box[3] - box[1], 2 * (box[2] - box[0])); // runs upwards
    EXPECT_LE(box[3], 180);
    EXPECT_LE(box[2], 151);
    EXPECT_NEAR(res.advanceX, 0, 1e-6);
    EXPECT_LT(res.advanceY, -40); // logical y grows downwards here
}

TEST(TextDraw, MappingScalesFontAndAdvanceStaysLogical) {
    if (!HaveFonts())
        GTEST_SKIP() << "no Arial substitute installed";
    Canvas small, big;
    TextRequest r = ArialAt(10, 10, "H", -20);
    DrawTextRequest(small.cr, r);
    r.toDevice.xx = r.toDevice.yy = 2;
    r.refX = 5, r.refY = 5;
    r.dx = {30};
    TextResult res = DrawTextRequest(big.cr, r);
    int a[4], b[4];
    ASSERT_TRUE(small.Ink(a));
    ASSERT_TRUE(big.Ink(b));
    EXPECT_NEAR(b[3] - b[1], 2 * (a[3] - a[1]), 2);
    EXPECT_DOUBLE_EQ(res.advanceX, 30);

    // A y-up mapping does not turn text upside down in compatible mode.
    Canvas flipped;
    r.toDevice.yy = -2;
    r.toDevice.y0 = 150;
    DrawTextRequest(flipped.cr, r);
    int f[4];
    ASSERT_TRUE(flipped.Ink(f));
    EXPECT_NEAR(f[3] - f[1], b[3] - b[1], 1);
    EXPECT_GT(f[1], 140); // TA_TOP: below the reference point at device y 140
}

// A logical font's width stretches glyphs by whole device pixels: the asked width is cut to
// whole pixels (as the height is) and the face's average width at the realised size is
// rounded, so a width that comes to the face's own average draws the natural glyphs.
TEST(TextDraw, FontWidthStretchesByWholePixels) {
    if (!HaveFonts())
        GTEST_SKIP() << "no Arial substitute installed";
    auto inkColumns = [](Canvas& c) {
        std::set<int> columns;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 300; ++x)
                if ((c.At(x, y) & 0xFF) < 128)
                    columns.insert(x);
        return columns;
    };
    // Arial's average width at 11 pixels is 4.86, which rounds to 5.
    Canvas natural, roundsToAverage, wider;
    TextRequest r = ArialAt(10, 10, "Table d'Entree", -11);
    r.font.quality = 3; // plain pixels, so that the comparison is exact
    DrawTextRequest(natural.cr, r);
    r.font.width = 53; // 5.3 device pixels once scaled by 0.1
    r.toDevice.xx = r.toDevice.yy = 0.1;
    r.font.height = -110;
    r.refX = 100, r.refY = 100;
    DrawTextRequest(roundsToAverage.cr, r);
    EXPECT_EQ(inkColumns(natural), inkColumns(roundsToAverage));
    Canvas cutToAverage;
    r.font.width = 59; // 5.9 is cut to 5, not rounded to 6
    DrawTextRequest(cutToAverage.cr, r);
    EXPECT_EQ(inkColumns(natural), inkColumns(cutToAverage));
    r.font.width = 75; // 7.5 is cut to 7: glyphs 7/5 as wide
    DrawTextRequest(wider.cr, r);
    int a[4], b[4];
    ASSERT_TRUE(natural.Ink(a));
    ASSERT_TRUE(wider.Ink(b));
    EXPECT_NEAR(double(b[2] - b[0]) / (a[2] - a[0]), 1.4, 0.1);

    // Outside the advanced mode a wider horizontal mapping does not widen the glyphs: the
    // width is scaled as the height is.
    Canvas single, stretched;
    r = ArialAt(10, 10, "H", -11);
    r.font.quality = 3;
    DrawTextRequest(single.cr, r);
    r.font.width = 53;
    r.font.height = -110;
    r.toDevice.xx = 0.2, r.toDevice.yy = 0.1;
    r.refX = 50, r.refY = 100;
    DrawTextRequest(stretched.cr, r);
    EXPECT_EQ(inkColumns(single), inkColumns(stretched));
}

// Unsmoothed text is hinted for a one-bit target at the font's pixel size in both
// directions, and a stretch asked by the font's width is applied to the hinted outline
// afterwards. The expected pixels are those the reference renderer draws for 11-pixel
// Liberation Sans at four fifths of its width (a chart's axis labels).
TEST(TextDraw, StretchedRasterTextKeepsTheHintsOfItsPixelSize) {
    if (!HaveFonts() || qm::fonts::MatchFont("Arial", 400, false).family != "Liberation Sans")
        GTEST_SKIP() << "Liberation Sans not installed";
    auto pixels = [](const char* text) {
        Canvas c;
        TextRequest r = ArialAt(200, 800, text, -110);
        r.font.width = 40; // 4 pixels against an average of 5
        r.font.quality = 3;
        r.toDevice.xx = r.toDevice.yy = 0.1;
        DrawTextRequest(c.cr, r);
        int box[4];
        std::string out;
        if (!c.Ink(box))
            return out;
        for (int y = box[1]; y <= box[3]; ++y, out += '|')
            for (int x = box[0]; x <= box[2]; ++x)
                out += (c.At(x, y) & 0xFF) < 128 ? '#' : '.';
        return out;
    };
    EXPECT_EQ(pixels("u"), "#..#|#..#|#..#|#..#|.#.#|.###|");
    EXPECT_EQ(pixels("a"), ".###.|...#.|.###.|#..#.|#..#.|.####|");
    EXPECT_EQ(pixels("x"), "#..#|.#.#|..#.|..#.|.#.#|#..#|");
}

// Greyscale smoothing (ANTIALIASED quality) follows the font's own table of sizes, which
// leaves 9 to 17 pixel Liberation Sans unsmoothed; CLEARTYPE quality smooths every size.
TEST(TextDraw, AntialiasedQualityFollowsTheFontsSmoothingSizes) {
    if (!HaveFonts() || qm::fonts::MatchFont("Arial", 400, false).family != "Liberation Sans")
        GTEST_SKIP() << "Liberation Sans not installed";
    auto greys = [](uint8_t quality, int height) {
        Canvas c;
        TextRequest r = ArialAt(10, 20, "Hamburg", height);
        r.font.quality = quality;
        DrawTextRequest(c.cr, r);
        int n = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 300; ++x)
                if (uint32_t v = c.At(x, y) & 0xFF; v > 0 && v < 255)
                    ++n;
        return n;
    };
    EXPECT_EQ(greys(4, -13), 0);
    EXPECT_GT(greys(4, -20), 0);
    EXPECT_GT(greys(5, -13), 0);
    EXPECT_EQ(greys(3, -20), 0);
}

TEST(TextDraw, MirroringMappingTurnsEscapementTheOtherWay) {
    if (!HaveFonts())
        GTEST_SKIP() << "no Arial substitute installed";
    // With y growing upwards, an escapement of 270 degrees reads upwards on the device.
    Canvas c;
    TextRequest r = ArialAt(150, 20, "Upwards", -20);
    r.font.escapement = 2700;
    r.align = kTaBaseline;
    r.toDevice = Affine{1, 0, 0, -1, 0, 200}; // logical y 20 -> device y 180
    TextResult res = DrawTextRequest(c.cr, r);
    int box[4];
    ASSERT_TRUE(c.Ink(box));
    EXPECT_LE(box[3], 181);
    EXPECT_LT(box[1], 140);
    EXPECT_GT(res.advanceY, 40); // logical y grows upwards
}

TEST(TextDraw, QualityUnderlineAndSymbolFonts) {
    if (!HaveFonts())
        GTEST_SKIP() << "no Arial substitute installed";
    Canvas c;
    TextRequest r = ArialAt(10, 10, "o");
    r.font.quality = 3; // NONANTIALIASED_QUALITY: only text and background colours
    DrawTextRequest(c.cr, r);
    std::set<uint32_t> colours;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x)
            colours.insert(c.At(x, y));
    EXPECT_EQ(colours.size(), 2u);

    Canvas u;
    r.font.underline = true;
    r.codes = Codes("  ");
    DrawTextRequest(u.cr, r);
    int box[4];
    ASSERT_TRUE(u.Ink(box)) << "underline drawn below spaces";
    EXPECT_GT(box[1], 10 + 36);

    // Symbol letters come out as Greek, not as Latin glyphs.
    Canvas latin, greek;
    TextRequest s = ArialAt(10, 10, "p", -40);
    s.font.faceName = "Times New Roman";
    DrawTextRequest(latin.cr, s);
    s.font.faceName = "Symbol";
    DrawTextRequest(greek.cr, s);
    int l[4], g[4];
    ASSERT_TRUE(latin.Ink(l));
    ASSERT_TRUE(greek.Ink(g));
    EXPECT_LT(g[3], l[3]) << "pi has no descender, p has";
}

TEST(TextDraw, HostileValuesDrawNothingOrStayBounded) {
    Canvas c;
    TextRequest r = ArialAt(10, 10, "Big", INT32_MIN + 1);
    DrawTextRequest(c.cr, r);
    r.font.height = -20;
    r.toDevice.xx = NAN;
    DrawTextRequest(c.cr, r);
    r.toDevice = Affine{0, 0, 0, 0, 0, 0};
    DrawTextRequest(c.cr, r);
    r.toDevice = Affine{};
    r.options = kEtoGlyphIndex;
    r.codes = {0xFFFFFFFFu, 0, 65535};
    r.dx = {1e300, -1e300};
    DrawTextRequest(c.cr, r);
    r.codes = {0xD800, 0xDC00, 0xDC00, 0xD800};
    r.options = 0;
    r.dx.clear();
    DrawTextRequest(c.cr, r);
    r.font.width = INT32_MAX; // absurdly wide glyphs
    DrawTextRequest(c.cr, r);

    // None of that may spoil the font for later text.
    if (!HaveFonts())
        return;
    Canvas after;
    DrawTextRequest(after.cr, ArialAt(10, 10, "H"));
    int box[4];
    EXPECT_TRUE(after.Ink(box));
}

// Whole records through the player.
namespace {

using qm::emf::testing::EmfBuilder;
using qm::emf::testing::Picture;

// EMR_EXTCREATEFONTINDIRECTW for a face (ASCII) of the given height into a slot, selected.
void AddFont(EmfBuilder& b, const char* face, int height, int32_t slot = 1,
             int32_t escapement = 0) {
    std::vector<int32_t> f = {slot, height, 0, escapement, escapement, 400, 0, 0};
    std::vector<int32_t> name(16, 0);
    for (size_t i = 0; face[i] && i < 31; ++i)
        reinterpret_cast<char16_t*>(name.data())[i] = static_cast<unsigned char>(face[i]);
    f.insert(f.end(), name.begin(), name.end());
    b.Raw(82, f);
    b.Record(37, {slot});
}

void AddArial(EmfBuilder& b, int height) {
    AddFont(b, "Arial", height);
}

// EMR_EXTTEXTOUTW of ASCII text at (x, y) with optional spacing array.
void AddText(EmfBuilder& b, int x, int y, const char* text, std::vector<int32_t> dx = {},
             uint32_t options = 0, std::vector<int32_t> rect = {0, 0, -1, -1}) {
    int32_t n = static_cast<int32_t>(std::strlen(text));
    int32_t words = (n + 1) / 2;
    int32_t offString = 76, offDx = dx.empty() ? 0 : 76 + 4 * words;
    std::vector<int32_t> f = {0, 0, -1, -1, 1, 0, 0, x, y, n, offString, int32_t(options)};
    f.insert(f.end(), rect.begin(), rect.end());
    f.push_back(offDx);
    std::vector<int32_t> chars(words, 0);
    for (int32_t i = 0; i < n; ++i)
        reinterpret_cast<char16_t*>(chars.data())[i] = static_cast<unsigned char>(text[i]);
    f.insert(f.end(), chars.begin(), chars.end());
    f.insert(f.end(), dx.begin(), dx.end());
    b.Raw(84, f);
}

// Columns that hold ink (darker than mid grey) in rows y0..y1.
std::vector<int> InkColumns(const Picture& p, int y0, int y1) {
    std::vector<int> cols;
    for (int x = 0; x < p.width; ++x)
        for (int y = y0; y < y1 && y < p.height; ++y)
            if ((p.At(x, y) & 0xFF) < 128) {
                cols.push_back(x);
                break;
            }
    return cols;
}

} // namespace

TEST(TextRecords, UpdateCurrentPositionChainsStrings) {
    if (!HaveFonts())
        GTEST_SKIP() << "no Arial substitute installed";
    EmfBuilder b(200, 60);
    AddArial(b, -20);
    b.Record(18, {1});      // SetBkMode TRANSPARENT
    b.Record(22, {1 | 24}); // TA_UPDATECP | TA_BASELINE
    b.Record(27, {10, 40}); // MoveTo
    AddText(b, 0, 0, "I", {50});
    AddText(b, 0, 0, "I", {50});
    Picture p = qm::emf::testing::Play(b.Finish());
    ASSERT_TRUE(p.played);
    std::vector<int> cols = InkColumns(p, 20, 40);
    ASSERT_FALSE(cols.empty());
    EXPECT_NEAR(cols.front(), 10 + 1, 2);
    EXPECT_NEAR(cols.back(), 60 + 3, 2) << "second string starts where the first ended";
}

TEST(TextRecords, RasterFontDoublesOnlyNearTwiceItsCell) {
    if (!qm::fonts::MatchFont("Courier", 400, false).bitmap)
        GTEST_SKIP() << "no look-alike raster fonts installed";
    // Courier's one size has a 13 px cell and no internal leading: 22 px stays single
    // (26 would overshoot by 4), 24 px doubles (by 2, within a quarter cell less one).
    EmfBuilder b(200, 100);
    b.Record(18, {1}); // SetBkMode TRANSPARENT
    AddFont(b, "Courier", -13, 1);
    AddText(b, 10, 10, "H");
    AddFont(b, "Courier", -22, 2);
    AddText(b, 60, 10, "H");
    AddFont(b, "Courier", -24, 3);
    AddText(b, 110, 10, "H");
    Picture p = qm::emf::testing::Play(b.Finish());
    ASSERT_TRUE(p.played);
    auto inkHeight = [&](int x0, int x1) {
        int top = p.height, bottom = -1;
        for (int y = 0; y < p.height; ++y)
            for (int x = x0; x < x1; ++x)
                if ((p.At(x, y) & 0xFF) < 128) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        return bottom - top + 1;
    };
    int plain = inkHeight(0, 50);
    ASSERT_GT(plain, 3);
    EXPECT_EQ(inkHeight(50, 100), plain);
    EXPECT_EQ(inkHeight(100, 200), 2 * plain);
}

TEST(TextRecords, CentredTextMovesBackByWholePixels) {
    if (!HaveFonts())
        GTEST_SKIP() << "no Arial substitute installed";
    // 41 px wide: centred at 100 it starts at 80, the odd pixel falling to the right, also
    // when the mapping makes it a hair wider (41.04 px).
    EmfBuilder b(200, 100);
    b.Record(17, {8});          // MM_ANISOTROPIC
    b.Record(9, {999, 999});    // window extent
    b.Record(11, {1000, 1000}); // viewport extent
    AddArial(b, -20);
    b.Record(18, {1});
    b.Record(22, {6}); // TA_CENTER
    AddText(b, 100, 10, "HH", {20, 21});
    b.Record(22, {0});
    AddText(b, 80, 50, "HH", {20, 21});
    Picture p = qm::emf::testing::Play(b.Finish());
    ASSERT_TRUE(p.played);
    // The same pixels, 40 rows apart (the glyphs are smoothed, so half a pixel would show).
    int differing = 0, ink = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < p.width; ++x) {
            differing += p.At(x, y) != p.At(x, y + 40);
            ink += p.At(x, y) != 0xFFFFFFu;
        }
    EXPECT_GT(ink, 50);
    EXPECT_EQ(differing, 0);
}

TEST(TextRecords, UpdateCurrentPositionFollowsTurnedBaseline) {
    if (!HaveFonts())
        GTEST_SKIP() << "no Arial substitute installed";
    // Turned by 30 degrees, two strings of 60 px each. Left alignment moves the current
    // position 120 px up the baseline, right alignment as far back, centring not at all;
    // a line from the current position straight up shows where it ended.
    const int32_t aligns[3] = {0, 2, 6}; // TA_LEFT, TA_RIGHT, TA_CENTER
    const double ends[3] = {200 + 120 * std::cos(M_PI / 6), 200 - 120 * std::cos(M_PI / 6), 200};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(aligns[k]);
        EmfBuilder b(400, 200);
        AddFont(b, "Arial", -20, 1, 300);
        b.Record(18, {1});
        b.Record(22, {aligns[k] | 1 | 24}); // TA_UPDATECP | TA_BASELINE
        b.Record(27, {200, 150});           // MoveTo
        AddText(b, 0, 0, "One", {20, 20, 20});
        AddText(b, 0, 0, "Two", {20, 20, 20});
        b.Record(22, {0});
        b.Record(54, {int32_t(std::lround(ends[k])), 0}); // LineTo well above the text
        Picture p = qm::emf::testing::Play(b.Finish());
        ASSERT_TRUE(p.played);
        std::vector<int> cols = InkColumns(p, 0, 5);
        ASSERT_FALSE(cols.empty());
        EXPECT_NEAR(cols.front(), ends[k], 1.0);
    }
}

TEST(TextRecords, OpaqueRectangleAndTruncatedStrings) {
    if (!HaveFonts())
        GTEST_SKIP() << "no Arial substitute installed";
    EmfBuilder b(100, 60);
    AddArial(b, -12);
    b.Record(25, {0x0000FF}); // SetBkColor red
    AddText(b, 10, 10, "x", {}, kEtoOpaque, {5, 5, 50, 30});
    // A string whose count runs past the record: nothing drawn, playback goes on.
    b.Record(84, {0, 0, -1, -1, 1, 0, 0, 60, 40, 1000, 76, 0, 0, 0, -1, -1, 0, 0x00410041});
    b.Record(25, {0x00FF00});
    AddText(b, 60, 50, "", {}, kEtoOpaque, {60, 50, 70, 55});
    Picture p = qm::emf::testing::Play(b.Finish());
    ASSERT_TRUE(p.played);
    EXPECT_EQ(p.At(6, 6), 0xFF0000u);
    EXPECT_EQ(p.At(49, 29), 0xFF0000u);
    EXPECT_EQ(p.At(50, 29), 0xFFFFFFu);
    EXPECT_EQ(p.At(65, 52), 0x00FF00u) << "records after the broken one still play";
}

TEST(TextDraw, RasterFontsDrawUnsmoothedAndGrowByWholeMultiples) {
    if (!qm::fonts::MatchFont("MS Sans Serif", 400, false).bitmap)
        GTEST_SKIP() << "no look-alike raster fonts installed";
    auto draw = [](Canvas& c, int height, int32_t escapement = 0) {
        TextRequest r = ArialAt(10, 10, "MS");
        r.font.faceName = "MS Sans Serif";
        r.font.height = height;
        r.font.escapement = escapement;
        return DrawTextRequest(c.cr, r);
    };
    Canvas exact, small, big, turned;
    // The advances are the raster font's own (M 11, S 9 at 13 px); a size between two
    // gets the smaller, and twice the largest size doubles it.
    EXPECT_DOUBLE_EQ(draw(exact, -13).advanceX, 20);
    TextResult a = draw(small, -16), b = draw(big, -32), t = draw(turned, -13, 900);
    EXPECT_DOUBLE_EQ(a.advanceX, 24);
    EXPECT_DOUBLE_EQ(draw(exact, -26).advanceX, 24);
    EXPECT_DOUBLE_EQ(b.advanceX, 48);
    std::set<uint32_t> colours;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            colours.insert(big.At(x, y));
    EXPECT_EQ(colours.size(), 2u) << "raster glyphs are never smoothed";
    int s[4], d[4];
    ASSERT_TRUE(small.Ink(s));
    ASSERT_TRUE(big.Ink(d));
    EXPECT_EQ(d[3] - d[1] + 1, 2 * (s[3] - s[1] + 1));
    EXPECT_EQ(d[0] - 10, 2 * (s[0] - 10));
    // Raster glyphs stay upright; the string runs up the page.
    int u[4];
    ASSERT_TRUE(turned.Ink(u));
    EXPECT_NEAR(t.advanceY, -20, 1e-9); // logical y grows downwards here
    EXPECT_GT(u[3] - u[1], u[2] - u[0]);
}

TEST(TextDraw, SymbolLookAlikeTakesCodesAndPrivateUseCodesAlike) {
    if (!qm::fonts::MatchFont("Symbol", 400, false).exact)
        GTEST_SKIP() << "no Symbol look-alike installed";
    auto ink = [](std::vector<uint32_t> codes, int(&box)[4]) {
        Canvas c;
        TextRequest r = ArialAt(10, 10, "", -40);
        r.font.faceName = "Symbol";
        r.font.charSet = 2;
        r.codes = std::move(codes);
        DrawTextRequest(c.cr, r);
        return c.Ink(box);
    };
    int plain[4], privateUse[4], infinity[4];
    ASSERT_TRUE(ink({'S'}, plain));
    ASSERT_TRUE(ink({0xF053}, privateUse));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(plain[i], privateUse[i]);
    // 0xA5 is the infinity sign: wider than tall, above the baseline.
    ASSERT_TRUE(ink({0xF0A5}, infinity));
    EXPECT_GT(infinity[2] - infinity[0], infinity[3] - infinity[1]);
}
