#include "platform/emfplus/emfplus_limits.h"

#include <algorithm>
#include <cmath>

namespace qm::emfplus {

namespace {

struct Pt {
    double x = 0, y = 0;
};

Pt Mid(Pt a, Pt b) {
    return {(a.x + b.x) / 2, (a.y + b.y) / 2};
}

struct Hull {
    double x0, y0, x1, y1;
    double Size() const { return std::max(x1 - x0, y1 - y0); }
    bool Meets(const DeviceBox& b) const {
        return x1 >= b.x0 && x0 <= b.x1 && y1 >= b.y0 && y0 <= b.y1;
    }
};

Hull HullOf(const Pt (&p)[4]) {
    Hull h{p[0].x, p[0].y, p[0].x, p[0].y};
    for (const Pt& q : p) {
        h.x0 = std::min(h.x0, q.x), h.x1 = std::max(h.x1, q.x);
        h.y0 = std::min(h.y0, q.y), h.y1 = std::max(h.y1, q.y);
    }
    return h;
}

// What cairo's flattening of a curve about size pixels across costs: its segments grow with
// the square root of the size at the default tolerance.
uint64_t CurveWork(double size) {
    return kSegmentWork * uint64_t(1 + 2 * std::sqrt(std::max(size, 0.0)));
}

// Curves smaller than this are left to cairo as they are, wherever they lie.
double LargeCurve(const DeviceBox& box) {
    return std::max(4096.0, 2 * std::max(box.x1 - box.x0, box.y1 - box.y0));
}

void EmitCurve(cairo_t* cr, const Pt (&p)[4], const DeviceBox& box, double large, int depth,
               uint64_t& work) {
    const Hull h = HullOf(p);
    if (!h.Meets(box)) { // the curve and its chord lie outside alike
        cairo_line_to(cr, p[3].x, p[3].y);
        work += kSegmentWork;
        return;
    }
    if (h.Size() <= large || depth >= 48) {
        cairo_curve_to(cr, p[1].x, p[1].y, p[2].x, p[2].y, p[3].x, p[3].y);
        work += CurveWork(h.Size());
        return;
    }
    // Halves (de Casteljau); only those near the box keep their curve.
    const Pt a = Mid(p[0], p[1]), b = Mid(p[1], p[2]), c = Mid(p[2], p[3]);
    const Pt d = Mid(a, b), e = Mid(b, c), m = Mid(d, e);
    const Pt left[4] = {p[0], a, d, m}, right[4] = {m, e, c, p[3]};
    EmitCurve(cr, left, box, large, depth + 1, work);
    EmitCurve(cr, right, box, large, depth + 1, work);
}

// Calls f(type, points) for each element of a path; points has 1 (move, line), 3 (curve) or 0
// (close) entries.
template <typename F> void ForEachElement(const cairo_path_t* path, F&& f) {
    for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
        const cairo_path_data_t* d = &path->data[i];
        Pt pts[3];
        const int n = d->header.type == CAIRO_PATH_CURVE_TO     ? 3
                      : d->header.type == CAIRO_PATH_CLOSE_PATH ? 0
                                                                : 1;
        if (d->header.length < n + 1)
            return;
        for (int k = 0; k < n; ++k)
            pts[k] = {d[k + 1].point.x, d[k + 1].point.y};
        f(d->header.type, pts);
    }
}

} // namespace

uint64_t BoundPathToBox(cairo_t* cr, const DeviceBox& box) {
    cairo_matrix_t saved;
    cairo_get_matrix(cr, &saved);
    cairo_identity_matrix(cr);
    cairo_path_t* path = cairo_copy_path(cr);
    const double large = LargeCurve(box);
    uint64_t work = 0;
    bool rewrite = false;
    Pt current;
    ForEachElement(path, [&](cairo_path_data_type_t type, const Pt* p) {
        if (type == CAIRO_PATH_CURVE_TO) {
            const Pt q[4] = {current, p[0], p[1], p[2]};
            const double size = HullOf(q).Size();
            rewrite = rewrite || size > large;
            work += CurveWork(size);
            current = p[2];
        } else {
            work += kSegmentWork;
            if (type != CAIRO_PATH_CLOSE_PATH)
                current = p[0];
        }
    });
    if (rewrite) {
        work = 0;
        cairo_new_path(cr);
        ForEachElement(path, [&](cairo_path_data_type_t type, const Pt* p) {
            switch (type) {
            case CAIRO_PATH_MOVE_TO:
                cairo_move_to(cr, p[0].x, p[0].y);
                break;
            case CAIRO_PATH_LINE_TO:
                cairo_line_to(cr, p[0].x, p[0].y);
                break;
            case CAIRO_PATH_CURVE_TO: {
                double x = 0, y = 0;
                cairo_get_current_point(cr, &x, &y);
                const Pt q[4] = {{x, y}, p[0], p[1], p[2]};
                EmitCurve(cr, q, box, large, 0, work);
                break;
            }
            case CAIRO_PATH_CLOSE_PATH:
                cairo_close_path(cr);
                break;
            }
            work += kSegmentWork;
        });
    }
    cairo_path_destroy(path);
    cairo_set_matrix(cr, &saved);
    return work;
}

double DashCount(cairo_t* cr, const std::vector<double>& dashes) {
    double period = 0;
    for (double d : dashes)
        period += d;
    if (!(period > 0))
        return 0;
    cairo_path_t* path = cairo_copy_path(cr);
    double length = 0;
    Pt current, start;
    ForEachElement(path, [&](cairo_path_data_type_t type, const Pt* p) {
        Pt to = type == CAIRO_PATH_CLOSE_PATH ? start : type == CAIRO_PATH_CURVE_TO ? p[2] : p[0];
        if (type == CAIRO_PATH_CURVE_TO)
            length += std::hypot(p[0].x - current.x, p[0].y - current.y) +
                      std::hypot(p[1].x - p[0].x, p[1].y - p[0].y) +
                      std::hypot(p[2].x - p[1].x, p[2].y - p[1].y);
        else if (type != CAIRO_PATH_MOVE_TO)
            length += std::hypot(to.x - current.x, to.y - current.y);
        if (type == CAIRO_PATH_MOVE_TO)
            start = to;
        current = to;
    });
    cairo_path_destroy(path);
    return length / period * double(dashes.size());
}

uint64_t StrokeDashedWithin(cairo_t* cr, const DeviceBox& box, const std::vector<double>& dashes,
                            double offset) {
    double period = 0;
    for (double d : dashes)
        period += d;
    cairo_matrix_t ctm;
    cairo_get_matrix(cr, &ctm);
    cairo_path_t* flat = cairo_copy_path_flat(cr); // user units
    cairo_new_path(cr);

    // Runs of the figures inside the box, with their distance from their figure's start.
    struct Run {
        std::vector<Pt> points;
        double start = 0;
        bool closed = false;
    };
    std::vector<Run> runs;
    std::vector<Pt> figure;
    bool figureClosed = false;
    auto device = [&](Pt p) {
        cairo_matrix_transform_point(&ctm, &p.x, &p.y);
        return p;
    };
    auto finishFigure = [&] {
        const size_t n = figure.size();
        const size_t segments = figureClosed ? n : (n ? n - 1 : 0);
        const size_t firstRun = runs.size();
        bool open = false, clipped = false;
        double s = 0;
        for (size_t i = 0; i < segments; ++i) {
            const Pt a = figure[i], b = figure[(i + 1) % n];
            const double len = std::hypot(b.x - a.x, b.y - a.y);
            double t0, t1;
            const Pt da = device(a), db = device(b);
            if (!ClipSegmentToBox(da.x, da.y, db.x, db.y, box, t0, t1)) {
                open = false;
                clipped = true;
                s += len;
                continue;
            }
            const Pt pa{a.x + t0 * (b.x - a.x), a.y + t0 * (b.y - a.y)};
            const Pt pb{a.x + t1 * (b.x - a.x), a.y + t1 * (b.y - a.y)};
            if (!open || t0 > 0) {
                runs.push_back({{pa}, s + t0 * len, false});
                clipped = clipped || t0 > 0;
            }
            runs.back().points.push_back(pb);
            open = t1 >= 1;
            clipped = clipped || !open;
            s += len;
        }
        if (figureClosed && !clipped && runs.size() == firstRun + 1)
            runs.back().closed = true;
        figure.clear();
        figureClosed = false;
    };
    ForEachElement(flat, [&](cairo_path_data_type_t type, const Pt* p) {
        if (type == CAIRO_PATH_MOVE_TO) {
            finishFigure();
            figure.push_back(p[0]);
        } else if (type == CAIRO_PATH_LINE_TO) {
            figure.push_back(p[0]);
        } else if (type == CAIRO_PATH_CLOSE_PATH) {
            figureClosed = true;
            const Pt start = figure.empty() ? Pt{} : figure.front();
            finishFigure();
            figure.push_back(start); // cairo continues from the figure's start
        }
    });
    finishFigure();
    cairo_path_destroy(flat);

    uint64_t work = 0;
    for (const Run& run : runs) {
        cairo_new_path(cr);
        cairo_move_to(cr, run.points[0].x, run.points[0].y);
        double length = 0;
        for (size_t i = 1; i < run.points.size(); ++i) {
            cairo_line_to(cr, run.points[i].x, run.points[i].y);
            length += std::hypot(run.points[i].x - run.points[i - 1].x,
                                 run.points[i].y - run.points[i - 1].y);
        }
        if (run.closed)
            cairo_close_path(cr);
        cairo_set_dash(cr, dashes.data(), int(dashes.size()), offset + run.start);
        cairo_stroke(cr);
        work += kSegmentWork * (run.points.size() + uint64_t(length / period * dashes.size()));
    }
    return work;
}

bool MeshTooLarge(double extent, const DeviceBox& box) {
    return !(extent <= LargeCurve(box));
}

std::vector<ShadedTriangle> SplitTrianglesToBox(std::vector<ShadedTriangle> triangles,
                                                const DeviceBox& box) {
    const double large = LargeCurve(box);
    constexpr size_t kMaxTriangles = 1 << 20;
    std::vector<ShadedTriangle> out;
    while (!triangles.empty()) {
        const ShadedTriangle t = triangles.back();
        triangles.pop_back();
        Hull h{t[0].x, t[0].y, t[0].x, t[0].y};
        for (const ShadedCorner& c : t) {
            h.x0 = std::min(h.x0, c.x), h.x1 = std::max(h.x1, c.x);
            h.y0 = std::min(h.y0, c.y), h.y1 = std::max(h.y1, c.y);
        }
        if (!h.Meets(box))
            continue;
        if (h.Size() <= large || out.size() + triangles.size() >= kMaxTriangles) {
            out.push_back(t);
            continue;
        }
        // Halve the longest side.
        size_t k = 0;
        double longest = -1;
        for (size_t i = 0; i < 3; ++i) {
            const ShadedCorner &p = t[i], &q = t[(i + 1) % 3];
            const double d = std::hypot(q.x - p.x, q.y - p.y);
            if (d > longest)
                longest = d, k = i;
        }
        const ShadedCorner &p = t[k], &q = t[(k + 1) % 3], &o = t[(k + 2) % 3];
        const ShadedCorner m{(p.x + q.x) / 2, (p.y + q.y) / 2, (p.r + q.r) / 2,
                             (p.g + q.g) / 2, (p.b + q.b) / 2, (p.a + q.a) / 2};
        triangles.push_back({p, m, o});
        triangles.push_back({m, q, o});
    }
    return out;
}

bool ClipSegmentToBox(double ax, double ay, double bx, double by, const DeviceBox& box, double& t0,
                      double& t1) {
    t0 = 0, t1 = 1;
    const double dx = bx - ax, dy = by - ay;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {ax - box.x0, box.x1 - ax, ay - box.y0, box.y1 - ay};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    return t0 <= t1;
}

} // namespace qm::emfplus
