#include "platform/emf/text_draw.h"

#include "platform/emf/text_glyphs.h"
#include "platform/fonts/bidi.h"
#include "platform/fonts/font_face.h"
#include "platform/fonts/font_match.h"
#include "platform/fonts/symbol_map.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace qm::emf {
namespace {

using namespace detail;

using fonts::FontFace;

// Counter-clockwise rotation as seen with y pointing down.
Linear Rotation(int32_t tenths) {
    double angle = (tenths % 3600) * M_PI / 1800.0;
    double c = std::cos(angle), s = std::sin(angle);
    return {c, -s, s, c};
}

Linear Scale(double sx, double sy) {
    return {sx, 0, 0, sy};
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

// A raster font: the size the mapper picks for the height, enlarged by a whole factor.
// Its glyphs are never turned, slanted or stretched; the string's direction and spacing
// still follow the mapping.
bool RealiseBitmap(const TextRequest& req, const Linear& logical, fonts::FontMatch match,
                   int weight, Realised& out) {
    const TextFont& f = req.font;
    std::vector<fonts::BitmapStrike> strikes = fonts::BitmapStrikes(match);
    double sx = std::hypot(logical.a, logical.b), sy = std::hypot(logical.c, logical.d);
    double height = f.height == 0 ? 16.0 : f.height * sy; // device pixels
    if (strikes.empty() || !std::isfinite(height) || sx <= 0 || sy <= 0)
        return false;
    fonts::StrikeChoice choice = fonts::ChooseBitmapStrike(strikes, height);
    const fonts::BitmapStrike& strike = strikes[choice.strike];
    match.file = strike.file;
    match.index = strike.index;
    std::shared_ptr<const FontFace> face = fonts::OpenFontFace(match);
    if (!face || !face->IsBitmap())
        return false;
    out.primary = face;
    out.exact = true;
    const fonts::FontMetrics& m = face->Metrics();
    int k = choice.scale;
    out.bitmapScale = k;
    out.bitmapBold = weight >= 600 && strike.weight < 600;
    out.ppem = m.unitsPerEm * k;
    out.ascentDev = m.ascent * k;
    out.descentDev = m.descent * k;
    int32_t escapement = !req.advancedMode && logical.Det() < 0 ? -f.escapement : f.escapement;
    out.text = Rotation(escapement).Then(req.advancedMode ? logical : Scale(sx, sy));
    out.glyph = Scale(out.ppem, out.ppem);
    return std::abs(out.text.Det()) > 1e-12;
}

bool Realise(const TextRequest& req, const Linear& logical, Realised& out) {
    const TextFont& f = req.font;
    int weight = f.weight <= 0 ? 400 : f.weight;
    fonts::FontMatch match = fonts::MatchFont(f.faceName, weight, f.italic,
                                              fonts::HintFromPitchAndFamily(f.pitchAndFamily));
    out.fallback = fonts::OpenFontFace(fonts::MatchFont("DejaVu Sans", weight, f.italic));
    if (match.bitmap && RealiseBitmap(req, logical, match, weight, out))
        return true;
    // A raster font that cannot be read is drawn with the fallback's outlines.
    out.primary = match.bitmap ? nullptr : fonts::OpenFontFace(match);
    out.exact = match.exact && out.primary;
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
        // Fonts are realised in whole device pixels: the face's average width at this size
        // is rounded, and the asked width is cut to whole pixels as the height was.
        double avgDev = std::max(1.0, std::round(double(avgWidth) * out.ppem / m.unitsPerEm));
        // Outside the advanced graphics mode only the height follows the mapping: the
        // width is scaled by the vertical scale, whatever the horizontal one.
        double widthDev = req.advancedMode
                              ? std::round(std::abs(double(f.width)) * sx)
                              : std::floor(std::min(std::abs(double(f.width)) * sy, 1e9) + 1e-7);
        out.xScale = std::clamp(std::max(widthDev, 1.0) / avgDev, 0.01, 100.0);
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
        const FontFace* face = r.primary.get();
        const char32_t asked = c;
        if (symbols != fonts::SymbolSet::None && r.primary->IsSymbolEncoded()) {
            // A look-alike that lacks this symbol: its Unicode equivalent, from text fonts.
            if (!r.primary->GlyphIndex(c) && fonts::SymbolToUnicode(symbols, c) != c) {
                c = fonts::SymbolToUnicode(symbols, c);
                if (r.fallback)
                    face = r.fallback.get();
            }
        } else if (symbols != fonts::SymbolSet::None) {
            // The look-alike of a symbol face keeps the symbols of the ASCII codes where the
            // Windows face has them; for the upper half it has other glyphs, so those
            // symbols come from the fallback as Unicode characters.
            char32_t low = (c >= 0xF020 && c <= 0xF0FF) ? c - 0xF000 : c;
            bool lookAlike = r.exact && !r.primary->IsBitmap();
            c = lookAlike && low < 0x80 ? low : fonts::SymbolToUnicode(symbols, c);
            if (lookAlike && low >= 0x80 && low <= 0xFF && r.fallback)
                face = r.fallback.get();
        } else if (unknownSymbols) {
            // Symbols of a face we have nothing for: the missing-glyph box, not letters.
            glyphs[i] = {r.primary.get(), 0};
            continue;
        }
        uint32_t g = face->GlyphIndex(c);
        if (g == 0 && r.fallback && face != r.fallback.get()) {
            uint32_t fb = r.fallback->GlyphIndex(c);
            if (fb != 0) {
                glyphs[i] = {r.fallback.get(), fb};
                continue;
            }
        }
        if (g == 0 && c >= 0x80 && (symbols == fonts::SymbolSet::None || c != asked)) {
            // Another installed font with the character (other scripts, CJK, symbols).
            if (auto other = fonts::OpenFaceForCharacter(c, 400, false)) {
                glyphs[i] = {other.get(), other->GlyphIndex(c)};
                continue;
            }
        }
        glyphs[i] = {face, g};
    }
    return glyphs;
}

// Text with characters of those scripts, or with right-to-left characters among others, is
// shaped: the bidirectional algorithm orders its runs (right to left as a whole where
// ETO_RTLREADING asks), and each run is shaped piece by piece with the face that has its
// characters (joining forms, ligatures, marks). Replaces the glyphs and gives their advances
// in device pixels; does nothing for other text.
void ShapeText(const TextRequest& req, const Realised& r, std::vector<Glyph>& glyphs,
               std::vector<double>& advances) {
    std::u32string text;
    std::vector<size_t> unitOf; // the code unit each character starts at
    bool complex = false;
    const bool rtlBase = (req.options & kEtoRtlReading) != 0;
    for (size_t i = 0; i < req.codes.size(); ++i) {
        char32_t c = req.codes[i];
        unitOf.push_back(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < req.codes.size() && req.codes[i + 1] >= 0xDC00 &&
            req.codes[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (req.codes[i + 1] - 0xDC00);
            ++i;
        }
        text.push_back(c);
        complex = complex || fonts::NeedsShaping(c);
    }
    const bool bidi = fonts::NeedsBidi(text, rtlBase);
    if (!complex && !bidi)
        return;
    // The face of each character: the one its glyph was found in.
    auto faceOf = [&](size_t k) {
        const size_t at = unitOf[k];
        if (at < glyphs.size() && glyphs[at].face && glyphs[at].index)
            return glyphs[at].face;
        return r.primary.get();
    };
    std::vector<const FontFace*> faces(text.size());
    for (size_t k = 0; k < text.size(); ++k)
        faces[k] = faceOf(k);
    const std::vector<fonts::BidiRun> runs =
        bidi ? fonts::BidiRuns(text, rtlBase)
             : std::vector<fonts::BidiRun>{{0, text.size(), false}};
    std::vector<Glyph> out;
    std::vector<double> outAdvances;
    for (const fonts::BidiRun& run : runs) {
        for (const fonts::FacePiece& piece : fonts::PiecesByFace(text, run, faces)) {
            if (!piece.face || piece.face->IsBitmap())
                return;
            const double scale = double(r.ppem) * r.xScale / piece.face->Metrics().unitsPerEm;
            for (const auto& g :
                 piece.face->Shape(text.substr(piece.start, piece.length), run.rtl)) {
                out.push_back({piece.face, g.index});
                outAdvances.push_back(g.advance * scale);
            }
        }
    }
    if (out.empty())
        return;
    glyphs = std::move(out);
    advances = std::move(outAdvances);
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
    std::vector<double> shaped; // device pixels, when the text was shaped
    if (!(req.options & kEtoGlyphIndex) && !r.primary->IsBitmap())
        ShapeText(req, r, glyphs, shaped);
    const size_t n = glyphs.size();
    double unitX = std::hypot(r.text.a, r.text.b), unitY = std::hypot(r.text.c, r.text.d);
    std::vector<double> advX(n, 0.0), advY(n, 0.0);
    if (!shaped.empty()) {
        // The record's spacing still sets the string's length.
        double total = 0, wanted = 0;
        for (size_t i = 0; i < n; ++i)
            total += advX[i] = shaped[i] / unitX;
        for (size_t i = 0; i < req.codes.size() && req.dx.size() >= req.codes.size(); ++i)
            wanted += req.dx[i];
        if (wanted > 0 && total > 0)
            for (double& a : advX)
                a *= wanted / total;
    } else if (req.dx.size() >= n) {
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
    if ((req.align & kTaCenter) == kTaCenter) {
        // Centred text moves back by half its width in whole device pixels, the halves
        // rounded towards the reference point: an odd width leaves the extra pixel right.
        double wx, wy;
        r.text.Apply(width, rise, wx, wy);
        if (std::isfinite(wx) && std::isfinite(wy) && std::abs(wx) < 1e9 && std::abs(wy) < 1e9) {
            baseX += wx / 2 - std::trunc(std::round(wx) / 2);
            baseY += wy / 2 - std::trunc(std::round(wy) / 2);
        }
    }
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
    // NONANTIALIASED_QUALITY never smooths, nor do the system's bitmap faces; CLEARTYPE
    // quality always does; otherwise (ANTIALIASED quality included) the font's own table
    // decides per size, as greyscale smoothing does.
    bool antialias = req.font.quality == 3 || fonts::IsBitmapFace(req.font.faceName) ? false
                     : req.font.quality >= 5                                         ? true
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
