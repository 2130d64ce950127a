#include "platform/emf/bitmap_blit.h"

#include "platform/emf/rop.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace qm::emf {
namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

// Which device pixels a destination area covers and where each falls in it (u, v in 0..1).
class AreaMap {
public:
    AreaMap(const PixelTarget& t, const DestArea& d) : m_d(d) {
        double corners[4][2] = {{d.x, d.y},
                                {d.x + d.ux, d.y + d.uy},
                                {d.x + d.vx, d.y + d.vy},
                                {d.x + d.ux + d.vx, d.y + d.uy + d.vy}};
        for (auto& c : corners)
            if (!std::isfinite(c[0]) || !std::isfinite(c[1]))
                return;
        m_aligned = std::abs(d.uy) < 1e-9 && std::abs(d.vx) < 1e-9;
        double l, t0, r, b;
        if (m_aligned) {
            m_xs = std::round(d.x), m_xe = std::round(d.x + d.ux);
            m_ys = std::round(d.y), m_ye = std::round(d.y + d.vy);
            if (m_xs == m_xe || m_ys == m_ye)
                return;
            // A mirrored extent still covers the pixel at its origin.
            if (m_xe < m_xs)
                m_xs += 1, m_xe += 1;
            if (m_ye < m_ys)
                m_ys += 1, m_ye += 1;
            l = std::min(m_xs, m_xe), r = std::max(m_xs, m_xe);
            t0 = std::min(m_ys, m_ye), b = std::max(m_ys, m_ye);
        } else {
            m_det = d.ux * d.vy - d.vx * d.uy;
            if (std::abs(m_det) < 1e-9)
                return;
            l = r = corners[0][0], t0 = b = corners[0][1];
            for (auto& c : corners) {
                l = std::min(l, c[0]), r = std::max(r, c[0]);
                t0 = std::min(t0, c[1]), b = std::max(b, c[1]);
            }
            l = std::floor(l), t0 = std::floor(t0), r = std::ceil(r), b = std::ceil(b);
        }
        m_left = static_cast<int>(std::clamp(l, 0.0, double(t.width)));
        m_right = static_cast<int>(std::clamp(r, 0.0, double(t.width)));
        m_top = static_cast<int>(std::clamp(t0, 0.0, double(t.height)));
        m_bottom = static_cast<int>(std::clamp(b, 0.0, double(t.height)));
        m_valid = m_left < m_right && m_top < m_bottom;
    }

    bool UV(int px, int py, double& u, double& v) const {
        double cx = px + 0.5, cy = py + 0.5;
        if (m_aligned) {
            u = (cx - m_xs) / (m_xe - m_xs);
            v = (cy - m_ys) / (m_ye - m_ys);
        } else {
            double rx = cx - m_d.x, ry = cy - m_d.y;
            u = (m_d.vy * rx - m_d.vx * ry) / m_det;
            v = (-m_d.uy * rx + m_d.ux * ry) / m_det;
        }
        return u >= 0 && u < 1 && v >= 0 && v < 1;
    }
    // Size of one device pixel in u and v (for filtering when shrinking).
    double PixelU() const { return m_aligned ? 1.0 / std::abs(m_xe - m_xs) : 0; }
    double PixelV() const { return m_aligned ? 1.0 / std::abs(m_ye - m_ys) : 0; }

    // True when every pixel of the box is covered: an axis-aligned area whose ends are small
    // enough for the coverage test to be exact.
    bool CoversBox() const {
        constexpr double kExact = 1 << 30;
        return m_valid && m_aligned && std::abs(m_xs) < kExact && std::abs(m_xe) < kExact &&
               std::abs(m_ys) < kExact && std::abs(m_ye) < kExact;
    }

    // Calls f(x, y, pixel&) for each covered pixel inside the clip.
    template <typename F> void ForEach(const PixelTarget& t, F&& f) const {
        std::vector<double> us;
        ForEachRect(t, [&](const cairo_rectangle_int_t& r) {
            if (m_aligned) {
                // u depends on the column alone and v on the row alone: each is worked out
                // once, by the same arithmetic as UV().
                us.resize(size_t(r.width));
                for (int i = 0; i < r.width; ++i)
                    us[size_t(i)] = (double(r.x + i) + 0.5 - m_xs) / (m_xe - m_xs);
                for (int y = r.y; y < r.y + r.height; ++y) {
                    const double v = (double(y) + 0.5 - m_ys) / (m_ye - m_ys);
                    if (!(v >= 0 && v < 1))
                        continue;
                    uint32_t* row = Row(t, y);
                    for (int i = 0; i < r.width; ++i)
                        if (us[size_t(i)] >= 0 && us[size_t(i)] < 1)
                            f(us[size_t(i)], v, row[r.x + i], r.x + i, y);
                }
                return;
            }
            for (int y = r.y; y < r.y + r.height; ++y) {
                uint32_t* row = Row(t, y);
                for (int x = r.x; x < r.x + r.width; ++x) {
                    double u, v;
                    if (UV(x, y, u, v))
                        f(u, v, row[x], x, y);
                }
            }
        });
    }

    // Calls f(rectangle) for each part of the box inside the clip.
    template <typename F> void ForEachRect(const PixelTarget& t, F&& run) const {
        if (!m_valid)
            return;
        cairo_rectangle_int_t box = {m_left, m_top, m_right - m_left, m_bottom - m_top};
        if (!t.clip) {
            run(box);
            return;
        }
        cairo_region_t* part = cairo_region_copy(t.clip);
        cairo_region_intersect_rectangle(part, &box);
        for (int i = 0, n = cairo_region_num_rectangles(part); i < n; ++i) {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(part, i, &r);
            run(r);
        }
        cairo_region_destroy(part);
    }

    // u of a column and v of a row, as UV() works them out for axis-aligned areas.
    double U(int x) const { return (double(x) + 0.5 - m_xs) / (m_xe - m_xs); }
    double V(int y) const { return (double(y) + 0.5 - m_ys) / (m_ye - m_ys); }

    static uint32_t* Row(const PixelTarget& t, int y) {
        return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(t.pixels) +
                                           size_t(y) * t.stride);
    }

private:
    DestArea m_d;
    bool m_valid = false, m_aligned = false;
    double m_xs = 0, m_xe = 0, m_ys = 0, m_ye = 0, m_det = 1;
    int m_left = 0, m_top = 0, m_right = 0, m_bottom = 0;
};

bool SampleNearest(const DibImage& img, double sx, double sy, uint32_t& out) {
    // A sample exactly on a pixel boundary takes the pixel before it.
    double fx = std::ceil(sx) - 1, fy = std::ceil(sy) - 1;
    if (!(fx >= 0 && fy >= 0 && fx < img.width && fy < img.height)) // NaN fails too
        return false;
    out = img.At(static_cast<int>(fx), static_cast<int>(fy));
    return true;
}

// Box-filtered sample over the source footprint of one destination pixel (at most 8x8
// taps): the average, or the darkest / lightest per channel for the black-on-white and
// white-on-black modes.
bool SampleBox(const DibImage& img, double sx, double sy, double fw, double fh, StretchMode mode,
               uint32_t& out) {
    // Clamp before converting: a hostile stretch can make the footprint huge or not finite.
    const auto taps = [](double f) {
        return std::isfinite(f) ? static_cast<int>(std::ceil(std::clamp(f, 1.0, 8.0))) : 1;
    };
    int nx = taps(fw);
    int ny = taps(fh);
    uint32_t sum[3] = {0, 0, 0}, lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
    int count = 0;
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            uint32_t p;
            if (!SampleNearest(img, sx + (i + 0.5) * fw / nx - fw / 2,
                               sy + (j + 0.5) * fh / ny - fh / 2, p))
                continue;
            for (int c = 0; c < 3; ++c) {
                uint32_t v = (p >> (8 * c)) & 0xFF;
                sum[c] += v, lo[c] = std::min(lo[c], v), hi[c] = std::max(hi[c], v);
            }
            ++count;
        }
    if (count == 0)
        return false;
    out = kOpaque;
    for (int c = 0; c < 3; ++c) {
        uint32_t v = mode == StretchMode::BlackOnWhite   ? lo[c]
                     : mode == StretchMode::WhiteOnBlack ? hi[c]
                                                         : (sum[c] + count / 2) / count;
        out |= v << (8 * c);
    }
    return true;
}

class Sampler {
public:
    Sampler(const DibImage& img, const SourceRect& src, const AreaMap& map, StretchMode mode)
        : m_img(img), m_src(src), m_mode(mode) {
        m_fw = std::abs(src.w) * map.PixelU();
        m_fh = std::abs(src.h) * map.PixelV();
        m_filter = mode != StretchMode::ColorOnColor && (m_fw > 1.001 || m_fh > 1.001);
    }
    double X(double u) const { return m_src.x + u * m_src.w; }
    double Y(double v) const { return m_src.y + v * m_src.h; }
    /// True when Get() takes the nearest source pixel.
    bool Nearest() const {
        return !m_filter && !(m_mode == StretchMode::Halftone && (m_fw < 0.999 || m_fh < 0.999));
    }
    /// The source column (row) the nearest sample at u (v) takes, or -1 outside the source.
    int Column(double u) const { return Index(X(u), m_img.width); }
    int Row(double v) const { return Index(Y(v), m_img.height); }
    bool Get(double u, double v, uint32_t& out) const {
        if (m_filter)
            return SampleBox(m_img, X(u), Y(v), std::max(m_fw, 1.0), std::max(m_fh, 1.0), m_mode,
                             out);
        if (m_mode == StretchMode::Halftone && (m_fw < 0.999 || m_fh < 0.999))
            return SampleBilinear(X(u), Y(v), out);
        return SampleNearest(m_img, X(u), Y(v), out);
    }

private:
    // As SampleNearest: a sample exactly on a pixel boundary takes the pixel before it.
    static int Index(double at, int size) {
        const double f = std::ceil(at) - 1;
        return f >= 0 && f < size ? static_cast<int>(f) : -1; // NaN fails too
    }

    // Enlarging in halftone mode interpolates between the pixels of the source rectangle.
    bool SampleBilinear(double sx, double sy, uint32_t& out) const {
        uint32_t centre;
        if (!SampleNearest(m_img, sx, sy, centre))
            return false;
        double lx = std::min(m_src.x, m_src.x + m_src.w), hx = std::max(m_src.x, m_src.x + m_src.w);
        double ly = std::min(m_src.y, m_src.y + m_src.h), hy = std::max(m_src.y, m_src.y + m_src.h);
        lx = std::max(lx, 0.0), ly = std::max(ly, 0.0);
        hx = std::min(hx, double(m_img.width)), hy = std::min(hy, double(m_img.height));
        double fx = std::clamp(sx - m_fw / 2, lx, hx - 1),
               fy = std::clamp(sy - m_fh / 2, ly, hy - 1);
        int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
        int x1 = std::min(x0 + 1, static_cast<int>(hx) - 1),
            y1 = std::min(y0 + 1, static_cast<int>(hy) - 1);
        x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::max(x1, x0), y1 = std::max(y1, y0);
        double ax = fx - x0, ay = fy - y0;
        uint32_t p00 = m_img.At(x0, y0), p10 = m_img.At(x1, y0);
        uint32_t p01 = m_img.At(x0, y1), p11 = m_img.At(x1, y1);
        out = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            auto c = [&](uint32_t p) { return double((p >> shift) & 0xFF); };
            double top = c(p00) + (c(p10) - c(p00)) * ax, bottom = c(p01) + (c(p11) - c(p01)) * ax;
            out |= uint32_t(std::lround(top + (bottom - top) * ay)) << shift;
        }
        return true;
    }

    const DibImage& m_img;
    SourceRect m_src;
    StretchMode m_mode;
    double m_fw = 1, m_fh = 1;
    bool m_filter = false;
};

int Wrap(int v, int n) {
    return (v % n + n) % n;
}

uint32_t PatternAt(const PatternTile& p, int x, int y) {
    if (p.width <= 0 || p.height <= 0 || p.pixels.size() < size_t(p.width) * p.height)
        return kOpaque;
    return p.pixels[size_t(Wrap(y - p.originY, p.height)) * p.width + Wrap(x - p.originX, p.width)];
}

uint8_t Blend(uint32_t s, uint32_t d, uint32_t sa, uint32_t ca, bool premultiplied, int shift) {
    uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
    uint32_t v;
    if (premultiplied)
        v = (sc * ca + 127) / 255 + (dc * (255 - (sa * ca + 127) / 255) + 127) / 255;
    else
        v = (sc * ca + dc * (255 - ca) + 127) / 255;
    return static_cast<uint8_t>(std::min<uint32_t>(v, 255));
}

} // namespace

namespace {

// The one pattern colour an operation sees, or false when the pattern varies from pixel to
// pixel.
bool SolidPattern(const PatternTile* pattern, uint32_t& p) {
    p = kOpaque;
    if (!pattern || pattern->width <= 0 || pattern->height <= 0 ||
        pattern->pixels.size() < size_t(pattern->width) * pattern->height)
        return true;
    if (pattern->width != 1 || pattern->height != 1)
        return false;
    p = pattern->pixels[0];
    return true;
}

// Each pixel of the row becomes set ^ (keep & pixel), four at a time.
void CombineRow(uint32_t* row, int count, uint32_t set, uint32_t keep) {
    using Quad = uint32_t __attribute__((vector_size(16)));
    const Quad setQuad = {set, set, set, set}, keepQuad = {keep, keep, keep, keep};
    int x = 0;
    for (; x + 4 <= count; x += 4) {
        Quad v;
        std::memcpy(&v, row + x, sizeof v);
        v = setQuad ^ (keepQuad & v);
        std::memcpy(row + x, &v, sizeof v);
    }
    for (; x < count; ++x)
        row[x] = set ^ (keep & row[x]);
}

// An operation without source or mask, with at most one pattern colour, over a whole box: every
// bit of the result depends on the same bit of the destination alone, so each pixel becomes
// f0 ^ ((f0 ^ f1) & d). Whole rows go at memory speed, which fills of the largest surface need.
bool BlitSolid(const PixelTarget& target, const AreaMap& map, const BlitRequest& req) {
    const uint8_t rop = req.foreRop;
    uint32_t p = kOpaque;
    if (req.mask || RopUsesSource(rop) || !map.CoversBox() ||
        (RopUsesPattern(rop) && !SolidPattern(req.pattern, p)))
        return false;
    if (RopUsesPattern(rop) && (p >> 24) == 0)
        return true; // a transparent pattern leaves every pixel
    const uint32_t f0 = ApplyRop3(rop, p, 0, 0), f1 = ApplyRop3(rop, p, 0, ~0u);
    const uint32_t keep = (f0 ^ f1) & ~kOpaque, set = f0 | kOpaque;
    map.ForEachRect(target, [&](const cairo_rectangle_int_t& r) {
        for (int y = r.y; y < r.y + r.height; ++y)
            CombineRow(AreaMap::Row(target, y) + r.x, r.width, set, keep);
    });
    return true;
}

// Each pixel of the row becomes set[x] ^ (keep[x] & pixel), four at a time.
void CombineRow(uint32_t* row, int count, const uint32_t* set, const uint32_t* keep) {
    using Quad = uint32_t __attribute__((vector_size(16)));
    int x = 0;
    for (; x + 4 <= count; x += 4) {
        Quad v, s, k;
        std::memcpy(&v, row + x, sizeof v);
        std::memcpy(&s, set + x, sizeof s);
        std::memcpy(&k, keep + x, sizeof k);
        v = s ^ (k & v);
        std::memcpy(row + x, &v, sizeof v);
    }
    for (; x < count; ++x)
        row[x] = set[x] ^ (keep[x] & row[x]);
}

// A pattern tile without source or mask over a whole box. Each result bit depends on the same
// bits of pattern and destination only, so every tile pixel p turns a destination pixel into
// set ^ (keep & d); a row of the tile is worked out once for the width of the box and then
// applied to every row it falls on.
bool BlitTiled(const PixelTarget& target, const AreaMap& map, const BlitRequest& req) {
    const uint8_t rop = req.foreRop;
    const PatternTile* t = req.pattern;
    if (req.mask || RopUsesSource(rop) || !RopUsesPattern(rop) || !map.CoversBox() || !t ||
        t->width <= 0 || t->height <= 0 || t->pixels.size() < size_t(t->width) * t->height)
        return false;
    const uint32_t set0 = ApplyRop3(rop, 0, 0, 0), keep0 = set0 ^ ApplyRop3(rop, 0, 0, ~0u);
    const uint32_t set1 = ApplyRop3(rop, ~0u, 0, 0), keep1 = set1 ^ ApplyRop3(rop, ~0u, 0, ~0u);
    std::vector<uint32_t> sets, keeps;
    std::vector<int> filled; // the tile row each buffer row holds
    map.ForEachRect(target, [&](const cairo_rectangle_int_t& r) {
        // A buffer row per tile row while that stays small, else one refilled as needed.
        const size_t width = size_t(r.width);
        const int rows = size_t(t->height) * width <= (size_t{1} << 21) ? t->height : 1;
        sets.resize(size_t(rows) * width);
        keeps.resize(size_t(rows) * width);
        filled.assign(size_t(rows), -1);
        for (int y = r.y; y < r.y + r.height; ++y) {
            const int ty = Wrap(y - t->originY, t->height);
            const size_t slot = size_t(ty % rows);
            uint32_t* set = &sets[slot * width];
            uint32_t* keep = &keeps[slot * width];
            if (filled[slot] != ty) {
                const uint32_t* tileRow = &t->pixels[size_t(ty) * t->width];
                for (int i = 0, tx = Wrap(r.x - t->originX, t->width); i < r.width; ++i) {
                    const uint32_t p = tileRow[tx];
                    if (++tx == t->width)
                        tx = 0;
                    // Transparent pattern pixels leave the destination.
                    const bool clear = (p >> 24) == 0;
                    set[i] = clear ? 0 : ((set1 & p) | (set0 & ~p) | kOpaque);
                    keep[i] = clear ? ~0u : ((keep1 & p) | (keep0 & ~p)) & ~kOpaque;
                }
                filled[slot] = ty;
            }
            CombineRow(AreaMap::Row(target, y) + r.x, r.width, set, keep);
        }
    });
    return true;
}

// A source without a mask onto a whole axis-aligned box, each pixel taking the nearest source
// pixel: the source column of every destination column and the source row of every row are
// found once rather than per pixel.
bool BlitNearest(const PixelTarget& target, const AreaMap& map, const Sampler& sampler,
                 const BlitRequest& req) {
    const uint8_t rop = req.foreRop;
    if (req.mask || !req.source || !RopUsesSource(rop) || !map.CoversBox() || !sampler.Nearest())
        return false;
    const DibImage& img = *req.source;
    const bool usePattern = RopUsesPattern(rop);
    std::vector<int> columns;
    map.ForEachRect(target, [&](const cairo_rectangle_int_t& r) {
        columns.resize(size_t(r.width));
        for (int i = 0; i < r.width; ++i)
            columns[size_t(i)] = sampler.Column(map.U(r.x + i));
        for (int y = r.y; y < r.y + r.height; ++y) {
            const int sy = sampler.Row(map.V(y));
            if (sy < 0)
                continue;
            uint32_t* row = AreaMap::Row(target, y) + r.x;
            const uint32_t* source = &img.pixels[size_t(sy) * size_t(img.width)];
            if (rop == 0xCC && !img.hasHoles) { // a plain copy, the commonest
                for (int i = 0; i < r.width; ++i)
                    if (columns[size_t(i)] >= 0)
                        row[i] = source[columns[size_t(i)]] | kOpaque;
                continue;
            }
            for (int i = 0; i < r.width; ++i) {
                if (columns[size_t(i)] < 0)
                    continue;
                const uint32_t s = source[columns[size_t(i)]];
                if ((s >> 24) == 0 && img.hasHoles)
                    continue;
                uint32_t p = kOpaque;
                if (usePattern && req.pattern) {
                    p = PatternAt(*req.pattern, r.x + i, y);
                    if ((p >> 24) == 0)
                        continue;
                }
                row[i] = ApplyRop3(rop, p, s, row[i]) | kOpaque;
            }
        }
    });
    return true;
}

} // namespace

int Blit(const PixelTarget& target, const BlitRequest& req) {
    AreaMap map(target, req.dest);
    if (BlitSolid(target, map, req) || BlitTiled(target, map, req))
        return 1;
    bool useSource = RopUsesSource(req.foreRop) || (req.mask && RopUsesSource(req.backRop));
    bool usePattern = RopUsesPattern(req.foreRop) || (req.mask && RopUsesPattern(req.backRop));
    if (useSource && !req.source)
        return 1;
    static const DibImage kEmpty;
    Sampler sampler(req.source ? *req.source : kEmpty, req.src, map, req.mode);
    if (BlitNearest(target, map, sampler, req))
        return 1;
    uint32_t maskOne = req.mask ? req.mask->monoColors[1] & 0xFFFFFF : 0;
    map.ForEach(target, [&](double u, double v, uint32_t& d, int x, int y) {
        uint8_t rop = req.foreRop;
        if (req.mask) {
            uint32_t m;
            bool fore =
                SampleNearest(*req.mask, req.maskX + u * req.src.w, req.maskY + v * req.src.h, m) &&
                (m & 0xFFFFFF) == maskOne;
            rop = fore ? req.foreRop : req.backRop;
        }
        uint32_t s = 0, p = kOpaque;
        if (RopUsesSource(rop)) {
            if (!sampler.Get(u, v, s) || ((s >> 24) == 0 && req.source->hasHoles))
                return;
        }
        if (usePattern && RopUsesPattern(rop)) {
            p = req.pattern ? PatternAt(*req.pattern, x, y) : kOpaque;
            if ((p >> 24) == 0)
                return;
        }
        d = ApplyRop3(rop, p, s, d) | kOpaque;
    });
    return kSampledPixelWork;
}

void AlphaBlit(const PixelTarget& target, const DestArea& dest, const DibImage& source,
               const SourceRect& src, uint8_t constantAlpha, bool sourceAlpha) {
    AreaMap map(target, dest);
    Sampler sampler(source, src, map, StretchMode::ColorOnColor);
    bool perPixel = sourceAlpha && source.sourceAlpha;
    map.ForEach(target, [&](double u, double v, uint32_t& d, int, int) {
        uint32_t s;
        if (!sampler.Get(u, v, s))
            return;
        uint32_t sa = s >> 24;
        if (!perPixel && sa == 0 && source.hasHoles)
            return;
        if (!perPixel)
            sa = 255;
        uint32_t out = kOpaque;
        for (int shift = 0; shift < 24; shift += 8)
            out |= uint32_t(Blend(s, d, sa, constantAlpha, perPixel, shift)) << shift;
        d = out;
    });
}

void TransparentBlit(const PixelTarget& target, const DestArea& dest, const DibImage& source,
                     const SourceRect& src, uint32_t transparentRgb) {
    AreaMap map(target, dest);
    Sampler sampler(source, src, map, StretchMode::ColorOnColor);
    map.ForEach(target, [&](double u, double v, uint32_t& d, int, int) {
        uint32_t s;
        if (!sampler.Get(u, v, s) || (s & 0xFFFFFF) == (transparentRgb & 0xFFFFFF))
            return;
        if ((s >> 24) == 0 && source.hasHoles)
            return;
        d = s | kOpaque;
    });
}

const uint8_t* HatchRows(uint32_t hatch) {
    // Horizontal lines on the fourth row, vertical ones in the fifth column.
    static const uint8_t kHatches[6][8] = {{0x00, 0x00, 0x00, 0xff, 0x00, 0x00, 0x00, 0x00},
                                           {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},
                                           {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},
                                           {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},
                                           {0x08, 0x08, 0x08, 0xff, 0x08, 0x08, 0x08, 0x08},
                                           {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81}};
    return kHatches[hatch < 6 ? hatch : 0];
}

PatternTile HatchTile(uint32_t hatch, uint32_t foreground, uint32_t background,
                      bool transparentBackground) {
    PatternTile tile;
    tile.width = tile.height = 8;
    tile.pixels.assign(64, 0);
    const uint8_t* rows = HatchRows(hatch);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            tile.pixels[y * 8 + x] = (rows[y] & (0x80 >> x))
                                         ? (foreground | kOpaque)
                                         : (transparentBackground ? 0 : background | kOpaque);
    return tile;
}

} // namespace qm::emf
