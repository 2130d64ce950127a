#include "platform/draw/text.h"

#include "core/unicode.h"
#include "platform/fonts/freetype_library.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>

namespace qm::draw {

namespace {

const cairo_user_data_key_t kFaceKey{};

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

} // namespace

TextFont::TextFont(const FontRequest& request) {
    if (request.file.empty() || !(request.sizePoints > 0))
        return;
    FT_Face face = fonts::OpenFreeTypeFace(request.file, request.index);
    if (!face)
        return;
    m_face = cairo_ft_font_face_create_for_ft_face(face, 0);
    if (cairo_font_face_set_user_data(m_face, &kFaceKey, face, fonts::ReleaseFreeTypeFace) !=
        CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(m_face);
        m_face = nullptr;
        fonts::CloseFreeTypeFace(face);
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
