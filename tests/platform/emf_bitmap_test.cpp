#include "platform/emf/bitmap_blit.h"
#include "platform/emf/rop.h"
#include "tests/platform/emf_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using namespace qm::emf;

namespace {

struct Canvas {
    int width, height;
    std::vector<uint32_t> pixels;
    cairo_region_t* clip = nullptr;
    Canvas(int w, int h, uint32_t fill = 0xFFFFFFFFu) : width(w), height(h), pixels(w * h, fill) {}
    ~Canvas() {
        if (clip)
            cairo_region_destroy(clip);
    }
    PixelTarget Target() { return {pixels.data(), width, height, width * 4, clip}; }
    uint32_t At(int x, int y) const { return pixels[y * width + x] & 0xFFFFFF; }
};

DibImage Image(int w, int h, std::vector<uint32_t> px) {
    DibImage img;
    img.width = w;
    img.height = h;
    img.pixels = std::move(px);
    return img;
}

constexpr uint32_t kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu, kGreen = 0xFF00FF00u;

} // namespace

TEST(RasterOps, NamedOperationsFollowTheirTruthTables) {
    const uint32_t p = 0xF0F0F0, s = 0xCCCCCC, d = 0xAAAAAA;
    struct Case {
        uint32_t rop;
        uint32_t expect;
    } cases[] = {
        {0x00CC0020, s},                  // SRCCOPY
        {0x00EE0086, s | d},              // SRCPAINT
        {0x008800C6, s & d},              // SRCAND
        {0x00660046, s ^ d},              // SRCINVERT
        {0x00440328, s & ~d},             // SRCERASE
        {0x00330008, ~s},                 // NOTSRCCOPY
        {0x001100A6, ~(s | d)},           // NOTSRCERASE
        {0x00C000CA, p & s},              // MERGECOPY
        {0x00BB0226, ~s | d},             // MERGEPAINT
        {0x00F00021, p},                  // PATCOPY
        {0x00FB0A09, p | ~s | d},         // PATPAINT
        {0x005A0049, p ^ d},              // PATINVERT
        {0x00550009, ~d},                 // DSTINVERT
        {0x00000042, 0},                  // BLACKNESS
        {0x00FF0062, ~0u},                // WHITENESS
        {0x00E20746, (d & ~s) | (p & s)}, // DSPDxax: pattern through a mask
    };
    for (const Case& c : cases)
        EXPECT_EQ(ApplyRop3(Rop3Index(c.rop), p, s, d) & 0xFFFFFF, c.expect & 0xFFFFFF)
            << std::hex << c.rop;
    EXPECT_TRUE(RopUsesSource(0xCC));
    EXPECT_FALSE(RopUsesSource(0xF0));
    EXPECT_TRUE(RopUsesPattern(0x5A));
    EXPECT_FALSE(RopUsesDestination(0xCC));
    EXPECT_TRUE(RopUsesDestination(0x55));
}

TEST(Blit, CopyStretchAndMirror) {
    DibImage src = Image(2, 1, {kRed, kBlue});
    Canvas c(10, 4);
    BlitRequest req;
    req.source = &src;
    req.src = {0, 0, 2, 1};
    req.dest = {1, 1, 2, 0, 0, 1}; // 1:1 copy at (1, 1)
    Blit(c.Target(), req);
    EXPECT_EQ(c.At(1, 1), 0xFF0000u);
    EXPECT_EQ(c.At(2, 1), 0x0000FFu);
    EXPECT_EQ(c.At(3, 1), 0xFFFFFFu);
    EXPECT_EQ(c.At(1, 0), 0xFFFFFFu);

    // Stretched to 6 pixels, mirrored: the mirrored area still covers its origin column.
    req.dest = {9, 2, -6, 0, 0, 2};
    Blit(c.Target(), req);
    EXPECT_EQ(c.At(9, 2), 0xFF0000u);
    EXPECT_EQ(c.At(7, 3), 0xFF0000u);
    EXPECT_EQ(c.At(6, 2), 0x0000FFu);
    EXPECT_EQ(c.At(4, 2), 0x0000FFu);
    EXPECT_EQ(c.At(3, 2), 0xFFFFFFu);
}

TEST(Blit, ShrinkingModesAndHalftone) {
    // A 1-pixel black line in white survives shrinking in black-on-white mode only.
    DibImage src = Image(4, 1, {0xFFFFFFFFu, 0xFF000000u, 0xFFFFFFFFu, 0xFFFFFFFFu});
    BlitRequest req;
    req.source = &src;
    req.src = {0, 0, 4, 1};
    req.dest = {0, 0, 1, 0, 0, 1};
    Canvas a(1, 1), b(1, 1), h(1, 1);
    req.mode = StretchMode::BlackOnWhite;
    Blit(a.Target(), req);
    EXPECT_EQ(a.At(0, 0), 0x000000u);
    req.mode = StretchMode::WhiteOnBlack;
    Blit(b.Target(), req);
    EXPECT_EQ(b.At(0, 0), 0xFFFFFFu);
    req.mode = StretchMode::Halftone;
    Blit(h.Target(), req);
    EXPECT_EQ(h.At(0, 0), 0xBFBFBFu); // the average of 3 white and 1 black

    // Enlarging in halftone mode blends neighbours.
    DibImage two = Image(2, 1, {0xFF000000u, 0xFFFFFFFFu});
    Canvas e(8, 1);
    req.source = &two;
    req.src = {0, 0, 2, 1};
    req.dest = {0, 0, 8, 0, 0, 1};
    Blit(e.Target(), req);
    EXPECT_EQ(e.At(0, 0), 0x000000u);
    EXPECT_EQ(e.At(7, 0), 0xFFFFFFu);
    uint32_t mid = e.At(2, 0) & 0xFF;
    EXPECT_GT(mid, 0x20u);
    EXPECT_LT(mid, 0xE0u);
}

TEST(Blit, PatternMaskAndClip) {
    Canvas c(8, 8, 0xFF00FF00u);
    c.clip = cairo_region_create();
    cairo_rectangle_int_t r = {0, 0, 4, 8};
    cairo_region_union_rectangle(c.clip, &r);
    PatternTile tile = HatchTile(1 /* vertical */, kRed, kBlue, true);
    BlitRequest req;
    req.foreRop = Rop3Index(0x00F00021); // PATCOPY
    req.pattern = &tile;
    req.dest = {0, 0, 8, 0, 0, 8};
    Blit(c.Target(), req);
    EXPECT_EQ(c.At(4 - 0, 0), 0x00FF00u) << "outside the clip";
    EXPECT_EQ(c.At(3, 5) == 0xFF0000u || c.At(3, 5) == 0x00FF00u, true);
    int red = 0;
    for (int x = 0; x < 4; ++x)
        red += c.At(x, 2) == 0xFF0000u;
    EXPECT_EQ(red, 0) << "vertical hatch line sits in column 4, outside the clip";

    // Mask: foreground copies the source, background keeps the destination.
    Canvas m(2, 1);
    DibImage src = Image(2, 1, {kRed, kRed});
    DibImage mask = Image(2, 1, {0xFF000000u, 0xFFFFFFFFu});
    BlitRequest mreq;
    mreq.source = &src;
    mreq.src = {0, 0, 2, 1};
    mreq.mask = &mask;
    mreq.backRop = 0xAA;
    mreq.dest = {0, 0, 2, 0, 0, 1};
    Blit(m.Target(), mreq);
    EXPECT_EQ(m.At(0, 0), 0xFFFFFFu);
    EXPECT_EQ(m.At(1, 0), 0xFF0000u);
}

TEST(Blit, AlphaAndTransparentColour) {
    // Premultiplied half-transparent red over white, and a constant alpha of 50%.
    DibImage src = Image(2, 1, {0x80800000u, 0x00000000u});
    src.sourceAlpha = true;
    Canvas c(2, 1);
    AlphaBlit(c.Target(), {0, 0, 2, 0, 0, 1}, src, {0, 0, 2, 1}, 255, true);
    EXPECT_NEAR(static_cast<int>(c.At(0, 0) >> 16), 255, 1);
    EXPECT_NEAR(static_cast<int>(c.At(0, 0) & 0xFF), 127, 1);
    EXPECT_EQ(c.At(1, 0), 0xFFFFFFu);

    DibImage opaque = Image(1, 1, {kBlue});
    Canvas h(1, 1);
    AlphaBlit(h.Target(), {0, 0, 1, 0, 0, 1}, opaque, {0, 0, 1, 1}, 128, false);
    EXPECT_NEAR(static_cast<int>(h.At(0, 0) >> 16), 127, 1);
    EXPECT_EQ(h.At(0, 0) & 0xFF, 0xFFu);

    DibImage keyed = Image(2, 1, {kGreen, kBlue});
    Canvas t(2, 1);
    TransparentBlit(t.Target(), {0, 0, 2, 0, 0, 1}, keyed, {0, 0, 2, 1}, 0x00FF00);
    EXPECT_EQ(t.At(0, 0), 0xFFFFFFu);
    EXPECT_EQ(t.At(1, 0), 0x0000FFu);
}

TEST(Gradient, RectanglesAndTriangles) {
    Canvas c(11, 3);
    GradientRect(c.Target(), {0, 0, 0, 0, 0}, {10, 3, 0xFF00, 0, 0}, false);
    EXPECT_LT(c.At(0, 1) >> 16, 0x10u);
    EXPECT_GT(c.At(9, 1) >> 16, 0xE0u);
    EXPECT_LT(c.At(3, 0) >> 16, c.At(6, 0) >> 16);
    EXPECT_EQ(c.At(10, 1), 0xFFFFFFu) << "right edge excluded";

    Canvas t(20, 20);
    GradientTriangle(t.Target(), {0, 0, 0xFF00, 0, 0}, {20, 0, 0, 0xFF00, 0},
                     {0, 20, 0, 0, 0xFF00});
    EXPECT_GT(t.At(1, 1) >> 16, 0xC0u);
    EXPECT_EQ(t.At(19, 19), 0xFFFFFFu) << "outside the triangle";
    // Pixels are sampled at their top-left corner: corners on a slanted top-left edge
    // (x + y = 20) are in, those just above it out; corners round to whole pixels first.
    for (double shift : {0.0, 0.4}) {
        Canvas u(20, 20);
        GradientTriangle(u.Target(), {20 + shift, shift, 0xFF00, 0, 0},
                         {20 + shift, 20 + shift, 0, 0xFF00, 0}, {shift, 20 + shift, 0, 0, 0xFF00});
        EXPECT_NE(u.At(10, 10), 0xFFFFFFu) << shift;
        EXPECT_NE(u.At(19, 1), 0xFFFFFFu) << shift;
        EXPECT_EQ(u.At(9, 10), 0xFFFFFFu) << shift;
        EXPECT_EQ(u.At(18, 1), 0xFFFFFFu) << shift;
    }
}

TEST(Blit, HostileGeometryIsHarmless) {
    Canvas c(4, 4);
    DibImage src = Image(1, 1, {kRed});
    BlitRequest req;
    req.source = &src;
    req.src = {0, 0, 1, 1};
    for (DestArea d : {DestArea{NAN, 0, 4, 0, 0, 4}, DestArea{0, 0, 1e300, 0, 0, 1e300},
                       DestArea{-1e9, -1e9, 2e9, 0, 0, 2e9}, DestArea{0, 0, 0, 0, 0, 0},
                       DestArea{0, 0, 3, 1, 3, 1}}) {
        req.dest = d;
        Blit(c.Target(), req);
        AlphaBlit(c.Target(), d, src, req.src, 255, false);
    }
    req.src = {5, 5, 1, 1}; // outside the source: nothing copied
    req.dest = {0, 0, 4, 0, 0, 4};
    Canvas d(4, 4);
    Blit(d.Target(), req);
    EXPECT_EQ(d.At(1, 1), 0xFFFFFFu);
    GradientTriangle(c.Target(), {0, 0}, {1e308, 0}, {0, 1e308});
    GradientRect(c.Target(), {NAN, 0}, {3, 3}, true);
}

// Whole records through the player.
namespace {

using qm::emf::testing::EmfBuilder;
using qm::emf::testing::Picture;

// EMR_STRETCHDIBITS of a 2 x 2 bottom-up 24-bit bitmap: bottom row red, blue; top row
// green, white.
std::vector<int32_t> StretchDIBits(int x, int y, int cx, int cy, uint32_t offBits = 120) {
    std::vector<int32_t> f = {x, y,  x + cx - 1, y + cy - 1,       x,  y, 0,          0,  2,
                              2, 80, 40,         int32_t(offBits), 16, 0, 0x00CC0020, cx, cy};
    // BITMAPINFOHEADER: 2 x 2, 1 plane, 24 bits.
    std::vector<int32_t> header = {40, 2, 2, 0x00180001, 0, 16, 0, 0, 0, 0};
    f.insert(f.end(), header.begin(), header.end());
    // Rows of 6 bytes padded to 8: B, G, R per pixel.
    const uint8_t bits[16] = {0, 0, 255, 255, 0, 0, 0, 0, 0, 255, 0, 255, 255, 255, 0, 0};
    for (int i = 0; i < 4; ++i) {
        int32_t v;
        std::memcpy(&v, bits + 4 * i, 4);
        f.push_back(v);
    }
    return f;
}

} // namespace

TEST(BitmapRecords, StretchDIBitsPlacesBottomUpRows) {
    EmfBuilder b(60, 60);
    b.Raw(81, StretchDIBits(10, 10, 20, 20));
    // A record whose bits lie past its end is skipped; later records still play.
    b.Raw(81, StretchDIBits(30, 30, 20, 20, 4000));
    b.Record(39, {1, 0, 0x00FF0000, 0}); // blue solid brush
    b.Record(37, {1});
    b.Record(76, {40, 0, 49,         9, 40, 0, 10, 10, 0x00F00021, 0, 0, 0x3F800000,
                  0,  0, 0x3F800000, 0, 0,  0, 0,  0,  0,          0, 0});
    Picture p = qm::emf::testing::Play(b.Finish());
    ASSERT_TRUE(p.played);
    EXPECT_EQ(p.At(12, 12), 0x00FF00u); // top left: first pixel of the top (last stored) row
    EXPECT_EQ(p.At(27, 12), 0xFFFFFFu);
    EXPECT_EQ(p.At(12, 27), 0xFF0000u);
    EXPECT_EQ(p.At(27, 27), 0x0000FFu);
    EXPECT_EQ(p.At(30, 30), 0xFFFFFFu);
    EXPECT_EQ(p.At(45, 5), 0x0000FFu) << "pattern blit after the broken record";
}

TEST(Blit, WholeAreaOperationsWithoutSourceMatchTheirTruthTables) {
    // Every operation that reads no source, with a solid pattern and with a tile that has a
    // transparent pixel, over a destination of many colours; a mirrored, clipped area covers
    // the same pixels as the per-pixel path.
    PatternTile solid;
    solid.pixels = {0xFF3C9A5Eu};
    PatternTile tile;
    tile.width = 3;
    tile.height = 2;
    tile.pixels = {0xFF3C9A5Eu, 0x00FFFFFFu, 0xFFC0FFEEu, 0xFF000000u, 0xFFFFFFFFu, 0xFF12F0A5u};
    tile.originX = 1;
    tile.originY = -1;
    for (const PatternTile* pattern : {&solid, &tile})
        for (int rop = 0; rop < 256; ++rop) {
            if (RopUsesSource(uint8_t(rop)))
                continue;
            Canvas c(7, 5);
            for (size_t i = 0; i < c.pixels.size(); ++i)
                c.pixels[i] = 0xFF000000u | uint32_t(i * 0x2F5A3B);
            const std::vector<uint32_t> before = c.pixels;
            c.clip = cairo_region_create();
            const cairo_rectangle_int_t keep = {0, 0, 5, 4};
            cairo_region_union_rectangle(c.clip, &keep);
            BlitRequest req;
            req.foreRop = uint8_t(rop);
            req.pattern = pattern;
            req.dest = {6, 0, -5, 0, 0, 5}; // mirrored: columns 2..6
            Blit(c.Target(), req);
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 7; ++x) {
                    const uint32_t d = before[size_t(y) * 7 + x];
                    const int tx =
                        ((x - pattern->originX) % pattern->width + pattern->width) % pattern->width;
                    const int ty = ((y - pattern->originY) % pattern->height + pattern->height) %
                                   pattern->height;
                    const uint32_t p = pattern->pixels[size_t(ty * pattern->width + tx)];
                    const bool drawn = x >= 2 && x < 5 && y < 4 &&
                                       (!RopUsesPattern(uint8_t(rop)) || (p >> 24) != 0);
                    const uint32_t expect = drawn ? ApplyRop3(uint8_t(rop), p, 0, d) : d;
                    ASSERT_EQ(c.At(x, y), expect & 0xFFFFFF)
                        << "rop " << rop << " at " << x << "," << y << " tile " << pattern->width;
                    ASSERT_EQ(c.pixels[size_t(y) * 7 + x] >> 24, 0xFFu);
                }
        }
    // A transparent pattern (a hatch gap colour) leaves everything.
    Canvas t(3, 3, 0xFF123456u);
    PatternTile clear;
    clear.pixels = {0x00FFFFFFu};
    BlitRequest req;
    req.foreRop = Rop3Index(0x005A0049); // PATINVERT
    req.pattern = &clear;
    req.dest = {0, 0, 3, 0, 0, 3};
    Blit(t.Target(), req);
    EXPECT_EQ(t.At(1, 1), 0x123456u);
}

TEST(Blit, StretchedSourcesTakeTheSamePixelsWithAndWithoutAMask) {
    // Without a mask the source positions are found once per row and column; with a mask whose
    // pixels all select the foreground operation each pixel is sampled on its own. Both must
    // give the same picture: stretched, mirrored, clipped, with a hole and a pattern.
    DibImage src = Image(3, 2, {kRed, 0x00000000u, kBlue, kGreen, 0xFF123456u, 0xFFFEDCBAu});
    DibImage mask = Image(3, 2, std::vector<uint32_t>(6, 0xFFFFFFFFu));
    PatternTile tile = HatchTile(5 /* diagonal cross */, 0xFF00FFFFu, 0xFF804020u, false);
    for (int run = 0; run < 8; ++run) {
        const uint8_t rop = std::vector<uint8_t>{0xCC, 0x66, 0xC0, 0xE2}[size_t(run % 4)];
        src.hasHoles = run < 4;
        Canvas plain(9, 7), masked(9, 7);
        for (Canvas* c : {&plain, &masked}) {
            for (size_t i = 0; i < c->pixels.size(); ++i)
                c->pixels[i] = 0xFF000000u | uint32_t(i * 0x1F3D5B);
            c->clip = cairo_region_create();
            const cairo_rectangle_int_t keep = {1, 0, 7, 6};
            cairo_region_union_rectangle(c->clip, &keep);
        }
        BlitRequest req;
        req.source = &src;
        req.src = {0, 0, 3, 2};
        req.foreRop = rop;
        req.pattern = &tile;
        req.dest = {8, 1, -7, 0, 0, 5}; // mirrored, stretched both ways
        Blit(plain.Target(), req);
        req.mask = &mask;
        req.backRop = 0xAA;
        Blit(masked.Target(), req);
        EXPECT_EQ(plain.pixels, masked.pixels) << int(rop) << " holes " << src.hasHoles;
    }
}
