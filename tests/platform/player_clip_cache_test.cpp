#include <gtest/gtest.h>

#include <vector>

#include "platform/emf/player_clip_cache.h"
#include "tests/platform/emf_builder.h"

using namespace qm::emf;
using qm::emf::testing::EmfBuilder;
using qm::emf::testing::Play;

namespace {

RegionPtr Rects(std::vector<cairo_rectangle_int_t> rects) {
    return RegionPtr(cairo_region_create_rectangles(rects.data(), int(rects.size())),
                     cairo_region_destroy);
}

// The clip of a context as a region (empty when everything is clipped away).
RegionPtr ClipOf(cairo_t* cr) {
    cairo_rectangle_list_t* list = cairo_copy_clip_rectangle_list(cr);
    std::vector<cairo_rectangle_int_t> rects;
    for (int i = 0; i < list->num_rectangles; ++i) {
        const cairo_rectangle_t& r = list->rectangles[i];
        rects.push_back({int(r.x), int(r.y), int(r.width), int(r.height)});
    }
    cairo_rectangle_list_destroy(list);
    return Rects(rects);
}

struct Canvas {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 64, 64);
    cairo_t* cr = cairo_create(surface);
    ~Canvas() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
};

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00, kWhite = 0xFFFFFF;

// EMR_EXTSELECTCLIPRGN with RGN_COPY of the rectangles (left, top, right, bottom).
void SelectClipRects(EmfBuilder& b, const std::vector<std::vector<int32_t>>& rects) {
    const int32_t n = int32_t(rects.size());
    std::vector<int32_t> f{32 + 16 * n, 5, 32, 1, n, 16 * n, 0, 0, 100, 100};
    for (const auto& r : rects)
        f.insert(f.end(), r.begin(), r.end());
    b.Raw(75, f);
}

void FillAll(EmfBuilder& b, int32_t handle, uint32_t colorRef) {
    b.Record(39, {handle, 0, int32_t(colorRef), 0}).Record(37, {handle}); // brush, select
    b.Record(43, {0, 0, 100, 100});                                       // EMR_RECTANGLE
}

} // namespace

TEST(ClipCache, EffectiveClipIsBuiltOncePerClipState) {
    ClipCache cache;
    EXPECT_EQ(cache.Effective(nullptr, nullptr), nullptr);
    const RegionPtr clip = Rects({{0, 0, 10, 10}, {20, 0, 10, 10}});
    const RegionPtr meta = Rects({{5, 0, 20, 20}});
    EXPECT_EQ(cache.Effective(clip, nullptr), clip);
    EXPECT_EQ(cache.Effective(nullptr, meta), meta);

    const RegionPtr both = cache.Effective(clip, meta);
    const RegionPtr expected = Rects({{5, 0, 5, 10}, {20, 0, 5, 10}});
    ASSERT_TRUE(both);
    EXPECT_TRUE(cairo_region_equal(both.get(), expected.get()));
    EXPECT_EQ(cache.Effective(clip, meta), both); // same state: the same region, not rebuilt

    // Another region with the same rectangles is another state.
    const RegionPtr other = Rects({{0, 0, 10, 10}, {20, 0, 10, 10}});
    EXPECT_NE(cache.Effective(other, meta), both);
}

TEST(ClipCache, ContextCarriesTheClipOfTheCurrentState) {
    Canvas canvas;
    ClipCache cache;
    EXPECT_EQ(cache.Context(canvas.cr, nullptr, nullptr), canvas.cr);

    const RegionPtr first = Rects({{0, 0, 8, 8}, {16, 0, 8, 8}, {0, 16, 8, 8}});
    cairo_t* c1 = cache.Context(canvas.cr, first, nullptr);
    ASSERT_NE(c1, canvas.cr);
    EXPECT_TRUE(cairo_region_equal(ClipOf(c1).get(), first.get()));
    EXPECT_EQ(cache.Context(canvas.cr, first, nullptr), c1);

    const RegionPtr second = Rects({{32, 32, 4, 4}});
    cairo_t* c2 = cache.Context(canvas.cr, second, nullptr);
    EXPECT_TRUE(cairo_region_equal(ClipOf(c2).get(), second.get()));

    // An empty clip draws nothing, it does not mean "no clip".
    const RegionPtr empty = Rects({});
    cairo_t* c3 = cache.Context(canvas.cr, empty, nullptr);
    ASSERT_NE(c3, canvas.cr);
    double x0, y0, x1, y1;
    cairo_clip_extents(c3, &x0, &y0, &x1, &y1);
    EXPECT_EQ(x1 - x0, 0);
}

TEST(ClipCache, BoundedContextClipsToThePartOfTheRegionWithinTheBounds) {
    Canvas canvas;
    ClipCache cache;
    std::vector<cairo_rectangle_int_t> rows;
    for (int y = 0; y < 64; y += 2)
        rows.push_back({0, y, 64, 1});
    rows.push_back({40, 1, 4, 1});
    const RegionPtr many = Rects(rows);
    const cairo_rectangle_int_t bounds{30, 0, 20, 4};
    cairo_t* c = cache.Context(canvas.cr, many, nullptr, &bounds);
    const RegionPtr expected = Rects({{30, 0, 20, 1}, {40, 1, 4, 1}, {30, 2, 20, 1}});
    EXPECT_TRUE(cairo_region_equal(ClipOf(c).get(), expected.get()));
    // Without bounds the whole region applies, also after a bounded drawing.
    EXPECT_TRUE(
        cairo_region_equal(ClipOf(cache.Context(canvas.cr, many, nullptr)).get(), many.get()));
}

// Wide pens (mitred joins far beyond their points, round ends) and curved fills under a clip
// of many rectangles: each pixel is the unclipped drawing's inside the clip, white outside.
TEST(ClipCache, DrawingsUnderManyRectanglesMatchTheUnclippedDrawingWithinTheClip) {
    auto picture = [](bool clipped) {
        EmfBuilder b(200, 100, 8);
        if (clipped) {
            std::vector<std::vector<int32_t>> rows;
            for (int y = 0; y < 100; y += 2)
                rows.push_back({0, y, 200, y + 1});
            SelectClipRects(b, rows);
        }
        b.Record(39, {1, 0, 0x00FF00, 0}).Record(37, {1}); // green brush
        // Geometric pen, 7 wide, mitred joins, flat ends.
        b.Record(95, {2, 56, 0, 56, 0, 0x10000 | 0x2000 | 0x200, 7, 0, 0x0000FF, 0, 0, 0});
        b.Record(37, {2});
        b.Record(4, {0, 0, 0, 0, 3, 20, 85, 120, 70, 20, 55}); // EMR_POLYLINE, a sharp turn
        b.Record(38, {3, 0, 5, 0, 0xFF0000}).Record(37, {3});  // blue pen, 5 wide, round
        b.Record(42, {130, 10, 190, 45});                      // EMR_ELLIPSE
        b.Record(27, {10, 10}).Record(54, {100, 40});          // MOVETOEX, LINETO
        return Play(b.Finish());
    };
    const auto clipped = picture(true), plain = picture(false);
    ASSERT_TRUE(clipped.played && plain.played);
    int differing = 0, inked = 0;
    for (int y = 0; y < plain.height; ++y)
        for (int x = 0; x < plain.width; ++x) {
            const uint32_t want = y % 2 == 0 && y < 100 && x < 200 ? plain.At(x, y) : kWhite;
            differing += clipped.At(x, y) != want;
            inked += plain.At(x, y) != kWhite;
        }
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(plain.At(138, 70), kRed); // the mitre's tip, far beyond its point
    EXPECT_GT(inked, 2000);
}

// Clip changes between drawings (new regions, SaveDC/RestoreDC, the meta region) must never
// leave a drawing under the clip of an earlier state.
TEST(ClipCache, DrawingsFollowEveryClipChange) {
    EmfBuilder b(100, 100, 8);
    b.Record(37, {int32_t(0x80000008)}); // NULL_PEN
    // A region of many rectangles: every other row of the picture.
    std::vector<std::vector<int32_t>> rows;
    for (int y = 0; y < 100; y += 2)
        rows.push_back({0, y, 100, y + 1});
    SelectClipRects(b, rows);
    FillAll(b, 1, 0x0000FF);         // red on the even rows
    b.Record(33, {});                // EMR_SAVEDC
    b.Record(30, {50, 0, 100, 100}); // EMR_INTERSECTCLIPRECT: right half
    FillAll(b, 2, 0xFF0000);         // blue on the right half's even rows
    b.Record(34, {-1});              // EMR_RESTOREDC: all even rows again
    b.Record(30, {0, 0, 25, 100});   // left quarter
    FillAll(b, 3, 0x00FF00);         // green on the left quarter's even rows
    b.Record(28, {});                // EMR_SETMETARGN: that clip becomes the meta
    b.Record(29, {0, 0, 10, 100});   // EMR_EXCLUDECLIPRECT within the meta
    FillAll(b, 4, 0xFF0000);         // blue on columns 10..24 of the even rows
    b.Raw(75, {0, 5});               // no clip: only the meta region is left
    b.Record(39, {5, 0, 0x0000FF, 0}).Record(37, {5});
    b.Record(43, {0, 0, 5, 100}); // red on columns 0..4 of the even rows
    const auto pic = Play(b.Finish());
    ASSERT_TRUE(pic.played);

    EXPECT_EQ(pic.At(30, 10), kRed);
    EXPECT_EQ(pic.At(30, 11), kWhite);
    EXPECT_EQ(pic.At(70, 10), kBlue);
    EXPECT_EQ(pic.At(70, 11), kWhite);
    EXPECT_EQ(pic.At(2, 10), kRed);
    EXPECT_EQ(pic.At(7, 10), kGreen);
    EXPECT_EQ(pic.At(7, 11), kWhite);
    EXPECT_EQ(pic.At(20, 10), kBlue);
    EXPECT_EQ(pic.At(20, 11), kWhite);
}
