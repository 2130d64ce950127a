#include "platform/emfplus/emfplus_gradient.h"

#include <algorithm>
#include <cmath>

namespace qm::emfplus {

namespace {

// Steps a gamma-corrected blend is drawn in between two of its stops.
constexpr int kGammaSteps = 8;
// Stops of a blend used at most: more cannot be told apart, and each costs the rasteriser.
constexpr size_t kMaxBlendStops = 512;
// Points of a flattened boundary kept at most.
constexpr size_t kMaxBoundaryPoints = size_t{1} << 22;

double Channel(Argb c, int shift) {
    return double((c >> shift) & 0xFF);
}

// from and to mixed, f of the way to to, channel by channel.
Argb Mix(Argb from, Argb to, double f, bool gamma) {
    Argb out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        double v;
        if (gamma && shift < 24) {
            const double a = std::pow(Channel(from, shift) / 255.0, 2.2);
            const double b = std::pow(Channel(to, shift) / 255.0, 2.2);
            v = 255.0 * std::pow(a + (b - a) * f, 1 / 2.2);
        } else {
            v = Channel(from, shift) + (Channel(to, shift) - Channel(from, shift)) * f;
        }
        out |= Argb(std::clamp(std::lround(v), 0L, 255L)) << shift;
    }
    return out;
}

// The blend of a gradient as stops over [0, 1]: a factor (the share of the far colour: the
// end of a linear gradient, the centre of a path gradient), or for preset colours the colour.
struct RampStop {
    double t = 0;
    double factor = 0;
    Argb preset = 0;
};

struct Ramp {
    std::vector<RampStop> stops;
    bool presets = false;
    bool gamma = false;

    // The colour at stop k, for a gradient from near to far.
    Argb ColourAt(size_t k, Argb near, Argb far) const {
        return presets ? stops[k].preset : Mix(near, far, stops[k].factor, gamma);
    }
};

// Sorted stops that start at 0 and end at 1 (the end ones repeated outwards).
std::vector<RampStop> Covering(std::vector<RampStop> stops) {
    std::stable_sort(stops.begin(), stops.end(),
                     [](const RampStop& a, const RampStop& b) { return a.t < b.t; });
    if (stops.front().t > 0) {
        RampStop first = stops.front();
        first.t = 0;
        stops.insert(stops.begin(), first);
    }
    if (stops.back().t < 1) {
        RampStop last = stops.back();
        last.t = 1;
        stops.push_back(last);
    }
    return stops;
}

// At most count stops (count >= 2), the first and last kept.
void Thin(Ramp& ramp, size_t count) {
    const size_t n = ramp.stops.size();
    if (n <= count)
        return;
    std::vector<RampStop> kept;
    for (size_t i = 0; i < count; ++i)
        kept.push_back(ramp.stops[i * (n - 1) / (count - 1)]);
    ramp.stops = std::move(kept);
}

Ramp BlendRamp(const Brush& b) {
    Ramp ramp;
    ramp.gamma = b.gammaCorrected;
    if (!b.presets.empty()) {
        ramp.presets = true;
        for (const auto& [t, c] : b.presets)
            ramp.stops.push_back({t, 0, c});
    } else if (!b.blend.empty()) {
        for (const auto& [t, f] : b.blend)
            ramp.stops.push_back({t, f, 0});
    } else {
        ramp.stops = {{0, 0, 0}, {1, 1, 0}};
    }
    ramp.stops = Covering(std::move(ramp.stops));
    Thin(ramp, kMaxBlendStops);
    if (!ramp.gamma)
        return ramp;
    // In linear light a straight run between two stops is a curve: follow it in steps.
    std::vector<RampStop> fine;
    for (size_t k = 0; k + 1 < ramp.stops.size(); ++k) {
        const RampStop& a = ramp.stops[k];
        const RampStop& e = ramp.stops[k + 1];
        const int steps = e.t > a.t ? kGammaSteps : 1;
        for (int i = 0; i < steps; ++i) {
            const double f = double(i) / steps;
            fine.push_back({a.t + (e.t - a.t) * f, a.factor + (e.factor - a.factor) * f,
                            ramp.presets ? Mix(a.preset, e.preset, f, true) : 0});
        }
    }
    fine.push_back(ramp.stops.back());
    ramp.stops = std::move(fine);
    return ramp;
}

struct EdgePoint {
    PointF p;
    Argb c = 0;
};

// The boundary's figures as polygons, each point with its surround colour.
std::vector<std::vector<EdgePoint>> BoundaryFigures(const Brush& b, double tolerance) {
    const PathGeom& path = b.boundary;
    auto colourOf = [&](size_t i) {
        if (b.surround.empty())
            return b.color;
        return b.surround[std::min(i, b.surround.size() - 1)];
    };
    std::vector<std::vector<EdgePoint>> figures;
    size_t total = 0;
    bool closed = true;
    const size_t n = std::min(path.points.size(), path.types.size());
    for (size_t i = 0; i < n && total < kMaxBoundaryPoints; ++i) {
        const uint8_t type = path.types[i] & kPtTypeMask;
        if (type == kPtStart || closed || figures.empty()) {
            figures.emplace_back();
        } else if (type == kPtBezier && i + 2 < n && !figures.back().empty()) {
            // The colour runs from the curve's start to its end with the curve's parameter.
            const EdgePoint from = figures.back().back();
            const PointF c1 = path.points[i], c2 = path.points[i + 1], to = path.points[i + 2];
            const double length = std::hypot(c1.x - from.p.x, c1.y - from.p.y) +
                                  std::hypot(c2.x - c1.x, c2.y - c1.y) +
                                  std::hypot(to.x - c2.x, to.y - c2.y);
            const double want = std::ceil(std::sqrt(length / std::max(tolerance, 1e-9)));
            const int steps = std::isfinite(want) ? int(std::clamp(want, 1.0, 64.0)) : 64;
            const Argb endColour = colourOf(i + 2);
            for (int s = 1; s <= steps; ++s) {
                const double u = double(s) / steps, v = 1 - u;
                const double w0 = v * v * v, w1 = 3 * v * v * u, w2 = 3 * v * u * u, w3 = u * u * u;
                figures.back().push_back({{w0 * from.p.x + w1 * c1.x + w2 * c2.x + w3 * to.x,
                                           w0 * from.p.y + w1 * c1.y + w2 * c2.y + w3 * to.y},
                                          Mix(from.c, endColour, u, false)});
            }
            total += size_t(steps);
            i += 2;
            closed = (path.types[i] & kPtClose) != 0;
            continue;
        }
        figures.back().push_back({path.points[i], colourOf(i)});
        ++total;
        closed = (path.types[i] & kPtClose) != 0;
    }
    std::erase_if(figures, [](const auto& f) { return f.size() < 2; });
    return figures;
}

PointF Lerp(PointF a, PointF b, double t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

} // namespace

std::vector<GradientStop> LinearGradientStops(const Brush& b) {
    const Ramp ramp = BlendRamp(b);
    std::vector<GradientStop> out;
    for (size_t k = 0; k < ramp.stops.size(); ++k)
        out.emplace_back(ramp.stops[k].t, ramp.ColourAt(k, b.color, b.back));
    return out;
}

std::vector<GradientPatch> PathGradientPatches(const Brush& b, double tolerance,
                                               size_t maxPatches) {
    std::vector<GradientPatch> out;
    const auto figures = BoundaryFigures(b, tolerance);
    size_t edges = 0;
    for (const auto& f : figures)
        edges += f.size();
    if (edges == 0 || maxPatches == 0)
        return out;
    const bool focusArea = b.hasFocus && (b.focus.x > 0 || b.focus.y > 0);
    Ramp ramp = BlendRamp(b);
    // Rings per edge that fit the limit (one more for the focus area).
    const size_t perEdge = std::max<size_t>(1, maxPatches / edges);
    Thin(ramp, std::max<size_t>(2, perEdge - (focusArea ? 1 : 0) + 1));
    const PointF c = b.center;
    auto inner = [&](PointF q) {
        if (!b.hasFocus)
            return c;
        return PointF{c.x + (q.x - c.x) * b.focus.x, c.y + (q.y - c.y) * b.focus.y};
    };
    const size_t last = ramp.stops.size() - 1;
    for (const auto& figure : figures) {
        for (size_t j = 0; j < figure.size() && out.size() < maxPatches; ++j) {
            const EdgePoint& a = figure[j];
            const EdgePoint& e = figure[(j + 1) % figure.size()];
            const PointF ia = inner(a.p), ie = inner(e.p);
            for (size_t k = 0; k < last && out.size() < maxPatches; ++k) {
                const double t0 = ramp.stops[k].t, t1 = ramp.stops[k + 1].t;
                if (!(t1 > t0))
                    continue;
                out.push_back(
                    {{Lerp(a.p, ia, t0), Lerp(e.p, ie, t0), Lerp(e.p, ie, t1), Lerp(a.p, ia, t1)},
                     {ramp.ColourAt(k, a.c, b.color), ramp.ColourAt(k, e.c, b.color),
                      ramp.ColourAt(k + 1, e.c, b.color), ramp.ColourAt(k + 1, a.c, b.color)}});
            }
            if (focusArea && out.size() < maxPatches) {
                const Argb ca = ramp.ColourAt(last, a.c, b.color);
                const Argb ce = ramp.ColourAt(last, e.c, b.color);
                const Argb mid = Mix(ca, ce, 0.5, false);
                out.push_back({{ia, ie, c, c}, {ca, ce, mid, mid}});
            }
        }
    }
    return out;
}

bool PathGradientFanIsExact(const Brush& b, double tolerance) {
    const auto figures = BoundaryFigures(b, tolerance);
    if (figures.size() != 1)
        return false;
    const auto& f = figures[0];
    const PointF c = b.center;
    int sign = 0;
    double turned = 0;
    for (size_t j = 0; j < f.size(); ++j) {
        const PointF a{f[j].p.x - c.x, f[j].p.y - c.y};
        const PointF e{f[(j + 1) % f.size()].p.x - c.x, f[(j + 1) % f.size()].p.y - c.y};
        const double cross = a.x * e.y - a.y * e.x;
        const double dot = a.x * e.x + a.y * e.y;
        turned += std::atan2(cross, dot);
        if (std::fabs(cross) <= 1e-9 * (std::hypot(a.x, a.y) * std::hypot(e.x, e.y)))
            continue;
        const int s = cross > 0 ? 1 : -1;
        if (sign && s != sign)
            return false;
        sign = s;
    }
    // Once round, not twice or not at all (a centre outside turns by nothing).
    return std::fabs(std::fabs(turned) - 2 * M_PI) < 0.01;
}

RectF PathGradientBounds(const Brush& b) {
    const auto& pts = b.boundary.points;
    if (pts.empty())
        return {};
    double x0 = pts[0].x, y0 = pts[0].y, x1 = x0, y1 = y0;
    for (const PointF& q : pts) {
        x0 = std::min(x0, q.x), y0 = std::min(y0, q.y);
        x1 = std::max(x1, q.x), y1 = std::max(y1, q.y);
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

} // namespace qm::emfplus
