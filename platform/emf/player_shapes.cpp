#include "platform/emf/player_shapes.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

#include "platform/emf/player_render.h"

namespace qm::emf {

namespace {

constexpr double kPi = std::numbers::pi;

bool AxisAligned(const XForm& t) {
    return std::fabs(t.m12) < 1e-9 && std::fabs(t.m21) < 1e-9;
}

// The unit circle mapped onto an ellipse: centre plus two axis vectors (device space).
struct EllipseMap {
    PointD c, u, v;
    PointD At(double a) const {
        return {c.x + u.x * std::cos(a) + v.x * std::sin(a),
                c.y + u.y * std::cos(a) + v.y * std::sin(a)};
    }
    PointD Tangent(double a) const {
        return {-u.x * std::sin(a) + v.x * std::cos(a), -u.y * std::sin(a) + v.y * std::cos(a)};
    }
    // Angle on the unit circle of the ray from the centre through p (device).
    double AngleOf(PointD p) const {
        const double det = u.x * v.y - u.y * v.x;
        if (std::fabs(det) < 1e-12)
            return 0;
        const double dx = p.x - c.x, dy = p.y - c.y;
        const double cu = (dx * v.y - dy * v.x) / det, cv = (u.x * dy - u.y * dx) / det;
        return std::atan2(cv, cu);
    }
    double Orientation() const { return u.x * v.y - u.y * v.x; }
};

// Device box of a logical box for the axis-aligned case. Rectangles include their right and
// bottom edge during playback; curved shapes leave them out.
struct DeviceBox {
    double l, t, r, b;
};
DeviceBox MakeDeviceBox(const PlayerState& s, const RectL& box, bool curved = true) {
    const PointD a = s.ToDeviceRounded({double(box.left), double(box.top)});
    const PointD c = s.ToDeviceRounded({double(box.right), double(box.bottom)});
    DeviceBox d{std::min(a.x, c.x), std::min(a.y, c.y), std::max(a.x, c.x), std::max(a.y, c.y)};
    if (curved) {
        d.r -= 1;
        d.b -= 1;
    }
    const Pen& pen = s.dc.pen;
    // Inside-frame pens shrink the box by their width; only geometric pens do.
    if ((pen.style & PS_STYLE_MASK) == PS_INSIDEFRAME && (pen.style & PS_GEOMETRIC) &&
        !pen.IsNull()) {
        const int w = std::max(1, int(std::lround(s.DeviceWidth(pen.width))));
        if (w > 1) {
            d.l += w / 2;
            d.t += w / 2;
            d.r -= (w - 1) / 2;
            d.b -= (w - 1) / 2;
        }
    }
    if (d.r < d.l)
        d.r = d.l;
    if (d.b < d.t)
        d.b = d.t;
    return d;
}

EllipseMap MapForBox(const PlayerState& s, const RectL& box) {
    const XForm t = s.LogicalToDevice();
    if (AxisAligned(t)) {
        const DeviceBox d = MakeDeviceBox(s, box);
        return {{(d.l + d.r) / 2, (d.t + d.b) / 2}, {(d.r - d.l) / 2, 0}, {0, (d.b - d.t) / 2}};
    }
    const double cx = (double(box.left) + box.right) / 2, cy = (double(box.top) + box.bottom) / 2;
    const double rx = (double(box.right) - box.left) / 2, ry = (double(box.bottom) - box.top) / 2;
    const PointD c = t.Apply({cx, cy});
    const PointD px = t.Apply({cx + rx, cy}), py = t.Apply({cx, cy + ry});
    return {c, {px.x - c.x, px.y - c.y}, {py.x - c.x, py.y - c.y}};
}

// Appends the arc from angle a0 by sweep (radians, unit-circle space) as Beziers.
void AppendArc(PathData& f, const EllipseMap& e, double a0, double sweep) {
    const int n = std::max(1, int(std::ceil(std::fabs(sweep) / (kPi / 2) - 1e-9)));
    const double step = sweep / n;
    const double k = 4.0 / 3.0 * std::tan(step / 4);
    for (int i = 0; i < n; ++i) {
        const double a = a0 + step * i, b = a + step;
        const PointD p0 = e.At(a), p1 = e.At(b), t0 = e.Tangent(a), t1 = e.Tangent(b);
        FigBezierTo(f, {p0.x + k * t0.x, p0.y + k * t0.y}, {p1.x - k * t1.x, p1.y - k * t1.y}, p1);
    }
}

// Sweep from a0 to a1 in the DC's arc direction, as seen on the device (y down).
double SweepBetween(const PlayerState& s, const EllipseMap& e, double a0, double a1) {
    const bool clockwise = s.dc.arcDirection == AD_CLOCKWISE;
    // Increasing unit angles turn clockwise on a y-down device when the map keeps orientation.
    const bool unitIncreasing = clockwise == (e.Orientation() > 0);
    double d = a1 - a0;
    if (unitIncreasing) {
        while (d <= 1e-12)
            d += 2 * kPi;
        while (d > 2 * kPi + 1e-12)
            d -= 2 * kPi;
    } else {
        while (d >= -1e-12)
            d -= 2 * kPi;
        while (d < -2 * kPi - 1e-12)
            d += 2 * kPi;
    }
    return d;
}

bool Finite(PointD p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

} // namespace

PathData RectangleFigure(const PlayerState& s, const RectL& box) {
    PathData f;
    const XForm t = s.LogicalToDevice();
    if (AxisAligned(t)) {
        const DeviceBox d = MakeDeviceBox(s, box, false);
        FigMoveTo(f, {d.l, d.t});
        FigLineTo(f, {d.r, d.t});
        FigLineTo(f, {d.r, d.b});
        FigLineTo(f, {d.l, d.b});
    } else {
        FigMoveTo(f, s.ToDeviceRounded({double(box.left), double(box.top)}));
        FigLineTo(f, s.ToDeviceRounded({double(box.right), double(box.top)}));
        FigLineTo(f, s.ToDeviceRounded({double(box.right), double(box.bottom)}));
        FigLineTo(f, s.ToDeviceRounded({double(box.left), double(box.bottom)}));
    }
    FigClose(f);
    return f;
}

PathData EllipseFigure(const PlayerState& s, const RectL& box) {
    PathData f;
    const EllipseMap e = MapForBox(s, box);
    if (!Finite(e.c) || !Finite(e.u) || !Finite(e.v))
        return f;
    FigMoveTo(f, e.At(0));
    AppendArc(f, e, 0, e.Orientation() >= 0 ? -2 * kPi : 2 * kPi);
    FigClose(f);
    return f;
}

namespace {

// The outline pixels of a w x h box whose corners are quarters of an ew x eh ellipse, joined
// by straight edges (ew = w, eh = h: an ellipse), as rows of runs.
void RoundedRows(int32_t left, int32_t top, int64_t w, int64_t h, int64_t ew, int64_t eh,
                 std::vector<EllipseRow>& rows) {
    std::vector<std::vector<int64_t>> xs(static_cast<size_t>(h));
    auto put = [&](int64_t x, int64_t y) {
        if (y >= 0 && y < h)
            xs[size_t(y)].push_back(x);
    };
    // One quadrant of the corner ellipse by the integer midpoint walk (after A. Zingl), from
    // the rightmost point of its middle row down to its bottom; the others are its mirror
    // images, moved out to the box's corners.
    const int64_t a = ew - 1, b = eh - 1;
    const int64_t asq = 8 * a * a, bsq = 8 * b * b;
    int64_t dx = 4 * b * b * (1 - a), dy = 4 * a * a * (1 + b % 2);
    int64_t err = dx + dy + a * a * (b % 2);
    int64_t x = a, y = eh / 2;
    for (int64_t guard = 0; x >= ew / 2 && guard <= ew + eh; ++guard) {
        put(x + (w - ew), y + (h - eh));
        put(a - x, y + (h - eh));
        put(x + (w - ew), b - y);
        put(a - x, b - y);
        const int64_t e2 = 2 * err;
        if (e2 >= dx) {
            --x;
            dx += bsq;
            err += dx;
        }
        if (e2 <= dy) {
            ++y;
            dy += asq;
            err += dy;
        }
    }
    if (ew != w || eh != h) {
        for (int64_t k = ew / 2; k <= w - ew + ew / 2; ++k) {
            put(k, 0);
            put(k, h - 1);
        }
        for (int64_t k = eh / 2; k <= h - eh + eh / 2; ++k) {
            put(0, k);
            put(w - 1, k);
        }
    }
    rows.clear();
    rows.reserve(size_t(h));
    for (int64_t row = 0; row < h; ++row) {
        std::vector<int64_t>& v = xs[size_t(row)];
        if (v.empty())
            continue;
        std::sort(v.begin(), v.end());
        v.erase(std::unique(v.begin(), v.end()), v.end());
        size_t l1 = 0, r0 = v.size() - 1;
        while (l1 + 1 < v.size() && v[l1 + 1] == v[l1] + 1)
            ++l1;
        while (r0 > 0 && v[r0 - 1] == v[r0] - 1)
            --r0;
        EllipseRow er;
        er.y = top + int32_t(row);
        er.left0 = left + int32_t(v.front());
        er.left1 = left + int32_t(v[l1]);
        er.right0 = left + int32_t(v[r0]);
        er.right1 = left + int32_t(v.back());
        rows.push_back(er);
    }
}

} // namespace

bool EllipsePixels(const PlayerState& s, const RectL& box, std::vector<EllipseRow>& rows) {
    if (!AxisAligned(s.LogicalToDevice()))
        return false;
    const DeviceBox d = MakeDeviceBox(s, box);
    const double w = d.r - d.l + 1, h = d.b - d.t + 1;
    if (!(w >= 2 && h >= 2 && w <= 65536 && h <= 65536))
        return false;
    RoundedRows(int32_t(d.l), int32_t(d.t), int64_t(w), int64_t(h), int64_t(w), int64_t(h), rows);
    return true;
}

bool EllipseIsRectangle(const PlayerState& s, const RectL& box) {
    if (!AxisAligned(s.LogicalToDevice()))
        return false;
    const DeviceBox d = MakeDeviceBox(s, box);
    return d.r - d.l + 1 <= 2 || d.b - d.t + 1 <= 2;
}

bool RoundRectIsRectangle(const PlayerState& s, PointL corner) {
    const XForm t = s.LogicalToDevice();
    return AxisAligned(t) && (std::round(std::fabs(corner.x * t.m11)) <= 2 ||
                              std::round(std::fabs(corner.y * t.m22)) <= 2);
}

bool RoundRectPixels(const PlayerState& s, const RectL& box, PointL corner,
                     std::vector<EllipseRow>& rows) {
    const XForm t = s.LogicalToDevice();
    if (!AxisAligned(t))
        return false;
    const DeviceBox d = MakeDeviceBox(s, box);
    const double w = d.r - d.l + 1, h = d.b - d.t + 1;
    const double ew = std::min(std::round(std::fabs(corner.x * t.m11)), w);
    const double eh = std::min(std::round(std::fabs(corner.y * t.m22)), h);
    if (!(w >= 2 && h >= 2 && w <= 65536 && h <= 65536 && ew > 2 && eh > 2))
        return false;
    RoundedRows(int32_t(d.l), int32_t(d.t), int64_t(w), int64_t(h), int64_t(ew), int64_t(eh), rows);
    return true;
}

PathData RoundRectFigure(const PlayerState& s, const RectL& box, PointL corner) {
    const XForm t = s.LogicalToDevice();
    if (!AxisAligned(t)) {
        // Rotated: build in logical space, then map every control point.
        const RectL b{std::min(box.left, box.right), std::min(box.top, box.bottom),
                      std::max(box.left, box.right), std::max(box.top, box.bottom)};
        PathData f;
        const double rx = std::min(std::fabs(double(corner.x)), double(b.right) - b.left) / 2;
        const double ry = std::min(std::fabs(double(corner.y)), double(b.bottom) - b.top) / 2;
        const double k = 0.5522847498;
        auto P = [&](double x, double y) { return t.Apply({x, y}); };
        FigMoveTo(f, P(b.right - rx, b.top));
        FigBezierTo(f, P(b.right - rx + k * rx, b.top), P(b.right, b.top + ry - k * ry),
                    P(b.right, b.top + ry));
        FigLineTo(f, P(b.right, b.bottom - ry));
        FigBezierTo(f, P(b.right, b.bottom - ry + k * ry), P(b.right - rx + k * rx, b.bottom),
                    P(b.right - rx, b.bottom));
        FigLineTo(f, P(b.left + rx, b.bottom));
        FigBezierTo(f, P(b.left + rx - k * rx, b.bottom), P(b.left, b.bottom - ry + k * ry),
                    P(b.left, b.bottom - ry));
        FigLineTo(f, P(b.left, b.top + ry));
        FigBezierTo(f, P(b.left, b.top + ry - k * ry), P(b.left + rx - k * rx, b.top),
                    P(b.left + rx, b.top));
        FigClose(f);
        return f;
    }
    const DeviceBox d = MakeDeviceBox(s, box);
    const double cw = std::fabs(corner.x * t.m11), ch = std::fabs(corner.y * t.m22);
    const double rx = std::min(std::round(cw), d.r - d.l) / 2;
    const double ry = std::min(std::round(ch), d.b - d.t) / 2;
    PathData f;
    if (!(rx >= 0) || !(ry >= 0))
        return f;
    const EllipseMap tr{{d.r - rx, d.t + ry}, {rx, 0}, {0, ry}};
    const EllipseMap br{{d.r - rx, d.b - ry}, {rx, 0}, {0, ry}};
    const EllipseMap bl{{d.l + rx, d.b - ry}, {rx, 0}, {0, ry}};
    const EllipseMap tl{{d.l + rx, d.t + ry}, {rx, 0}, {0, ry}};
    FigMoveTo(f, {d.r - rx, d.t});
    AppendArc(f, tr, -kPi / 2, kPi / 2);
    FigLineTo(f, {d.r, d.b - ry});
    AppendArc(f, br, 0, kPi / 2);
    FigLineTo(f, {d.l + rx, d.b});
    AppendArc(f, bl, kPi / 2, kPi / 2);
    FigLineTo(f, {d.l, d.t + ry});
    AppendArc(f, tl, kPi, kPi / 2);
    FigClose(f);
    return f;
}

PathData ArcFigure(const PlayerState& s, const RectL& box, PointL start, PointL end, ArcKind kind,
                   PointD* arcEnd) {
    PathData f;
    const EllipseMap e = MapForBox(s, box);
    if (!Finite(e.c) || !Finite(e.u) || !Finite(e.v))
        return f;
    const double a0 = e.AngleOf(s.ToDevice({double(start.x), double(start.y)}));
    const double a1 = e.AngleOf(s.ToDevice({double(end.x), double(end.y)}));
    const double sweep = SweepBetween(s, e, a0, a1);
    const PointD p0 = e.At(a0);
    if (kind == ArcKind::ArcTo) {
        FigMoveTo(f, s.ToDeviceRounded(s.dc.currentPos));
        FigLineTo(f, p0);
    } else if (kind == ArcKind::Pie) {
        FigMoveTo(f, e.c);
        FigLineTo(f, p0);
    } else {
        FigMoveTo(f, p0);
    }
    AppendArc(f, e, a0, sweep);
    if (kind == ArcKind::Chord || kind == ArcKind::Pie)
        FigClose(f);
    if (arcEnd)
        *arcEnd = e.At(a0 + sweep);
    return f;
}

PathData AngleArcFigure(const PlayerState& s, PointL center, double radius, double startDeg,
                        double sweepDeg, PointD* arcEnd) {
    PathData f;
    const XForm t = s.LogicalToDevice();
    const PointD c = t.Apply({double(center.x), double(center.y)});
    const PointD px = t.Apply({center.x + radius, double(center.y)});
    const PointD py = t.Apply({double(center.x), center.y - radius});
    // Unit angles run counter-clockwise in logical space (y measured upwards).
    const EllipseMap e{c, {px.x - c.x, px.y - c.y}, {py.x - c.x, py.y - c.y}};
    const double a0 = startDeg * kPi / 180,
                 sweep = std::clamp(sweepDeg, -3600.0, 3600.0) * kPi / 180;
    if (!std::isfinite(a0) || !std::isfinite(sweep) || !Finite(e.c))
        return f;
    FigMoveTo(f, s.ToDeviceRounded(s.dc.currentPos));
    FigLineTo(f, e.At(a0));
    if (sweep != 0)
        AppendArc(f, e, a0, sweep);
    if (arcEnd)
        *arcEnd = e.At(a0 + sweep);
    return f;
}

} // namespace qm::emf
