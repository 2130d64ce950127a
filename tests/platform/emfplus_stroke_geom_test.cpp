// Stroke geometry in device pixels: dashes along runs, trims, sideways moves and clipped mitres.
#include <gtest/gtest.h>

#include "platform/emfplus/emfplus_stroke_geom.h"

namespace qm::emfplus {
namespace {

const DeviceBox kWide{-1000, -1000, 1000, 1000};

Polyline Line(std::vector<PointF> points, bool closed = false) {
    Polyline l;
    l.points = std::move(points);
    l.closed = closed;
    return l;
}

void ExpectPoints(const Polyline& l, const std::vector<PointF>& want) {
    ASSERT_EQ(l.points.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(l.points[i].x, want[i].x, 1e-9) << i;
        EXPECT_NEAR(l.points[i].y, want[i].y, 1e-9) << i;
    }
}

// A dash that crosses a corner keeps the corner; only the figure's own ends are marked so.
TEST(StrokeGeometry, DashesFollowTheFigureAcrossCorners) {
    bool complete = false;
    const auto dashes =
        DashPolylines({Line({{0, 0}, {10, 0}, {10, 10}})}, {5, 2}, 0, kWide, 100, complete);
    EXPECT_TRUE(complete);
    ASSERT_EQ(dashes.size(), 3u);
    ExpectPoints(dashes[0], {{0, 0}, {5, 0}});
    ExpectPoints(dashes[1], {{7, 0}, {10, 0}, {10, 2}});
    ExpectPoints(dashes[2], {{10, 4}, {10, 9}});
    EXPECT_TRUE(dashes[0].startsFigure);
    EXPECT_FALSE(dashes[0].endsFigure);
    EXPECT_FALSE(dashes[2].endsFigure); // the figure ends in the gap after it
}

// The offset moves into the pattern; each figure starts it again; a closed figure has no ends
// of its own.
TEST(StrokeGeometry, DashOffsetAndFiguresRestartThePattern) {
    bool complete = false;
    const auto dashes =
        DashPolylines({Line({{0, 0}, {10, 0}}), Line({{0, 5}, {4, 5}, {4, 9}, {0, 9}}, true)},
                      {3, 1}, 2, kWide, 100, complete);
    ASSERT_GE(dashes.size(), 4u);
    ExpectPoints(dashes[0], {{0, 0}, {1, 0}}); // the last unit of the first dash
    EXPECT_TRUE(dashes[0].startsFigure);
    ExpectPoints(dashes[1], {{2, 0}, {5, 0}});
    ExpectPoints(dashes[2], {{6, 0}, {9, 0}});
    for (const Polyline& d : dashes)
        if (d.points[0].y >= 5) {
            EXPECT_FALSE(d.startsFigure);
            EXPECT_FALSE(d.endsFigure);
        }
}

// Dashes outside the box are not made, but those inside fall where they would; beyond the
// limit no more are made and the result says so.
TEST(StrokeGeometry, DashesOnlyNearTheBoxAndNoMoreThanTheLimit) {
    bool complete = false;
    const DeviceBox box{100, -10, 110, 10};
    const auto dashes = DashPolylines({Line({{0, 0}, {1000, 0}})}, {3, 1}, 0, box, 100, complete);
    EXPECT_TRUE(complete);
    ASSERT_EQ(dashes.size(), 3u); // 100-103, 104-107, 108-110 (cut at the box)
    EXPECT_NEAR(dashes[0].points[0].x, 100, 1e-9);
    EXPECT_NEAR(dashes[1].points[0].x, 104, 1e-9);
    const auto few = DashPolylines({Line({{0, 0}, {1000, 0}})}, {3, 1}, 0, kWide, 10, complete);
    EXPECT_FALSE(complete);
    EXPECT_EQ(few.size(), 10u);
}

TEST(StrokeGeometry, TrimsCutAcrossPointsAndReportWhatIsLeft) {
    Polyline l = Line({{0, 0}, {4, 0}, {4, 4}});
    ASSERT_TRUE(TrimPolyline(l, 6, false));
    ExpectPoints(l, {{0, 0}, {2, 0}});
    ASSERT_TRUE(TrimPolyline(l, 1, true));
    ExpectPoints(l, {{1, 0}, {2, 0}});
    EXPECT_FALSE(TrimPolyline(l, 5, true));
}

// Left of the direction of travel is up on a surface whose y axis points down; corners are
// mitred; a clockwise square moved right (inwards) by one shrinks by one on each side.
TEST(StrokeGeometry, OffsetsMoveSidewaysWithMitredCorners) {
    ExpectPoints(OffsetPolyline(Line({{0, 0}, {10, 0}}), 2), {{0, -2}, {10, -2}});
    ExpectPoints(OffsetPolyline(Line({{0, 0}, {10, 0}, {10, 10}}), 1),
                 {{0, -1}, {11, -1}, {11, 10}});
    const Polyline square = Line({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, true);
    EXPECT_GT(SignedArea(square), 0);
    ExpectPoints(OffsetPolyline(square, -1), {{1, 1}, {9, 1}, {9, 9}, {1, 9}});
}

// Only corners sharper than the limit are cut: a right angle (ratio 1.41) under a limit of 2
// is not; a sharp V is, square across at the limit.
TEST(StrokeGeometry, ClippedMitresOnlyBeyondTheLimit) {
    EXPECT_TRUE(ClippedMiters(Line({{0, 0}, {10, 0}, {10, 10}}), 5, 2).empty());
    const auto tips = ClippedMiters(Line({{0, 20}, {10, 0}, {20, 20}}), 5, 2);
    ASSERT_EQ(tips.size(), 1u);
    ASSERT_EQ(tips[0].size(), 5u);
    EXPECT_NEAR(tips[0][2].y, -10, 1e-9); // limit x half width above the corner
    EXPECT_NEAR(tips[0][3].y, -10, 1e-9);
}

} // namespace
} // namespace qm::emfplus
