// Scan conversion of polygons with whole-pixel vertices by the system's pixel rules: a pixel
// belongs to the polygon when its centre (the integer point) lies inside; a centre on an edge
// counts for the edge on its left and the edge above it only.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace qm::emf {

struct ScanPoint {
    int64_t x = 0, y = 0;
};

/// One closed ring of vertices (the closing edge is implied).
using ScanRing = std::vector<ScanPoint>;

struct ScanSpan {
    int32_t x0 = 0, x1 = 0, y = 0; // pixels x0 .. x1 - 1 of row y
};

/// Spans of the rings' interior under the winding or the alternate (even-odd) rule, limited
/// to rows 0 .. height - 1 and columns 0 .. width - 1, row by row.
std::vector<ScanSpan> ScanPolygons(const std::vector<ScanRing>& rings, bool winding, int width,
                                   int height);

/// The same spans handed to emit one by one as they are found, rows in order and spans of a
/// row left to right; nothing is collected. Each row costs time linear in the edges crossing
/// it plus the width, whatever their order.
void ScanPolygons(const std::vector<ScanRing>& rings, bool winding, int width, int height,
                  const std::function<void(const ScanSpan&)>& emit);

} // namespace qm::emf
