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

} // namespace

std::vector<ScanSpan> ScanPolygons(const std::vector<ScanRing>& rings, bool winding, int width,
                                   int height) {
    std::vector<ScanSpan> spans;
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
    if (edges.empty())
        return spans;
    std::sort(edges.begin(), edges.end(),
              [](const Edge& l, const Edge& r) { return l.yTop < r.yTop; });
    std::vector<const Edge*> active;
    std::vector<std::pair<int64_t, int>> cross;
    size_t next = 0;
    for (int64_t y = edges.front().yTop; y < height; ++y) {
        while (next < edges.size() && edges[next].yTop <= y)
            active.push_back(&edges[next++]);
        std::erase_if(active, [y](const Edge* e) { return e->yBottom <= y; });
        if (active.empty()) {
            if (next == edges.size())
                break;
            y = edges[next].yTop - 1;
            continue;
        }
        cross.clear();
        for (const Edge* e : active)
            cross.emplace_back(EdgeColumn(*e, y), e->dir);
        std::sort(cross.begin(), cross.end());
        int count = 0;
        int64_t start = 0;
        for (const auto& [x, dir] : cross) {
            const bool wasInside = winding ? count != 0 : (count & 1) != 0;
            count += winding ? dir : 1;
            const bool inside = winding ? count != 0 : (count & 1) != 0;
            if (!wasInside && inside) {
                start = x;
            } else if (wasInside && !inside) {
                const int64_t x0 = std::max<int64_t>(start, 0), x1 = std::min<int64_t>(x, width);
                if (x0 < x1)
                    spans.push_back({int32_t(x0), int32_t(x1), int32_t(y)});
            }
        }
    }
    return spans;
}

} // namespace qm::emf
