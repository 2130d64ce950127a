// Pens: one-pixel lines set pixel by pixel, dashes, wide lines built segment by segment.
#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

#include "platform/emf/player_render.h"
#include "platform/emf/player_render_detail.h"

namespace qm::emf {

using detail::ClampCoord;
using detail::LineRuns;
using detail::Rounded;
using detail::SetColor;

// The pixels a stroke sets, one bit each, over a box of the surface.
struct detail::PixelMask {
    int left = 0, top = 0, width = 0, height = 0;
    size_t words = 0; // per row
    std::vector<uint64_t> bits;

    PixelMask(int x0, int y0, int x1, int y1)
        : left(x0), top(y0), width(x1 - x0), height(y1 - y0), words((size_t(width) + 63) / 64),
          bits(words * size_t(height)) {}

    void Set(int x, int y) {
        const auto cx = unsigned(x - left), cy = unsigned(y - top);
        if (cx < unsigned(width) && cy < unsigned(height))
            bits[size_t(cy) * words + cx / 64] |= uint64_t{1} << (cx % 64);
    }

    // The first column at or after x in row y whose bit is value (width when none).
    int Next(int y, int x, bool value) const {
        const uint64_t* row = &bits[size_t(y) * words];
        while (x < width) {
            uint64_t w = row[x / 64];
            if (!value)
                w = ~w;
            w >>= x % 64;
            if (w != 0)
                return std::min(width, x + std::countr_zero(w));
            x = (x / 64 + 1) * 64;
        }
        return width;
    }
};

namespace {

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
        if (have && runs.sink)
            runs.sink(cur, curOn);
        else if (have)
            (curOn ? runs.on : runs.off).push_back(cur);
        have = false;
    };
    // The minor step of pixel i is (2 * i * m + n - 1 + tieUp) / (2 * n), rounded down; it is
    // carried from pixel to pixel (m <= n, so it grows by at most one).
    int64_t stepQ = 0, stepR = 0;
    if (lo <= hi) {
        const int64_t first = 2 * lo * m + n - 1 + tieUp;
        stepQ = first / (2 * n);
        stepR = first % (2 * n);
    }
    for (int64_t i = lo; i <= hi; ++i) {
        const int64_t mj = major0 + smaj * i;
        const int64_t mn = minor0 + smin * stepQ;
        stepR += 2 * m;
        if (stepR >= 2 * n) {
            stepR -= 2 * n;
            ++stepQ;
        }
        if (mn < 0 || mn >= minLimit)
            continue;
        const int px = int(xMajor ? mj : mn), py = int(xMajor ? mn : mj);
        if (runs.mask) {
            runs.mask->Set(px, py);
            continue;
        }
        const bool on = runs.IsOn(runs.dashPos + i);
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
} // namespace

void detail::RasterFigures(const PlayerState& s, const PathData& f, LineRuns& runs) {
    for (const Polyline& pl : FlattenFigures(f)) {
        const size_t n = pl.points.size();
        auto at = [&](size_t i) {
            const PointD p = pl.points[i % n];
            return PointL{int32_t(std::lround(ClampCoord(p.x))),
                          int32_t(std::lround(ClampCoord(p.y)))};
        };
        for (size_t i = 0; i + 1 < n; ++i)
            RasterLine(at(i), at(i + 1), s.width, s.height, runs);
        if (pl.closed && n > 1)
            RasterLine(at(n - 1), at(0), s.width, s.height, runs);
    }
}

namespace {

// Mix modes where setting a pixel again changes nothing, so a stroke's pixels may be
// gathered first and each set once.
bool RepeatsAsOnce(uint32_t rop) {
    // Not: ~(P|D), P&~D, ~D, P^D, ~(P&D), ~(P^D), P|~D.
    constexpr uint32_t kChangeAgain =
        (1u << 2) | (1u << 5) | (1u << 6) | (1u << 7) | (1u << 8) | (1u << 10) | (1u << 14);
    return rop > 31 || ((kChangeAgain >> rop) & 1) == 0;
}

// The surface box the figures' points span, and the pixels their one-pixel lines may set.
struct StrokeExtent {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    double pixels = 0;
};

StrokeExtent ExtentOf(const PlayerState& s, const PathData& f) {
    double l = HUGE_VAL, t = HUGE_VAL, r = -HUGE_VAL, b = -HUGE_VAL, pixels = 0;
    for (size_t i = 0; i < f.points.size(); ++i) {
        const PointD p = f.points[i];
        l = std::min(l, p.x), r = std::max(r, p.x), t = std::min(t, p.y), b = std::max(b, p.y);
        if (i > 0)
            pixels +=
                std::max(std::fabs(p.x - f.points[i - 1].x), std::fabs(p.y - f.points[i - 1].y));
    }
    const auto clampTo = [](double v, int limit) {
        return v == v ? int(std::clamp(v, 0.0, double(limit))) : 0;
    };
    return {clampTo(std::floor(l), s.width), clampTo(std::floor(t), s.height),
            clampTo(std::ceil(r) + 1, s.width), clampTo(std::ceil(b) + 1, s.height), pixels};
}

// A stroke of many long lines (hundreds of thousands across the picture) sets the same pixels
// over and over, each in a different row of a surface too large for the cache. Gathered as
// bits first, each pixel is set once. Only worth it where the lines are dense in their box.
bool StrokeThroughMask(PlayerState& s, const PathData& f, uint32_t pixel) {
    const StrokeExtent e = ExtentOf(s, f);
    const double area = double(e.x1 - e.x0) * double(e.y1 - e.y0);
    if (!RepeatsAsOnce(s.dc.rop2) || area <= 0 || !(e.pixels >= 16384) || e.pixels * 16 < area)
        return false;
    detail::PixelMask mask(e.x0, e.y0, e.x1, e.y1);
    LineRuns runs;
    runs.mask = &mask;
    RasterFigures(s, f, runs);
    detail::PixelRunPainter painter(s);
    for (int y = 0; y < mask.height; ++y)
        for (int x = mask.Next(y, 0, true); x < mask.width;) {
            const int end = mask.Next(y, x, false);
            painter.Paint({mask.left + x, mask.top + y, end - x, 1}, pixel);
            x = mask.Next(y, end, true);
        }
    return true;
}

void StrokeCosmetic(PlayerState& s, const PathData& f, const Pen& pen) {
    const std::vector<double> dash = DashPattern(s, pen, 1);
    if (dash.empty() && StrokeThroughMask(s, f, ColorPixel(pen.color)))
        return;
    LineRuns runs;
    if (!dash.empty()) {
        runs.dash = &dash;
        for (double v : dash)
            runs.dashTotal += v;
    }
    // Runs are set as they are found; the mix mode applies to each pixel of each line.
    const bool paintGaps = s.dc.bkMode == BK_OPAQUE && (pen.style & PS_STYLE_MASK) != PS_ALTERNATE;
    const uint32_t onPixel = ColorPixel(pen.color), gapPixel = ColorPixel(s.dc.bkColor);
    detail::PixelRunPainter painter(s);
    runs.sink = [&](const cairo_rectangle_int_t& r, bool on) {
        if (on || paintGaps)
            painter.Paint(r, on ? onPixel : gapPixel);
    };
    RasterFigures(s, f, runs);
}

} // namespace

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

// Charges a wide line as its length times its width (control points bound a curve's length),
// each segment at most the whole surface.
void ChargeWideLine(PlayerState& s, const PathData& f, int width) {
    const double surface = double(s.width) * s.height;
    for (size_t i = 1; i < f.points.size(); ++i) {
        const double length =
            std::hypot(f.points[i].x - f.points[i - 1].x, f.points[i].y - f.points[i - 1].y);
        const double pixels = std::min((length + width) * (width + 1.0), surface);
        if (pixels > 0) // NaN points charge nothing
            s.ChargeWork(static_cast<uint64_t>(pixels));
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
    ChargeWideLine(s, f, width);
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
    // Joins reach at most the miter limit times half the width beyond a point, caps less.
    cairo_rectangle_int_t bounds;
    const bool bounded =
        FigureBounds(f, double(width) * std::max(2.0, s.dc.miterLimit) + 2.0, bounds);
    PaintWithRop(
        s,
        [&](cairo_t* c) {
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
        },
        bounded ? &bounds : nullptr);
}

} // namespace qm::emf
