// EMF+ text records: DrawString (laid out in a rectangle) and DrawDriverString (placed glyphs).
#include <algorithm>
#include <cmath>
#include <string>

#include "platform/emfplus/emfplus_player.h"
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
    out.primary = fonts::OpenFontFace(fonts::MatchFont(family, weight, italic));
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
    const std::u32string text = Utf32(r.Bytes(size_t(length) * 2), length);
    const Font* font = (flags & 0xFF) < 64 ? std::get_if<Font>(&m_objects[flags & 0xFF]) : nullptr;
    if (!font || !(font->emSize > 0))
        return;
    StringFormat format;
    if (formatId < 64)
        if (const auto* f = std::get_if<StringFormat>(&m_objects[formatId]))
            format = *f;
    const Faces faces = FacesFor(*font);
    if (!faces.primary)
        return;
    const double size = FontSize(*font);
    if (!std::isfinite(size) || size <= 0 || size > 1e6)
        return;
    const fonts::FontMetrics& metrics = faces.primary->Metrics();
    const double em = size / metrics.unitsPerEm;
    const double ascent = metrics.ascent * em;
    const double lineHeight = (metrics.ascent + metrics.descent) * em;
    const bool antialias = m_state.textHint != 1 && m_state.textHint != 2;
    const bool noWrap = (format.flags & 0x1000) != 0;
    const bool noClip = (format.flags & 0x4000) != 0;
    const bool rtl = (format.flags & 0x1) != 0;

    Draw(
        [&](cairo_t* cr) {
            if (!SetBrushId(cr, flags & 0x8000, brushId))
                return;
            SetTextOptions(cr, antialias);
            if (!noClip && rect.w > 0 && rect.h > 0) {
                cairo_rectangle(cr, rect.x, rect.y, rect.w, rect.h);
                cairo_clip(cr);
            }
            const double lead = format.leadingMargin * size, trail = format.trailingMargin * size;
            const double avail = rect.w > 0 ? rect.w - lead - trail : 0;
            // Glyphs and advances of the whole string; line breaks at '\n'.
            struct Item {
                char32_t c;
                const fonts::FontFace* face;
                uint32_t glyph;
                double advance;
            };
            std::vector<Item> items;
            items.reserve(text.size());
            for (char32_t c : text) {
                if (c == U'\r')
                    continue;
                Item it{c, nullptr, 0, 0};
                if (c != U'\n') {
                    it.face = faces.For(c == U'\t' ? U' ' : c, it.glyph);
                    it.advance = Advance(cr, it.face, it.glyph, size) * format.tracking;
                }
                items.push_back(it);
            }
            // Lines with right-to-left or complex-script characters are shaped: their runs
            // in the order of the bidirectional algorithm, each run piece by piece with the
            // face that has its characters.
            auto ShapeLine = [](const std::vector<Item>& items, size_t a, size_t b, double size,
                                double tracking, bool rtl, std::vector<PlacedGlyph>& glyphs,
                                std::vector<double>& advances) {
                std::u32string line;
                bool complex = false;
                for (size_t i = a; i < b; ++i) {
                    line.push_back(items[i].c);
                    complex = complex || fonts::NeedsShaping(items[i].c);
                }
                const bool bidi = fonts::NeedsBidi(line, rtl);
                if (!complex && !bidi)
                    return;
                std::vector<const fonts::FontFace*> faces(line.size());
                for (size_t k = 0; k < line.size(); ++k)
                    faces[k] = items[a + k].face;
                const std::vector<fonts::BidiRun> runs =
                    bidi ? fonts::BidiRuns(line, rtl)
                         : std::vector<fonts::BidiRun>{{0, line.size(), false}};
                for (const fonts::BidiRun& run : runs) {
                    for (const fonts::FacePiece& piece : fonts::PiecesByFace(line, run, faces)) {
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
            };
            // Lines: explicit breaks, then wrapping at blanks within the available width.
            std::vector<std::pair<size_t, size_t>> lines;
            size_t start = 0;
            while (start <= items.size()) {
                size_t end = start;
                double width = 0;
                size_t lastBlank = SIZE_MAX;
                while (end < items.size() && items[end].c != U'\n') {
                    if (!noWrap && avail > 0 && width + items[end].advance > avail && end > start &&
                        items[end].c != U' ') {
                        if (lastBlank != SIZE_MAX)
                            end = lastBlank;
                        break;
                    }
                    if (items[end].c == U' ')
                        lastBlank = end;
                    width += items[end].advance;
                    ++end;
                }
                lines.emplace_back(start, end);
                if (end >= items.size())
                    break;
                start = end + 1; // skip the break or the blank
                if (lines.size() > 10000)
                    break;
            }
            const double total = lines.size() * lineHeight;
            double top = rect.y;
            if (format.lineAlignment == 1)
                top = rect.y + (rect.h - total) / 2;
            else if (format.lineAlignment == 2)
                top = rect.y + rect.h - total;
            std::vector<PlacedGlyph> placed;
            for (size_t li = 0; li < lines.size(); ++li) {
                const auto [a, b] = lines[li];
                size_t visibleEnd = b;
                while (visibleEnd > a && items[visibleEnd - 1].c == U' ')
                    --visibleEnd;
                // Lines with right-to-left or complex-script characters are shaped whole.
                std::vector<PlacedGlyph> shapedLine;
                std::vector<double> shapedAdvance;
                ShapeLine(items, a, visibleEnd, size, format.tracking, rtl, shapedLine,
                          shapedAdvance);
                double width = 0;
                if (!shapedLine.empty())
                    for (double adv : shapedAdvance)
                        width += adv;
                else
                    for (size_t i = a; i < visibleEnd; ++i)
                        width += items[i].advance;
                uint32_t align = format.alignment;
                if (rtl && align != 1)
                    align = 2 - align;
                double x = rect.x + lead;
                if (align == 1)
                    x = rect.w > 0 ? rect.x + lead + (avail - width) / 2 : rect.x - width / 2;
                else if (align == 2)
                    x = rect.w > 0 ? rect.x + rect.w - trail - width : rect.x - width;
                const double y = top + li * lineHeight + ascent;
                for (size_t i = 0; i < shapedLine.size(); ++i) {
                    placed.push_back({shapedLine[i].face, shapedLine[i].index, x, y});
                    x += shapedAdvance[i];
                }
                for (size_t i = a; i < visibleEnd && shapedLine.empty(); ++i) {
                    if (items[i].face && items[i].c != U' ')
                        placed.push_back({items[i].face, items[i].glyph, x, y});
                    x += items[i].advance;
                }
                if (font->style & (4 | 8)) {
                    const double x0 = x - width;
                    if (font->style & 4) {
                        const double th = std::max(metrics.underlineThickness * em, 0.0);
                        cairo_rectangle(cr, x0, y - metrics.underlinePosition * em - th / 2, width,
                                        th);
                    }
                    if (font->style & 8) {
                        const double th = std::max(metrics.strikeoutSize * em, 0.0);
                        cairo_rectangle(cr, x0, y - metrics.strikeoutPosition * em - th / 2, width,
                                        th);
                    }
                    cairo_fill(cr);
                }
            }
            ShowGlyphs(cr, placed, size);
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
