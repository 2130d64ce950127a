#include "platform/draw/layer.h"
#include "platform/draw/text.h"
#include "platform/fonts/font_match.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace qm::draw {
namespace {

bool Same(Rgba a, Rgba b, int tolerance = 0) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance && std::abs(a.a - b.a) <= tolerance;
}

FontRequest Arial(double points, bool underline = false) {
    const fonts::FontMatch match = fonts::MatchFont("Arial", 400, false);
    FontRequest request;
    request.file = match.file;
    request.index = match.index;
    request.sizePoints = points;
    request.underline = underline;
    return request;
}

TEST(Layer, StartsTransparentAndRejectsImpossibleSizes) {
    Layer layer(4, 3);
    ASSERT_TRUE(layer.Valid());
    EXPECT_TRUE(Same(layer.PixelAt(3, 2), Rgba{0, 0, 0, 0}));
    EXPECT_FALSE(Layer(0, 5).Valid());
    EXPECT_FALSE(Layer(-1, 5).Valid());
    EXPECT_FALSE(Layer(40000, 5).Valid());
    Layer moved = std::move(layer);
    EXPECT_TRUE(moved.Valid());
    EXPECT_FALSE(layer.Valid());
}

TEST(Layer, FillWritesAlphaAndPixelsRoundTripThroughBgra) {
    Layer layer(3, 2);
    FillLayer(layer, Rgba{10, 20, 30, 255});
    FillRect(layer, 1, 0, 1, 1, Rgba{200, 100, 50, 255});
    std::vector<uint8_t> bytes(3 * 2 * 4);
    layer.ExportBgra(bytes.data(), 12, true);
    // Bottom-up: the top row comes second; (1, 0) is B, G, R, A = 50, 100, 200, 255.
    EXPECT_EQ(bytes[12 + 4], 50);
    EXPECT_EQ(bytes[12 + 6], 200);
    EXPECT_EQ(bytes[0], 30);

    Layer copy(3, 2);
    copy.ImportBgra(bytes.data(), 12, true, true);
    EXPECT_TRUE(Same(copy.PixelAt(1, 0), Rgba{200, 100, 50, 255}));
    EXPECT_TRUE(Same(copy.PixelAt(0, 1), Rgba{10, 20, 30, 255}));

    // Filling replaces, alpha included: a half-transparent fill over an opaque one.
    FillLayer(layer, Rgba{255, 0, 0, 128});
    EXPECT_TRUE(Same(layer.PixelAt(1, 0), Rgba{255, 0, 0, 128}, 1));
}

TEST(Layer, PathTextFillsTheFigure) {
    Layer layer(20, 20);
    // A triangle below the diagonal of the square (0, 0)-(20, 20).
    ASSERT_TRUE(FillPath(layer, "M 0 0 l 0 20 l 20 0 Z", Rgba{0, 0, 255, 255}));
    EXPECT_TRUE(Same(layer.PixelAt(2, 17), Rgba{0, 0, 255, 255}));
    EXPECT_EQ(layer.PixelAt(17, 2).a, 0);

    EXPECT_FALSE(FillPath(layer, "M 0 0 l 5", Rgba{}));
    EXPECT_FALSE(FillPath(layer, "l 5 5 Z", Rgba{}));
    EXPECT_FALSE(FillPath(layer, "Q 1 2", Rgba{}));

    const Point square[] = {{0, 0}, {20, 0}, {20, 20}, {0, 20}};
    FillPolygon(layer, square, Rgba{0, 255, 0, 255});
    EXPECT_TRUE(Same(layer.PixelAt(17, 2), Rgba{0, 255, 0, 255}));
}

TEST(Layer, DrawWithOpacityAndFilter) {
    Layer src(2, 2);
    FillLayer(src, Rgba{200, 100, 0, 255});
    for (int opacity : {0, 128, 255}) {
        Layer dst(4, 4);
        DrawLayer(dst, src, 1, 1, opacity);
        EXPECT_EQ(dst.PixelAt(0, 0).a, 0);
        EXPECT_NEAR(dst.PixelAt(2, 2).a, opacity, 1);
        if (opacity > 0) {
            EXPECT_TRUE(Same(dst.PixelAt(1, 1), Rgba{200, 100, 0, dst.PixelAt(1, 1).a}, 2));
        }
    }

    Layer dst(2, 2);
    DrawLayer(dst, src, 0, 0, 255, [](Rgba c) { return Rgba{c.g, c.g, c.g, c.a}; });
    EXPECT_TRUE(Same(dst.PixelAt(0, 0), Rgba{100, 100, 100, 255}));
    EXPECT_TRUE(Same(src.PixelAt(0, 0), Rgba{200, 100, 0, 255}));
}

TEST(Text, MeasuresByTheFontSize) {
    TextFont font(Arial(14));
    ASSERT_TRUE(font.Valid());
    const TextExtent wide = font.Measure("WWWW", TextMode::Raster);
    const TextExtent narrow = font.Measure("iiii", TextMode::Raster);
    EXPECT_GT(wide.width, narrow.width * 2);
    // 14 points are 18.67 pixels of em; the line is a little taller.
    EXPECT_GE(wide.height, 19);
    EXPECT_LE(wide.height, 25);
    TextFont big(Arial(28));
    EXPECT_NEAR(big.Measure("WWWW", TextMode::Antialiased).width,
                2 * font.Measure("WWWW", TextMode::Antialiased).width, 2);
    EXPECT_EQ(font.Measure("", TextMode::Raster).width, 0);
    EXPECT_GT(font.Measure("bad \xC3 byte", TextMode::Raster).width, 0);
    EXPECT_FALSE(TextFont(FontRequest{"/nonexistent.ttf"}).Valid());
}

// The alpha values and the number of covered pixels of text drawn on a clear layer.
std::pair<std::set<int>, int> Coverage(TextMode mode, Rgba colour, bool underline = false) {
    TextFont font(Arial(20, underline));
    Layer layer(120, 40);
    font.Draw(layer, 2, 2, "Qg", colour, mode);
    std::set<int> alphas;
    int covered = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            const Rgba p = layer.PixelAt(x, y);
            alphas.insert(p.a);
            if (p.a) {
                ++covered;
                if (mode == TextMode::Raster && !Same(p, colour, 1))
                    ADD_FAILURE() << "raster pixel " << x << "," << y;
            }
        }
    return {alphas, covered};
}

TEST(Text, RasterTextHasNoSmoothingAndWritesTheColourDirectly) {
    const auto [alphas, covered] = Coverage(TextMode::Raster, Rgba{255, 255, 0, 200});
    EXPECT_EQ(alphas, (std::set<int>{0, 200}));
    EXPECT_GT(covered, 50);

    const auto [smoothAlphas, smoothCovered] =
        Coverage(TextMode::Antialiased, Rgba{255, 255, 0, 255});
    EXPECT_GT(smoothAlphas.size(), 3u);
    EXPECT_GT(smoothCovered, 50);

    // Raster text over a filled box replaces the box's pixels, even with alpha 0.
    TextFont font(Arial(20));
    Layer box(60, 40);
    FillLayer(box, Rgba{0, 0, 255, 255});
    font.Draw(box, 2, 2, "H", Rgba{0, 0, 0, 0}, TextMode::Raster);
    int holes = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            holes += box.PixelAt(x, y).a == 0;
    EXPECT_GT(holes, 20);
}

TEST(Text, UnderlineAddsALineBelowTheBaseline) {
    const int plain = Coverage(TextMode::Raster, Rgba{0, 0, 0, 255}).second;
    const int underlined = Coverage(TextMode::Raster, Rgba{0, 0, 0, 255}, true).second;
    EXPECT_GT(underlined, plain + 15);
}

} // namespace
} // namespace qm::draw
