// Glyph rasterisation for text drawing: fonts at a size, smoothing, outlines.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/fonts/font_face.h"

namespace qm::emf::detail {

// A linear map (x, y) -> (a*x + c*y, b*x + d*y).
struct Linear {
    double a = 1, b = 0, c = 0, d = 1;
    void Apply(double x, double y, double& ox, double& oy) const {
        ox = a * x + c * y;
        oy = b * x + d * y;
    }
    Linear Then(const Linear& outer) const // outer after this
    {
        return {outer.a * a + outer.c * b, outer.b * a + outer.d * b, outer.a * c + outer.c * d,
                outer.b * c + outer.d * d};
    }
    double Det() const { return a * d - b * c; }
};

inline cairo_matrix_t ToCairo(const Linear& l) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, l.a, l.b, l.c, l.d, 0, 0);
    return m;
}

struct Glyph {
    const fonts::FontFace* face = nullptr; // null: nothing drawn (second half of a surrogate pair)
    uint32_t index = 0;
};

// The font as realised for one request.
struct Realised {
    std::shared_ptr<const fonts::FontFace> primary, fallback;
    bool exact = false; // the named face or a metric-compatible stand-in
    int ppem = 0;
    double xScale = 1;
    int ascentDev = 0, descentDev = 0;
    Linear text;  // text space (logical units along and across the baseline) -> device
    Linear glyph; // em square -> device
    // Raster fonts: their glyphs are drawn upright, enlarged this many times, and
    // overstruck one pixel to the right when bold is asked of a lighter size.
    int bitmapScale = 1;
    bool bitmapBold = false;
};

/// A cairo font for the face under the em-square-to-device matrix; null when the size is
/// one the rasteriser would refuse.
cairo_scaled_font_t* MakeScaledFont(const fonts::FontFace* face, const Linear& matrix,
                                    bool antialias, bool hintMetrics);

/// Advances in device pixels along the baseline, from the font's hinted metrics.
std::vector<double> NaturalAdvances(const std::vector<Glyph>& glyphs, const Realised& r);

/// Draws the placed glyphs in cr's source colour (textColor picks the smoothing curve).
void DrawGlyphRuns(cairo_t* cr, const std::vector<Glyph>& glyphs,
                   const std::vector<cairo_glyph_t>& placed, const Realised& r, bool antialias,
                   uint32_t textColor);

/// Adds the outlines of the placed glyphs to cr's path.
void AddGlyphOutlines(cairo_t* cr, const std::vector<Glyph>& glyphs,
                      const std::vector<cairo_glyph_t>& placed, const Realised& r);

} // namespace qm::emf::detail
