#include "platform/emfplus/emfplus_stroke_geom.h"

#include <algorithm>
#include <cmath>

namespace qm::emfplus {

namespace {

double Distance(PointF a, PointF b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

PointF Lerp(PointF a, PointF b, double t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

// Walks the dash pattern along figures, keeping the pattern's place between segments.
class Dasher {
public:
    Dasher(const std::vector<double>& pattern, double offset, size_t maxDashes)
        : m_pattern(pattern), m_maxDashes(maxDashes) {
        for (double d : pattern)
            m_period += d;
        m_offset = std::fmod(offset, m_period);
        if (m_offset < 0)
            m_offset += m_period;
    }

    // A closed figure has no ends of its own: its first and last dashes end in dash caps.
    void StartFigure(bool closed) {
        Close(false);
        m_index = 0;
        m_left = m_pattern[0];
        Advance(m_offset);
        m_atFigureStart = !closed;
        m_closed = closed;
    }
    // Moves along without drawing (a part outside the box).
    void Skip(double length) {
        Close(false);
        Advance(length);
        m_atFigureStart = false;
    }
    // Draws along segment a-b.
    void Segment(PointF a, PointF b) {
        const double len = Distance(a, b);
        double done = 0;
        while (done < len && m_complete) {
            const double step = std::min(m_left, len - done);
            if (On()) {
                if (!m_open)
                    Open(Lerp(a, b, done / len));
                m_current.points.push_back(Lerp(a, b, (done + step) / len));
            }
            done += step;
            m_left -= step;
            if (m_left <= 1e-9 * m_period) {
                Close(false);
                Next();
            }
            m_atFigureStart = false;
        }
    }
    void EndFigure() { Close(!m_closed); }
    std::vector<Polyline> Take() { return std::move(m_out); }
    bool Complete() const { return m_complete; }

private:
    const std::vector<double>& m_pattern;
    size_t m_maxDashes;
    double m_period = 0, m_offset = 0, m_left = 0;
    size_t m_index = 0;
    bool m_open = false, m_atFigureStart = false, m_closed = false, m_complete = true;
    Polyline m_current;
    std::vector<Polyline> m_out;

    bool On() const { return m_index % 2 == 0; }
    void Next() {
        m_index = (m_index + 1) % m_pattern.size();
        m_left = m_pattern[m_index];
    }
    void Advance(double length) {
        length = std::fmod(length, m_period);
        while (length > 0) {
            const double step = std::min(m_left, length);
            length -= step;
            m_left -= step;
            if (m_left <= 1e-9 * m_period)
                Next();
        }
    }
    void Open(PointF p) {
        if (m_out.size() >= m_maxDashes) {
            m_complete = false;
            return;
        }
        m_current = {};
        m_current.points.push_back(p);
        m_current.startsFigure = m_atFigureStart;
        m_current.endsFigure = false;
        m_open = true;
    }
    void Close(bool figureEnd) {
        if (!m_open)
            return;
        m_current.endsFigure = figureEnd;
        if (m_current.points.size() >= 2)
            m_out.push_back(std::move(m_current));
        m_current = {};
        m_open = false;
    }
};

} // namespace

std::vector<Polyline> DeviceFigures(cairo_t* cr, size_t maxPoints) {
    cairo_matrix_t saved;
    cairo_get_matrix(cr, &saved);
    cairo_identity_matrix(cr);
    cairo_path_t* path = cairo_copy_path_flat(cr);
    cairo_set_matrix(cr, &saved);
    std::vector<Polyline> out;
    size_t points = 0;
    bool tooMany = false;
    for (int i = 0; path->status == CAIRO_STATUS_SUCCESS && i < path->num_data && !tooMany;
         i += path->data[i].header.length) {
        const cairo_path_data_t* d = &path->data[i];
        switch (d->header.type) {
        case CAIRO_PATH_MOVE_TO:
            out.push_back({});
            out.back().points.push_back({d[1].point.x, d[1].point.y});
            break;
        case CAIRO_PATH_LINE_TO:
            if (out.empty() || out.back().closed) {
                // cairo continues a closed figure from its start
                const PointF start = out.empty() ? PointF{} : out.back().points.front();
                out.push_back({});
                out.back().points.push_back(start);
            }
            out.back().points.push_back({d[1].point.x, d[1].point.y});
            break;
        case CAIRO_PATH_CLOSE_PATH:
            if (!out.empty())
                out.back().closed = true;
            break;
        default:
            break;
        }
        tooMany = ++points > maxPoints;
    }
    cairo_path_destroy(path);
    if (tooMany)
        out.clear();
    return out;
}

void SnapToGrid(std::vector<Polyline>& lines, double step) {
    for (Polyline& l : lines)
        for (PointF& p : l.points) {
            p.x = std::round(p.x / step) * step;
            p.y = std::round(p.y / step) * step;
        }
}

std::vector<Polyline> DashPolylines(const std::vector<Polyline>& figures,
                                    const std::vector<double>& pattern, double offset,
                                    const DeviceBox& box, size_t maxDashes, bool& complete) {
    Dasher dasher(pattern, offset, maxDashes);
    for (const Polyline& f : figures) {
        dasher.StartFigure(f.closed);
        const size_t n = f.points.size();
        const size_t segments = f.closed ? n : n - 1;
        for (size_t i = 0; i < segments && n > 0 && dasher.Complete(); ++i) {
            const PointF a = f.points[i], b = f.points[(i + 1) % n];
            const double len = Distance(a, b);
            double t0, t1;
            if (!ClipSegmentToBox(a.x, a.y, b.x, b.y, box, t0, t1)) {
                dasher.Skip(len);
                continue;
            }
            if (t0 > 0)
                dasher.Skip(t0 * len);
            dasher.Segment(Lerp(a, b, t0), Lerp(a, b, t1));
            if (t1 < 1)
                dasher.Skip((1 - t1) * len);
        }
        dasher.EndFigure();
    }
    complete = dasher.Complete();
    return dasher.Take();
}

bool TrimPolyline(Polyline& line, double length, bool atStart) {
    auto& pts = line.points;
    if (atStart)
        std::reverse(pts.begin(), pts.end());
    while (length > 0 && pts.size() >= 2) {
        const PointF a = pts[pts.size() - 2], b = pts.back();
        const double len = Distance(a, b);
        if (len > length) {
            pts.back() = Lerp(b, a, length / len);
            length = 0;
        } else {
            pts.pop_back();
            length -= len;
        }
    }
    if (atStart)
        std::reverse(pts.begin(), pts.end());
    return pts.size() >= 2;
}

Polyline OffsetPolyline(const Polyline& line, double distance) {
    Polyline out = line;
    out.points.clear();
    const auto& p = line.points;
    const size_t n = p.size();
    if (n < 2 || distance == 0)
        return line;
    // The left normal of the segment from i to the next point that differs.
    auto normal = [&](size_t i, size_t j, PointF& nrm) {
        const double len = Distance(p[i], p[j]);
        if (!(len > 0))
            return false;
        nrm = {(p[j].y - p[i].y) / len, -(p[j].x - p[i].x) / len};
        return true;
    };
    std::vector<PointF> normals; // of segment i -> i+1 (closing segment last when closed)
    const size_t segments = line.closed ? n : n - 1;
    PointF last{0, 0};
    bool any = false;
    for (size_t i = 0; i < segments; ++i) {
        PointF nrm;
        if (normal(i, (i + 1) % n, nrm))
            last = nrm, any = true;
        normals.push_back(last);
    }
    if (!any)
        return line;
    // Segments of no length take the normal of the first one that has a length.
    for (size_t i = 0; i < segments && normals[i].x == 0 && normals[i].y == 0; ++i)
        for (const PointF& m : normals)
            if (m.x != 0 || m.y != 0) {
                normals[i] = m;
                break;
            }
    constexpr double kMaxMiter = 4;
    for (size_t i = 0; i < n; ++i) {
        const bool hasIn = line.closed || i > 0, hasOut = line.closed || i + 1 < n;
        const PointF in = hasIn ? normals[(i + segments - 1) % segments] : normals[i];
        const PointF outN = hasOut ? normals[i % segments] : in;
        const double cosine = in.x * outN.x + in.y * outN.y;
        if (1 + cosine > 2 / (kMaxMiter * kMaxMiter)) {
            const double k = distance / (1 + cosine);
            out.points.push_back({p[i].x + (in.x + outN.x) * k, p[i].y + (in.y + outN.y) * k});
        } else { // a sharp turn: bevel it
            out.points.push_back({p[i].x + in.x * distance, p[i].y + in.y * distance});
            out.points.push_back({p[i].x + outN.x * distance, p[i].y + outN.y * distance});
        }
    }
    return out;
}

std::vector<std::vector<PointF>> ClippedMiters(const Polyline& line, double halfWidth,
                                               double limit) {
    std::vector<std::vector<PointF>> out;
    const auto& p = line.points;
    const size_t n = p.size();
    if (n < 3)
        return out;
    auto unit = [](PointF a, PointF b, PointF& d) {
        const double len = Distance(a, b);
        if (!(len > 0))
            return false;
        d = {(b.x - a.x) / len, (b.y - a.y) / len};
        return true;
    };
    const size_t first = line.closed ? 0 : 1, last = line.closed ? n : n - 1;
    for (size_t i = first; i < last; ++i) {
        const PointF v = p[i], a = p[(i + n - 1) % n], b = p[(i + 1) % n];
        PointF d1, d2;
        if (!unit(a, v, d1) || !unit(v, b, d2))
            continue;
        const double cross = d1.x * d2.y - d1.y * d2.x, dot = d1.x * d2.x + d1.y * d2.y;
        // The miter's ratio to the width is 1 / cos(turn / 2).
        const double half = std::sqrt(std::max(0.0, (1 + dot) / 2));
        if (std::fabs(cross) < 1e-9 || half * limit >= 1)
            continue;
        const double side = cross > 0 ? 1 : -1; // the outside of the turn
        const PointF o1{side * d1.y, -side * d1.x}, o2{side * d2.y, -side * d2.x};
        PointF m{o1.x + o2.x, o1.y + o2.y};
        const double ml = std::hypot(m.x, m.y);
        if (ml < 1e-9)
            m = d1;
        else
            m = {m.x / ml, m.y / ml};
        const PointF A{v.x + o1.x * halfWidth, v.y + o1.y * halfWidth};
        const PointF B{v.x + o2.x * halfWidth, v.y + o2.y * halfWidth};
        const double reach = limit * halfWidth;
        const double d1m = d1.x * m.x + d1.y * m.y, d2m = d2.x * m.x + d2.y * m.y;
        const double am = (A.x - v.x) * m.x + (A.y - v.y) * m.y;
        const double bm = (B.x - v.x) * m.x + (B.y - v.y) * m.y;
        if (!(d1m > 1e-9) || !(d2m < -1e-9) || reach <= am)
            continue;
        const double ta = (reach - am) / d1m, tb = (bm - reach) / d2m;
        out.push_back(
            {v, A, {A.x + d1.x * ta, A.y + d1.y * ta}, {B.x - d2.x * tb, B.y - d2.y * tb}, B});
    }
    return out;
}

double SignedArea(const Polyline& line) {
    double a = 0;
    const auto& p = line.points;
    for (size_t i = 0; i < p.size(); ++i) {
        const PointF& u = p[i];
        const PointF& v = p[(i + 1) % p.size()];
        a += u.x * v.y - v.x * u.y;
    }
    return a;
}

bool EndDirection(const Polyline& line, bool atStart, PointF& out) {
    const auto& p = line.points;
    if (p.size() < 2)
        return false;
    const PointF end = atStart ? p.front() : p.back();
    for (size_t k = 1; k < p.size(); ++k) {
        const PointF q = atStart ? p[k] : p[p.size() - 1 - k];
        const double len = Distance(q, end);
        if (len > 0) {
            out = {(end.x - q.x) / len, (end.y - q.y) / len};
            return true;
        }
    }
    return false;
}

} // namespace qm::emfplus
