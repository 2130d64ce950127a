// EMF+ text records: DrawString (laid out in a rectangle) and DrawDriverString (placed glyphs).
#include <algorithm>
#include <cmath>
#include <string>

#include "platform/emfplus/emfplus_player.h"
#include "platform/emfplus/emfplus_string_layout.h"
#include "platform/fonts/bidi.h"
#include "platform/fonts/font_face.h"
#include "platform/fonts/font_match.h"
#include "platform/fonts/symbol_map.h"

namespace qm::emfplus {

namespace {

std::string Utf8(const std::u16string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u32string Utf32(std::span<const uint8_t> bytes, size_t units) {
    std::u32string out;
    std::u16string s(units, u'\0');
    std::memcpy(s.data(), bytes.data(), units * 2);
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(c);
    }
    return out;
}

// The faces that draw a font: the matched one, and a fallback for characters it lacks.
struct Faces {
    std::shared_ptr<const fonts::FontFace> primary, fallback;
    fonts::SymbolSet symbols = fonts::SymbolSet::None;
    const fonts::FontFace* For(char32_t c, uint32_t& glyph) const {
        // Symbol faces: what the installed face lacks (a text face stands in for them, or a
        // look-alike lacks the symbol) is drawn as its Unicode equivalent.
        bool skipPrimary = false;
        if (symbols != fonts::SymbolSet::None && primary &&
            (!primary->IsSymbolEncoded() || !primary->GlyphIndex(c))) {
            const char32_t u = fonts::SymbolToUnicode(symbols, c);
            skipPrimary = primary->IsSymbolEncoded() && u != c;
            c = u;
        }
        glyph = primary && !skipPrimary ? primary->GlyphIndex(c) : 0;
        if (glyph || !fallback)
            return primary.get();
        const uint32_t g = fallback->GlyphIndex(c);
        if (g) {
            glyph = g;
            return fallback.get();
        }
        if (c >= 0x80)
            if (auto other = fonts::OpenFaceForCharacter(c, 400, false)) {
                glyph = other->GlyphIndex(c);
                return other.get();
            }
        return primary.get();
    }
};

Faces FacesFor(const Font& f) {
    Faces out;
    const int weight = (f.style & 1) ? 700 : 400;
    const bool italic = (f.style & 2) != 0;
    const std::string family = Utf8(f.family);
    out.symbols = fonts::SymbolSetOf(family);
    out.primary = fonts::OpenFontFace(fonts::MatchOutlineFont(family, weight, italic));
    out.fallback = fonts::OpenFontFace(fonts::MatchFont("DejaVu Sans", weight, italic));
    if (!out.primary || out.primary->IsBitmap())
        out.primary = out.fallback;
    return out;
}

struct PlacedGlyph {
    const fonts::FontFace* face = nullptr;
    uint32_t index = 0;
    double x = 0, y = 0;
};

// Glyph sizes FreeType accepts, in device pixels. A size it refuses would leave the shared
// font face in an error state for good.
constexpr double kMaxGlyphPixels = 2048;
constexpr double kMinGlyphPixels = 1.0 / 64;
constexpr double kOutlineSize = 256; // larger glyphs are outlined at this size and scaled up

// Largest and smallest stretch of the glyphs of a font of this size under cr's matrix.
void GlyphStretch(cairo_t* cr, double size, double& largest, double& smallest) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    const double e = (m.xx + m.yy) / 2, f = (m.xx - m.yy) / 2, g = (m.yx + m.xy) / 2,
                 h = (m.yx - m.xy) / 2;
    const double q = std::hypot(e, h), w = std::hypot(f, g);
    largest = (q + w) * size;
    smallest = std::fabs(q - w) * size;
}

void SetFace(cairo_t* cr, const fonts::FontFace* face, double size) {
    cairo_set_font_face(cr, face->CairoFace());
    cairo_set_font_size(cr, size);
}

// Fills the outlines of a run of glyphs too large for the rasteriser: they are made at a
// size it takes and scaled up.
void FillLargeGlyphs(cairo_t* cr, const fonts::FontFace* face, std::vector<cairo_glyph_t> run,
                     double size, double largest) {
    const double k = largest / kOutlineSize;
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    m.xx /= k, m.yx /= k, m.xy /= k, m.yy /= k, m.x0 /= k, m.y0 /= k;
    cairo_t* tmp = cairo_create(cairo_get_target(cr));
    cairo_set_matrix(tmp, &m);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_get_font_options(cr, options);
    cairo_set_font_options(tmp, options);
    cairo_font_options_destroy(options);
    SetFace(tmp, face, size);
    cairo_glyph_path(tmp, run.data(), int(run.size()));
    cairo_identity_matrix(tmp);
    cairo_path_t* path = cairo_copy_path(tmp);
    cairo_destroy(tmp);
    if (path->status == CAIRO_STATUS_SUCCESS) {
        cairo_get_matrix(cr, &m);
        cairo_identity_matrix(cr);
        cairo_scale(cr, k, k);
        cairo_new_path(cr);
        cairo_append_path(cr, path);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
        cairo_fill(cr);
        cairo_set_matrix(cr, &m);
    }
    cairo_path_destroy(path);
}

// Draws the glyphs, one run per face, at the font size given in cr's user units.
void ShowGlyphs(cairo_t* cr, const std::vector<PlacedGlyph>& glyphs, double size) {
    double largest, smallest;
    GlyphStretch(cr, size, largest, smallest);
    if (!(smallest >= kMinGlyphPixels) || !std::isfinite(largest))
        return; // too small to see
    std::vector<cairo_glyph_t> run;
    for (size_t i = 0; i < glyphs.size();) {
        const fonts::FontFace* face = glyphs[i].face;
        run.clear();
        size_t j = i;
        for (; j < glyphs.size() && glyphs[j].face == face; ++j)
            run.push_back({glyphs[j].index, glyphs[j].x, glyphs[j].y});
        if (face && largest > kMaxGlyphPixels) {
            FillLargeGlyphs(cr, face, run, size, largest);
        } else if (face) {
            SetFace(cr, face, size);
            cairo_show_glyphs(cr, run.data(), int(run.size()));
        }
        i = j;
    }
}

// A glyph's advance in cr's user units. Sizes the rasteriser refuses are measured at a size
// it takes (metrics are not hinted, so advances scale with the size).
double Advance(cairo_t* cr, const fonts::FontFace* face, uint32_t glyph, double size) {
    if (!face)
        return 0;
    double largest, smallest;
    GlyphStretch(cr, size, largest, smallest);
    cairo_glyph_t g{glyph, 0, 0};
    cairo_text_extents_t ext{};
    if (largest <= kMaxGlyphPixels && smallest >= kMinGlyphPixels) {
        SetFace(cr, face, size);
        cairo_glyph_extents(cr, &g, 1, &ext);
        return std::isfinite(ext.x_advance) ? ext.x_advance : 0;
    }
    cairo_matrix_t fontMatrix, identity;
    cairo_matrix_init_scale(&fontMatrix, kOutlineSize, kOutlineSize);
    cairo_matrix_init_identity(&identity);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_get_font_options(cr, options);
    cairo_scaled_font_t* font =
        cairo_scaled_font_create(face->CairoFace(), &fontMatrix, &identity, options);
    cairo_font_options_destroy(options);
    cairo_scaled_font_glyph_extents(font, &g, 1, &ext);
    cairo_scaled_font_destroy(font);
    const double advance = ext.x_advance * size / kOutlineSize;
    return std::isfinite(advance) ? advance : 0;
}

void SetTextOptions(cairo_t* cr, bool antialias) {
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_antialias(o, antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(o,
                                      antialias ? CAIRO_HINT_STYLE_NONE : CAIRO_HINT_STYLE_DEFAULT);
    cairo_set_font_options(cr, o);
    cairo_font_options_destroy(o);
}

// The characters of a string with the faces and glyphs that draw them.
struct StringGlyphs {
    std::vector<LayoutChar> chars;
    std::vector<const fonts::FontFace*> faces;
    std::vector<uint32_t> glyphs;
};

StringGlyphs GlyphsOf(cairo_t* cr, const std::u32string& text, const Faces& faces, double size,
                      double tracking) {
    StringGlyphs out;
    out.chars.reserve(text.size());
    for (char32_t c : text) {
        uint32_t glyph = 0;
        const fonts::FontFace* face = nullptr;
        double advance = 0;
        if (c != U'\n' && c != U'\t') {
            face = faces.For(c, glyph);
            advance = Advance(cr, face, glyph, size) * tracking;
        }
        out.chars.push_back({c, advance});
        out.faces.push_back(face);
        out.glyphs.push_back(glyph);
    }
    return out;
}

// The glyphs of a line with right-to-left or complex-script characters, shaped: their runs in
// the order of the bidirectional algorithm, each run piece by piece with the face that has its
// characters. Empty when the line needs no shaping.
void ShapeLine(const std::u32string& line, const std::vector<const fonts::FontFace*>& lineFaces,
               double size, double tracking, bool rtl, std::vector<PlacedGlyph>& glyphs,
               std::vector<double>& advances) {
    bool complex = false;
    for (char32_t c : line)
        complex = complex || fonts::NeedsShaping(c);
    const bool bidi = fonts::NeedsBidi(line, rtl);
    if (!complex && !bidi)
        return;
    const std::vector<fonts::BidiRun> runs =
        bidi ? fonts::BidiRuns(line, rtl) : std::vector<fonts::BidiRun>{{0, line.size(), false}};
    for (const fonts::BidiRun& run : runs) {
        for (const fonts::FacePiece& piece : fonts::PiecesByFace(line, run, lineFaces)) {
            if (!piece.face)
                continue;
            const double scale = size / piece.face->Metrics().unitsPerEm * tracking;
            for (const auto& g :
                 piece.face->Shape(line.substr(piece.start, piece.length), run.rtl)) {
                glyphs.push_back({piece.face, g.index, 0, 0});
                advances.push_back(g.advance * scale);
            }
        }
    }
}

// Fills the underline or strike-out bar of a font across [x0, x0 + width) of a baseline.
void FillBar(cairo_t* cr, double x0, double baseline, double width, double position,
             double thickness) {
    const double th = std::max(thickness, 0.0);
    cairo_rectangle(cr, x0, baseline - position - th / 2, width, th);
    cairo_fill(cr);
}

// Lays the string out in its rectangle and draws it: one line after another, down the
// rectangle, or for vertical text from its right edge leftwards with the glyphs turned a
// quarter clockwise (ideographs and kana stay upright).
void DrawLaidOutString(cairo_t* cr, const std::u32string& text, const std::vector<size_t>& hotkeys,
                       const Faces& faces, const Font& font, const StringFormat& format,
                       const RectF& rect, double size) {
    const fonts::FontMetrics& metrics = faces.primary->Metrics();
    const double em = size / metrics.unitsPerEm;
    const double ascent = metrics.ascent * em;
    const bool vertical = (format.flags & kFormatVertical) != 0;
    const bool rtl = (format.flags & kFormatRightToLeft) != 0;
    const StringGlyphs glyphs = GlyphsOf(cr, text, faces, size, format.tracking);
    uint32_t ellipsisGlyph = 0;
    const fonts::FontFace* ellipsisFace = faces.For(U'\u2026', ellipsisGlyph);

    LayoutParams p;
    p.flags = format.flags;
    p.alignment = format.alignment;
    p.lineAlignment = format.lineAlignment;
    p.trimming = Trimming(format.trimming);
    p.width = vertical ? rect.h : rect.w;
    p.height = vertical ? rect.w : rect.h;
    p.leadingMargin = format.leadingMargin * size;
    p.trailingMargin = format.trailingMargin * size;
    p.lineHeight = (metrics.ascent + metrics.descent) * em;
    p.firstTabOffset = format.firstTabOffset;
    p.tabStops = format.tabStops;
    p.defaultTab = 4 * size;
    p.ellipsisAdvance = Advance(cr, ellipsisFace, ellipsisGlyph, size) * format.tracking;
    const std::vector<LaidLine> lines = LayOutString(glyphs.chars, p);

    // Lines run along x from the layout origin; vertical lines are turned onto the page.
    if (vertical) {
        cairo_translate(cr, rect.x + std::max<double>(rect.w, 0), rect.y);
        cairo_rotate(cr, M_PI / 2);
    } else {
        cairo_translate(cr, rect.x, rect.y);
    }
    std::vector<PlacedGlyph> placed, upright;
    for (const LaidLine& line : lines) {
        const double y = line.top + ascent;
        std::u32string shapedText;
        std::vector<const fonts::FontFace*> shapedFaces;
        bool hasEllipsis = false;
        for (const LaidChar& c : line.chars) {
            if (c.index == LaidChar::kEllipsis) {
                hasEllipsis = true;
                continue;
            }
            shapedText.push_back(text[c.index]);
            shapedFaces.push_back(glyphs.faces[c.index]);
        }
        std::vector<PlacedGlyph> shaped;
        std::vector<double> shapedAdvance;
        ShapeLine(shapedText, shapedFaces, size, format.tracking, rtl, shaped, shapedAdvance);
        if (!shaped.empty()) {
            // The ellipsis ends the line where its reading ends: on the left for right to left.
            double x = line.left;
            if (hasEllipsis && rtl) {
                placed.push_back({ellipsisFace, ellipsisGlyph, x, y});
                x += p.ellipsisAdvance;
            }
            for (size_t i = 0; i < shaped.size(); ++i) {
                placed.push_back({shaped[i].face, shaped[i].index, x, y});
                x += shapedAdvance[i];
            }
            if (hasEllipsis && !rtl)
                placed.push_back({ellipsisFace, ellipsisGlyph, x, y});
        } else {
            for (const LaidChar& c : line.chars) {
                const double x = line.left + c.x;
                if (c.index == LaidChar::kEllipsis) {
                    placed.push_back({ellipsisFace, ellipsisGlyph, x, y});
                    continue;
                }
                const char32_t ch = text[c.index];
                if (!glyphs.faces[c.index] || ch == U' ')
                    continue;
                PlacedGlyph g{glyphs.faces[c.index], glyphs.glyphs[c.index], x, y};
                if (vertical && IsIdeographic(ch)) {
                    // Turned back about the centre of its cell.
                    g.x = x + c.advance / 2;
                    g.y = line.top + p.lineHeight / 2;
                    upright.push_back(g);
                } else {
                    placed.push_back(g);
                }
                if (std::binary_search(hotkeys.begin(), hotkeys.end(), c.index))
                    FillBar(cr, x, y, c.advance, metrics.underlinePosition * em,
                            metrics.underlineThickness * em);
            }
        }
        if (font.style & 4)
            FillBar(cr, line.left, y, line.width, metrics.underlinePosition * em,
                    metrics.underlineThickness * em);
        if (font.style & 8)
            FillBar(cr, line.left, y, line.width, metrics.strikeoutPosition * em,
                    metrics.strikeoutSize * em);
    }
    ShowGlyphs(cr, placed, size);
    for (const PlacedGlyph& g : upright) {
        const double advance = Advance(cr, g.face, g.index, size);
        cairo_save(cr);
        cairo_translate(cr, g.x, g.y);
        cairo_rotate(cr, -M_PI / 2);
        ShowGlyphs(cr, {{g.face, g.index, -advance / 2, ascent - p.lineHeight / 2}}, size);
        cairo_restore(cr);
    }
}

} // namespace

double EmfPlusPlayer::FontSize(const Font& font) const {
    if (font.unit == kUnitWorld)
        return font.emSize;
    return font.emSize * UnitToPixels(font.unit) /
           (m_state.pageScale * UnitToPixels(m_state.pageUnit));
}

void EmfPlusPlayer::DrawString(uint16_t flags, std::span<const uint8_t> data) {
    Reader r(data);
    const uint32_t brushId = r.U32();
    const uint32_t formatId = r.U32();
    const uint32_t length = r.U32();
    const RectF rect = ReadRect(r, false);
    if (r.Failed() || length == 0 || length > (1u << 20) || !r.Fits(length, 2))
        return;
    const Font* font = (flags & 0xFF) < 64 ? std::get_if<Font>(&m_objects[flags & 0xFF]) : nullptr;
    if (!font || !(font->emSize > 0))
        return;
    StringFormat format;
    if (formatId < 64)
        if (const auto* f = std::get_if<StringFormat>(&m_objects[formatId]))
            format = *f;
    std::u32string text = Utf32(r.Bytes(size_t(length) * 2), length);
    text.erase(std::remove(text.begin(), text.end(), U'\r'), text.end());
    std::vector<size_t> hotkeys;
    text = RemoveHotkeyPrefixes(text, HotkeyPrefix(format.hotkeyPrefix), hotkeys);
    const Faces faces = FacesFor(*font);
    if (!faces.primary)
        return;
    const double size = FontSize(*font);
    if (!std::isfinite(size) || size <= 0 || size > 1e6)
        return;
    const bool antialias = m_state.textHint != 1 && m_state.textHint != 2;
    Draw(
        [&](cairo_t* cr) {
            if (!SetBrushId(cr, flags & 0x8000, brushId))
                return;
            SetTextOptions(cr, antialias);
            if (!(format.flags & kFormatNoClip) && rect.w > 0 && rect.h > 0) {
                cairo_rectangle(cr, rect.x, rect.y, rect.w, rect.h);
                cairo_clip(cr);
            }
            DrawLaidOutString(cr, text, hotkeys, faces, *font, format, rect, size);
        },
        antialias);
}

void EmfPlusPlayer::DrawDriverString(uint16_t flags, std::span<const uint8_t> data) {
    Reader r(data);
    const uint32_t brushId = r.U32();
    const uint32_t options = r.U32();
    const uint32_t matrixPresent = r.U32();
    const uint32_t count = r.U32();
    if (r.Failed() || count == 0 || count > (1u << 20) || !r.Fits(count, 10))
        return;
    std::vector<uint16_t> codes(count);
    for (auto& c : codes)
        c = r.U16();
    std::vector<PointF> positions(count);
    for (auto& p : positions) {
        p.x = r.F32();
        p.y = r.F32();
    }
    cairo_matrix_t m;
    cairo_matrix_init_identity(&m);
    if (matrixPresent) {
        m.xx = r.F32();
        m.yx = r.F32();
        m.xy = r.F32();
        m.yy = r.F32();
        m.x0 = r.F32();
        m.y0 = r.F32();
    }
    if (r.Failed())
        return;
    const Font* font = (flags & 0xFF) < 64 ? std::get_if<Font>(&m_objects[flags & 0xFF]) : nullptr;
    if (!font || !(font->emSize > 0))
        return;
    const Faces faces = FacesFor(*font);
    if (!faces.primary)
        return;
    const double size = FontSize(*font);
    if (!std::isfinite(size) || size <= 0 || size > 1e6)
        return;
    const bool cmapLookup = (options & 1) != 0;
    const bool realizedAdvance = (options & 4) != 0;
    const bool antialias = m_state.textHint != 1 && m_state.textHint != 2;
    Draw(
        [&](cairo_t* cr) {
            if (!SetBrushId(cr, flags & 0x8000, brushId))
                return;
            SetTextOptions(cr, antialias);
            const double det = m.xx * m.yy - m.xy * m.yx;
            if (matrixPresent && std::isfinite(det) && std::fabs(det) > 1e-12)
                cairo_transform(cr, &m);
            std::vector<PlacedGlyph> placed;
            double x = positions[0].x, y = positions[0].y;
            for (uint32_t i = 0; i < count; ++i) {
                PlacedGlyph g;
                if (cmapLookup) {
                    g.face = faces.For(codes[i], g.index);
                } else {
                    g.face = faces.primary.get();
                    g.index = codes[i];
                }
                if (!realizedAdvance) {
                    x = positions[i].x;
                    y = positions[i].y;
                }
                g.x = x;
                g.y = y;
                placed.push_back(g);
                if (realizedAdvance)
                    x += Advance(cr, g.face, g.index, size);
            }
            ShowGlyphs(cr, placed, size);
        },
        antialias);
}

} // namespace qm::emfplus
