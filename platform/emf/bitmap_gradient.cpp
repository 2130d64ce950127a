#include "platform/emf/bitmap_blit.h"

#include <algorithm>
#include <cmath>

namespace qm::emf {
namespace {

uint32_t Pack(double r, double g, double b) {
    // A degenerate triangle can interpolate to NaN: it draws black rather than undefined.
    auto c = [](double v) -> uint32_t {
        if (!(v > 0.0))
            return 0;
        return static_cast<uint32_t>(std::min(v, 65535.0)) >> 8;
    };
    return 0xFF000000u | (c(r) << 16) | (c(g) << 8) | c(b);
}

bool Inside(const PixelTarget& t, int x, int y) {
    return !t.clip || cairo_region_contains_point(t.clip, x, y);
}

uint32_t* Row(const PixelTarget& t, int y) {
    return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(t.pixels) + size_t(y) * t.stride);
}

bool Finite(const GradientVertex& v) {
    return std::isfinite(v.x) && std::isfinite(v.y);
}

// How the clip meets pixels x0 .. x1 - 1 of row y: all in (no test per pixel), all out, or
// partly (test each pixel).
cairo_region_overlap_t ClipOverlap(const PixelTarget& t, int x0, int x1, int y) {
    if (!t.clip)
        return CAIRO_REGION_OVERLAP_IN;
    const cairo_rectangle_int_t row{x0, y, x1 - x0, 1};
    return cairo_region_contains_rectangle(t.clip, &row);
}

// Narrows [lo, hi] to the columns x where weight * (x + nudge) + offset can be >= 0; a little
// slack is left, the exact test is made per pixel.
void NarrowColumns(double weight, double offset, double nudge, double& lo, double& hi) {
    if (weight > 0)
        lo = std::max(lo, std::ceil(-offset / weight - nudge) - 1);
    else if (weight < 0)
        hi = std::min(hi, std::floor(-offset / weight - nudge) + 1);
    else if (offset < -1e-6)
        hi = lo - 1;
}

} // namespace

void GradientRect(const PixelTarget& t, const GradientVertex& a, const GradientVertex& b,
                  bool vertical) {
    if (!Finite(a) || !Finite(b))
        return;
    double ax = std::round(a.x), ay = std::round(a.y), bx = std::round(b.x), by = std::round(b.y);
    int l = static_cast<int>(std::clamp(std::min(ax, bx), 0.0, double(t.width)));
    int r = static_cast<int>(std::clamp(std::max(ax, bx), 0.0, double(t.width)));
    int top = static_cast<int>(std::clamp(std::min(ay, by), 0.0, double(t.height)));
    int bottom = static_cast<int>(std::clamp(std::max(ay, by), 0.0, double(t.height)));
    double from = vertical ? ay : ax, to = vertical ? by : bx;
    if (from == to)
        return;
    for (int y = top; y < bottom && l < r; ++y) {
        uint32_t* row = Row(t, y);
        const cairo_region_overlap_t overlap = ClipOverlap(t, l, r, y);
        if (overlap == CAIRO_REGION_OVERLAP_OUT)
            continue;
        for (int x = l; x < r; ++x) {
            if (overlap == CAIRO_REGION_OVERLAP_PART && !Inside(t, x, y))
                continue;
            double k = ((vertical ? y : x) - from) / (to - from);
            if (to < from)
                k = ((vertical ? y : x) + 1 - from) / (to - from);
            k = std::clamp(k, 0.0, 1.0);
            row[x] = Pack(a.r + (b.r - a.r) * k, a.g + (b.g - a.g) * k, a.b + (b.b - a.b) * k);
        }
    }
}

void GradientTriangle(const PixelTarget& t, const GradientVertex& va, const GradientVertex& vb,
                      const GradientVertex& vc) {
    if (!Finite(va) || !Finite(vb) || !Finite(vc))
        return;
    // The corners sit on whole pixels, and a pixel is sampled at its top-left corner, nudged a
    // little right and down: pixel corners on a left or top edge belong to the triangle, those
    // on a right or bottom edge do not.
    auto whole = [](GradientVertex v) {
        v.x = std::round(v.x);
        v.y = std::round(v.y);
        return v;
    };
    const GradientVertex a = whole(va), b = whole(vb), c = whole(vc);
    constexpr double kNudge = 1.0 / 4096;
    double det = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    if (std::abs(det) < 1e-9)
        return;
    auto lo = [](double p, double q, double r) { return std::min({p, q, r}); };
    auto hi = [](double p, double q, double r) { return std::max({p, q, r}); };
    int l = static_cast<int>(std::clamp(std::floor(lo(a.x, b.x, c.x)), 0.0, double(t.width)));
    int r = static_cast<int>(std::clamp(std::ceil(hi(a.x, b.x, c.x)), 0.0, double(t.width)));
    int top = static_cast<int>(std::clamp(std::floor(lo(a.y, b.y, c.y)), 0.0, double(t.height)));
    int bottom = static_cast<int>(std::clamp(std::ceil(hi(a.y, b.y, c.y)), 0.0, double(t.height)));
    // Along a row each weight is linear in x: only the columns where all three can be
    // non-negative are visited, not the whole bounding box.
    const double wbx = (c.y - a.y) / det, wcx = -(b.y - a.y) / det;
    for (int y = top; y < bottom; ++y) {
        const double py = y + kNudge;
        const double wb0 = (-a.x * (c.y - a.y) - (c.x - a.x) * (py - a.y)) / det;
        const double wc0 = ((b.x - a.x) * (py - a.y) + a.x * (b.y - a.y)) / det;
        double lo = l, hi = r - 1;
        NarrowColumns(wbx, wb0, kNudge, lo, hi);
        NarrowColumns(wcx, wc0, kNudge, lo, hi);
        NarrowColumns(-wbx - wcx, 1 - wb0 - wc0, kNudge, lo, hi);
        const int x0 = int(std::max<double>(lo, l)), x1 = int(std::min<double>(hi, r - 1)) + 1;
        if (x0 >= x1)
            continue;
        const cairo_region_overlap_t overlap = ClipOverlap(t, x0, x1, y);
        if (overlap == CAIRO_REGION_OVERLAP_OUT)
            continue;
        uint32_t* row = Row(t, y);
        for (int x = x0; x < x1; ++x) {
            double px = x + kNudge;
            double wb = ((px - a.x) * (c.y - a.y) - (c.x - a.x) * (py - a.y)) / det;
            double wc = ((b.x - a.x) * (py - a.y) - (px - a.x) * (b.y - a.y)) / det;
            double wa = 1 - wb - wc;
            const double eps = -1e-9;
            if (wa < eps || wb < eps || wc < eps ||
                (overlap == CAIRO_REGION_OVERLAP_PART && !Inside(t, x, y)))
                continue;
            row[x] = Pack(wa * a.r + wb * b.r + wc * c.r, wa * a.g + wb * b.g + wc * c.g,
                          wa * a.b + wb * b.b + wc * c.b);
        }
    }
}

} // namespace qm::emf
