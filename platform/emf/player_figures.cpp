// Building and flattening of figures: the system's own flattening of curves on whole pixels.
#include <algorithm>
#include <cmath>

#include "platform/emf/player_render.h"
#include "platform/emf/player_render_detail.h"

namespace qm::emf {

using detail::ClampCoord;
using detail::Integral;

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

constexpr size_t kMaxFlatPoints = size_t{1} << 22;

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
        return PointD{ClampCoord(f.points[i].x) + offset, ClampCoord(f.points[i].y) + offset};
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

} // namespace qm::emf
