// EMF+ gradient brushes: linear and path gradients with their blends, preset colours, gamma
// correction, focus scales, boundaries, wrap modes and transforms, played from metafiles built
// here and checked pixel by pixel.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "platform/emfplus/emfplus.h"
#include "platform/emfplus/emfplus_gradient.h"
#include "tests/platform/emfplus_builder.h"

namespace qm::emf::testing {
namespace {

constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kGreen = 0xFF00FF00u;
constexpr uint32_t kBlue = 0xFF0000FFu;
constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;

// Brush data flags.
constexpr uint32_t kPath = 0x01, kTransform = 0x02, kPresets = 0x04, kBlendH = 0x08, kBlendV = 0x10,
                   kFocus = 0x40, kGamma = 0x80;

// Whether every channel of got lies within tolerance of want (both 0xRRGGBB).
::testing::AssertionResult Near(uint32_t got, uint32_t want, int tolerance = 6) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF);
        if (std::abs(d) > tolerance)
            return ::testing::AssertionFailure() << std::hex << "got " << got << ", want " << want
                                                 << " (within " << std::dec << tolerance << ")";
    }
    return ::testing::AssertionSuccess();
}

// Mixes two colours, f of the way from a to b.
uint32_t MixRgb(uint32_t a, uint32_t b, double f) {
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const double v = ((a >> shift) & 0xFF) * (1 - f) + ((b >> shift) & 0xFF) * f;
        out |= uint32_t(v + 0.5) << shift;
    }
    return out;
}

PlusData& Blend(PlusData& d, std::initializer_list<std::pair<float, float>> stops) {
    d.U32(uint32_t(stops.size()));
    for (const auto& s : stops)
        d.F(s.first);
    for (const auto& s : stops)
        d.F(s.second);
    return d;
}

PlusData& Presets(PlusData& d, std::initializer_list<std::pair<float, uint32_t>> stops) {
    d.U32(uint32_t(stops.size()));
    for (const auto& s : stops)
        d.F(s.first);
    for (const auto& s : stops)
        d.U32(s.second);
    return d;
}

// A linear gradient brush over rect, optional data after the fixed fields.
PlusData Linear(uint32_t flags, int32_t wrap, float x, float y, float w, float h, uint32_t from,
                uint32_t to) {
    PlusData d;
    d.U32(0xDBC01002).U32(4).U32(flags).I32(wrap).Rect(x, y, w, h).U32(from).U32(to);
    d.U32(from).U32(to);
    return d;
}

// A path gradient brush with a boundary of points; optional data follows.
PlusData PathGradient(uint32_t flags, int32_t wrap, uint32_t centre, float cx, float cy,
                      std::initializer_list<uint32_t> surround,
                      std::initializer_list<std::pair<float, float>> points) {
    PlusData d;
    d.U32(0xDBC01002).U32(3).U32(flags).I32(wrap).U32(centre).F(cx).F(cy);
    d.U32(uint32_t(surround.size()));
    for (uint32_t c : surround)
        d.U32(c);
    d.U32(uint32_t(points.size()));
    for (const auto& [x, y] : points)
        d.F(x).F(y);
    return d;
}

// The square boundary (x0, y0) - (x1, y1), clockwise from the top left.
std::initializer_list<std::pair<float, float>> Square0To100() {
    static const std::initializer_list<std::pair<float, float>> square = {
        {0, 0}, {100, 0}, {100, 100}, {0, 100}};
    return square;
}

// Brush 1 as given, filling the rectangle (0, 0, w, h) in pixel units.
Picture FillWith(const PlusData& brush, float w = 101, float h = 101) {
    EmfBuilder emf;
    PlusBuilder b;
    b.PageTransform(2, 1.0f);
    b.Record(0x4008, 0x0100 | 1, brush);
    b.Record(0x400A, 0, PlusData().U32(1).U32(1).Rect(0, 0, w, h));
    b.EndOfFile().Flush(emf);
    return Play(emf.Finish());
}

TEST(EmfPlusLinearGradient, SpansItsRectangleAlongTheAngleOfItsTransform) {
    const Picture flat = FillWith(Linear(0, 0, 0, 0, 100, 100, kRed, kBlue));
    EXPECT_TRUE(Near(flat.At(25, 10), MixRgb(kRed, kBlue, 0.255)));
    EXPECT_TRUE(Near(flat.At(25, 90), MixRgb(kRed, kBlue, 0.255)));
    EXPECT_TRUE(Near(flat.At(75, 50), MixRgb(kRed, kBlue, 0.755)));
    // Turned a quarter about the origin and moved down the picture: the gradient runs down.
    PlusData turned = Linear(kTransform, 0, 0, 0, 100, 100, kRed, kBlue);
    turned.F(0).F(1).F(-1).F(0).F(100).F(0);
    const Picture down = FillWith(turned);
    EXPECT_TRUE(Near(down.At(10, 25), MixRgb(kRed, kBlue, 0.255)));
    EXPECT_TRUE(Near(down.At(90, 25), MixRgb(kRed, kBlue, 0.255)));
    EXPECT_TRUE(Near(down.At(50, 75), MixRgb(kRed, kBlue, 0.755)));
}

TEST(EmfPlusLinearGradient, BlendFactorsAndPresetColoursShapeTheRun) {
    // A triangular blend: the end colour in the middle, the start colour at both ends.
    PlusData triangle = Linear(kBlendH, 0, 0, 0, 100, 100, kRed, kBlue);
    Blend(triangle, {{0.f, 0.f}, {0.5f, 1.f}, {1.f, 0.f}});
    const Picture t = FillWith(triangle);
    EXPECT_TRUE(Near(t.At(0, 50), kRed & 0xFFFFFF, 8));
    EXPECT_TRUE(Near(t.At(49, 50), kBlue & 0xFFFFFF, 8));
    EXPECT_TRUE(Near(t.At(25, 50), MixRgb(kRed, kBlue, 0.51)));
    EXPECT_TRUE(Near(t.At(75, 50), MixRgb(kRed, kBlue, 0.49)));
    // Preset colours replace the two colours.
    PlusData preset = Linear(kPresets, 0, 0, 0, 100, 100, kBlack, kBlack);
    Presets(preset, {{0.f, kRed}, {0.5f, kGreen}, {1.f, kBlue}});
    const Picture p = FillWith(preset);
    EXPECT_TRUE(Near(p.At(49, 50), kGreen & 0xFFFFFF, 8));
    EXPECT_TRUE(Near(p.At(25, 50), MixRgb(kRed, kGreen, 0.51)));
    EXPECT_TRUE(Near(p.At(75, 50), MixRgb(kGreen, kBlue, 0.51)));
}

TEST(EmfPlusLinearGradient, OnlyTheHorizontalBlendCounts) {
    // A vertical blend alone draws the plain gradient.
    PlusData vertical = Linear(kBlendV, 0, 0, 0, 100, 100, kRed, kBlue);
    Blend(vertical, {{0.f, 1.f}, {1.f, 1.f}});
    EXPECT_TRUE(Near(FillWith(vertical).At(25, 50), MixRgb(kRed, kBlue, 0.255)));
    // With both, the vertical one comes first and the horizontal one is drawn.
    PlusData both = Linear(kBlendV | kBlendH, 0, 0, 0, 100, 100, kRed, kBlue);
    Blend(both, {{0.f, 1.f}, {1.f, 1.f}});
    Blend(both, {{0.f, 0.f}, {1.f, 0.f}});
    EXPECT_TRUE(Near(FillWith(both).At(75, 50), kRed & 0xFFFFFF));
}

TEST(EmfPlusLinearGradient, GammaCorrectionMixesInLinearLight) {
    const Picture plain = FillWith(Linear(0, 0, 0, 0, 100, 100, kBlack, kWhite));
    const Picture gamma = FillWith(Linear(kGamma, 0, 0, 0, 100, 100, kBlack, kWhite));
    EXPECT_TRUE(Near(plain.At(49, 50), 0x808080, 4));
    EXPECT_TRUE(Near(gamma.At(49, 50), 0xBABABA, 4)); // 255 * 0.5^(1/2.2)
    EXPECT_TRUE(Near(gamma.At(0, 50), 0x000000, 40));
    EXPECT_TRUE(Near(gamma.At(99, 50), 0xFFFFFF, 4));
}

TEST(EmfPlusLinearGradient, WrapModesTileOrMirrorTheRectangle) {
    // The gradient spans 0..50; the fill goes on to 100.
    const uint32_t at10 = MixRgb(kRed, kBlue, 10.5 / 50), at40 = MixRgb(kRed, kBlue, 40.5 / 50);
    EXPECT_TRUE(Near(FillWith(Linear(0, 0, 0, 0, 50, 50, kRed, kBlue)).At(60, 70), at10));
    EXPECT_TRUE(Near(FillWith(Linear(0, 1, 0, 0, 50, 50, kRed, kBlue)).At(60, 70), at40, 8));
    // A vertical flip changes nothing along a horizontal gradient.
    EXPECT_TRUE(Near(FillWith(Linear(0, 2, 0, 0, 50, 50, kRed, kBlue)).At(60, 70), at10));
    EXPECT_TRUE(Near(FillWith(Linear(0, 3, 0, 0, 50, 50, kRed, kBlue)).At(60, 70), at40, 8));
}

TEST(EmfPlusPathGradient, ShadesFromTheSurroundColoursToTheCentre) {
    const Picture p = FillWith(PathGradient(0, 4, kBlue, 50, 50, {kRed}, Square0To100()));
    EXPECT_TRUE(Near(p.At(50, 50), kBlue & 0xFFFFFF, 8));
    EXPECT_TRUE(Near(p.At(50, 25), MixRgb(kRed, kBlue, 0.51), 8));
    EXPECT_TRUE(Near(p.At(75, 50), MixRgb(kRed, kBlue, 0.49), 8));
    EXPECT_TRUE(Near(p.At(50, 1), MixRgb(kRed, kBlue, 0.03), 8));
    // One colour per boundary point, mixed along the edges.
    const Picture four =
        FillWith(PathGradient(0, 4, kWhite, 50, 50, {kRed, kGreen, kBlue}, Square0To100()));
    EXPECT_TRUE(Near(four.At(2, 2), kRed & 0xFFFFFF, 16));
    EXPECT_TRUE(Near(four.At(97, 2), kGreen & 0xFFFFFF, 16));
    EXPECT_TRUE(Near(four.At(97, 97), kBlue & 0xFFFFFF, 16));
    EXPECT_TRUE(Near(four.At(2, 97), kBlue & 0xFFFFFF, 16)); // the last colour repeats
    EXPECT_TRUE(Near(four.At(50, 1), MixRgb(kRed, kGreen, 0.5), 12));
}

TEST(EmfPlusPathGradient, BlendFactorsRunFromTheEdgeToTheCentre) {
    // Factor 0 at the edge is the surround colour; the centre colour is full half way in.
    PlusData d = PathGradient(kBlendH, 4, kBlue, 50, 50, {kRed}, Square0To100());
    Blend(d, {{0.f, 0.f}, {0.5f, 1.f}, {1.f, 1.f}});
    const Picture p = FillWith(d);
    EXPECT_TRUE(Near(p.At(50, 1), kRed & 0xFFFFFF, 12));
    EXPECT_TRUE(Near(p.At(50, 13), MixRgb(kRed, kBlue, 0.5), 10));
    EXPECT_TRUE(Near(p.At(50, 30), kBlue & 0xFFFFFF, 4));
    EXPECT_TRUE(Near(p.At(70, 50), kBlue & 0xFFFFFF, 4));
    // Preset colours: green half way in, blue at the centre, red at the edge.
    PlusData preset = PathGradient(kPresets, 4, kBlack, 50, 50, {kBlack}, Square0To100());
    Presets(preset, {{0.f, kRed}, {0.5f, kGreen}, {1.f, kBlue}});
    const Picture q = FillWith(preset);
    EXPECT_TRUE(Near(q.At(50, 25), kGreen & 0xFFFFFF, 10));
    EXPECT_TRUE(Near(q.At(50, 50), kBlue & 0xFFFFFF, 10));
    EXPECT_TRUE(Near(q.At(50, 1), kRed & 0xFFFFFF, 16));
    EXPECT_TRUE(Near(q.At(50, 37), MixRgb(kGreen, kBlue, 0.5), 10));
}

TEST(EmfPlusPathGradient, FocusScalesFillTheInnerAreaWithTheCentreColour) {
    PlusData d = PathGradient(kFocus, 4, kBlue, 50, 50, {kRed}, Square0To100());
    d.U32(2).F(0.5f).F(0.5f); // the inner square runs 25..75
    const Picture p = FillWith(d);
    EXPECT_TRUE(Near(p.At(50, 30), kBlue & 0xFFFFFF, 4));
    EXPECT_TRUE(Near(p.At(70, 70), kBlue & 0xFFFFFF, 4));
    EXPECT_TRUE(Near(p.At(50, 12), MixRgb(kRed, kBlue, 0.5), 10));
    EXPECT_TRUE(Near(p.At(88, 50), MixRgb(kRed, kBlue, 0.5), 10));
}

TEST(EmfPlusPathGradient, BoundaryGivenAsAPathWithCurves) {
    // A circle of radius 40 about (50, 50), as four Béziers.
    const float k = 40 * 0.5523f;
    PlusData path;
    path.U32(0xDBC01002).U32(13).U32(0);
    const std::pair<float, float> pts[13] = {{90, 50},     {90, 50 + k}, {50 + k, 90}, {50, 90},
                                             {50 - k, 90}, {10, 50 + k}, {10, 50},     {10, 50 - k},
                                             {50 - k, 10}, {50, 10},     {50 + k, 10}, {90, 50 - k},
                                             {90, 50}};
    for (const auto& [x, y] : pts)
        path.F(x).F(y);
    path.Bytes({0, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 0x83}).Pad();
    PlusData d;
    d.U32(0xDBC01002).U32(3).U32(kPath).I32(4).U32(kBlue).F(50).F(50).U32(1).U32(kRed);
    d.U32(uint32_t(path.bytes.size())).Bytes(path.bytes);
    const Picture p = FillWith(d);
    EXPECT_TRUE(Near(p.At(50, 50), kBlue & 0xFFFFFF, 8));
    EXPECT_TRUE(Near(p.At(70, 50), MixRgb(kRed, kBlue, 0.49), 10));
    EXPECT_TRUE(Near(p.At(50, 30), MixRgb(kRed, kBlue, 0.51), 10));
    // Along the diagonal too: the boundary is round, not the control polygon.
    EXPECT_TRUE(Near(p.At(64, 64), MixRgb(kRed, kBlue, 0.5), 12));
    EXPECT_EQ(p.At(8, 8), 0xFFFFFFu);
    EXPECT_EQ(p.At(20, 20), 0xFFFFFFu);
}

TEST(EmfPlusPathGradient, WrapModesTileTheBoundingBox) {
    auto square = [](int32_t wrap) {
        return PathGradient(0, wrap, kBlue, 25, 25, {kRed}, {{0, 0}, {50, 0}, {50, 50}, {0, 50}});
    };
    // Clamp: nothing outside the boundary.
    const Picture clamp = FillWith(square(4));
    EXPECT_TRUE(Near(clamp.At(25, 25), kBlue & 0xFFFFFF, 10));
    EXPECT_EQ(clamp.At(75, 75), 0xFFFFFFu);
    // Tile: a copy beside and below.
    const Picture tile = FillWith(square(0));
    EXPECT_TRUE(Near(tile.At(75, 75), kBlue & 0xFFFFFF, 10));
    EXPECT_TRUE(Near(tile.At(75, 62), MixRgb(kRed, kBlue, 0.5), 12));
    // A centre off to the left mirrors into the next tile with a horizontal flip.
    auto offCentre = [](int32_t wrap) {
        return PathGradient(0, wrap, kBlue, 10, 25, {kRed}, {{0, 0}, {50, 0}, {50, 50}, {0, 50}});
    };
    EXPECT_TRUE(Near(FillWith(offCentre(0)).At(60, 25), kBlue & 0xFFFFFF, 16));
    EXPECT_TRUE(Near(FillWith(offCentre(1)).At(89, 25), kBlue & 0xFFFFFF, 16));
    EXPECT_FALSE(Near(FillWith(offCentre(1)).At(60, 25), kBlue & 0xFFFFFF, 60));
}

TEST(EmfPlusPathGradient, NothingIsShadedOutsideTheBoundary) {
    // A centre outside the boundary: the triangles from it reach out, the shading does not.
    const Picture outside =
        FillWith(PathGradient(0, 4, kBlue, 80, 25, {kRed}, {{0, 0}, {50, 0}, {50, 50}, {0, 50}}));
    EXPECT_EQ(outside.At(70, 25), 0xFFFFFFu);
    EXPECT_TRUE(Near(outside.At(48, 25), MixRgb(kRed, kBlue, 0.61), 8)); // 31.5 of 80 from C
    EXPECT_TRUE(Near(outside.At(2, 25), kRed & 0xFFFFFF, 16));
    // A boundary that bends back (a C seen from its centre): its mouth stays clear.
    const Picture bent = FillWith(PathGradient(
        0, 4, kBlue, 50, 50, {kRed},
        {{10, 10}, {90, 10}, {90, 30}, {30, 30}, {30, 70}, {90, 70}, {90, 90}, {10, 90}}));
    EXPECT_EQ(bent.At(70, 50), 0xFFFFFFu);
    EXPECT_EQ(bent.At(50, 35), 0xFFFFFFu);
    EXPECT_NE(bent.At(20, 50), 0xFFFFFFu);
}

TEST(EmfPlusPathGradient, TransformMovesTheWholeGradient) {
    PlusData d =
        PathGradient(kTransform, 4, kBlue, 25, 25, {kRed}, {{0, 0}, {50, 0}, {50, 50}, {0, 50}});
    d.F(1).F(0).F(0).F(1).F(50).F(40);
    const Picture p = FillWith(d);
    EXPECT_TRUE(Near(p.At(75, 65), kBlue & 0xFFFFFF, 10));
    EXPECT_EQ(p.At(25, 25), 0xFFFFFFu);
}

// A texture brush of a 4 x 4 image in blocks of 2 x 2: red, blue / green, white.
PlusData Texture(int32_t wrap) {
    PlusData d;
    d.U32(0xDBC01002).U32(2).U32(0).I32(wrap);
    d.U32(0xDBC01002).U32(1).I32(4).I32(4).I32(16).U32(0x0026200A).U32(0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            d.U32(y < 2 ? (x < 2 ? kRed : kBlue) : (x < 2 ? kGreen : kWhite));
    return d;
}

TEST(EmfPlusTexture, WrapModesMirrorOnlyTheFlippedDirections) {
    // Pixels in the middle of the blocks (pixel centres fall on whole user units), along a
    // row of the upper and of the lower blocks, across two tiles.
    auto row = [](const Picture& p, int y) {
        std::vector<uint32_t> out;
        for (int x = 1; x < 8; x += 2)
            out.push_back(p.At(x, y));
        return out;
    };
    const uint32_t r = 0xFF0000, b = 0x0000FF, g = 0x00FF00, w = 0xFFFFFF;
    const Picture tile = FillWith(Texture(0), 16, 16);
    EXPECT_EQ(row(tile, 1), (std::vector<uint32_t>{r, b, r, b}));
    EXPECT_EQ(row(tile, 5), (std::vector<uint32_t>{r, b, r, b}));
    const Picture flipX = FillWith(Texture(1), 16, 16);
    EXPECT_EQ(row(flipX, 1), (std::vector<uint32_t>{r, b, b, r}));
    EXPECT_EQ(row(flipX, 5), (std::vector<uint32_t>{r, b, b, r}));
    const Picture flipY = FillWith(Texture(2), 16, 16);
    EXPECT_EQ(row(flipY, 1), (std::vector<uint32_t>{r, b, r, b}));
    EXPECT_EQ(row(flipY, 5), (std::vector<uint32_t>{g, w, g, w}));
    EXPECT_EQ(row(flipY, 7), (std::vector<uint32_t>{r, b, r, b}));
    const Picture flipXY = FillWith(Texture(3), 16, 16);
    EXPECT_EQ(row(flipXY, 5), (std::vector<uint32_t>{g, w, w, g}));
    const Picture clamp = FillWith(Texture(4), 16, 16);
    EXPECT_EQ(row(clamp, 3), (std::vector<uint32_t>{g, w, w, w}));
    EXPECT_EQ(clamp.At(1, 6), 0xFFFFFFu);
}

TEST(EmfPlusGradient, CountsBeyondTheRecordRejectTheBrush) {
    emfplus::ParseBudget budget;
    // A blend that claims more stops than the bytes hold, and boundary and surround counts
    // beyond the record.
    PlusData blend = Linear(kBlendH, 0, 0, 0, 100, 100, kRed, kBlue);
    blend.U32(0x10000000).F(0).F(1);
    PlusData surround = PathGradient(0, 4, kBlue, 0, 0, {}, {});
    surround.bytes.resize(surround.bytes.size() - 8);
    surround.U32(0x7FFFFFFF).U32(0);
    PlusData focus = PathGradient(kFocus, 4, kBlue, 50, 50, {kRed}, Square0To100());
    focus.U32(2).F(0.5f);
    for (const PlusData* d : {&blend, &surround, &focus}) {
        const auto object = emfplus::ParseObject(emfplus::kObjBrush, d->bytes, budget);
        EXPECT_TRUE(std::holds_alternative<std::monostate>(object));
    }
    // The same drawn: nothing, and no harm.
    const Picture p = FillWith(blend);
    EXPECT_TRUE(p.played);
    EXPECT_EQ(p.At(50, 50), 0xFFFFFFu);
}

TEST(EmfPlusGradient, PatchesStayWithinTheirLimit) {
    emfplus::Brush b;
    b.type = emfplus::Brush::PathGradient;
    b.color = kBlue;
    b.surround = {kRed};
    for (int i = 0; i < 100; ++i) {
        b.boundary.points.push_back({std::cos(i * 0.0628) * 50, std::sin(i * 0.0628) * 50});
        b.boundary.types.push_back(i ? emfplus::kPtLine : emfplus::kPtStart);
    }
    for (int i = 0; i <= 1000; ++i)
        b.blend.emplace_back(i / 1000.0, (i % 2) ? 1.0 : 0.0);
    EXPECT_LE(emfplus::PathGradientPatches(b, 0.25, 5000).size(), 5000u);
    EXPECT_GE(emfplus::PathGradientPatches(b, 0.25, 5000).size(), 100u);
    // The blend itself is used in at most 512 stops.
    EXPECT_EQ(emfplus::PathGradientPatches(b, 0.25, 1u << 20).size(), 100u * 511u);
}

TEST(EmfPlusGradient, LongBlendsAreThinnedToStopsThatCanBeSeen) {
    // A linear gradient of 200000 alternating stops (each stop costs the rasteriser a search
    // through the earlier ones): drawn from a sample of them, the ends kept.
    PlusData d = Linear(kBlendH | kGamma, 0, 0, 0, 100, 100, kRed, kBlue);
    const uint32_t n = 200000;
    d.U32(n);
    for (uint32_t i = 0; i < n; ++i)
        d.F(float(i) / float(n - 1));
    for (uint32_t i = 0; i < n; ++i)
        d.F(i + 1 == n ? 1.f : 0.f);
    const Picture p = FillWith(d);
    EXPECT_TRUE(Near(p.At(0, 50), kRed & 0xFFFFFF, 8));
    const auto stops = emfplus::LinearGradientStops(std::get<emfplus::Brush>(emfplus::ParseObject(
        emfplus::kObjBrush, d.bytes, *std::make_unique<emfplus::ParseBudget>())));
    EXPECT_LE(stops.size(), 512u * 8u);
    EXPECT_EQ(stops.back(), (emfplus::GradientStop{1.0, kBlue}));
}

} // namespace
} // namespace qm::emf::testing
