#include "platform/emf/text_glyphs.h"

#include <cairo-ft.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

namespace qm::emf::detail {

using fonts::FontFace;

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
    Linear upright{r.ppem * r.xScale / k, 0, 0, r.ppem / k};
    for (size_t i = 0; i < glyphs.size(); ++i) {
        if (!glyphs[i].face)
            continue;
        if (glyphs[i].face->IsBitmap()) {
            adv[i] = double(glyphs[i].face->BitmapGlyph(glyphs[i].index).advance) * r.bitmapScale;
            continue;
        }
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

// Draws the glyphs of raster fonts pixel by pixel, enlarged by whole multiples, and takes
// them out of the list so that only outline glyphs remain.
void DrawBitmapGlyphs(cairo_t* cr, std::vector<Glyph>& glyphs,
                      const std::vector<cairo_glyph_t>& placed, const Realised& r) {
    const int k = std::max(r.bitmapScale, 1);
    for (size_t i = 0; i < glyphs.size(); ++i) {
        if (!glyphs[i].face || !glyphs[i].face->IsBitmap())
            continue;
        fonts::GlyphBitmap bm = glyphs[i].face->BitmapGlyph(glyphs[i].index);
        glyphs[i].face = nullptr;
        if (bm.width <= 0 || bm.height <= 0)
            continue;
        int stride = cairo_format_stride_for_width(CAIRO_FORMAT_A8, bm.width);
        cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, bm.width, bm.height);
        if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(mask);
            continue;
        }
        cairo_surface_flush(mask);
        uint8_t* data = cairo_image_surface_get_data(mask);
        for (int y = 0; y < bm.height; ++y)
            std::copy_n(bm.coverage.data() + size_t(y) * bm.width, bm.width, data + y * stride);
        cairo_surface_mark_dirty(mask);
        double x = std::round(placed[i].x), y = std::round(placed[i].y);
        for (int pass = 0; pass < (r.bitmapBold ? 2 : 1); ++pass) {
            cairo_save(cr);
            cairo_translate(cr, x + pass * k + bm.left * k, y - bm.top * k);
            cairo_scale(cr, k, k);
            cairo_pattern_t* p = cairo_pattern_create_for_surface(mask);
            cairo_pattern_set_filter(p, CAIRO_FILTER_NEAREST);
            cairo_mask(cr, p);
            cairo_pattern_destroy(p);
            cairo_restore(cr);
        }
        cairo_surface_destroy(mask);
    }
}

// Draws a run of glyphs of one face as one-bit raster text; false when the face cannot be
// drawn this way (cairo draws it then).
bool DrawMonoRun(cairo_t* cr, const FontFace* face, const Realised& r, const cairo_glyph_t* placed,
                 int count) {
    // Synthetic bold and slant are cairo's to draw.
    if (r.ppem < 1 || cairo_ft_font_face_get_synthesize(face->CairoFace()) != 0)
        return false;
    // The rest of the glyph matrix after the pixel size, y upwards.
    const double p = r.ppem;
    const double m[4] = {r.glyph.a / p, -r.glyph.c / p, -r.glyph.b / p, r.glyph.d / p};
    for (double v : m)
        if (!(std::abs(v) <= 64))
            return false;
    std::vector<fonts::GlyphBitmap> rendered(count);
    std::vector<long> ox(count), oy(count);
    long l = LONG_MAX, t = LONG_MAX, rr = LONG_MIN, b = LONG_MIN;
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(placed[i].x) || !std::isfinite(placed[i].y) ||
            std::abs(placed[i].x) > 1e7 || std::abs(placed[i].y) > 1e7)
            continue;
        rendered[i] = face->HintedMonoGlyph(static_cast<uint32_t>(placed[i].index), r.ppem, m);
        if (rendered[i].width <= 0 || rendered[i].height <= 0)
            continue;
        ox[i] = std::lround(placed[i].x) + rendered[i].left;
        oy[i] = std::lround(placed[i].y) - rendered[i].top;
        l = std::min(l, ox[i]), t = std::min(t, oy[i]);
        rr = std::max(rr, ox[i] + rendered[i].width);
        b = std::max(b, oy[i] + rendered[i].height);
    }
    if (l >= rr)
        return true;
    double cx1, cy1, cx2, cy2;
    cairo_clip_extents(cr, &cx1, &cy1, &cx2, &cy2);
    const long clipL = long(std::floor(cx1)), clipT = long(std::floor(cy1));
    const long clipR = long(std::ceil(cx2)), clipB = long(std::ceil(cy2));
    // Glyphs [first, last) go through one mask, cut to the clip.
    auto paint = [&](int first, int last, long l, long t, long r, long b) {
        l = std::max(l, clipL), t = std::max(t, clipT);
        r = std::min(r, clipR), b = std::min(b, clipB);
        if (l >= r || t >= b)
            return;
        const int w = static_cast<int>(r - l), h = static_cast<int>(b - t);
        cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
        uint8_t* data = cairo_image_surface_get_data(mask);
        if (cairo_surface_status(mask) == CAIRO_STATUS_SUCCESS && data) {
            cairo_surface_flush(mask);
            const int stride = cairo_image_surface_get_stride(mask);
            for (int i = first; i < last; ++i) {
                const fonts::GlyphBitmap& g = rendered[i];
                for (int y = 0; y < g.height; ++y) {
                    const long dy = oy[i] + y - t;
                    for (int x = 0; dy >= 0 && dy < h && x < g.width; ++x) {
                        const long dx = ox[i] + x - l;
                        if (dx >= 0 && dx < w && g.coverage[size_t(y) * g.width + x])
                            data[dy * stride + dx] = 255;
                    }
                }
            }
            cairo_surface_mark_dirty(mask);
            cairo_mask_surface(cr, mask, double(l), double(t));
        }
        cairo_surface_destroy(mask);
    };
    // A string spread over a large area (turned across a big picture) goes glyph by glyph.
    const double area = double(std::min(rr, clipR) - std::max(l, clipL)) *
                        double(std::min(b, clipB) - std::max(t, clipT));
    if (area <= double(1 << 22)) {
        paint(0, count, l, t, rr, b);
        return true;
    }
    for (int i = 0; i < count; ++i)
        if (rendered[i].width > 0)
            paint(i, i + 1, ox[i], oy[i], ox[i] + rendered[i].width, oy[i] + rendered[i].height);
    return true;
}

void DrawGlyphRuns(cairo_t* cr, const std::vector<Glyph>& allGlyphs,
                   const std::vector<cairo_glyph_t>& placed, const Realised& r, bool antialias,
                   uint32_t textColor) {
    std::vector<Glyph> glyphs = allGlyphs;
    if (r.primary && r.primary->IsBitmap())
        DrawBitmapGlyphs(cr, glyphs, placed, r);
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
        for (size_t start = 0; start < glyphs.size();) {
            size_t end = start + 1;
            while (end < glyphs.size() && glyphs[end].face == glyphs[start].face)
                ++end;
            const int count = static_cast<int>(end - start);
            if (glyphs[start].face &&
                !DrawMonoRun(cr, glyphs[start].face, r, &placed[start], count))
                if (cairo_scaled_font_t* font =
                        MakeScaledFont(glyphs[start].face, r.glyph, false, false)) {
                    cairo_set_scaled_font(cr, font);
                    cairo_show_glyphs(cr, &placed[start], count);
                    cairo_scaled_font_destroy(font);
                }
            start = end;
        }
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

} // namespace qm::emf::detail
