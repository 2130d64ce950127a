#include "platform/emf/text_draw.h"

#include "platform/fonts/font_face.h"
#include "platform/fonts/font_match.h"
#include "platform/fonts/symbol_map.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace qm::emf {
namespace {

using fonts::FontFace;

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

// Counter-clockwise rotation as seen with y pointing down.
Linear Rotation(int32_t tenths) {
    double angle = (tenths % 3600) * M_PI / 1800.0;
    double c = std::cos(angle), s = std::sin(angle);
    return {c, -s, s, c};
}

Linear Scale(double sx, double sy) {
    return {sx, 0, 0, sy};
}

cairo_matrix_t ToCairo(const Linear& l) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, l.a, l.b, l.c, l.d, 0, 0);
    return m;
}

void SetColor(cairo_t* cr, uint32_t argb) {
    cairo_set_source_rgb(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                         (argb & 0xFF) / 255.0);
}

// A device-space quadrilateral; axis-aligned ones snap to whole pixels as GDI fills them.
void QuadPath(cairo_t* cr, const double (&x)[4], const double (&y)[4]) {
    bool aligned = (x[0] == x[3] && x[1] == x[2] && y[0] == y[1] && y[2] == y[3]);
    if (aligned) {
        double l = std::round(std::min(x[0], x[1])), r = std::round(std::max(x[0], x[1]));
        double t = std::round(std::min(y[0], y[2])), b = std::round(std::max(y[0], y[2]));
        cairo_rectangle(cr, l, t, r - l, b - t);
        return;
    }
    cairo_move_to(cr, x[0], y[0]);
    for (int i = 1; i < 4; ++i)
        cairo_line_to(cr, x[i], y[i]);
    cairo_close_path(cr);
}

void LogicalRectPath(cairo_t* cr, const Affine& m, const int32_t (&r)[4]) {
    double lx[4] = {double(r[0]), double(r[2]), double(r[2]), double(r[0])};
    double ly[4] = {double(r[1]), double(r[1]), double(r[3]), double(r[3])};
    double x[4], y[4];
    for (int i = 0; i < 4; ++i) {
        x[i] = m.xx * lx[i] + m.xy * ly[i] + m.x0;
        y[i] = m.yx * lx[i] + m.yy * ly[i] + m.y0;
    }
    QuadPath(cr, x, y);
}

struct Glyph {
    const FontFace* face = nullptr; // null: nothing drawn (second half of a surrogate pair)
    uint32_t index = 0;
};

// The font as realised for one request.
struct Realised {
    std::shared_ptr<const FontFace> primary, fallback;
    bool exact = false; // the named face or a metric-compatible stand-in
    int ppem = 0;
    double xScale = 1;
    int ascentDev = 0, descentDev = 0;
    Linear text;  // text space (logical units along and across the baseline) -> device
    Linear glyph; // em square -> device
};

bool Realise(const TextRequest& req, const Linear& logical, Realised& out) {
    const TextFont& f = req.font;
    int weight = f.weight <= 0 ? 400 : f.weight;
    fonts::FontMatch match = fonts::MatchFont(f.faceName, weight, f.italic,
                                              fonts::HintFromPitchAndFamily(f.pitchAndFamily));
    out.primary = fonts::OpenFontFace(match);
    out.exact = match.exact;
    out.fallback = fonts::OpenFontFace(fonts::MatchFont("DejaVu Sans", weight, f.italic));
    if (!out.primary)
        out.primary = out.fallback;
    if (!out.primary)
        return false;
    const fonts::FontMetrics& m = out.primary->Metrics();
    double sx = std::hypot(logical.a, logical.b), sy = std::hypot(logical.c, logical.d);
    double cellToEm = double(m.unitsPerEm) / (m.ascent + m.descent);
    double emDev = f.height < 0   ? -double(f.height) * sy
                   : f.height > 0 ? f.height * sy * cellToEm
                                  : 16.0 * cellToEm;
    if (!std::isfinite(emDev) || sx <= 0 || sy <= 0)
        return false;
    // The font mapper takes the largest size that does not exceed the request.
    out.ppem = static_cast<int>(std::clamp(std::floor(emDev + 1e-7), 1.0, 100000.0));
    out.ascentDev = static_cast<int>(std::lround(double(m.ascent) * out.ppem / m.unitsPerEm));
    out.descentDev = static_cast<int>(std::lround(double(m.descent) * out.ppem / m.unitsPerEm));
    int avgWidth = match.windowsAvgCharWidth ? match.windowsAvgCharWidth * m.unitsPerEm / 2048
                                             : m.avgCharWidth;
    if (f.width != 0 && avgWidth > 0) {
        double avgDev = double(avgWidth) * out.ppem / m.unitsPerEm;
        out.xScale = std::clamp(std::abs(double(f.width)) * sx / avgDev, 0.01, 100.0);
    }
    double em = out.ppem;
    if (req.advancedMode) {
        out.text = Rotation(f.escapement).Then(logical);
        out.glyph =
            Scale(em * out.xScale / sy, em / sy).Then(Rotation(f.orientation)).Then(logical);
    } else {
        // Glyphs are never mirrored or sheared here: only scaled, and turned by the
        // escapement. The escapement turns logical space (so a mapping that mirrors it turns
        // the other way), and the string's spacing then follows the mapping's scales.
        int32_t escapement = logical.Det() < 0 ? -f.escapement : f.escapement;
        out.text = Rotation(escapement).Then(Scale(sx, sy));
        out.glyph = Scale(em * out.xScale, em).Then(Rotation(escapement));
    }
    return std::abs(out.text.Det()) > 1e-12 && std::abs(out.glyph.Det()) > 1e-12;
}

std::vector<Glyph> MapGlyphs(const TextRequest& req, const Realised& r) {
    fonts::SymbolSet symbols = fonts::SymbolSetOf(req.font.faceName);
    bool unknownSymbols = !r.exact && symbols == fonts::SymbolSet::None &&
                          (fonts::IsSymbolFace(req.font.faceName) || req.font.charSet == 2);
    bool glyphIndices = (req.options & kEtoGlyphIndex) != 0;
    std::vector<Glyph> glyphs(req.codes.size());
    for (size_t i = 0; i < req.codes.size(); ++i) {
        uint32_t code = req.codes[i];
        if (glyphIndices) {
            // Indices of the recording font: text faces share the standard glyph order.
            char32_t c = fonts::StandardGlyphToUnicode(code);
            uint32_t g = c ? r.primary->GlyphIndex(c) : 0;
            glyphs[i] = {r.primary.get(), g ? g : (code < r.primary->GlyphCount() ? code : 0)};
            continue;
        }
        char32_t c = code;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < req.codes.size() && req.codes[i + 1] >= 0xDC00 &&
            req.codes[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (req.codes[i + 1] - 0xDC00);
        } else if (c >= 0xDC00 && c < 0xE000 && i > 0 && glyphs[i - 1].face &&
                   req.codes[i - 1] >= 0xD800 && req.codes[i - 1] < 0xDC00) {
            glyphs[i] = {};
            continue;
        }
        if (symbols != fonts::SymbolSet::None && !r.primary->IsSymbolEncoded())
            c = fonts::SymbolToUnicode(symbols, c);
        else if (unknownSymbols) {
            // Symbols of a face we have nothing for: the missing-glyph box, not letters.
            glyphs[i] = {r.primary.get(), 0};
            continue;
        }
        uint32_t g = r.primary->GlyphIndex(c);
        if (g == 0 && r.fallback && r.fallback != r.primary) {
            uint32_t fb = r.fallback->GlyphIndex(c);
            if (fb != 0) {
                glyphs[i] = {r.fallback.get(), fb};
                continue;
            }
        }
        glyphs[i] = {r.primary.get(), g};
    }
    return glyphs;
}

// Largest and smallest stretch of a linear map (its singular values).
void Stretch(const Linear& l, double& largest, double& smallest) {
    double e = (l.a + l.d) / 2, f = (l.a - l.d) / 2, g = (l.b + l.c) / 2, h = (l.b - l.c) / 2;
    double q = std::hypot(e, h), w = std::hypot(f, g);
    largest = q + w;
    smallest = std::abs(q - w);
}

// Glyph sizes the rasteriser accepts; a size it refuses would leave the shared font face in
// an error state for good.
constexpr double kMaxGlyphPixels = 2048;
constexpr double kMinGlyphPixels = 1.0 / 64;

cairo_scaled_font_t* MakeScaledFont(const FontFace* face, const Linear& matrix, bool antialias,
                                    bool hintMetrics) {
    double largest, smallest;
    Stretch(matrix, largest, smallest);
    if (!std::isfinite(largest) || largest > kMaxGlyphPixels || smallest < kMinGlyphPixels)
        return nullptr;
    cairo_matrix_t fontMatrix = ToCairo(matrix), ctm;
    cairo_matrix_init_identity(&ctm);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options,
                                     antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
    cairo_font_options_set_hint_metrics(options, hintMetrics ? CAIRO_HINT_METRICS_ON
                                                             : CAIRO_HINT_METRICS_OFF);
    cairo_scaled_font_t* font =
        cairo_scaled_font_create(face->CairoFace(), &fontMatrix, &ctm, options);
    cairo_font_options_destroy(options);
    if (cairo_scaled_font_status(font) != CAIRO_STATUS_SUCCESS) {
        cairo_scaled_font_destroy(font);
        return nullptr;
    }
    return font;
}

// Advances in device pixels along the baseline, from the font's hinted metrics.
std::vector<double> NaturalAdvances(const std::vector<Glyph>& glyphs, const Realised& r) {
    std::vector<double> adv(glyphs.size(), 0.0);
    std::vector<std::pair<const FontFace*, cairo_scaled_font_t*>> fonts;
    // Huge sizes are measured at a smaller one and scaled up.
    double size = r.ppem * std::max(r.xScale, 1.0);
    double k = size > 1024 ? size / 1024 : 1.0;
    Linear upright = Scale(r.ppem * r.xScale / k, r.ppem / k);
    for (size_t i = 0; i < glyphs.size(); ++i) {
        if (!glyphs[i].face)
            continue;
        auto it = std::find_if(fonts.begin(), fonts.end(),
                               [&](const auto& p) { return p.first == glyphs[i].face; });
        if (it == fonts.end()) {
            fonts.emplace_back(glyphs[i].face, MakeScaledFont(glyphs[i].face, upright, true, true));
            it = fonts.end() - 1;
        }
        if (!it->second)
            continue;
        cairo_glyph_t g = {glyphs[i].index, 0, 0};
        cairo_text_extents_t ext;
        cairo_scaled_font_glyph_extents(it->second, &g, 1, &ext);
        adv[i] = std::isfinite(ext.x_advance) ? ext.x_advance * k : 0;
    }
    for (auto& p : fonts)
        if (p.second)
            cairo_scaled_font_destroy(p.second);
    return adv;
}

// Calls f(font, first, count) for each run of glyphs drawn from the same face.
template <typename F>
void ForEachRun(const std::vector<Glyph>& glyphs, const Realised& r, bool antialias, F&& f) {
    size_t start = 0;
    while (start < glyphs.size()) {
        if (!glyphs[start].face) {
            ++start;
            continue;
        }
        size_t end = start + 1;
        while (end < glyphs.size() && glyphs[end].face == glyphs[start].face)
            ++end;
        if (cairo_scaled_font_t* font =
                MakeScaledFont(glyphs[start].face, r.glyph, antialias, false)) {
            f(font, start, static_cast<int>(end - start));
            cairo_scaled_font_destroy(font);
        }
        start = end;
    }
}

// Greyscale smoothing: coverage quantised to 17 levels and blended with a gamma of 2.4,
// which keeps the faint fringe of dark text on light ground lighter than linear blending.
const uint8_t* SmoothingTable(bool darkText) {
    static const auto build = [](bool dark) {
        std::array<uint8_t, 256> t{};
        for (int v = 0; v < 256; ++v) {
            double a = ((v * 16 + 128) >> 8) / 16.0;
            const double gm = 2.4;
            double g = dark ? 1.0 - std::pow(1.0 - a, 1.0 / gm) : std::pow(a, 1.0 / gm);
            t[v] = static_cast<uint8_t>(std::lround(g * 255));
        }
        return t;
    };
    static const std::array<uint8_t, 256> dark = build(true), light = build(false);
    return darkText ? dark.data() : light.data();
}

void DrawSmoothGlyphs(cairo_t* cr, const std::vector<Glyph>& glyphs,
                      const std::vector<cairo_glyph_t>& placed, const Realised& r,
                      uint32_t textColor) {
    // The mask covers the glyphs' ink inside the clip.
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    double ix1 = x2, iy1 = y2, ix2 = x1, iy2 = y1;
    ForEachRun(glyphs, r, true, [&](cairo_scaled_font_t* font, size_t first, int count) {
        cairo_text_extents_t e;
        cairo_scaled_font_glyph_extents(font, placed.data() + first, count, &e);
        if (e.width <= 0 || e.height <= 0)
            return;
        // The extents are measured from the first glyph's origin.
        double ox = placed[first].x, oy = placed[first].y;
        ix1 = std::min(ix1, ox + e.x_bearing), iy1 = std::min(iy1, oy + e.y_bearing);
        ix2 = std::max(ix2, ox + e.x_bearing + e.width);
        iy2 = std::max(iy2, oy + e.y_bearing + e.height);
    });
    double l = std::floor(std::max(x1, ix1 - 1)), t = std::floor(std::max(y1, iy1 - 1));
    double rr = std::ceil(std::min(x2, ix2 + 1)), b = std::ceil(std::min(y2, iy2 + 1));
    if (!(l < rr && t < b) || (rr - l) * (b - t) > 1e8)
        return;
    int w = static_cast<int>(rr - l), h = static_cast<int>(b - t);
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
    cairo_t* m = cairo_create(mask);
    cairo_translate(m, -l, -t);
    ForEachRun(glyphs, r, true, [&](cairo_scaled_font_t* font, size_t first, int count) {
        cairo_set_scaled_font(m, font);
        cairo_show_glyphs(m, placed.data() + first, count);
    });
    cairo_destroy(m);
    cairo_surface_flush(mask);
    uint8_t* data = cairo_image_surface_get_data(mask);
    if (data) {
        int stride = cairo_image_surface_get_stride(mask);
        int lum = (((textColor >> 16) & 0xFF) * 299 + ((textColor >> 8) & 0xFF) * 587 +
                   (textColor & 0xFF) * 114) /
                  1000;
        const uint8_t* table = SmoothingTable(lum < 128);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                data[y * stride + x] = table[data[y * stride + x]];
        cairo_surface_mark_dirty(mask);
        cairo_mask_surface(cr, mask, l, t);
    }
    cairo_surface_destroy(mask);
}

// Adds the outlines of a run to cr's path. Large glyphs are outlined at a moderate size and
// the outline scaled up, so that any size can be drawn.
void AppendOutlines(cairo_t* cr, const FontFace* face, const Linear& glyph,
                    const cairo_glyph_t* placed, int count) {
    double largest, smallest;
    Stretch(glyph, largest, smallest);
    double k = largest > 256 ? largest / 256 : 1.0;
    Linear small{glyph.a / k, glyph.b / k, glyph.c / k, glyph.d / k};
    cairo_scaled_font_t* font = MakeScaledFont(face, small, true, false);
    if (!font)
        return;
    std::vector<cairo_glyph_t> scaled(placed, placed + count);
    for (cairo_glyph_t& g : scaled)
        g.x /= k, g.y /= k;
    cairo_t* tmp = cairo_create(cairo_get_target(cr));
    cairo_set_scaled_font(tmp, font);
    cairo_glyph_path(tmp, scaled.data(), count);
    cairo_path_t* path = cairo_copy_path(tmp);
    cairo_destroy(tmp);
    cairo_scaled_font_destroy(font);
    if (path->status == CAIRO_STATUS_SUCCESS) {
        cairo_save(cr);
        cairo_scale(cr, k, k);
        cairo_append_path(cr, path);
        cairo_restore(cr);
    }
    cairo_path_destroy(path);
}

void DrawGlyphRuns(cairo_t* cr, const std::vector<Glyph>& glyphs,
                   const std::vector<cairo_glyph_t>& placed, const Realised& r, bool antialias,
                   uint32_t textColor) {
    // Large glyphs are filled as outlines instead of being rasterised into the cache.
    double largest, smallest;
    Stretch(r.glyph, largest, smallest);
    if (smallest < 0.5)
        return; // thinner than half a pixel: nothing would show
    if (largest <= 400) {
        if (antialias) {
            DrawSmoothGlyphs(cr, glyphs, placed, r, textColor);
            return;
        }
        ForEachRun(glyphs, r, false, [&](cairo_scaled_font_t* font, size_t first, int count) {
            cairo_set_scaled_font(cr, font);
            cairo_show_glyphs(cr, placed.data() + first, count);
        });
        return;
    }
    cairo_set_antialias(cr, antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_new_path(cr);
    for (size_t start = 0; start < glyphs.size();) {
        size_t end = start + 1;
        while (end < glyphs.size() && glyphs[end].face == glyphs[start].face)
            ++end;
        if (glyphs[start].face)
            AppendOutlines(cr, glyphs[start].face, r.glyph, placed.data() + start,
                           static_cast<int>(end - start));
        start = end;
    }
    cairo_fill(cr);
}

// A band across the string (underline, strike-out) or the text box, in text space.
void TextBandPath(cairo_t* cr, const Realised& r, double ox, double oy, double x0, double x1,
                  double y0, double y1) {
    double x[4], y[4];
    const double tx[4] = {x0, x1, x1, x0}, ty[4] = {y0, y0, y1, y1};
    for (int i = 0; i < 4; ++i) {
        r.text.Apply(tx[i], ty[i], x[i], y[i]);
        x[i] += ox, y[i] += oy;
    }
    QuadPath(cr, x, y);
}

void AddGlyphOutlines(cairo_t* cr, const std::vector<Glyph>& glyphs,
                      const std::vector<cairo_glyph_t>& placed, const Realised& r) {
    for (size_t start = 0; start < glyphs.size();) {
        size_t end = start + 1;
        while (end < glyphs.size() && glyphs[end].face == glyphs[start].face)
            ++end;
        if (glyphs[start].face)
            AppendOutlines(cr, glyphs[start].face, r.glyph, placed.data() + start,
                           static_cast<int>(end - start));
        start = end;
    }
}

// The string's extent back in logical units.
TextResult TextAdvance(const Realised& r, const Linear& logical, double width, double rise) {
    TextResult result;
    double ddx, ddy;
    r.text.Apply(width, rise, ddx, ddy);
    double det = logical.Det();
    result.advanceX = (logical.d * ddx - logical.c * ddy) / det;
    result.advanceY = (-logical.b * ddx + logical.a * ddy) / det;
    return result;
}

} // namespace

TextResult DrawTextRequest(cairo_t* cr, const TextRequest& req) {
    TextResult result;
    const Affine& m = req.toDevice;
    Linear logical{m.xx, m.yx, m.xy, m.yy};
    cairo_save(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    if (req.hasRect && (req.options & kEtoOpaque) && !req.toPath) {
        LogicalRectPath(cr, m, req.rect);
        SetColor(cr, req.bkColor);
        cairo_fill(cr);
    }
    Realised r;
    double ox = m.xx * req.refX + m.xy * req.refY + m.x0;
    double oy = m.yx * req.refX + m.yy * req.refY + m.y0;
    if (req.toPath)
        cairo_restore(cr); // the outlines must stay in cr's path
    if (req.codes.empty() || !std::isfinite(ox) || !std::isfinite(oy) ||
        std::abs(logical.Det()) < 1e-12 || !Realise(req, logical, r)) {
        if (!req.toPath)
            cairo_restore(cr);
        return result;
    }
    bool upright = !req.advancedMode && req.font.escapement % 3600 == 0;
    if (upright)
        ox = std::round(ox), oy = std::round(oy);

    std::vector<Glyph> glyphs = MapGlyphs(req, r);
    const size_t n = glyphs.size();
    double unitX = std::hypot(r.text.a, r.text.b), unitY = std::hypot(r.text.c, r.text.d);
    std::vector<double> advX(n, 0.0), advY(n, 0.0);
    if (req.dx.size() >= n) {
        for (size_t i = 0; i < n; ++i)
            advX[i] = req.dx[i];
        if (req.dy.size() >= n)
            for (size_t i = 0; i < n; ++i)
                advY[i] = -req.dy[i]; // displacements are measured upwards
    } else {
        std::vector<double> natural = NaturalAdvances(glyphs, r);
        for (size_t i = 0; i < n; ++i)
            advX[i] = natural[i] / unitX;
    }
    double width = 0, rise = 0;
    for (size_t i = 0; i < n; ++i)
        width += advX[i], rise += advY[i];

    double x0 = (req.align & kTaCenter) == kTaCenter ? -width / 2
                : (req.align & kTaRight)             ? -width
                                                     : 0.0;
    double baseline = (req.align & kTaBaseline) == kTaBaseline ? 0.0
                      : (req.align & kTaBottom)                ? -r.descentDev / unitY
                                                               : r.ascentDev / unitY;
    // The baseline lies the cell's ascent (or descent) away from the reference point,
    // measured in device pixels at right angles to the baseline's direction.
    double shift = (req.align & kTaBaseline) == kTaBaseline ? 0.0
                   : (req.align & kTaBottom)                ? -r.descentDev
                                                            : r.ascentDev;
    double ux = r.text.a / unitX, uy = r.text.b / unitX;
    double side = r.text.Det() < 0 ? -1.0 : 1.0;
    double baseX = ox - side * uy * shift, baseY = oy + side * ux * shift;
    std::vector<cairo_glyph_t> placed(n);
    double penX = x0, penY = 0;
    for (size_t i = 0; i < n; ++i) {
        double dxDev, dyDev;
        r.text.Apply(penX, penY, dxDev, dyDev);
        placed[i] = {glyphs[i].index, baseX + dxDev, baseY + dyDev};
        penX += advX[i], penY += advY[i];
    }

    if (req.toPath) {
        AddGlyphOutlines(cr, glyphs, placed, r);
        return TextAdvance(r, logical, width, rise);
    }
    if (req.hasRect && (req.options & kEtoClipped)) {
        LogicalRectPath(cr, m, req.rect);
        cairo_clip(cr);
    }
    double ascentText = r.ascentDev / unitY, descentText = r.descentDev / unitY;
    if (req.opaqueBackground) {
        TextBandPath(cr, r, ox, oy, x0, x0 + width, baseline - ascentText, baseline + descentText);
        SetColor(cr, req.bkColor);
        cairo_fill(cr);
    }
    SetColor(cr, req.textColor);
    // NONANTIALIASED_QUALITY never smooths, nor do the system's bitmap faces; ANTIALIASED
    // and CLEARTYPE qualities always do; otherwise the font's own table decides per size,
    // as greyscale smoothing does.
    bool antialias = req.font.quality == 3 || fonts::IsBitmapFace(req.font.faceName) ? false
                     : req.font.quality >= 4                                         ? true
                                             : r.primary->SmoothAt(r.ppem);
    DrawGlyphRuns(cr, glyphs, placed, r, antialias, req.textColor);

    const fonts::FontMetrics& fm = r.primary->Metrics();
    double perUnit = double(r.ppem) / fm.unitsPerEm / unitY; // font units -> text space
    double minStroke = 1.0 / unitY;
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    if (req.font.underline) {
        double thick = std::max(minStroke, fm.underlineThickness * perUnit);
        double top = baseline - fm.underlinePosition * perUnit - thick / 2;
        TextBandPath(cr, r, ox, oy, x0, x0 + width, top, top + thick);
        cairo_fill(cr);
    }
    if (req.font.strikeOut) {
        double thick = std::max(minStroke, fm.strikeoutSize * perUnit);
        double top = baseline - fm.strikeoutPosition * perUnit;
        TextBandPath(cr, r, ox, oy, x0, x0 + width, top, top + thick);
        cairo_fill(cr);
    }
    cairo_restore(cr);
    return TextAdvance(r, logical, width, rise);
}

} // namespace qm::emf
