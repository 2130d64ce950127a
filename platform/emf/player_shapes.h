// Figures of the box-based shapes (rectangles, ellipses, arcs, chords, pies, rounded
// rectangles) in device coordinates, following the system's pixel rules.
#pragma once

#include "platform/emf/player_state.h"

namespace qm::emf {

enum class ArcKind { Arc, ArcTo, Chord, Pie };

/// Rectangle of the logical box: the outline runs through the pixels of the box without its
/// right and bottom edge.
PathData RectangleFigure(const PlayerState& s, const RectL& box);
/// Ellipse inscribed in the logical box.
PathData EllipseFigure(const PlayerState& s, const RectL& box);
/// The pixels of an ellipse the way the system rasterises it without a world rotation: per
/// row of the box the outline runs at its left and right end and the inside between them.
struct EllipseRow {
    int32_t y = 0;
    int32_t left0 = 0, left1 = 0;   // outline run at the left end, inclusive
    int32_t right0 = 0, right1 = 0; // outline run at the right end, inclusive
};
/// False (rows untouched) when the box is rotated, sheared, too small or too large for it.
bool EllipsePixels(const PlayerState& s, const RectL& box, std::vector<EllipseRow>& rows);
/// True when an ellipse is two pixels wide or high or less: the system then draws a plain
/// rectangle.
bool EllipseIsRectangle(const PlayerState& s, const RectL& box);
/// True when the corners of a rounded rectangle are two pixels or less: the system then draws
/// a plain rectangle.
bool RoundRectIsRectangle(const PlayerState& s, PointL corner);
/// The same for a rectangle with corners rounded by an ellipse of corner.x by corner.y
/// logical units; false also for corners too small to round.
bool RoundRectPixels(const PlayerState& s, const RectL& box, PointL corner,
                     std::vector<EllipseRow>& rows);
/// Rectangle with corners rounded by an ellipse of corner.x by corner.y logical units.
PathData RoundRectFigure(const PlayerState& s, const RectL& box, PointL corner);
/// Arc of the ellipse in box from the ray through start to the ray through end, in the DC's
/// arc direction. ArcTo starts with a line from the current position; end receives the
/// arc's last point (device).
PathData ArcFigure(const PlayerState& s, const RectL& box, PointL start, PointL end, ArcKind kind,
                   PointD* arcEnd = nullptr);
/// AngleArc: line from the current position, then the arc (degrees, counter-clockwise).
PathData AngleArcFigure(const PlayerState& s, PointL center, double radius, double startDeg,
                        double sweepDeg, PointD* arcEnd);

} // namespace qm::emf
