// Bounds on the work of one EMF+ drawing: cairo flattens curves and steps through dashes along
// their whole length, so a figure that reaches millions of pixels beyond the picture would cost
// seconds although almost none of it can be seen.
#pragma once

#include <cairo.h>

#include <array>
#include <cstdint>
#include <vector>

namespace qm::emfplus {

/// A rectangle in device pixels.
struct DeviceBox {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

/// The part [t0, t1] of the segment (ax, ay) -> (bx, by) inside box (Liang-Barsky); false
/// when the segment misses it.
bool ClipSegmentToBox(double ax, double ay, double bx, double by, const DeviceBox& box, double& t0,
                      double& t1);

/// Work units (the playback budget's) a path element costs, and a dash or flattened segment.
inline constexpr uint64_t kSegmentWork = 64;

/// Rewrites cr's current path so that what lies inside box is unchanged while curves that
/// reach far outside it are split down to the part near box, and curves wholly outside become
/// their chords (the area between lies outside too). The matrix of cr is kept. Returns the
/// work the path costs to flatten, in budget units; UINT64_MAX when the path holds points
/// that are not finite.
uint64_t BoundPathToBox(cairo_t* cr, const DeviceBox& box);

/// The number of dashes a stroke of cr's current path with this dash pattern (in user units
/// of cr's matrix) makes, counting curves by their control polygons.
double DashCount(cairo_t* cr, const std::vector<double>& dashes);

/// Strokes cr's current path with the dash pattern (user units, as cairo_set_dash takes it),
/// but only the parts of it that cross box: each such run is stroked on its own, with the dash
/// offset it has along the whole figure, so the dashes inside box fall where they would.
/// The other stroke settings are cr's. Returns the work in budget units.
uint64_t StrokeDashedWithin(cairo_t* cr, const DeviceBox& box, const std::vector<double>& dashes,
                            double offset);

/// A corner of a shaded triangle: device pixels and a colour (components 0..1).
struct ShadedCorner {
    double x = 0, y = 0;
    double r = 0, g = 0, b = 0, a = 0;
};
using ShadedTriangle = std::array<ShadedCorner, 3>;

/// True when triangles spanning extent pixels would cost the mesh rasteriser far more than
/// the box can show (it shades a patch whole, however little of it is visible).
bool MeshTooLarge(double extent, const DeviceBox& box);

/// Splits triangles that reach far beyond box in halves (colours interpolated linearly), down
/// to the part near it; triangles wholly outside are dropped.
std::vector<ShadedTriangle> SplitTrianglesToBox(std::vector<ShadedTriangle> triangles,
                                                const DeviceBox& box);

} // namespace qm::emfplus
