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
