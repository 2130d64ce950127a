#include "platform/fonts/font_face.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GASP_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <map>
#include <mutex>
#include <tuple>

namespace qm::fonts {

struct FontFace::Impl {
    FT_Face face = nullptr;
    mutable std::mutex mutex; // FreeType faces are not safe for concurrent use
};

namespace {

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0)
            lib = nullptr;
        return lib;
    }();
    return library;
}

const cairo_user_data_key_t kFaceKey = {};

void ReleaseFace(void* face) {
    FT_Done_Face(static_cast<FT_Face>(face));
}

void ReadMetrics(FT_Face face, FontMetrics& m) {
    m.unitsPerEm = face->units_per_EM > 0 ? face->units_per_EM : 2048;
    m.ascent = face->ascender;
    m.descent = -face->descender;
    m.underlinePosition = face->underline_position;
    m.underlineThickness = face->underline_thickness;
    m.strikeoutPosition = m.unitsPerEm * 259 / 1000;
    m.strikeoutSize = m.underlineThickness;
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF) {
        // Windows measures cells with the usWin metrics.
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            m.ascent = os2->usWinAscent;
            m.descent = os2->usWinDescent;
        }
        m.avgCharWidth = os2->xAvgCharWidth;
        if (os2->yStrikeoutSize > 0) {
            m.strikeoutPosition = os2->yStrikeoutPosition;
            m.strikeoutSize = os2->yStrikeoutSize;
        }
    }
    if (m.underlineThickness <= 0)
        m.underlineThickness = m.unitsPerEm / 20;
    if (m.ascent + m.descent <= 0) {
        m.ascent = m.unitsPerEm * 9 / 10;
        m.descent = m.unitsPerEm / 5;
    }
}

} // namespace

class FaceCache {
public:
    std::shared_ptr<const FontFace> Open(const FontMatch& match) {
        std::lock_guard lock(m_mutex);
        auto key =
            std::make_tuple(match.file, match.index, match.syntheticBold, match.syntheticItalic);
        auto it = m_faces.find(key);
        // A face cairo has put into an error state is opened afresh.
        if (it != m_faces.end() &&
            (!it->second ||
             cairo_font_face_status(it->second->CairoFace()) == CAIRO_STATUS_SUCCESS))
            return it->second;
        if (it != m_faces.end())
            m_faces.erase(it);
        std::shared_ptr<const FontFace> face = Load(match);
        m_faces.emplace(key, face);
        return face;
    }

private:
    static std::shared_ptr<const FontFace> Load(const FontMatch& match) {
        FT_Library lib = Library();
        if (!lib || match.file.empty())
            return nullptr;
        std::shared_ptr<FontFace> font(new FontFace());
        font->m_impl = std::make_unique<FontFace::Impl>();
        FT_Face face = nullptr;
        if (FT_New_Face(lib, match.file.c_str(), match.index, &face) != 0)
            return nullptr;
        if (!FT_IS_SCALABLE(face)) {
            FT_Done_Face(face);
            return nullptr;
        }
        font->m_impl->face = face;
        font->m_glyphCount = static_cast<uint32_t>(face->num_glyphs);
        font->m_family = match.family;
        ReadMetrics(face, font->m_metrics);
        for (int i = 0; i < face->num_charmaps; ++i)
            if (face->charmaps[i]->encoding == FT_ENCODING_MS_SYMBOL)
                font->m_symbolCmap = true;
        if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0 && font->m_symbolCmap)
            FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL);

        // cairo draws from a face of its own (it locks that one while drawing), so our
        // queries never share a face with it.
        FT_Face drawFace = nullptr;
        if (FT_New_Face(lib, match.file.c_str(), match.index, &drawFace) != 0)
            return nullptr;
        font->m_cairoFace = cairo_ft_font_face_create_for_ft_face(drawFace, 0);
        if (cairo_font_face_status(font->m_cairoFace) != CAIRO_STATUS_SUCCESS ||
            cairo_font_face_set_user_data(font->m_cairoFace, &kFaceKey, drawFace, ReleaseFace) !=
                CAIRO_STATUS_SUCCESS) {
            FT_Done_Face(drawFace);
            return nullptr;
        }
        unsigned synth = (match.syntheticBold ? CAIRO_FT_SYNTHESIZE_BOLD : 0) |
                         (match.syntheticItalic ? CAIRO_FT_SYNTHESIZE_OBLIQUE : 0);
        if (synth)
            cairo_ft_font_face_set_synthesize(font->m_cairoFace, synth);
        return font;
    }

    std::mutex m_mutex;
    std::map<std::tuple<std::string, int, bool, bool>, std::shared_ptr<const FontFace>> m_faces;
};

FontFace::~FontFace() {
    if (m_cairoFace)
        cairo_font_face_destroy(m_cairoFace);
    if (m_impl && m_impl->face)
        FT_Done_Face(m_impl->face);
}

uint32_t FontFace::GlyphIndex(char32_t c) const {
    std::lock_guard lock(m_impl->mutex);
    FT_Face face = m_impl->face;
    uint32_t glyph = FT_Get_Char_Index(face, c);
    if (glyph == 0 && m_symbolCmap && c < 0x100)
        glyph = FT_Get_Char_Index(face, 0xF000 + c);
    return glyph;
}

bool FontFace::SmoothAt(int ppem) const {
    std::lock_guard lock(m_impl->mutex);
    FT_Int flags = FT_Get_Gasp(m_impl->face, static_cast<FT_UInt>(std::max(ppem, 0)));
    return flags == FT_GASP_NO_TABLE || (flags & FT_GASP_DO_GRAY) != 0;
}

std::shared_ptr<const FontFace> OpenFontFace(const FontMatch& match) {
    static FaceCache cache;
    return cache.Open(match);
}

} // namespace qm::fonts
