#include "platform/draw/text.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <mutex>

namespace qm::draw {

namespace {

// FreeType is not safe for concurrent face creation on one library object.
std::mutex& FreeTypeLock() {
    static std::mutex lock;
    return lock;
}

FT_Library FreeTypeLibrary() {
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0)
            lib = nullptr;
        return lib;
    }();
    return library;
}

const cairo_user_data_key_t kFaceKey{};

void DoneFace(void* face) {
    std::lock_guard<std::mutex> guard(FreeTypeLock());
    FT_Done_Face(static_cast<FT_Face>(face));
}

cairo_scaled_font_t* MakeScaled(cairo_font_face_t* face, double pixels, TextMode mode) {
    cairo_matrix_t fontMatrix, ctm;
    cairo_matrix_init_scale(&fontMatrix, pixels, pixels);
    cairo_matrix_init_identity(&ctm);
    cairo_font_options_t* options = cairo_font_options_create();
    if (mode == TextMode::Raster) {
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    } else {
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    }
    cairo_scaled_font_t* scaled = cairo_scaled_font_create(face, &fontMatrix, &ctm, options);
    cairo_font_options_destroy(options);
    if (cairo_scaled_font_status(scaled) != CAIRO_STATUS_SUCCESS) {
        cairo_scaled_font_destroy(scaled);
        return nullptr;
    }
    return scaled;
}

// Length of the valid UTF-8 sequence at p (at most n bytes), 0 when malformed.
size_t SequenceLength(const unsigned char* p, size_t n) {
    const unsigned char c = p[0];
    size_t len = 0;
    uint32_t cp = 0;
    if (c < 0x80)
        return 1;
    if ((c & 0xE0) == 0xC0)
        len = 2, cp = c & 0x1F;
    else if ((c & 0xF0) == 0xE0)
        len = 3, cp = c & 0x0F;
    else if ((c & 0xF8) == 0xF0)
        len = 4, cp = c & 0x07;
    else
        return 0;
    if (len > n)
        return 0;
    for (size_t i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    const uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < minimum[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

std::string ValidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    size_t i = 0;
    while (i < text.size()) {
        const size_t len = SequenceLength(p + i, text.size() - i);
        if (len == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text.substr(i, len));
            i += len;
        }
    }
    return out;
}

TextFont::TextFont(const FontRequest& request) {
    FT_Library library = FreeTypeLibrary();
    if (!library || request.file.empty() || !(request.sizePoints > 0))
        return;
    FT_Face face = nullptr;
    {
        std::lock_guard<std::mutex> guard(FreeTypeLock());
        if (FT_New_Face(library, request.file.c_str(), request.index, &face) != 0)
            return;
    }
    m_face = cairo_ft_font_face_create_for_ft_face(face, 0);
    if (cairo_font_face_set_user_data(m_face, &kFaceKey, face, DoneFace) != CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(m_face);
        m_face = nullptr;
        DoneFace(face);
        return;
    }
    unsigned synthesize = 0;
    if (request.syntheticBold)
        synthesize |= CAIRO_FT_SYNTHESIZE_BOLD;
    if (request.syntheticItalic)
        synthesize |= CAIRO_FT_SYNTHESIZE_OBLIQUE;
    cairo_ft_font_face_set_synthesize(m_face, synthesize);

    // Point sizes are for a 96 dpi device.
    const double pixels = request.sizePoints * 96.0 / 72.0;
    m_raster = MakeScaled(m_face, pixels, TextMode::Raster);
    m_smooth = MakeScaled(m_face, pixels, TextMode::Antialiased);

    // Decoration lines from the face's own metrics, with fallbacks for fonts without them.
    m_underline = request.underline;
    m_strikeOut = request.strikeOut;
    const double unitsPerEm = face->units_per_EM > 0 ? face->units_per_EM : 2048.0;
    const double scale = pixels / unitsPerEm;
    m_underlineSize = std::max(1.0, face->underline_thickness * scale);
    m_underlineTop =
        face->underline_position != 0 ? face->underline_position * scale : -pixels * 0.1;
    m_underlineTop += m_underlineSize / 2;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->yStrikeoutSize > 0) {
        m_strikeSize = std::max(1.0, os2->yStrikeoutSize * scale);
        m_strikeTop = os2->yStrikeoutPosition * scale;
    } else {
        m_strikeSize = m_underlineSize;
        m_strikeTop = pixels * 0.3;
    }
}

TextFont::~TextFont() {
    if (m_raster)
        cairo_scaled_font_destroy(m_raster);
    if (m_smooth)
        cairo_scaled_font_destroy(m_smooth);
    if (m_face)
        cairo_font_face_destroy(m_face);
}

TextExtent TextFont::Measure(std::string_view text, TextMode mode) const {
    if (!Valid())
        return {};
    const std::string utf8 = ValidUtf8(text);
    cairo_text_extents_t te;
    cairo_font_extents_t fe;
    cairo_scaled_font_text_extents(Scaled(mode), utf8.c_str(), &te);
    cairo_scaled_font_extents(Scaled(mode), &fe);
    return TextExtent{te.x_advance, fe.ascent + fe.descent};
}

void TextFont::Draw(Layer& layer, double x, double y, std::string_view text, Rgba colour,
                    TextMode mode) const {
    if (!Valid() || !layer.Valid())
        return;
    const std::string utf8 = ValidUtf8(text);
    cairo_font_extents_t fe;
    cairo_scaled_font_extents(Scaled(mode), &fe);
    cairo_text_extents_t te;
    cairo_scaled_font_text_extents(Scaled(mode), utf8.c_str(), &te);

    cairo_t* cr = cairo_create(layer.Surface());
    cairo_set_scaled_font(cr, Scaled(mode));
    cairo_set_source_rgba(cr, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0,
                          colour.a / 255.0);
    const bool raster = mode == TextMode::Raster;
    double baseline = y + fe.ascent;
    if (raster) {
        // Glyphs land on whole pixels and replace the pixels under them, alpha included.
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        x = std::round(x);
        baseline = std::round(baseline);
    }
    cairo_move_to(cr, x, baseline);
    cairo_show_text(cr, utf8.c_str());

    auto line = [&](double top, double size) {
        if (raster) {
            top = std::round(top);
            size = std::max(1.0, std::round(size));
        }
        cairo_rectangle(cr, x, top, raster ? std::round(te.x_advance) : te.x_advance, size);
        cairo_fill(cr);
    };
    if (m_underline)
        line(baseline - m_underlineTop, m_underlineSize);
    if (m_strikeOut)
        line(baseline - m_strikeTop, m_strikeSize);
    cairo_destroy(cr);
}

} // namespace qm::draw
