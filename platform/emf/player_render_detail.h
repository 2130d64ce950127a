// Helpers shared by the files that draw figures (player_figures, player_stroke, player_rop,
// player_render). Not for use outside the player's drawing code.
#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "platform/emf/player_state.h"

namespace qm::emf::detail {

constexpr double kCoordLimit = 4.0e6; // keeps cairo's fixed-point coordinates in range

inline double ClampCoord(double v) {
    if (!(v == v))
        return 0;
    return std::clamp(v, -kCoordLimit, kCoordLimit);
}

inline PointD Rounded(PointD p) {
    return {std::round(ClampCoord(p.x)), std::round(ClampCoord(p.y))};
}

/// True when the point lies on a whole device pixel within the coordinate limit.
inline bool Integral(PointD p) {
    return p.x == std::floor(p.x) && p.y == std::floor(p.y) && std::fabs(p.x) < kCoordLimit &&
           std::fabs(p.y) < kCoordLimit;
}

struct PixelMask;

// Pixel runs of a one-pixel line, split into dashes and gaps. Pixels are set in mask when it
// is given (no dashes then); else runs go to sink when it is set, or are collected in on and
// off.
struct LineRuns {
    PixelMask* mask = nullptr;
    std::vector<cairo_rectangle_int_t> on, off;
    std::function<void(const cairo_rectangle_int_t&, bool on)> sink;
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

/// Sets runs of device pixels straight in the surface under the DC's clip and mix mode. One-pixel
/// lines are drawn this way: their runs can number in the millions, far too many to collect.
class PixelRunPainter {
public:
    explicit PixelRunPainter(PlayerState& s);
    ~PixelRunPainter();
    PixelRunPainter(const PixelRunPainter&) = delete;
    PixelRunPainter& operator=(const PixelRunPainter&) = delete;

    /// Paints the pixels of r with pixel (0xFFRRGGBB), clipped to the surface and the clip.
    void Paint(cairo_rectangle_int_t r, uint32_t pixel);

private:
    void PaintRow(int x0, int x1, int y, uint32_t pixel, bool checkClip);

    PlayerState& m_state;
    RegionPtr m_clip;
    uint8_t* m_data = nullptr;
    int m_stride = 0;
    uint32_t m_rop = 0;
    bool m_copy = true;
};

/// The pixels a one-pixel pen would set along the figures (dashes per runs.dash).
void RasterFigures(const PlayerState& s, const PathData& f, LineRuns& runs);

/// Charges the pixels the figures' bounding box (grown by margin) may touch.
inline void ChargeFigures(PlayerState& s, const PathData& f, double margin) {
    if (f.points.empty())
        return;
    double x0 = f.points[0].x, y0 = f.points[0].y, x1 = x0, y1 = y0;
    for (const PointD& p : f.points) {
        x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
    }
    s.ChargeBox(x0 - margin, y0 - margin, x1 + margin + 1, y1 + margin + 1);
}

/// Charges the pixels of the rectangles.
inline void ChargeRects(PlayerState& s, const std::vector<cairo_rectangle_int_t>& rects) {
    for (const auto& r : rects)
        s.ChargeBox(r.x, r.y, double(r.x) + r.width, double(r.y) + r.height);
}

inline void AddRects(cairo_t* cr, const std::vector<cairo_rectangle_int_t>& rects) {
    for (const auto& r : rects)
        cairo_rectangle(cr, r.x, r.y, r.width, r.height);
}

inline void SetColor(cairo_t* cr, ColorRef c) {
    cairo_set_source_rgb(cr, ColorR(c) / 255.0, ColorG(c) / 255.0, ColorB(c) / 255.0);
}

} // namespace qm::emf::detail
