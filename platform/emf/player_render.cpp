#include "platform/emf/player_render.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

#include "platform/emf/polygon_scan.h"

namespace qm::emf {

namespace {

constexpr double kCoordLimit = 4.0e6; // keeps cairo's fixed-point coordinates in range
constexpr size_t kMaxFlatPoints = size_t{1} << 22;

double Clamp(double v) {
    if (!(v == v))
        return 0;
    return std::clamp(v, -kCoordLimit, kCoordLimit);
}

PointD Rounded(PointD p) {
    return {std::round(Clamp(p.x)), std::round(Clamp(p.y))};
}

// Dash lengths in pixels: cosmetic pens by style, geometric ones scaled by the width.
std::vector<double> DashPattern(const PlayerState& s, const Pen& pen, int deviceWidth) {
    const uint32_t style = pen.style & PS_STYLE_MASK;
    const bool geometric = (pen.style & PS_GEOMETRIC) != 0;
    std::vector<double> d;
    switch (style) {
    case PS_DASH:
        d = geometric ? std::vector<double>{3, 1} : std::vector<double>{18, 6};
        break;
    case PS_DOT:
        d = geometric ? std::vector<double>{1, 1} : std::vector<double>{3, 3};
        break;
    case PS_DASHDOT:
        d = geometric ? std::vector<double>{3, 1, 1, 1} : std::vector<double>{9, 6, 3, 6};
        break;
    case PS_DASHDOTDOT:
        d = geometric ? std::vector<double>{3, 1, 1, 1, 1, 1}
                      : std::vector<double>{9, 3, 3, 3, 3, 3};
        break;
    case PS_ALTERNATE:
        d = {1, 1};
        break;
    case PS_USERSTYLE:
        for (uint32_t v : pen.userStyle)
            d.push_back(geometric ? std::max(0.0, s.DeviceWidth(v)) : double(v));
        if (d.size() % 2)
            d.insert(d.end(), d.begin(), d.end());
        return d;
    default:
        return d;
    }
    if (geometric)
        for (double& v : d)
            v *= deviceWidth;
    return d;
}

// Pixel runs of a one-pixel line, split into dashes and gaps.
struct LineRuns {
    std::vector<cairo_rectangle_int_t> on, off;
    const std::vector<double>* dash = nullptr;
    double dashTotal = 0;
    int64_t dashPos = 0;

    bool IsOn(int64_t pos) const {
        if (!dash || dashTotal <= 0)
            return true;
        double p = std::fmod(double(pos), dashTotal);
        for (size_t k = 0; k < dash->size(); ++k) {
            if (p < (*dash)[k])
                return k % 2 == 0;
            p -= (*dash)[k];
        }
        return true;
    }
};

// One line from a to b, last pixel excluded, visible pixels only. Each pixel is found from
// its step number, so lines far outside the surface cost nothing.
void RasterLine(PointL a, PointL b, int w, int h, LineRuns& runs) {
    const int64_t dx = std::llabs(int64_t(b.x) - a.x), dy = std::llabs(int64_t(b.y) - a.y);
    const int sx = b.x >= a.x ? 1 : -1, sy = b.y >= a.y ? 1 : -1;
    const bool xMajor = dx >= dy;
    const int64_t n = xMajor ? dx : dy, m = xMajor ? dy : dx;
    if (n == 0)
        return;
    // Exact halfway points go one way or the other by octant, as the system draws them.
    const int64_t ddx = int64_t(b.x) - a.x, ddy = int64_t(b.y) - a.y;
    const bool tieUp = ddx >= 0 ? (ddy > 0 ? false : ddx > -ddy) : (ddy > 0 ? -ddx <= ddy : true);
    // Step range whose major coordinate lies on the surface.
    const int64_t major0 = xMajor ? a.x : a.y, minor0 = xMajor ? a.y : a.x;
    const int smaj = xMajor ? sx : sy, smin = xMajor ? sy : sx;
    const int64_t majLimit = xMajor ? w : h, minLimit = xMajor ? h : w;
    int64_t lo = 0, hi = n - 1;
    if (smaj > 0) {
        lo = std::max(lo, -major0);
        hi = std::min(hi, majLimit - 1 - major0);
    } else {
        lo = std::max(lo, major0 - (majLimit - 1));
        hi = std::min(hi, major0);
    }
    if (m > 0) {
        // minor = minor0 + smin * round(i * m / n) must lie in [0, minLimit).
        const double r = double(n) / double(m);
        double i0, i1;
        if (smin > 0) {
            i0 = (double(-minor0) - 1) * r;
            i1 = (double(minLimit - minor0) + 1) * r;
        } else {
            i0 = (double(minor0 - minLimit) - 1) * r;
            i1 = (double(minor0) + 1) * r;
        }
        lo = std::max<int64_t>(lo, int64_t(std::max(i0, -1.0)));
        hi = std::min<int64_t>(hi, int64_t(std::min(i1, double(n))));
    } else if (minor0 < 0 || minor0 >= minLimit) {
        lo = 1, hi = 0;
    }
    cairo_rectangle_int_t cur{0, 0, 0, 0};
    bool curOn = false, have = false;
    auto flush = [&] {
        if (have)
            (curOn ? runs.on : runs.off).push_back(cur);
        have = false;
    };
    for (int64_t i = lo; i <= hi; ++i) {
        const int64_t mj = major0 + smaj * i;
        const int64_t mn = minor0 + smin * ((2 * i * m + n - 1 + tieUp) / (2 * n));
        if (mn < 0 || mn >= minLimit)
            continue;
        const bool on = runs.IsOn(runs.dashPos + i);
        const int px = int(xMajor ? mj : mn), py = int(xMajor ? mn : mj);
        if (have && on == curOn) {
            if (xMajor && py == cur.y && cur.height == 1) {
                if (px == cur.x + cur.width) {
                    ++cur.width;
                    continue;
                }
                if (px == cur.x - 1) {
                    --cur.x;
                    ++cur.width;
                    continue;
                }
            } else if (!xMajor && px == cur.x && cur.width == 1) {
                if (py == cur.y + cur.height) {
                    ++cur.height;
                    continue;
                }
                if (py == cur.y - 1) {
                    --cur.y;
                    ++cur.height;
                    continue;
                }
            }
        }
        flush();
        cur = {px, py, 1, 1};
        curOn = on;
        have = true;
    }
    flush();
    runs.dashPos += n;
}

void AddRects(cairo_t* cr, const std::vector<cairo_rectangle_int_t>& rects) {
    for (const auto& r : rects)
        cairo_rectangle(cr, r.x, r.y, r.width, r.height);
}

void SetColor(cairo_t* cr, ColorRef c) {
    cairo_set_source_rgb(cr, ColorR(c) / 255.0, ColorG(c) / 255.0, ColorB(c) / 255.0);
}

// The pixels a one-pixel pen would set along the figures (dashes per runs.dash).
void RasterFigures(const PlayerState& s, const PathData& f, LineRuns& runs) {
    for (const Polyline& pl : FlattenFigures(f)) {
        const size_t n = pl.points.size();
        auto at = [&](size_t i) {
            const PointD p = pl.points[i % n];
            return PointL{int32_t(std::lround(Clamp(p.x))), int32_t(std::lround(Clamp(p.y)))};
        };
        for (size_t i = 0; i + 1 < n; ++i)
            RasterLine(at(i), at(i + 1), s.width, s.height, runs);
        if (pl.closed && n > 1)
            RasterLine(at(n - 1), at(0), s.width, s.height, runs);
    }
}

void StrokeCosmetic(PlayerState& s, const PathData& f, const Pen& pen) {
    const std::vector<double> dash = DashPattern(s, pen, 1);
    LineRuns runs;
    if (!dash.empty()) {
        runs.dash = &dash;
        for (double v : dash)
            runs.dashTotal += v;
    }
    RasterFigures(s, f, runs);
    if (!runs.off.empty() && s.dc.bkMode == BK_OPAQUE &&
        (pen.style & PS_STYLE_MASK) != PS_ALTERNATE)
        FillDeviceRects(s, runs.off, s.dc.bkColor);
    FillDeviceRects(s, runs.on, pen.color);
}

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

} // namespace

void FigMoveTo(PathData& f, PointD p) {
    f.points.push_back(p);
    f.types.push_back(PT_MOVETO);
}
void FigLineTo(PathData& f, PointD p) {
    f.points.push_back(p);
    f.types.push_back(PT_LINETO);
}
void FigBezierTo(PathData& f, PointD c1, PointD c2, PointD p) {
    f.points.insert(f.points.end(), {c1, c2, p});
    f.types.insert(f.types.end(), {PT_BEZIERTO, PT_BEZIERTO, PT_BEZIERTO});
}
void FigClose(PathData& f) {
    if (!f.types.empty())
        f.types.back() |= PT_CLOSEFIGURE;
}
void FigAppend(PathData& f, const PathData& more) {
    f.points.insert(f.points.end(), more.points.begin(), more.points.end());
    f.types.insert(f.types.end(), more.types.begin(), more.types.end());
}

namespace {

// Bezier subdivision on whole device pixels, the way the system flattens curves of integer
// points: coordinates carry four fraction bits, halves round up, and a piece is final once
// its control points lie between its ends along the main axis and stray at most one pixel
// from the chord (slope taken in whole steps), or after eight halvings. Each piece ends on
// a whole pixel.
struct FixPt {
    int64_t x, y;
};
constexpr int kFixBits = 4;
constexpr int64_t kFixOne = int64_t{1} << kFixBits;

int64_t FixDown(int64_t v) {
    return (v + kFixOne / 2) >> kFixBits;
}

FixPt FixMid(FixPt a, FixPt b) {
    return {(a.x + b.x + 1) / 2, (a.y + b.y + 1) / 2};
}

bool Between(int64_t v, int64_t a, int64_t b) {
    return v < a ? v >= b : v <= b;
}

bool PieceIsFlat(const FixPt* p) {
    int64_t dx = p[3].x - p[0].x, dy = p[3].y - p[0].y;
    const bool shallow = std::llabs(dy) <= std::llabs(dx);
    // Work along the main axis (u) with the cross axis (v).
    auto u = [&](const FixPt& q) { return shallow ? q.x : q.y; };
    auto v = [&](const FixPt& q) { return shallow ? q.y : q.x; };
    if (!Between(u(p[1]), u(p[0]), u(p[3])) || !Between(u(p[2]), u(p[0]), u(p[3])))
        return false;
    const int64_t du = FixDown(shallow ? dx : dy), dv = shallow ? dy : dx;
    if (du == 0)
        return true;
    const int64_t slope = dv / du;
    for (int k = 1; k <= 2; ++k)
        if (std::llabs(v(p[k]) - v(p[0]) - slope * FixDown(u(p[k]) - u(p[0]))) > kFixOne)
            return false;
    return true;
}

void SubdivideBezier(std::vector<PointD>& out, FixPt* p, int level) {
    if (level == 0 || PieceIsFlat(p)) {
        out.push_back({double(FixDown(p[3].x)), double(FixDown(p[3].y))});
        return;
    }
    FixPt q[4];
    q[3] = p[3];
    q[2] = FixMid(p[2], p[3]);
    q[0] = FixMid(p[1], p[2]);
    q[1] = FixMid(q[0], q[2]);
    p[1] = FixMid(p[0], p[1]);
    p[2] = FixMid(p[1], q[0]);
    q[0] = FixMid(p[2], q[1]);
    p[3] = q[0];
    SubdivideBezier(out, p, level - 1);
    SubdivideBezier(out, q, level - 1);
}

bool Integral(PointD p) {
    return p.x == std::floor(p.x) && p.y == std::floor(p.y) && std::fabs(p.x) < kCoordLimit &&
           std::fabs(p.y) < kCoordLimit;
}

// Curves of whole device pixels are flattened the system's way.
bool IntegralCurve(PointD p0, PointD p1, PointD p2, PointD p3) {
    return Integral(p0) && Integral(p1) && Integral(p2) && Integral(p3);
}

void FlattenBezier(std::vector<PointD>& out, PointD p0, PointD p1, PointD p2, PointD p3) {
    if (IntegralCurve(p0, p1, p2, p3)) {
        FixPt p[4];
        const PointD src[4] = {p0, p1, p2, p3};
        for (int k = 0; k < 4; ++k)
            p[k] = {int64_t(src[k].x) * kFixOne, int64_t(src[k].y) * kFixOne};
        SubdivideBezier(out, p, 8);
        return;
    }
    const double len = std::hypot(p1.x - p0.x, p1.y - p0.y) + std::hypot(p2.x - p1.x, p2.y - p1.y) +
                       std::hypot(p3.x - p2.x, p3.y - p2.y);
    int steps = int(std::clamp(std::ceil(std::sqrt(len) * 1.5), 1.0, 1000.0));
    if (!(len == len))
        steps = 1;
    for (int i = 1; i <= steps; ++i) {
        const double t = double(i) / steps, u = 1 - t;
        const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        out.push_back(
            {a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y});
    }
}

} // namespace

std::vector<Polyline> FlattenFigures(const PathData& f) {
    std::vector<Polyline> out;
    size_t total = 0;
    const size_t n = std::min(f.points.size(), f.types.size());
    for (size_t i = 0; i < n && total < kMaxFlatPoints; ++i) {
        const uint8_t t = f.types[i] & ~PT_CLOSEFIGURE;
        if (t == PT_MOVETO || out.empty() || out.back().closed) {
            out.push_back({});
            if (t != PT_MOVETO && i > 0)
                out.back().points.push_back(f.points[i - 1]);
        }
        Polyline& pl = out.back();
        const size_t before = pl.points.size();
        if (t == PT_BEZIERTO && i + 2 < n && !pl.points.empty()) {
            FlattenBezier(pl.points, pl.points.back(), f.points[i], f.points[i + 1],
                          f.points[i + 2]);
            i += 2;
        } else {
            pl.points.push_back(f.points[i]);
        }
        total += pl.points.size() - before;
        if (f.types[i] & PT_CLOSEFIGURE)
            pl.closed = true;
    }
    return out;
}

void AddFiguresToCairo(cairo_t* cr, const PathData& f, double offset) {
    const size_t n = std::min(f.points.size(), f.types.size());
    bool open = false;
    auto pt = [&](size_t i) {
        return PointD{Clamp(f.points[i].x) + offset, Clamp(f.points[i].y) + offset};
    };
    for (size_t i = 0; i < n; ++i) {
        const uint8_t t = f.types[i] & ~PT_CLOSEFIGURE;
        const PointD p = pt(i);
        if (t == PT_MOVETO || !open) {
            cairo_move_to(cr, p.x, p.y);
            open = true;
        } else if (t == PT_BEZIERTO && i + 2 < n && i > 0) {
            // Curves of whole device pixels are flattened the system's way; others go
            // to cairo as curves.
            if (IntegralCurve(f.points[i - 1], f.points[i], f.points[i + 1], f.points[i + 2])) {
                std::vector<PointD> flat;
                FlattenBezier(flat, f.points[i - 1], f.points[i], f.points[i + 1], f.points[i + 2]);
                for (const PointD& q : flat)
                    cairo_line_to(cr, q.x + offset, q.y + offset);
            } else {
                const PointD b = pt(i + 1), c = pt(i + 2);
                cairo_curve_to(cr, p.x, p.y, b.x, b.y, c.x, c.y);
            }
            i += 2;
        } else {
            cairo_line_to(cr, p.x, p.y);
        }
        if (f.types[i] & PT_CLOSEFIGURE) {
            cairo_close_path(cr);
            open = false;
        }
    }
}

void PaintWithRop(PlayerState& s, const std::function<void(cairo_t*)>& draw) {
    const uint32_t rop = s.dc.rop2;
    if (rop == R2_NOP)
        return;
    if (rop == R2_COPYPEN || rop < R2_BLACK || rop > R2_WHITE) {
        cairo_save(s.cr);
        s.ApplyClip(s.cr);
        draw(s.cr);
        cairo_restore(s.cr);
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

bool SetBrushSource(const PlayerState& s, cairo_t* cr, const Brush& brush) {
    if (brush.style == BS_NULL)
        return false;
    cairo_surface_t* img = nullptr;
    if (brush.style == BS_HATCHED && brush.hatch <= HS_DIAGCROSS) {
        static const uint8_t kHatches[6][8] = {{0x00, 0x00, 0x00, 0xff, 0x00, 0x00, 0x00, 0x00},
                                               {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},
                                               {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},
                                               {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},
                                               {0x08, 0x08, 0x08, 0xff, 0x08, 0x08, 0x08, 0x08},
                                               {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81}};
        img = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
        cairo_surface_flush(img);
        uint8_t* data = cairo_image_surface_get_data(img);
        const int stride = cairo_image_surface_get_stride(img);
        const uint32_t fg = ColorPixel(brush.color);
        const uint32_t bg = s.dc.bkMode == BK_OPAQUE ? ColorPixel(s.dc.bkColor) : 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                reinterpret_cast<uint32_t*>(data + y * stride)[x] =
                    (kHatches[brush.hatch][y] & (0x80 >> x)) ? fg : bg;
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
        std::vector<cairo_rectangle_int_t> rects =
            SpanRects(ScanPolygons(rings, s.dc.polyFillMode == FILL_WINDING, s.width, s.height));
        rects.insert(rects.end(), outline.on.begin(), outline.on.end());
        FillDeviceRectsWithBrush(s, rects, brush);
        return;
    }
    PaintWithRop(s, [&](cairo_t* c) {
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
    });
}

int PenDeviceWidth(const PlayerState& s, const Pen& pen) {
    if (pen.width <= 0)
        return 1;
    if (!(pen.style & PS_GEOMETRIC) && (pen.style & PS_STYLE_MASK) == PS_ALTERNATE)
        return 1;
    const XForm t = s.LogicalToDevice();
    const double x = std::floor(pen.width * t.m11 + t.dx + 0.5) - std::floor(t.dx + 0.5);
    const double y = std::floor(pen.width * t.m12 + t.dy + 0.5) - std::floor(t.dy + 0.5);
    const double w = std::hypot(x, y);
    if (!(w < 1e6))
        return 1000000;
    return std::max(1, int(w));
}

namespace {

// Adds the pixels of one segment of a wide line to cr's path the way the system builds them:
// a band whose corners sit on whole pixels, half of the width rounded to each side, the
// wider half above the line when it falls to the right, below when it rises. Samples on the
// band's left edge belong to it.
void AddWideSegment(cairo_t* cr, PointD a, PointD b, int width) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    if (dy == 0) {
        cairo_rectangle(cr, std::min(a.x, b.x), a.y - width / 2, std::fabs(dx), width);
        return;
    }
    if (dx == 0) {
        cairo_rectangle(cr, a.x - width / 2, std::min(a.y, b.y), width, std::fabs(dy));
        return;
    }
    if (dx < 0)
        std::swap(a, b);
    const double len = std::hypot(dx, dy);
    const double wx = width * std::fabs(dy) / len, wy = width * std::fabs(dx) / len;
    const PointD narrow{std::floor(wx / 2 + 0.5), std::floor(wy / 2 + 0.5)};
    const PointD wide{std::floor((wx + 1) / 2 + 0.5), std::floor((wy + 1) / 2 + 0.5)};
    PointD up{-narrow.x, -narrow.y}, down{wide.x, wide.y};
    if (b.y > a.y) {
        up = {wide.x, -wide.y};
        down = {-narrow.x, narrow.y};
    }
    constexpr double ox = 0.5 - 1.0 / 64, oy = 0.5;
    cairo_move_to(cr, a.x + up.x + ox, a.y + up.y + oy);
    cairo_line_to(cr, a.x + down.x + ox, a.y + down.y + oy);
    cairo_line_to(cr, b.x + down.x + ox, b.y + down.y + oy);
    cairo_line_to(cr, b.x + up.x + ox, b.y + up.y + oy);
    cairo_close_path(cr);
}

// A wide line with round joins and ends: the union of its segments and of a round dot at
// every point. Each piece is filled on its own so that overlaps never cancel.
void FillWideRoundLine(cairo_t* cr, const PathData& f, int width) {
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    // Odd dots centre on a pixel, even ones on a pixel corner; slightly under half the width
    // across, as the system's small ellipses are.
    const double centre = width % 2 ? 0.5 : 0.0, radius = width / 2.0 - 0.15;
    auto dot = [&](PointD p) {
        cairo_new_path(cr);
        cairo_arc(cr, p.x + centre, p.y + centre, radius, 0, 2 * std::numbers::pi);
        cairo_fill(cr);
    };
    for (const Polyline& pl : FlattenFigures(f)) {
        const size_t n = pl.points.size();
        if (n == 1)
            dot(Rounded(pl.points[0]));
        for (size_t i = 0; i + 1 < n + (pl.closed ? 1 : 0); ++i) {
            // Flattened curves end on whole pixels, as the system keeps them.
            const PointD a = Rounded(pl.points[i]), b = Rounded(pl.points[(i + 1) % n]);
            cairo_new_path(cr);
            AddWideSegment(cr, a, b, width);
            cairo_fill(cr);
            dot(a);
            dot(b);
        }
    }
}

} // namespace

void StrokeFigures(PlayerState& s, const PathData& f, const Pen& pen) {
    if (pen.IsNull() || f.points.empty())
        return;
    const int width = PenDeviceWidth(s, pen);
    if (width <= 1) {
        StrokeCosmetic(s, f, pen);
        return;
    }
    const bool geometric = (pen.style & PS_GEOMETRIC) != 0;
    std::vector<double> dash;
    if (geometric)
        dash = DashPattern(s, pen, width);
    const uint32_t capStyle = pen.style & PS_ENDCAP_MASK, joinStyle = pen.style & PS_JOIN_MASK;
    const bool roundLine =
        dash.empty() && capStyle == PS_ENDCAP_ROUND && joinStyle == PS_JOIN_ROUND;
    // Where other wide lines fall: odd widths centre on pixels along axis-parallel lines only.
    bool axisParallel = true;
    for (size_t i = 1; i < f.points.size() && axisParallel; ++i)
        axisParallel = f.types[i] != PT_BEZIERTO &&
                       (f.points[i].x == f.points[i - 1].x || f.points[i].y == f.points[i - 1].y);
    const double offset = width % 2 == 0 || axisParallel ? 0.5 : 0.0;
    PaintWithRop(s, [&](cairo_t* c) {
        if (geometric && pen.brushStyle == BS_HATCHED) {
            Brush b;
            b.style = BS_HATCHED;
            b.color = pen.color;
            b.hatch = pen.hatch;
            SetBrushSource(s, c, b);
        } else {
            SetColor(c, pen.color);
        }
        if (roundLine) {
            FillWideRoundLine(c, f, width);
            return;
        }
        cairo_new_path(c);
        AddFiguresToCairo(c, f, offset);
        cairo_set_line_width(c, width);
        cairo_set_line_cap(c, capStyle == PS_ENDCAP_SQUARE ? CAIRO_LINE_CAP_SQUARE
                              : capStyle == PS_ENDCAP_FLAT ? CAIRO_LINE_CAP_BUTT
                                                           : CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(c, joinStyle == PS_JOIN_BEVEL   ? CAIRO_LINE_JOIN_BEVEL
                               : joinStyle == PS_JOIN_MITER ? CAIRO_LINE_JOIN_MITER
                                                            : CAIRO_LINE_JOIN_ROUND);
        cairo_set_miter_limit(c, std::max(1.0, s.dc.miterLimit));
        if (!dash.empty())
            cairo_set_dash(c, dash.data(), int(dash.size()), 0);
        cairo_stroke(c);
    });
}

void FillDeviceRectsWithBrush(PlayerState& s, const std::vector<cairo_rectangle_int_t>& rects,
                              const Brush& brush) {
    if (rects.empty() || brush.style == BS_NULL)
        return;
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
    PaintWithRop(s, [&](cairo_t* c) {
        cairo_new_path(c);
        AddRects(c, rects);
        SetColor(c, color);
        cairo_set_fill_rule(c, CAIRO_FILL_RULE_WINDING);
        cairo_fill(c);
    });
}

} // namespace qm::emf
