// Bounds on EMF+ drawing work: figures that reach far beyond the picture draw what can be seen
// of them, as cairo would, without the cost of what cannot.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstring>

#include "platform/emfplus/emfplus_limits.h"
#include "tests/platform/emfplus_builder.h"

namespace qm::emfplus {
namespace {

constexpr int kSize = 64;

struct Canvas {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSize, kSize);
    cairo_t* cr = cairo_create(surface);
    Canvas() {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
    }
    ~Canvas() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    // Number of pixels that differ from the other canvas by more than tolerance in a channel.
    int Differences(const Canvas& other, int tolerance) const {
        cairo_surface_flush(surface);
        cairo_surface_flush(other.surface);
        const uint8_t* a = cairo_image_surface_get_data(surface);
        const uint8_t* b = cairo_image_surface_get_data(other.surface);
        int n = 0;
        for (int i = 0; i < kSize * kSize * 4; i += 4)
            for (int c = 0; c < 4; ++c)
                if (std::abs(a[i + c] - b[i + c]) > tolerance) {
                    ++n;
                    break;
                }
        return n;
    }
    int Inked() const {
        cairo_surface_flush(surface);
        const uint8_t* a = cairo_image_surface_get_data(surface);
        int n = 0;
        for (int i = 0; i < kSize * kSize * 4; i += 4)
            n += a[i] < 128;
        return n;
    }
};

int PathElements(cairo_t* cr) {
    cairo_path_t* path = cairo_copy_path(cr);
    int n = 0;
    for (int i = 0; i < path->num_data; i += path->data[i].header.length)
        ++n;
    cairo_path_destroy(path);
    return n;
}

const DeviceBox kBox{-2, -2, kSize + 2, kSize + 2};

// A loop of curves a few hundred thousand pixels across that passes through the surface.
void AddHugeCurves(cairo_t* cr) {
    cairo_move_to(cr, 10, 20);
    cairo_curve_to(cr, 3e5, -2e5, 2e5, 4e5, 50, 40);
    cairo_curve_to(cr, -1e5, -3e5, -2e5, 1e5, 10, 20);
    cairo_close_path(cr);
}

TEST(EmfPlusLimits, HugeCurvesAreSplitWithoutChangingThePixelsInside) {
    Canvas plain, bounded;
    for (Canvas* c : {&plain, &bounded}) {
        cairo_scale(c->cr, 2, 2); // the bounds work in device pixels, whatever the matrix
        cairo_translate(c->cr, -5, -5);
        AddHugeCurves(c->cr);
    }
    // Wide enough for the miter at the default limit of the stroke below.
    const uint64_t work = BoundPathToBox(bounded.cr, {-20, -20, kSize + 20, kSize + 20});
    // Split near the box only, so the path stays small and cheap to flatten.
    EXPECT_LT(PathElements(bounded.cr), 400);
    EXPECT_LT(work, 400 * 100 * kSegmentWork);
    for (Canvas* c : {&plain, &bounded}) {
        cairo_set_line_width(c->cr, 3);
        cairo_stroke_preserve(c->cr);
        cairo_set_source_rgba(c->cr, 1, 0, 0, 0.5);
        cairo_fill(c->cr);
    }
    EXPECT_GT(plain.Inked(), 0);
    // Both are flattened to within a tenth of a pixel, along different chords.
    EXPECT_EQ(bounded.Differences(plain, 26), 0);
}

TEST(EmfPlusLimits, CurvesOfOrdinarySizeAreLeftAlone) {
    Canvas c;
    cairo_move_to(c.cr, 0, 0);
    cairo_curve_to(c.cr, 3000, -800, -800, 3000, 50, 40);
    cairo_curve_to(c.cr, 1, 2, 3, 4, 5, 6);
    const int before = PathElements(c.cr);
    BoundPathToBox(c.cr, kBox);
    EXPECT_EQ(PathElements(c.cr), before);
}

TEST(EmfPlusLimits, DashesNearTheSurfaceFallAsAWholeStrokeWouldPlaceThem) {
    const std::vector<double> dashes{3, 2, 1, 2};
    Canvas plain, within;
    for (Canvas* c : {&plain, &within}) {
        cairo_set_line_width(c->cr, 2);
        cairo_set_line_cap(c->cr, CAIRO_LINE_CAP_SQUARE);
        // Long stretches outside the surface between the parts that cross it, and a closed
        // square that lies wholly inside.
        cairo_move_to(c->cr, -900, 10);
        cairo_line_to(c->cr, 30, 10);
        cairo_line_to(c->cr, 30, 700);
        cairo_line_to(c->cr, -400, 50);
        cairo_line_to(c->cr, 2000, 33.5);
        cairo_rectangle(c->cr, 20, 20, 20, 20);
    }
    EXPECT_GT(DashCount(plain.cr, dashes), 1000);
    cairo_set_dash(plain.cr, dashes.data(), int(dashes.size()), 1.5);
    cairo_stroke(plain.cr);
    StrokeDashedWithin(within.cr, {-5, -5, kSize + 5, kSize + 5}, dashes, 1.5);
    EXPECT_GT(plain.Inked(), 100);
    EXPECT_LE(within.Differences(plain, 8), 2);
}

TEST(EmfPlusLimits, ShadedTrianglesAreSplitToTheBoxWithLinearColours) {
    // Red grows from 0 at the left corner to 1 at the right one: linear in x everywhere.
    std::vector<ShadedTriangle> in = {
        {ShadedCorner{-1e6, -1e6, 0, 0, 0, 1}, ShadedCorner{1e6, -1e6, 1, 0, 0, 1},
         ShadedCorner{0, 1e6, 0.5, 0, 0, 1}},
        // wholly outside: dropped
        {ShadedCorner{1e5, 1e5, 0, 0, 0, 1}, ShadedCorner{2e5, 1e5, 0, 0, 0, 1},
         ShadedCorner{1e5, 2e5, 0, 0, 0, 1}}};
    const auto out = SplitTrianglesToBox(in, kBox);
    ASSERT_FALSE(out.empty());
    EXPECT_LT(out.size(), 2000u);
    for (const ShadedTriangle& t : out) {
        double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
        for (const ShadedCorner& c : t) {
            EXPECT_NEAR(c.r, (c.x + 1e6) / 2e6, 1e-9);
            x0 = std::min(x0, c.x), x1 = std::max(x1, c.x);
            y0 = std::min(y0, c.y), y1 = std::max(y1, c.y);
        }
        EXPECT_TRUE(x1 >= kBox.x0 && x0 <= kBox.x1 && y1 >= kBox.y0 && y0 <= kBox.y1);
    }
}

} // namespace
} // namespace qm::emfplus

namespace qm::emf::testing {
namespace {

constexpr uint32_t kBlack = 0xFF000000u;

// Playback of EMF+ figures that span millions of pixels is played to the end and draws what
// lies on the picture.
TEST(EmfPlusLimits, FiguresSpanningMillionsOfPixelsDrawTheirVisiblePart) {
    EmfBuilder emf;
    PlusBuilder b;
    // World units of 100 pixels, the origin at the picture's centre.
    b.Record(0x402A, 0, PlusData().F(100).F(0).F(0).F(100).F(50).F(50));
    // A closed curve around the whole picture, 3e6 pixels from it, many times over.
    PlusData curve;
    curve.U32(0xFF0000FFu).F(0.5f).U32(4);
    curve.I16(-30000).I16(-30000).I16(30000).I16(-30000).I16(30000).I16(30000).I16(-30000).I16(
        30000);
    for (int i = 0; i < 21; ++i)
        b.Record(0x4016, 0xC000, curve);
    // A dotted pen one pixel wide (line style 2) along the middle row, as long.
    b.SolidPen(1, kBlack, 0.0f, 0x20, PlusData().I32(2));
    for (int i = 0; i < 20; ++i)
        b.Record(0x400D, 0x4001, PlusData().U32(2).I16(-30000).I16(0).I16(30000).I16(0));
    b.EndOfFile().Flush(emf);
    Picture p;
    p.width = p.height = 101;
    p.pixels.assign(101 * 101, 0xFFFFFFFFu);
    Surface s{p.pixels.data(), 101, 101, 101 * 4};
    const PlayResult result =
        PlayMetafile(emf.Finish(), s, {0, 0, 100, 100}, emfplus::EmfPlusMode::Prefer);
    EXPECT_EQ(result.outcome, PlayOutcome::Played);
    EXPECT_EQ(p.At(10, 10), 0x0000FFu);
    EXPECT_EQ(p.At(90, 90), 0x0000FFu);
    // Dots one pixel long with gaps as long: half the row is black, in alternate pixels.
    int black = 0, changes = 0;
    for (int x = 0; x < 101; ++x) {
        black += p.At(x, 50) == 0;
        changes += x > 0 && (p.At(x, 50) == 0) != (p.At(x - 1, 50) == 0);
    }
    EXPECT_NEAR(black, 50, 2);
    EXPECT_GE(changes, 98);
}

// A path gradient brush (id 1) of centre colour centre and one surround colour over the square
// of side size around (cx, cy), filling a rectangle over the whole picture.
std::vector<uint8_t> PathGradientPicture(uint32_t centre, uint32_t surround, float cx, float cy,
                                         float size) {
    EmfBuilder emf;
    PlusBuilder b;
    PlusData brush;
    brush.U32(0xDBC01002).U32(3).U32(0).I32(0).U32(centre).F(cx).F(cy).U32(1).U32(surround);
    const float h = size / 2;
    brush.U32(4).F(cx - h).F(cy - h).F(cx + h).F(cy - h).F(cx + h).F(cy + h).F(cx - h).F(cy + h);
    b.Record(0x4008, 0x0100 | 1, brush);
    b.Record(0x400A, 0, PlusData().U32(1).U32(1).Rect(0, 0, 100, 100));
    b.EndOfFile().Flush(emf);
    return emf.Finish();
}

TEST(EmfPlusLimits, PathGradientsShadeEvenWhenFarLargerThanThePicture) {
    // One colour throughout: every pixel inside the boundary has it, along the seams between
    // the triangles too.
    const Picture flat = Play(PathGradientPicture(0xFFFF0000u, 0xFFFF0000u, 50, 50, 80));
    for (int y = 15; y < 85; ++y)
        for (int x = 15; x < 85; ++x)
            ASSERT_EQ(flat.At(x, y), 0xFF0000u) << x << "," << y;
    // Six million pixels across, centred on the picture: the picture lies in the middle, close
    // to the centre colour.
    const Picture huge = Play(PathGradientPicture(0xFF0000FFu, 0xFFFF0000u, 50, 50, 6e6f));
    EXPECT_TRUE(huge.played);
    for (int y = 0; y < 100; y += 7)
        for (int x = 0; x < 100; x += 7) {
            const uint32_t p = huge.At(x, y);
            ASSERT_GE(p & 0xFF, 250u) << x << "," << y;
            ASSERT_LE(p >> 16, 5u) << x << "," << y;
        }
}

} // namespace
} // namespace qm::emf::testing
