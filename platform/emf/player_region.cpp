#include "platform/emf/player_region.h"

#include <algorithm>
#include <cmath>

#include "platform/emf/player_render.h"
#include "platform/emf/player_render_detail.h"

namespace qm::emf {

namespace {

constexpr double kLimit = 1.0e9;

int ClampInt(double v) {
    if (!(v == v))
        return 0;
    return int(std::clamp(v, -kLimit, kLimit));
}

// Rows of a mask turned into rectangles of set pixels, offset to device space.
RegionPtr RegionFromMask(cairo_surface_t* mask, int x0, int y0) {
    cairo_surface_flush(mask);
    const uint8_t* data = cairo_image_surface_get_data(mask);
    const int stride = cairo_image_surface_get_stride(mask);
    const int w = cairo_image_surface_get_width(mask), h = cairo_image_surface_get_height(mask);
    std::vector<cairo_rectangle_int_t> rects;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = data + size_t(y) * stride;
        int x = 0;
        while (x < w) {
            while (x < w && row[x] < 0x80)
                ++x;
            const int start = x;
            while (x < w && row[x] >= 0x80)
                ++x;
            if (x > start) {
                // Extend the rectangle of the row above when it has the same span.
                bool merged = false;
                for (size_t k = rects.size(); k-- > 0;) {
                    cairo_rectangle_int_t& r = rects[k];
                    if (r.y + r.height < y0 + y)
                        break;
                    if (r.y + r.height == y0 + y && r.x == x0 + start && r.width == x - start) {
                        ++r.height;
                        merged = true;
                        break;
                    }
                }
                if (!merged)
                    rects.push_back({x0 + start, y0 + y, x - start, 1});
            }
        }
    }
    return MakeRegion(cairo_region_create_rectangles(rects.data(), int(rects.size())));
}

// Strokes the figures a few hundred points at a time: with round ends and joins the union of
// the pieces is the stroke of the whole, and cairo's stroker slows down far more than linearly
// on one path of a million segments.
void StrokeInPieces(cairo_t* c, const PathData& f) {
    constexpr size_t kPiecePoints = 256;
    for (const Polyline& pl : FlattenFigures(f)) {
        std::vector<PointD> pts = pl.points;
        if (pl.closed && pts.size() > 1)
            pts.push_back(pts.front());
        for (size_t start = 0; start < pts.size(); start += kPiecePoints) {
            const size_t end = std::min(pts.size(), start + kPiecePoints + 1);
            if (end - start < 2)
                continue;
            auto at = [&](size_t i) {
                return PointD{detail::ClampCoord(pts[i].x) + 0.5,
                              detail::ClampCoord(pts[i].y) + 0.5};
            };
            cairo_new_path(c);
            cairo_move_to(c, at(start).x, at(start).y);
            for (size_t i = start + 1; i < end; ++i)
                cairo_line_to(c, at(i).x, at(i).y);
            cairo_stroke(c);
        }
    }
}

} // namespace

RegionPtr SurfaceRegion(const PlayerState& s) {
    const cairo_rectangle_int_t r{0, 0, s.width, s.height};
    return MakeRegion(cairo_region_create_rectangle(&r));
}

RegionPtr RegionFromFigures(const PlayerState& s, const PathData& f, uint32_t fillRule,
                            const Pen* strokePen) {
    const int width = strokePen ? PenDeviceWidth(s, *strokePen) : 0;
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (const PointD& p : f.points) {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    }
    const int x0 = std::max(0, ClampInt(std::floor(minX) - width - 2));
    const int y0 = std::max(0, ClampInt(std::floor(minY) - width - 2));
    const int x1 = std::min(s.width, ClampInt(std::ceil(maxX) + width + 3));
    const int y1 = std::min(s.height, ClampInt(std::ceil(maxY) + width + 3));
    if (f.points.empty() || x1 <= x0 || y1 <= y0)
        return MakeRegion(cairo_region_create());
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, x1 - x0, y1 - y0);
    cairo_t* c = cairo_create(mask);
    cairo_set_antialias(c, CAIRO_ANTIALIAS_NONE);
    cairo_translate(c, -x0, -y0);
    if (strokePen) {
        cairo_set_line_width(c, std::max(1, width));
        cairo_set_line_cap(c, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(c, CAIRO_LINE_JOIN_ROUND);
        StrokeInPieces(c, f);
    } else {
        AddFiguresToCairo(c, f);
        cairo_set_fill_rule(c, fillRule == FILL_WINDING ? CAIRO_FILL_RULE_WINDING
                                                        : CAIRO_FILL_RULE_EVEN_ODD);
        cairo_fill(c);
    }
    cairo_destroy(c);
    RegionPtr rgn = RegionFromMask(mask, x0, y0);
    cairo_surface_destroy(mask);
    return rgn;
}

RegionPtr RegionFromLogicalRect(const PlayerState& s, const RectL& r) {
    const XForm t = s.LogicalToDevice();
    if (std::fabs(t.m12) < 1e-9 && std::fabs(t.m21) < 1e-9) {
        const PointD a = s.ToDeviceRounded({double(r.left), double(r.top)});
        const PointD b = s.ToDeviceRounded({double(r.right), double(r.bottom)});
        const int l = ClampInt(std::min(a.x, b.x)), rr = ClampInt(std::max(a.x, b.x));
        const int tp = ClampInt(std::min(a.y, b.y)), bt = ClampInt(std::max(a.y, b.y));
        const cairo_rectangle_int_t rc{l, tp, rr - l, bt - tp};
        return MakeRegion(cairo_region_create_rectangle(&rc));
    }
    PathData f;
    FigMoveTo(f, s.ToDevice({double(r.left), double(r.top)}));
    FigLineTo(f, s.ToDevice({double(r.right), double(r.top)}));
    FigLineTo(f, s.ToDevice({double(r.right), double(r.bottom)}));
    FigLineTo(f, s.ToDevice({double(r.left), double(r.bottom)}));
    FigClose(f);
    return RegionFromFigures(s, f, FILL_ALTERNATE);
}

bool ReadRegionData(const PlayerState& s, const RecordView& r, size_t off, size_t cb,
                    const XForm& t, RegionPtr& out) {
    if (!r.Has(off, cb) || cb < 32)
        return false;
    const uint32_t count = r.U32(off + 8);
    if (count > (cb - 32) / 16)
        return false;
    const bool aligned = std::fabs(t.m12) < 1e-9 && std::fabs(t.m21) < 1e-9;
    std::vector<cairo_rectangle_int_t> rects;
    PathData polys;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t p = off + 32 + size_t(i) * 16;
        const double l = r.I32(p), tp = r.I32(p + 4), rt = r.I32(p + 8), b = r.I32(p + 12);
        if (aligned) {
            const PointD a = t.Apply({l, tp}), c = t.Apply({rt, b});
            const int x0 = ClampInt(std::floor(std::min(a.x, c.x) + 0.5));
            const int x1 = ClampInt(std::floor(std::max(a.x, c.x) + 0.5));
            const int y0 = ClampInt(std::floor(std::min(a.y, c.y) + 0.5));
            const int y1 = ClampInt(std::floor(std::max(a.y, c.y) + 0.5));
            if (x1 > x0 && y1 > y0)
                rects.push_back({x0, y0, x1 - x0, y1 - y0});
        } else {
            FigMoveTo(polys, t.Apply({l, tp}));
            FigLineTo(polys, t.Apply({rt, tp}));
            FigLineTo(polys, t.Apply({rt, b}));
            FigLineTo(polys, t.Apply({l, b}));
            FigClose(polys);
        }
    }
    if (!aligned) {
        out = RegionFromFigures(s, polys, FILL_WINDING);
        return true;
    }
    // Built in one call, which also unions rectangles that overlap in malformed data; adding
    // them one by one costs time quadratic in their number.
    out = MakeRegion(cairo_region_create_rectangles(rects.data(), int(rects.size())));
    return true;
}

void CombineClip(PlayerState& s, const RegionPtr& rgn, uint32_t mode) {
    if (mode == RGN_COPY) {
        s.dc.clip = rgn ? MakeRegion(cairo_region_copy(rgn.get())) : nullptr;
        return;
    }
    if (!rgn || mode < RGN_AND || mode > RGN_DIFF)
        return;
    cairo_region_t* cur = s.dc.clip ? cairo_region_copy(s.dc.clip.get()) : nullptr;
    if (!cur) {
        const cairo_rectangle_int_t all{0, 0, s.width, s.height};
        cur = cairo_region_create_rectangle(&all);
    }
    switch (mode) {
    case RGN_AND:
        cairo_region_intersect(cur, rgn.get());
        break;
    case RGN_OR:
        cairo_region_union(cur, rgn.get());
        break;
    case RGN_XOR:
        cairo_region_xor(cur, rgn.get());
        break;
    case RGN_DIFF:
        cairo_region_subtract(cur, rgn.get());
        break;
    }
    s.dc.clip = MakeRegion(cur);
}

void FillRegion(PlayerState& s, const RegionPtr& rgn, const Brush& brush) {
    if (!rgn || brush.style == BS_NULL)
        return;
    cairo_rectangle_int_t extents;
    cairo_region_get_extents(rgn.get(), &extents);
    s.ChargeBox(extents.x, extents.y, double(extents.x) + extents.width,
                double(extents.y) + extents.height);
    PaintWithRop(s, [&](cairo_t* c) {
        if (!SetBrushSource(s, c, brush))
            return;
        cairo_new_path(c);
        const int n = cairo_region_num_rectangles(rgn.get());
        for (int i = 0; i < n; ++i) {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(rgn.get(), i, &r);
            cairo_rectangle(c, r.x, r.y, r.width, r.height);
        }
        cairo_set_fill_rule(c, CAIRO_FILL_RULE_WINDING);
        cairo_fill(c);
    });
}

} // namespace qm::emf
