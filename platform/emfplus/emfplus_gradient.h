// The colours of gradient brushes: the stops of a linear gradient and the shaded patches of a
// path gradient, in brush space, with the brush's blend, preset colours, gamma correction and
// focus scales worked in.
#pragma once

#include <array>
#include <cstddef>
#include <utility>
#include <vector>

#include "platform/emfplus/emfplus_objects.h"

namespace qm::emfplus {

/// A colour stop of a linear gradient: offset along the gradient line (0..1), colour.
using GradientStop = std::pair<double, Argb>;

/// The stops of a linear gradient brush over [0, 1], from its preset colours, or its blend
/// factors between the start and end colours, or the two colours alone. With gamma correction
/// the colours are mixed in linear light, with stops in between that follow the curve.
std::vector<GradientStop> LinearGradientStops(const Brush& b);

/// A four-sided patch of a path gradient in brush space: corners on the outer ring (from,
/// to), then on the inner ring (to, from), each with its colour. Along the sides that cross
/// the rings the colour runs linearly, as between the rings' positions in the blend.
struct GradientPatch {
    std::array<PointF, 4> p;
    std::array<Argb, 4> c;
};

/// The patches that shade a path gradient brush inside its boundary: between the boundary and
/// the centre (or the boundary scaled by the focus scales), one ring of patches per step of
/// the blend or preset colours; inside the focus, the centre colour. The boundary's points take
/// the surround colours in turn (the last one repeats); curves are flattened to tolerance
/// (brush units) with their colours carried along. At most maxPatches: a long blend is then
/// used more coarsely and a longer boundary is cut short. Empty when there is nothing to shade.
std::vector<GradientPatch> PathGradientPatches(const Brush& b, double tolerance, size_t maxPatches);

/// Whether the triangles from the centre to the boundary's edges cover exactly the area inside
/// the boundary: one figure, seen from the centre turning one way all round. When not (the
/// centre outside, a boundary that bends back, several figures), the shading must be clipped
/// to the boundary.
bool PathGradientFanIsExact(const Brush& b, double tolerance);

/// The bounding box of a path gradient's boundary (the tile of the wrap modes), in brush space.
RectF PathGradientBounds(const Brush& b);

} // namespace qm::emfplus
