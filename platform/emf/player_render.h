// Drawing of figures with pens and brushes the way the system's rasteriser does it: no
// antialiasing, integer device coordinates, one-pixel lines drawn pixel by pixel.
#pragma once

#include <functional>
#include <vector>

#include "platform/emf/player_state.h"

namespace qm::emf {

/// Figure building (device coordinates) on a PathData.
void FigMoveTo(PathData& f, PointD p);
void FigLineTo(PathData& f, PointD p);
void FigBezierTo(PathData& f, PointD c1, PointD c2, PointD p);
void FigClose(PathData& f);
void FigAppend(PathData& f, const PathData& more);

/// Flattened figures: each a run of points, closed or open.
struct Polyline {
    std::vector<PointD> points;
    bool closed = false;
};
std::vector<Polyline> FlattenFigures(const PathData& f);

/// Adds the figures to cr's current path. Filled areas take pixel (x, y) as the point
/// (x + 0.5, y + 0.5) (offset 0.5); wide strokes are laid on pixel corners (offset 0).
void AddFiguresToCairo(cairo_t* cr, const PathData& f, double offset = 0.5);

/// Runs draw on the target with the DC's clip and mix mode (R2_*) applied. draw sets its own
/// source and fills or strokes in device pixels. bounds, when given, must hold every pixel draw
/// may set (it makes drawings under clips of many rectangles cheaper).
void PaintWithRop(PlayerState& s, const std::function<void(cairo_t*)>& draw,
                  const cairo_rectangle_int_t* bounds = nullptr);

/// Device pixels that hold the figures' points grown by margin on every side; false when a
/// point is not finite (then there are no bounds to give).
bool FigureBounds(const PathData& f, double margin, cairo_rectangle_int_t& bounds);

/// Sets brush as cr's source (hatches, patterns aligned to the brush origin). False for a
/// null brush (nothing to paint).
bool SetBrushSource(const PlayerState& s, cairo_t* cr, const Brush& brush);

/// Fills the closed figures with the brush under the DC's fill mode. withOutline also paints
/// the pixels a one-pixel pen would set along the figures (shapes drawn without a pen).
void FillFigures(PlayerState& s, const PathData& f, const Brush& brush, bool withOutline = false);

/// Strokes the figures with the pen.
void StrokeFigures(PlayerState& s, const PathData& f, const Pen& pen);

/// Device width of a pen in whole pixels (at least 1).
int PenDeviceWidth(const PlayerState& s, const Pen& pen);

/// Fills a set of device pixel rectangles with the brush (clip and mix mode applied).
void FillDeviceRectsWithBrush(PlayerState& s, const std::vector<cairo_rectangle_int_t>& rects,
                              const Brush& brush);

/// Fills a set of device pixel rectangles with a solid colour (clip and mix mode applied).
void FillDeviceRects(PlayerState& s, const std::vector<cairo_rectangle_int_t>& rects,
                     ColorRef color);

} // namespace qm::emf
