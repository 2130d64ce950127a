// Geometry of EMF+ pen strokes in device pixels: figures flattened to polylines, split into
// dashes, shortened for cap insets and moved sideways for compound bands and inset pens.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <vector>

#include "platform/emfplus/emfplus_limits.h"
#include "platform/emfplus/emfplus_objects.h"

namespace qm::emfplus {

/// An open or closed run of points. An open run's ends are either its figure's own ends
/// (where the pen's line caps go) or dash ends (where its dash cap goes).
struct Polyline {
    std::vector<PointF> points;
    bool closed = false;
    bool startsFigure = true, endsFigure = true;
};

/// cr's current path flattened, in device pixels (cr's matrix is kept). Empty when the path
/// holds more than maxPoints points.
std::vector<Polyline> DeviceFigures(cairo_t* cr, size_t maxPoints);

/// Moves every point to the nearest multiple of step.
void SnapToGrid(std::vector<Polyline>& lines, double step);

/// Splits the figures into dashes: pattern holds dash and gap lengths in turn, offset is how
/// far into the pattern each figure starts. Only dashes that reach box are made, at most
/// maxDashes; complete is false when more would have been needed.
std::vector<Polyline> DashPolylines(const std::vector<Polyline>& figures,
                                    const std::vector<double>& pattern, double offset,
                                    const DeviceBox& box, size_t maxDashes, bool& complete);

/// Cuts length off the start (atStart) or the end of an open run; false when nothing is left.
bool TrimPolyline(Polyline& line, double length, bool atStart);

/// The run moved sideways by distance: positive to the left of its direction of travel as
/// seen on a surface whose y axis points down. Corners stay mitred up to a few distances,
/// then are bevelled.
Polyline OffsetPolyline(const Polyline& line, double distance);

/// The corners of a run whose miter (the ratio of its length to the width) exceeds limit,
/// each as the part of the full miter beyond the bevel, clipped limit half widths from the
/// corner: a polygon to fill. halfWidth in the run's units.
std::vector<std::vector<PointF>> ClippedMiters(const Polyline& line, double halfWidth,
                                               double limit);

/// Twice the signed area of a closed run: positive when it turns clockwise on the surface.
double SignedArea(const Polyline& line);

/// The direction (unit vector) out of an open run at its start or end, from the nearest point
/// that differs from the end point; false when all points coincide.
bool EndDirection(const Polyline& line, bool atStart, PointF& out);

} // namespace qm::emfplus
