// Drawing records: lines, polylines, polygons, Beziers, shapes and pixels.
#include <algorithm>
#include <cmath>

#include "platform/emf/player_records.h"
#include "platform/emf/player_region.h"
#include "platform/emf/player_render.h"
#include "platform/emf/player_shapes.h"

namespace qm::emf {

namespace {

constexpr size_t kMaxPathPoints = size_t{1} << 22;

RectL ReadRect(const RecordView& r, size_t off) {
    return {r.I32(off), r.I32(off + 4), r.I32(off + 8), r.I32(off + 12)};
}

// count points of 8 (or 4 when small) bytes at off; false when they do not fit the record.
bool ReadPoints(const RecordView& r, size_t off, uint64_t count, bool small,
                std::vector<PointD>& out) {
    const size_t each = small ? 4 : 8;
    if (count > (r.size - std::min<size_t>(off, r.size)) / each)
        return false;
    out.resize(size_t(count));
    for (size_t i = 0; i < count; ++i) {
        const size_t p = off + i * each;
        out[i] = small ? PointD{double(r.I16(p)), double(r.I16(p + 2))}
                       : PointD{double(r.I32(p)), double(r.I32(p + 4))};
    }
    return true;
}

PointD Dev(const PlayerState& s, PointD logical) {
    return s.ToDeviceRounded(logical);
}

// Polyline, Polygon, PolyBezier and their "To" forms.
bool PlayPoly(PlayerState& s, const RecordView& r, bool small) {
    std::vector<PointD> pts;
    if (!ReadPoints(r, 28, r.U32(24), small, pts))
        return false;
    const uint32_t t = r.type;
    const bool to = t == EMR_POLYLINETO || t == EMR_POLYLINETO16 || t == EMR_POLYBEZIERTO ||
                    t == EMR_POLYBEZIERTO16;
    const bool bezier = t == EMR_POLYBEZIER || t == EMR_POLYBEZIER16 || t == EMR_POLYBEZIERTO ||
                        t == EMR_POLYBEZIERTO16;
    const bool polygon = t == EMR_POLYGON || t == EMR_POLYGON16;
    if (pts.empty() || (!to && pts.size() < 2))
        return true;
    PathData f;
    size_t i = 0;
    if (to) {
        FigMoveTo(f, Dev(s, s.dc.currentPos));
    } else {
        FigMoveTo(f, Dev(s, pts[0]));
        i = 1;
    }
    if (bezier) {
        for (; i + 2 < pts.size(); i += 3)
            FigBezierTo(f, Dev(s, pts[i]), Dev(s, pts[i + 1]), Dev(s, pts[i + 2]));
    } else {
        for (; i < pts.size(); ++i)
            FigLineTo(f, Dev(s, pts[i]));
    }
    if (polygon)
        FigClose(f);
    if (to) {
        const size_t used = bezier ? pts.size() - pts.size() % 3 : pts.size();
        if (used > 0)
            s.dc.currentPos = pts[used - 1];
    }
    EmitFigures(s, f, polygon);
    return true;
}

bool PlayPolyPoly(PlayerState& s, const RecordView& r, bool small) {
    const uint32_t polys = r.U32(24), total = r.U32(28);
    if (polys > r.size / 4)
        return false;
    const size_t pointsOff = 32 + size_t(polys) * 4;
    std::vector<PointD> pts;
    if (!r.Has(32, size_t(polys) * 4) || !ReadPoints(r, pointsOff, total, small, pts))
        return false;
    const bool polygon = r.type == EMR_POLYPOLYGON || r.type == EMR_POLYPOLYGON16;
    PathData f;
    uint64_t at = 0;
    for (uint32_t k = 0; k < polys; ++k) {
        const uint32_t n = r.U32(32 + 4 * size_t(k));
        if (at + n > pts.size())
            return false;
        if (n >= 2) {
            FigMoveTo(f, Dev(s, pts[at]));
            for (uint32_t i = 1; i < n; ++i)
                FigLineTo(f, Dev(s, pts[at + i]));
            if (polygon)
                FigClose(f);
        }
        at += n;
    }
    EmitFigures(s, f, polygon);
    return true;
}

bool PlayPolyDraw(PlayerState& s, const RecordView& r, bool small) {
    const uint32_t n = r.U32(24);
    std::vector<PointD> pts;
    if (!ReadPoints(r, 28, n, small, pts))
        return false;
    const size_t typesOff = 28 + size_t(n) * (small ? 4 : 8);
    if (!r.Has(typesOff, n))
        return false;
    PathData f;
    FigMoveTo(f, Dev(s, s.dc.currentPos));
    PointD figureStart = s.dc.currentPos;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t type = r.U8(typesOff + i);
        const uint8_t kind = type & ~PT_CLOSEFIGURE;
        if (kind == PT_MOVETO) {
            FigMoveTo(f, Dev(s, pts[i]));
            figureStart = pts[i];
            s.dc.currentPos = pts[i];
        } else if (kind == PT_LINETO) {
            FigLineTo(f, Dev(s, pts[i]));
            s.dc.currentPos = pts[i];
        } else if (kind == PT_BEZIERTO && i + 2 < n) {
            FigBezierTo(f, Dev(s, pts[i]), Dev(s, pts[i + 1]), Dev(s, pts[i + 2]));
            s.dc.currentPos = pts[i + 2];
            i += 2;
        } else {
            break; // an invalid type ends the drawing
        }
        if (r.U8(typesOff + i) & PT_CLOSEFIGURE) {
            FigClose(f);
            s.dc.currentPos = figureStart;
        }
    }
    EmitFigures(s, f, false);
    return true;
}

void SetPixel(PlayerState& s, const RecordView& r) {
    const PointD p = Dev(s, {double(r.I32(8)), double(r.I32(12))});
    if (p.x < 0 || p.y < 0 || p.x >= s.width || p.y >= s.height)
        return;
    const uint32_t rop = s.dc.rop2;
    s.dc.rop2 = R2_COPYPEN;
    FillDeviceRects(s, {{int(p.x), int(p.y), 1, 1}}, r.U32(16) & 0xFFFFFF);
    s.dc.rop2 = rop;
}

// Flood fill from a device point: over the area bounded by colour (border mode) or of that
// colour (surface mode), painted with the brush.
void FloodFill(PlayerState& s, const RecordView& r) {
    const PointD p = Dev(s, {double(r.I32(8)), double(r.I32(12))});
    if (p.x < 0 || p.y < 0 || p.x >= s.width || p.y >= s.height)
        return;
    const RegionPtr clip = s.EffectiveClip();
    if (clip && !cairo_region_contains_point(clip.get(), int(p.x), int(p.y)))
        return;
    cairo_surface_flush(s.surface);
    const uint8_t* base = cairo_image_surface_get_data(s.surface);
    const int stride = cairo_image_surface_get_stride(s.surface);
    const uint32_t color = ColorPixel(r.U32(16) & 0xFFFFFF) & 0xFFFFFF;
    const bool surfaceMode = r.U32(20) == 1;
    auto inside = [&](int x, int y) {
        const uint32_t v =
            reinterpret_cast<const uint32_t*>(base + size_t(y) * stride)[x] & 0xFFFFFF;
        return surfaceMode ? v == color : v != color;
    };
    const int sx = int(p.x), sy = int(p.y);
    if (!inside(sx, sy))
        return;
    std::vector<uint8_t> seen(size_t(s.width) * s.height, 0);
    std::vector<cairo_rectangle_int_t> runs;
    std::vector<std::pair<int, int>> stack{{sx, sy}};
    while (!stack.empty()) {
        auto [x, y] = stack.back();
        stack.pop_back();
        if (seen[size_t(y) * s.width + x] || !inside(x, y))
            continue;
        int l = x, rr = x;
        while (l > 0 && !seen[size_t(y) * s.width + l - 1] && inside(l - 1, y))
            --l;
        while (rr + 1 < s.width && !seen[size_t(y) * s.width + rr + 1] && inside(rr + 1, y))
            ++rr;
        std::fill(seen.begin() + size_t(y) * s.width + l,
                  seen.begin() + size_t(y) * s.width + rr + 1, 1);
        runs.push_back({l, y, rr - l + 1, 1});
        for (int ny : {y - 1, y + 1}) {
            if (ny < 0 || ny >= s.height)
                continue;
            for (int i = l; i <= rr; ++i)
                if (!seen[size_t(ny) * s.width + i] && inside(i, ny) &&
                    (i == l || !inside(i - 1, ny)))
                    stack.push_back({i, ny});
        }
    }
    // Runs never overlap: each pixel was taken once.
    FillRegion(s, MakeRegion(cairo_region_create_rectangles(runs.data(), int(runs.size()))),
               s.dc.brush);
}

} // namespace

void EmitFigures(PlayerState& s, const PathData& figures, bool fill, bool curved) {
    if (figures.points.empty())
        return;
    if (s.dc.path && s.dc.path->recording) {
        PathData& path = s.EditPath();
        if (path.points.size() + figures.points.size() > kMaxPathPoints)
            return;
        // A figure that starts where the open figure ends continues it.
        size_t from = 0;
        if (!path.points.empty() && !(path.types.back() & PT_CLOSEFIGURE) &&
            figures.types[0] == PT_MOVETO && figures.points.size() > 1 &&
            figures.points[0].x == path.points.back().x &&
            figures.points[0].y == path.points.back().y)
            from = 1;
        path.points.insert(path.points.end(), figures.points.begin() + from, figures.points.end());
        path.types.insert(path.types.end(), figures.types.begin() + from, figures.types.end());
        return;
    }
    if (fill)
        FillFigures(s, figures, s.dc.brush, curved && s.dc.pen.IsNull());
    StrokeFigures(s, figures, s.dc.pen);
}

namespace {

// Ellipses and rounded rectangles outside a path with no pen or a plain one-pixel pen are
// drawn pixel by pixel as the system sets them: the brush fills inside the outline (and the
// outline's own pixels when there is no pen). False when the general figure code must draw.
bool PixelShapeApplies(const PlayerState& s) {
    if (s.dc.path && s.dc.path->recording)
        return false;
    const Pen& pen = s.dc.pen;
    const uint32_t style = pen.style & PS_STYLE_MASK;
    return pen.IsNull() ||
           ((style == PS_SOLID || style == PS_INSIDEFRAME) && PenDeviceWidth(s, pen) <= 1 &&
            (!(pen.style & PS_GEOMETRIC) || pen.brushStyle == BS_SOLID));
}

void DrawPixelRows(PlayerState& s, const std::vector<EllipseRow>& rows) {
    const bool noPen = s.dc.pen.IsNull();
    std::vector<cairo_rectangle_int_t> inside, outline;
    for (const EllipseRow& e : rows) {
        if (noPen) {
            inside.push_back({e.left0, e.y, e.right1 - e.left0 + 1, 1});
        } else if (e.left1 + 1 < e.right0) {
            inside.push_back({e.left1 + 1, e.y, e.right0 - e.left1 - 1, 1});
            outline.push_back({e.left0, e.y, e.left1 - e.left0 + 1, 1});
            outline.push_back({e.right0, e.y, e.right1 - e.right0 + 1, 1});
        } else {
            outline.push_back({e.left0, e.y, e.right1 - e.left0 + 1, 1});
        }
    }
    FillDeviceRectsWithBrush(s, inside, s.dc.brush);
    if (!noPen)
        FillDeviceRects(s, outline, s.dc.pen.color);
}

} // namespace

bool PlayDrawRecord(PlayerState& s, const RecordView& r) {
    switch (r.type) {
    case EMR_POLYLINE:
    case EMR_POLYGON:
    case EMR_POLYBEZIER:
    case EMR_POLYLINETO:
    case EMR_POLYBEZIERTO:
        return PlayPoly(s, r, false);
    case EMR_POLYLINE16:
    case EMR_POLYGON16:
    case EMR_POLYBEZIER16:
    case EMR_POLYLINETO16:
    case EMR_POLYBEZIERTO16:
        return PlayPoly(s, r, true);
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON:
        return PlayPolyPoly(s, r, false);
    case EMR_POLYPOLYLINE16:
    case EMR_POLYPOLYGON16:
        return PlayPolyPoly(s, r, true);
    case EMR_POLYDRAW:
        return PlayPolyDraw(s, r, false);
    case EMR_POLYDRAW16:
        return PlayPolyDraw(s, r, true);
    case EMR_MOVETOEX:
        s.dc.currentPos = {double(r.I32(8)), double(r.I32(12))};
        if (s.dc.path && s.dc.path->recording) {
            PathData f;
            FigMoveTo(f, Dev(s, s.dc.currentPos));
            PathData& path = s.EditPath();
            // Consecutive moves keep only the last one.
            if (!path.types.empty() && path.types.back() == PT_MOVETO) {
                path.points.back() = f.points[0];
            } else if (path.points.size() < kMaxPathPoints) {
                FigAppend(path, f);
            }
        }
        return true;
    case EMR_LINETO: {
        const PointD to{double(r.I32(8)), double(r.I32(12))};
        PathData f;
        FigMoveTo(f, Dev(s, s.dc.currentPos));
        FigLineTo(f, Dev(s, to));
        s.dc.currentPos = to;
        EmitFigures(s, f, false);
        return true;
    }
    case EMR_RECTANGLE:
        EmitFigures(s, RectangleFigure(s, ReadRect(r, 8)), true);
        return true;
    case EMR_ELLIPSE: {
        std::vector<EllipseRow> rows;
        if (EllipseIsRectangle(s, ReadRect(r, 8)))
            EmitFigures(s, RectangleFigure(s, ReadRect(r, 8)), true);
        else if (PixelShapeApplies(s) && EllipsePixels(s, ReadRect(r, 8), rows))
            DrawPixelRows(s, rows);
        else
            EmitFigures(s, EllipseFigure(s, ReadRect(r, 8)), true, true);
        return true;
    }
    case EMR_ROUNDRECT: {
        const PointL corner{r.I32(24), r.I32(28)};
        std::vector<EllipseRow> rows;
        if (RoundRectIsRectangle(s, corner))
            EmitFigures(s, RectangleFigure(s, ReadRect(r, 8)), true);
        else if (PixelShapeApplies(s) && RoundRectPixels(s, ReadRect(r, 8), corner, rows))
            DrawPixelRows(s, rows);
        else
            EmitFigures(s, RoundRectFigure(s, ReadRect(r, 8), corner), true, true);
        return true;
    }
    case EMR_ARC:
    case EMR_ARCTO:
    case EMR_CHORD:
    case EMR_PIE: {
        const ArcKind kind = r.type == EMR_ARC     ? ArcKind::Arc
                             : r.type == EMR_ARCTO ? ArcKind::ArcTo
                             : r.type == EMR_CHORD ? ArcKind::Chord
                                                   : ArcKind::Pie;
        PointD end;
        const PathData f = ArcFigure(s, ReadRect(r, 8), {r.I32(24), r.I32(28)},
                                     {r.I32(32), r.I32(36)}, kind, &end);
        if (kind == ArcKind::ArcTo && !f.points.empty()) {
            const XForm t = s.LogicalToDevice();
            const double det = t.m11 * t.m22 - t.m12 * t.m21;
            if (std::fabs(det) > 1e-12) {
                const double x = end.x - t.dx, y = end.y - t.dy;
                s.dc.currentPos = {(x * t.m22 - y * t.m21) / det, (y * t.m11 - x * t.m12) / det};
            }
        }
        EmitFigures(s, f, kind == ArcKind::Chord || kind == ArcKind::Pie);
        return true;
    }
    case EMR_ANGLEARC: {
        PointD end;
        const PathData f =
            AngleArcFigure(s, {r.I32(8), r.I32(12)}, double(r.U32(16)), r.F32(20), r.F32(24), &end);
        const XForm t = s.LogicalToDevice();
        const double det = t.m11 * t.m22 - t.m12 * t.m21;
        if (!f.points.empty() && std::fabs(det) > 1e-12) {
            const double x = end.x - t.dx, y = end.y - t.dy;
            s.dc.currentPos = {(x * t.m22 - y * t.m21) / det, (y * t.m11 - x * t.m12) / det};
        }
        EmitFigures(s, f, false);
        return true;
    }
    case EMR_SETPIXELV:
        SetPixel(s, r);
        return true;
    case EMR_EXTFLOODFILL:
        FloodFill(s, r);
        return true;
    default:
        return true;
    }
}

} // namespace qm::emf
