#include "platform/emf/polygon_scan.h"

#include <algorithm>

namespace qm::emf {

namespace {

struct Edge {
    int64_t yTop = 0, yBottom = 0; // rows yTop .. yBottom - 1
    int64_t x0 = 0, y0 = 0, dx = 0, dy = 0;
    int dir = 1; // +1 running down, -1 running up
};

int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// First pixel column at or right of the edge on row y: ceil(x0 + (y - y0) * dx / dy).
int64_t EdgeColumn(const Edge& e, int64_t y) {
    return -FloorDiv(-(e.x0 * e.dy + (y - e.y0) * e.dx), e.dy);
}

// An edge crossing the current row at column x, the first pixel column at or right of it,
// stepped from row to row without division: x * dy - rem is the edge's exact position times dy.
struct Crossing {
    int64_t x = 0, rem = 0;         // 0 <= rem < dy
    int64_t stepX = 0, stepRem = 0; // per row: dx = stepX * dy - stepRem
    int64_t dy = 1, yBottom = 0;
    int64_t row = 0; // the row x and rem refer to
    int dir = 1;

    Crossing(const Edge& e, int64_t y)
        : x(EdgeColumn(e, y)), stepX(-FloorDiv(-e.dx, e.dy)), dy(e.dy), yBottom(e.yBottom), row(y),
          dir(e.dir) {
        rem = x * e.dy - (e.x0 * e.dy + (y - e.y0) * e.dx);
        stepRem = stepX * e.dy - e.dx;
    }
    void NextRow() {
        ++row;
        x += stepX;
        rem += stepRem;
        if (rem >= dy) {
            --x;
            rem -= dy;
        }
    }
};

std::vector<Edge> CollectEdges(const std::vector<ScanRing>& rings, int height) {
    std::vector<Edge> edges;
    for (const ScanRing& ring : rings) {
        const size_t n = ring.size();
        for (size_t i = 0; i < n && n > 1; ++i) {
            ScanPoint a = ring[i], b = ring[(i + 1) % n];
            if (a.y == b.y)
                continue;
            Edge e;
            e.dir = a.y < b.y ? 1 : -1;
            if (a.y > b.y)
                std::swap(a, b);
            e.yTop = std::max<int64_t>(a.y, 0);
            e.yBottom = std::min<int64_t>(b.y, height);
            if (e.yTop >= e.yBottom)
                continue;
            e.x0 = a.x;
            e.y0 = a.y;
            e.dx = b.x - a.x;
            e.dy = b.y - a.y;
            edges.push_back(e);
        }
    }
    std::sort(edges.begin(), edges.end(),
              [](const Edge& l, const Edge& r) { return l.yTop < r.yTop; });
    return edges;
}

// Emits the spans of one row from crossings in column order.
class RowSpans {
public:
    RowSpans(bool winding, int width, int64_t y, const std::function<void(const ScanSpan&)>& emit)
        : m_winding(winding), m_width(width), m_y(y), m_emit(emit) {}

    // count more crossings at column x (a net winding of count under the winding rule).
    void Cross(int64_t x, int count) {
        const bool wasInside = Inside();
        m_count += count;
        if (!wasInside && Inside()) {
            m_start = x;
        } else if (wasInside && !Inside()) {
            const int64_t x0 = std::max<int64_t>(m_start, 0), x1 = std::min<int64_t>(x, m_width);
            if (x0 < x1)
                m_emit({int32_t(x0), int32_t(x1), int32_t(m_y)});
        }
    }

private:
    bool Inside() const { return m_winding ? m_count != 0 : (m_count & 1) != 0; }

    bool m_winding;
    int m_width;
    int64_t m_y;
    const std::function<void(const ScanSpan&)>& m_emit;
    int m_count = 0;
    int64_t m_start = 0;
};

// Rows with many crossings on a narrow surface, a band of rows at a time: the crossings are
// summed per row and column, each edge stepped through all its rows of the band at once, and
// each row's columns swept once. The time is linear in the crossings plus the width, and the
// edges are read once per band rather than once per row. Columns left of the surface all
// count as -1 and those right of it as width: only the winding count they leave behind
// matters there. Returns the first row after the band.
class BandSweep {
public:
    BandSweep(bool winding, int width, int height, const std::function<void(const ScanSpan&)>& emit)
        : m_winding(winding), m_width(width), m_height(height), m_stride(size_t(width) + 2),
          m_emit(emit) {}

    /// True when rows with this many crossings are done faster as a band.
    bool Dense(size_t crossings) const { return crossings * 8 >= m_stride; }

    int64_t Sweep(int64_t y, const std::vector<Edge>& edges, size_t& next,
                  std::vector<Crossing>& active) {
        // About a megabyte of sums: the band stays in the cache while edges are stepped.
        const int64_t rows = std::clamp<int64_t>(int64_t(kBandCells / m_stride), 1, 256);
        const int64_t end = std::min<int64_t>(y + rows, m_height);
        while (next < edges.size() && edges[next].yTop < end)
            active.emplace_back(edges[next], edges[next].yTop), ++next;
        m_sums.assign(size_t(end - y) * m_stride, 0);
        size_t kept = 0;
        for (Crossing& c : active) {
            Add(c, y, end);
            if (c.yBottom > end) {
                c.NextRow();
                active[kept++] = c;
            }
        }
        active.erase(active.begin() + static_cast<std::ptrdiff_t>(kept), active.end());
        for (int64_t r = y; r < end; ++r) {
            RowSpans row(m_winding, m_width, r, m_emit);
            const int* sums = &m_sums[size_t(r - y) * m_stride];
            for (size_t k = 0; k < m_stride; ++k)
                if (sums[k] != 0)
                    row.Cross(int64_t(k) - 1, sums[k]);
        }
        return end;
    }

private:
    static constexpr size_t kBandCells = size_t{1} << 18;

    // Counts the edge in every row from its current one to the band's end (or its own).
    void Add(Crossing& c, int64_t y, int64_t end) {
        const int64_t last = std::min(c.yBottom, end);
        const int count = m_winding ? c.dir : 1;
        int* sums = &m_sums[size_t(c.row - y) * m_stride];
        for (int64_t r = c.row;;) {
            sums[size_t(std::clamp<int64_t>(c.x, -1, m_width) + 1)] += count;
            if (++r == last)
                break;
            c.NextRow();
            sums += m_stride;
        }
    }

    bool m_winding;
    int m_width, m_height;
    size_t m_stride;
    const std::function<void(const ScanSpan&)>& m_emit;
    std::vector<int> m_sums;
};

} // namespace

void ScanPolygons(const std::vector<ScanRing>& rings, bool winding, int width, int height,
                  const std::function<void(const ScanSpan&)>& emit) {
    const std::vector<Edge> edges = CollectEdges(rings, height);
    if (edges.empty() || width <= 0)
        return;
    std::vector<Crossing> active;
    BandSweep band(winding, width, height, emit);
    size_t next = 0;
    for (int64_t y = edges.front().yTop; y < height; ++y) {
        while (next < edges.size() && edges[next].yTop <= y)
            active.emplace_back(edges[next++], y);
        if (active.empty()) {
            if (next == edges.size())
                break;
            y = edges[next].yTop - 1;
            continue;
        }
        if (band.Dense(active.size())) {
            y = band.Sweep(y, edges, next, active) - 1;
            continue;
        }
        // Kept in the previous row's order, which edges that don't cross each other keep.
        auto byColumn = [](const Crossing& l, const Crossing& r) { return l.x < r.x; };
        if (!std::is_sorted(active.begin(), active.end(), byColumn))
            std::sort(active.begin(), active.end(), byColumn);
        RowSpans row(winding, width, y, emit);
        for (const Crossing& c : active)
            row.Cross(c.x, winding ? c.dir : 1);
        // On to the next row in one pass: edges that end here leave, the others step.
        size_t kept = 0;
        for (Crossing& c : active)
            if (c.yBottom > y + 1) {
                c.NextRow();
                active[kept++] = c;
            }
        active.erase(active.begin() + static_cast<std::ptrdiff_t>(kept), active.end());
    }
}

std::vector<ScanSpan> ScanPolygons(const std::vector<ScanRing>& rings, bool winding, int width,
                                   int height) {
    std::vector<ScanSpan> spans;
    ScanPolygons(rings, winding, width, height, [&](const ScanSpan& s) { spans.push_back(s); });
    return spans;
}

} // namespace qm::emf
