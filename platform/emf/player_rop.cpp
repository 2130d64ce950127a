// Mix modes (R2_*): drawings are recorded, then combined pixel by pixel with the target.
#include <algorithm>
#include <cmath>

#include "platform/emf/player_render.h"
#include "platform/emf/player_render_detail.h"

namespace qm::emf {

namespace {

uint32_t ApplyRop2(uint32_t rop, uint32_t pen, uint32_t dst) {
    const uint32_t code = (rop - 1) & 0xF;
    uint32_t r = 0;
    if (code & 1)
        r |= ~pen & ~dst;
    if (code & 2)
        r |= ~pen & dst;
    if (code & 4)
        r |= pen & ~dst;
    if (code & 8)
        r |= pen & dst;
    return r;
}

// Replays a recorded drawing over x0..x1, y0..y1 in bands and applies the mix mode to every
// covered pixel.
void CombineRecording(PlayerState& s, cairo_surface_t* rec, uint32_t rop, int x0, int y0, int x1,
                      int y1) {
    constexpr int kBandPixels = 1 << 20;
    const int w = x1 - x0;
    const int band = std::max(1, std::min(y1 - y0, kBandPixels / w));
    cairo_surface_flush(s.surface);
    uint8_t* dstBase = cairo_image_surface_get_data(s.surface);
    const int dstStride = cairo_image_surface_get_stride(s.surface);
    cairo_surface_t* layer = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, band);
    if (cairo_surface_status(layer) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(layer);
        return;
    }
    for (int by = y0; by < y1; by += band) {
        const int rows = std::min(band, y1 - by);
        cairo_t* c = cairo_create(layer);
        cairo_set_operator(c, CAIRO_OPERATOR_CLEAR);
        cairo_paint(c);
        cairo_set_operator(c, CAIRO_OPERATOR_OVER);
        cairo_set_source_surface(c, rec, -x0, -by);
        cairo_paint(c);
        cairo_destroy(c);
        cairo_surface_flush(layer);
        const uint8_t* src = cairo_image_surface_get_data(layer);
        const int srcStride = cairo_image_surface_get_stride(layer);
        for (int y = 0; y < rows; ++y) {
            const uint32_t* sp = reinterpret_cast<const uint32_t*>(src + size_t(y) * srcStride);
            uint32_t* dp = reinterpret_cast<uint32_t*>(dstBase + size_t(by + y) * dstStride) + x0;
            for (int x = 0; x < w; ++x)
                if ((sp[x] >> 24) >= 0x80)
                    dp[x] = ApplyRop2(rop, sp[x], dp[x]) | 0xFF000000u;
        }
    }
    cairo_surface_destroy(layer);
    cairo_surface_mark_dirty(s.surface);
}

bool IsCopyMode(uint32_t rop) {
    return rop == R2_COPYPEN || rop < R2_BLACK || rop > R2_WHITE;
}

} // namespace

detail::PixelRunPainter::PixelRunPainter(PlayerState& s)
    : m_state(s), m_clip(s.EffectiveClip()), m_rop(s.dc.rop2), m_copy(IsCopyMode(s.dc.rop2)) {
    cairo_surface_flush(s.surface);
    m_data = cairo_image_surface_get_data(s.surface);
    m_stride = cairo_image_surface_get_stride(s.surface);
}

detail::PixelRunPainter::~PixelRunPainter() {
    cairo_surface_mark_dirty(m_state.surface);
}

void detail::PixelRunPainter::PaintRow(int x0, int x1, int y, uint32_t pixel, bool checkClip) {
    uint32_t* row = reinterpret_cast<uint32_t*>(m_data + size_t(y) * size_t(m_stride));
    for (int x = x0; x < x1; ++x) {
        if (checkClip && !cairo_region_contains_point(m_clip.get(), x, y))
            continue;
        row[x] = m_copy ? pixel : ApplyRop2(m_rop, pixel, row[x]) | 0xFF000000u;
    }
}

void detail::PixelRunPainter::Paint(cairo_rectangle_int_t r, uint32_t pixel) {
    if (!m_data || m_rop == R2_NOP)
        return;
    const int x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
    const int x1 = std::min(r.x + r.width, m_state.width);
    const int y1 = std::min(r.y + r.height, m_state.height);
    if (x0 >= x1 || y0 >= y1)
        return;
    bool checkClip = false;
    if (m_clip) {
        const cairo_rectangle_int_t box{x0, y0, x1 - x0, y1 - y0};
        const cairo_region_overlap_t overlap = cairo_region_contains_rectangle(m_clip.get(), &box);
        if (overlap == CAIRO_REGION_OVERLAP_OUT)
            return;
        checkClip = overlap == CAIRO_REGION_OVERLAP_PART;
    }
    for (int y = y0; y < y1; ++y)
        PaintRow(x0, x1, y, pixel, checkClip);
}

bool FigureBounds(const PathData& f, double margin, cairo_rectangle_int_t& bounds) {
    if (f.points.empty() || !(margin >= 0 && margin < 1.0e6))
        return false;
    double x0 = f.points[0].x, y0 = f.points[0].y, x1 = x0, y1 = y0;
    for (const PointD& p : f.points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return false;
        x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
    }
    // Points are drawn clamped to cairo's coordinate range: so are the bounds.
    using detail::ClampCoord;
    const int l = int(std::floor(ClampCoord(x0) - margin));
    const int t = int(std::floor(ClampCoord(y0) - margin));
    const int r = int(std::ceil(ClampCoord(x1) + margin));
    const int b = int(std::ceil(ClampCoord(y1) + margin));
    bounds = {l, t, r - l + 1, b - t + 1};
    return true;
}

void PaintWithRop(PlayerState& s, const std::function<void(cairo_t*)>& draw,
                  const cairo_rectangle_int_t* bounds) {
    const uint32_t rop = s.dc.rop2;
    if (rop == R2_NOP)
        return;
    if (IsCopyMode(rop)) {
        cairo_t* c = s.ClippedContext(bounds);
        cairo_save(c);
        cairo_new_path(c);
        draw(c);
        cairo_restore(c);
        return;
    }
    // Other mix modes: record the drawing, then replay it band by band over the pixels it
    // touches and combine each covered pixel with the target.
    cairo_surface_t* rec = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
    cairo_t* rc = cairo_create(rec);
    cairo_set_antialias(rc, CAIRO_ANTIALIAS_NONE);
    s.ApplyClip(rc);
    draw(rc);
    cairo_destroy(rc);
    double ex = 0, ey = 0, ew = 0, eh = 0;
    cairo_recording_surface_ink_extents(rec, &ex, &ey, &ew, &eh);
    const int x0 = int(std::max(0.0, std::floor(ex))), y0 = int(std::max(0.0, std::floor(ey)));
    const int x1 = int(std::min(double(s.width), std::ceil(ex + ew)));
    const int y1 = int(std::min(double(s.height), std::ceil(ey + eh)));
    if (x1 > x0 && y1 > y0)
        CombineRecording(s, rec, rop, x0, y0, x1, y1);
    cairo_surface_destroy(rec);
}

} // namespace qm::emf
