#include "platform/emf/polygon_scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

using namespace qm::emf;

namespace {

// The covered pixels of a w x h surface, one string per row.
std::vector<std::string> Cover(const std::vector<ScanRing>& rings, bool winding, int w, int h) {
    std::vector<std::string> rows(size_t(h), std::string(size_t(w), '.'));
    int lastRow = -1;
    for (const ScanSpan& s : ScanPolygons(rings, winding, w, h)) {
        EXPECT_GE(s.y, lastRow); // rows come in order
        lastRow = s.y;
        EXPECT_LT(s.x0, s.x1);
        for (int x = s.x0; x < s.x1; ++x) {
            EXPECT_EQ(rows[s.y][x], '.') << "pixel covered twice";
            rows[s.y][x] = '#';
        }
    }
    return rows;
}

} // namespace

TEST(PolygonScan, CentresOnLeftAndTopEdgesCountOthersDoNot) {
    // The square 1..4 covers columns and rows 1..3.
    EXPECT_EQ(Cover({{{1, 1}, {4, 1}, {4, 4}, {1, 4}}}, false, 6, 5),
              (std::vector<std::string>{"......", ".###..", ".###..", ".###..", "......"}));
    // A right edge through centres: (1,0)-(5,4) leaves out the centre it crosses each row.
    EXPECT_EQ(Cover({{{1, 0}, {5, 4}, {1, 4}}}, false, 6, 4),
              (std::vector<std::string>{"......", ".#....", ".##...", ".###.."}));
    // Mirrored, the same edge on the left keeps its centres.
    EXPECT_EQ(Cover({{{5, 0}, {5, 4}, {1, 4}}}, false, 6, 4),
              (std::vector<std::string>{"......", "....#.", "...##.", "..###."}));
}

TEST(PolygonScan, WindingAndAlternateRulesDifferOnOverlaps) {
    // Two squares drawn the same way round overlap on columns and rows 2..3.
    const std::vector<ScanRing> rings = {{{0, 0}, {4, 0}, {4, 4}, {0, 4}},
                                         {{2, 2}, {6, 2}, {6, 6}, {2, 6}}};
    EXPECT_EQ(Cover(rings, true, 6, 6)[3], "######");
    EXPECT_EQ(Cover(rings, false, 6, 6)[3], "##..##");
    // Opposite directions cancel under winding as well.
    const std::vector<ScanRing> hole = {{{0, 0}, {6, 0}, {6, 6}, {0, 6}},
                                        {{2, 2}, {2, 4}, {4, 4}, {4, 2}}};
    EXPECT_EQ(Cover(hole, true, 6, 6)[3], "##..##");
}

TEST(PolygonScan, FarAndDegenerateFiguresStayWithinTheSurface) {
    const int64_t far = 4000000;
    const auto rows = Cover({{{-far, -far}, {far, -far + 1}, {far, far}, {-far, far}}}, true, 8, 4);
    for (const std::string& r : rows)
        EXPECT_EQ(r, "########");
    EXPECT_TRUE(ScanPolygons({{{0, 0}, {5, 0}}, {{3, 3}}, {}}, true, 8, 8).empty());
    EXPECT_TRUE(ScanPolygons({{{0, -9}, {5, -9}, {5, -1}}}, true, 8, 8).empty());
    EXPECT_TRUE(ScanPolygons({{{0, 0}, {5, 0}, {5, 5}}}, true, 0, 0).empty());
}

namespace {

// Coverage straight from the rule: pixel x of row y is inside when the edges crossing the row
// at or left of its centre add up to a non-zero (or odd) count.
std::vector<std::string> CoverByRule(const ScanRing& ring, bool winding, int w, int h) {
    std::vector<std::string> rows(size_t(h), std::string(size_t(w), '.'));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int count = 0;
            for (size_t i = 0; i < ring.size(); ++i) {
                ScanPoint a = ring[i], b = ring[(i + 1) % ring.size()];
                if (a.y == b.y)
                    continue;
                const int dir = a.y < b.y ? 1 : -1;
                if (a.y > b.y)
                    std::swap(a, b);
                if (y < a.y || y >= b.y)
                    continue;
                // First column at or right of the edge: ceil of its x on this row.
                const double at =
                    double(a.x) + double(y - a.y) * double(b.x - a.x) / double(b.y - a.y);
                if (std::ceil(at - 1e-9) <= x)
                    count += winding ? dir : 1;
            }
            if (winding ? count != 0 : (count & 1) != 0)
                rows[size_t(y)][size_t(x)] = '#';
        }
    return rows;
}

} // namespace

TEST(PolygonScan, ManyCrossingEdgesOnANarrowSurfaceFollowTheRule) {
    // Hundreds of edges that cross each other on every row, some far off the surface: the rows'
    // crossings come out of order and are put in order by counting.
    std::mt19937 random(18);
    std::uniform_int_distribution<int> coordinate(-30, 70);
    ScanRing ring;
    for (int i = 0; i < 400; ++i)
        ring.push_back({coordinate(random), coordinate(random)});
    for (bool winding : {false, true})
        EXPECT_EQ(Cover({ring}, winding, 40, 40), CoverByRule(ring, winding, 40, 40)) << winding;
}

TEST(PolygonScan, DenseAndSparseRowsOfOneFigureFollowTheRule) {
    // A tall figure: sparse rows above and below a band where hundreds of edges start and end
    // on different rows, so rows are done one by one and in bands in turn.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> column(-10, 75), row(60, 140);
    ScanRing ring = {{5, 0}, {60, 10}};
    for (int i = 0; i < 300; ++i)
        ring.push_back({column(random), row(random)});
    ring.push_back({50, 280});
    ring.push_back({3, 290});
    for (bool winding : {false, true})
        EXPECT_EQ(Cover({ring}, winding, 64, 300), CoverByRule(ring, winding, 64, 300)) << winding;
}
