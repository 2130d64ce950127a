// Brushes and fills: hatches and patterns, scan-converted polygons, rectangle fills.
#include <climits>

#include "platform/emf/bitmap_blit.h"
#include "platform/emf/player_render.h"
#include "platform/emf/player_render_detail.h"
#include "platform/emf/polygon_scan.h"

namespace qm::emf {

using detail::AddRects;
using detail::ChargeFigures;
using detail::ChargeRects;
using detail::Integral;
using detail::LineRuns;
using detail::RasterFigures;
using detail::SetColor;

bool SetBrushSource(const PlayerState& s, cairo_t* cr, const Brush& brush) {
    if (brush.style == BS_NULL)
        return false;
    cairo_surface_t* img = nullptr;
    if (brush.style == BS_HATCHED && brush.hatch <= HS_DIAGCROSS) {
        const uint8_t* rows = HatchRows(brush.hatch);
        img = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
        cairo_surface_flush(img);
        uint8_t* data = cairo_image_surface_get_data(img);
        const int stride = cairo_image_surface_get_stride(img);
        const uint32_t fg = ColorPixel(brush.color);
        const uint32_t bg = s.dc.bkMode == BK_OPAQUE ? ColorPixel(s.dc.bkColor) : 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                reinterpret_cast<uint32_t*>(data + y * stride)[x] =
                    (rows[y] & (0x80 >> x)) ? fg : bg;
        cairo_surface_mark_dirty(img);
    } else if ((brush.style == BS_PATTERN || brush.style == BS_DIBPATTERN ||
                brush.style == BS_DIBPATTERNPT) &&
               brush.pattern && brush.pattern->width > 0 && brush.pattern->height > 0) {
        const PatternImage& p = *brush.pattern;
        img = cairo_image_surface_create(CAIRO_FORMAT_RGB24, p.width, p.height);
        cairo_surface_flush(img);
        uint8_t* data = cairo_image_surface_get_data(img);
        const int stride = cairo_image_surface_get_stride(img);
        const uint32_t fg = ColorPixel(s.dc.textColor), bg = ColorPixel(s.dc.bkColor);
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const uint32_t v = p.pixels[size_t(y) * p.width + x];
                reinterpret_cast<uint32_t*>(data + y * stride)[x] =
                    p.monochrome ? (v ? bg : fg) : v;
            }
        cairo_surface_mark_dirty(img);
    }
    if (!img) {
        SetColor(cr, brush.color);
        return true;
    }
    cairo_pattern_t* pat = cairo_pattern_create_for_surface(img);
    cairo_surface_destroy(img);
    cairo_pattern_set_extend(pat, CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(pat, CAIRO_FILTER_NEAREST);
    cairo_matrix_t m;
    cairo_matrix_init_translate(&m, -s.dc.brushOrg.x, -s.dc.brushOrg.y);
    cairo_pattern_set_matrix(pat, &m);
    cairo_set_source(cr, pat);
    cairo_pattern_destroy(pat);
    return true;
}

namespace {

// The figures as rings of whole device pixels; false when a point falls between pixels.
bool WholePixelRings(const PathData& f, std::vector<ScanRing>& rings) {
    for (const Polyline& pl : FlattenFigures(f)) {
        ScanRing ring;
        ring.reserve(pl.points.size());
        for (const PointD& p : pl.points) {
            if (!Integral(p))
                return false;
            ring.push_back({int64_t(p.x), int64_t(p.y)});
        }
        rings.push_back(std::move(ring));
    }
    return true;
}

// Spans as rectangles, runs of equal spans on successive rows joined.
std::vector<cairo_rectangle_int_t> SpanRects(const std::vector<ScanSpan>& spans) {
    std::vector<cairo_rectangle_int_t> rects;
    std::vector<size_t> open, nextOpen; // rectangles that end on the previous row
    int32_t row = INT32_MIN;
    for (const ScanSpan& sp : spans) {
        if (sp.y != row) {
            open = sp.y == row + 1 ? std::move(nextOpen) : std::vector<size_t>{};
            nextOpen.clear();
            row = sp.y;
        }
        bool joined = false;
        for (size_t k : open) {
            cairo_rectangle_int_t& r = rects[k];
            if (r.x == sp.x0 && r.width == sp.x1 - sp.x0) {
                ++r.height;
                nextOpen.push_back(k);
                joined = true;
                break;
            }
        }
        if (!joined) {
            nextOpen.push_back(rects.size());
            rects.push_back({sp.x0, sp.y, sp.x1 - sp.x0, 1});
        }
    }
    return rects;
}

} // namespace

void FillFigures(PlayerState& s, const PathData& f, const Brush& brush, bool withOutline) {
    if (brush.style == BS_NULL || f.points.empty())
        return;
    LineRuns outline;
    if (withOutline)
        RasterFigures(s, f, outline);
    // Figures on whole pixels are scan converted by the system's rules; others (curved shapes
    // with points between pixels) are sampled at pixel centres by cairo.
    std::vector<ScanRing> rings;
    if (WholePixelRings(f, rings)) {
        // The spans of one scan never overlap, so they can be painted in batches, even under a
        // mix mode: memory stays bounded however many spans the figures make.
        constexpr size_t kBatchSpans = size_t{1} << 16;
        std::vector<ScanSpan> batch;
        ScanPolygons(rings, s.dc.polyFillMode == FILL_WINDING, s.width, s.height,
                     [&](const ScanSpan& span) {
                         batch.push_back(span);
                         if (batch.size() < kBatchSpans)
                             return;
                         FillDeviceRectsWithBrush(s, SpanRects(batch), brush);
                         batch.clear();
                     });
        std::vector<cairo_rectangle_int_t> rects = SpanRects(batch);
        rects.insert(rects.end(), outline.on.begin(), outline.on.end());
        FillDeviceRectsWithBrush(s, rects, brush);
        return;
    }
    ChargeFigures(s, f, 0);
    cairo_rectangle_int_t bounds;
    const bool bounded = FigureBounds(f, 2.0, bounds);
    PaintWithRop(
        s,
        [&](cairo_t* c) {
            if (!SetBrushSource(s, c, brush))
                return;
            cairo_set_fill_rule(c, s.dc.polyFillMode == FILL_WINDING ? CAIRO_FILL_RULE_WINDING
                                                                     : CAIRO_FILL_RULE_EVEN_ODD);
            cairo_new_path(c);
            AddFiguresToCairo(c, f);
            cairo_fill(c);
            if (!outline.on.empty()) {
                // A second fill with the same source: pixels of both count once, also under
                // mix modes, which are applied to the combined coverage.
                cairo_set_fill_rule(c, CAIRO_FILL_RULE_WINDING);
                AddRects(c, outline.on);
                cairo_fill(c);
            }
        },
        bounded ? &bounds : nullptr);
}

void FillDeviceRectsWithBrush(PlayerState& s, const std::vector<cairo_rectangle_int_t>& rects,
                              const Brush& brush) {
    if (rects.empty() || brush.style == BS_NULL)
        return;
    ChargeRects(s, rects);
    PaintWithRop(s, [&](cairo_t* c) {
        if (!SetBrushSource(s, c, brush))
            return;
        cairo_new_path(c);
        AddRects(c, rects);
        cairo_set_fill_rule(c, CAIRO_FILL_RULE_WINDING);
        cairo_fill(c);
    });
}

void FillDeviceRects(PlayerState& s, const std::vector<cairo_rectangle_int_t>& rects,
                     ColorRef color) {
    if (rects.empty())
        return;
    ChargeRects(s, rects);
    PaintWithRop(s, [&](cairo_t* c) {
        cairo_new_path(c);
        AddRects(c, rects);
        SetColor(c, color);
        cairo_set_fill_rule(c, CAIRO_FILL_RULE_WINDING);
        cairo_fill(c);
    });
}

} // namespace qm::emf
