#include "platform/fonts/font_face.h"

#include "core/unicode.h"
#include "platform/fonts/freetype_library.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include <hb-ft.h>
#include <hb.h>
#include FT_FREETYPE_H
#include FT_GASP_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include FT_WINFONTS_H

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <tuple>

namespace qm::fonts {

struct FontFace::Impl {
    FT_Face face = nullptr;
    mutable std::mutex mutex; // FreeType faces are not safe for concurrent use
    // Unsmoothed glyphs already made, by glyph, pixel size and map; and the pixel size the
    // face is set to (setting it again would run the font's size program again).
    std::map<std::tuple<uint32_t, int, FT_Fixed, FT_Fixed, FT_Fixed, FT_Fixed>, GlyphBitmap>
        monoGlyphs;
    size_t monoBytes = 0;
    int ppem = 0;
};

namespace {

const cairo_user_data_key_t kFaceKey = {};

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

// Metrics of a raster font size, in pixels.
void ReadBitmapMetrics(const FT_WinFNT_HeaderRec& h, FontMetrics& m) {
    int cell = std::max<int>(h.pixel_height, 1);
    int ascent = std::clamp<int>(h.ascent, 1, cell);
    m.unitsPerEm = std::max(cell - std::min<int>(h.internal_leading, cell - 1), 1);
    m.ascent = ascent;
    m.descent = cell - ascent;
    m.avgCharWidth = h.avg_width;
    m.underlinePosition = -1;
    m.underlineThickness = 1;
    m.strikeoutPosition = std::max((ascent - h.internal_leading) * 2 / 5, 1);
    m.strikeoutSize = 1;
}

// Metrics of a raster font without a Windows header (X11 bitmap fonts): one size, no
// internal leading.
void ReadStrikeMetrics(FT_Face face, FontMetrics& m) {
    const int cell = std::max<int>(face->available_sizes[0].height, 1);
    const int ascent = std::clamp<int>(int((face->size->metrics.ascender + 32) >> 6), 1, cell);
    m.unitsPerEm = cell;
    m.ascent = ascent;
    m.descent = cell - ascent;
    m.avgCharWidth = face->available_sizes[0].width;
    m.underlinePosition = -1;
    m.underlineThickness = 1;
    m.strikeoutPosition = std::max(ascent * 2 / 5, 1);
    m.strikeoutSize = 1;
}

} // namespace

std::vector<BitmapStrike> BitmapStrikes(const FontMatch& match) {
    std::vector<BitmapStrike> strikes = BitmapStrikes(match.file);
    for (const std::string& file : match.moreBitmapFiles) {
        const std::vector<BitmapStrike> more = BitmapStrikes(file);
        strikes.insert(strikes.end(), more.begin(), more.end());
    }
    return strikes;
}

std::vector<BitmapStrike> BitmapStrikes(const std::string& file) {
    static std::mutex mutex;
    static std::map<std::string, std::vector<BitmapStrike>> cache;
    std::lock_guard lock(mutex);
    auto it = cache.find(file);
    if (it != cache.end())
        return it->second;
    std::vector<BitmapStrike> strikes;
    for (FT_Long i = 0, count = 1; i < count && i < 64; ++i) {
        FT_Face face = OpenFreeTypeFace(file, i);
        if (!face)
            break;
        count = face->num_faces;
        FT_WinFNT_HeaderRec h;
        if (!FT_IS_SCALABLE(face) && FT_Get_WinFNT_Header(face, &h) == 0 && h.pixel_height > 0)
            strikes.push_back({static_cast<int>(i), h.pixel_height,
                               std::min<int>(h.internal_leading, h.pixel_height - 1), h.weight,
                               file});
        else if (!FT_IS_SCALABLE(face) && face->num_fixed_sizes == 1 &&
                 face->available_sizes[0].height > 0)
            strikes.push_back({static_cast<int>(i), face->available_sizes[0].height, 0,
                               (face->style_flags & FT_STYLE_FLAG_BOLD) ? 700 : 400, file});
        CloseFreeTypeFace(face);
    }
    cache.emplace(file, strikes);
    return strikes;
}

StrikeChoice ChooseBitmapStrike(const std::vector<BitmapStrike>& strikes, double height) {
    StrikeChoice best;
    bool found = false;
    double bestDiff = 0, wanted = std::abs(height);
    auto sizeOf = [&](const BitmapStrike& s) {
        return height < 0 ? s.cellHeight - s.internalLeading : s.cellHeight;
    };
    for (size_t i = 0; i < strikes.size(); ++i) {
        double diff = wanted - sizeOf(strikes[i]);
        if (!found || (bestDiff > 0 && diff >= 0 && diff < bestDiff) ||
            (bestDiff < 0 && diff > bestDiff)) {
            best.strike = i;
            bestDiff = diff;
            found = true;
        }
    }
    // Enlargements are measured in cell heights (an em height asks for its internal leading
    // on top). The next whole multiple is taken when it overshoots by at most a quarter of
    // the cell, and doubling waits one pixel longer than that.
    const BitmapStrike& s = strikes[best.strike];
    const double cell = std::max(s.cellHeight, 1);
    const double cellWanted = height < 0 ? wanted + s.internalLeading : wanted;
    double scale = std::isfinite(cellWanted)
                       ? std::clamp(std::ceil(cellWanted / cell - 1e-9), 1.0, 64.0)
                       : 1.0;
    const double overshoot = scale * cell - cellWanted;
    const int quarter = std::max(s.cellHeight, 1) / 4;
    if ((scale > 2 && overshoot > quarter) || (scale == 2 && overshoot > quarter - 1))
        scale -= 1;
    best.scale = static_cast<int>(scale);
    return best;
}

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
        if (match.file.empty())
            return nullptr;
        std::shared_ptr<FontFace> font(new FontFace());
        font->m_impl = std::make_unique<FontFace::Impl>();
        FT_Face face = OpenFreeTypeFace(match.file, match.index);
        if (!face)
            return nullptr;
        FT_WinFNT_HeaderRec fnt;
        if (!FT_IS_SCALABLE(face) &&
            (!match.bitmap || face->num_fixed_sizes < 1 || FT_Select_Size(face, 0) != 0)) {
            CloseFreeTypeFace(face);
            return nullptr;
        }
        const bool winFnt = !FT_IS_SCALABLE(face) && FT_Get_WinFNT_Header(face, &fnt) == 0;
        font->m_impl->face = face;
        font->m_glyphCount = static_cast<uint32_t>(face->num_glyphs);
        font->m_family = match.family;
        if (FT_IS_SCALABLE(face)) {
            ReadMetrics(face, font->m_metrics);
        } else if (!winFnt) {
            font->m_bitmap = true;
            font->m_unicodeBitmap = true;
            ReadStrikeMetrics(face, font->m_metrics);
        } else {
            font->m_bitmap = true;
            font->m_ansiBytes = fnt.charset == FT_WinFNT_ID_CP1252;
            // Their one character map is by code page byte, which FreeType leaves unselected.
            if (!face->charmap && face->num_charmaps > 0)
                FT_Set_Charmap(face, face->charmaps[0]);
            ReadBitmapMetrics(fnt, font->m_metrics);
        }
        for (int i = 0; i < face->num_charmaps; ++i)
            if (face->charmaps[i]->encoding == FT_ENCODING_MS_SYMBOL)
                font->m_symbolCmap = true;
        if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0 && font->m_symbolCmap)
            FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL);

        // cairo draws from a face of its own (it locks that one while drawing), so our
        // queries never share a face with it.
        FT_Face drawFace = OpenFreeTypeFace(match.file, match.index);
        if (!drawFace)
            return nullptr;
        font->m_cairoFace = cairo_ft_font_face_create_for_ft_face(drawFace, 0);
        if (cairo_font_face_status(font->m_cairoFace) != CAIRO_STATUS_SUCCESS ||
            cairo_font_face_set_user_data(font->m_cairoFace, &kFaceKey, drawFace,
                                          ReleaseFreeTypeFace) != CAIRO_STATUS_SUCCESS) {
            CloseFreeTypeFace(drawFace);
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
        CloseFreeTypeFace(m_impl->face);
}

uint32_t FontFace::GlyphIndex(char32_t c) const {
    std::lock_guard lock(m_impl->mutex);
    FT_Face face = m_impl->face;
    if (m_bitmap && !m_unicodeBitmap) {
        // Windows raster fonts are indexed by the bytes of their code page.
        unsigned byte = m_ansiBytes ? UnicodeToCp1252(c) : (c < 0x100 ? c : 0);
        return byte ? FT_Get_Char_Index(face, byte) : 0;
    }
    uint32_t glyph = FT_Get_Char_Index(face, c);
    if (glyph == 0 && m_symbolCmap && c < 0x100)
        glyph = FT_Get_Char_Index(face, 0xF000 + c);
    return glyph;
}

namespace {

// Copies a one-bit or grey glyph image into 0/255 coverage.
void CopyCoverage(const FT_Bitmap& bm, GlyphBitmap& out) {
    out.width = static_cast<int>(bm.width);
    out.height = static_cast<int>(bm.rows);
    out.coverage.assign(size_t(out.width) * out.height, 0);
    for (int y = 0; y < out.height; ++y) {
        const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
        for (int x = 0; x < out.width; ++x) {
            bool on = bm.pixel_mode == FT_PIXEL_MODE_MONO ? (row[x >> 3] >> (7 - (x & 7))) & 1
                                                          : row[x] >= 128;
            out.coverage[size_t(y) * out.width + x] = on ? 255 : 0;
        }
    }
}

} // namespace

GlyphBitmap FontFace::BitmapGlyph(uint32_t index) const {
    GlyphBitmap out;
    if (!m_bitmap)
        return out;
    std::lock_guard lock(m_impl->mutex);
    FT_Face face = m_impl->face;
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0)
        return out;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    out.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    if (bm.pixel_mode != FT_PIXEL_MODE_MONO && bm.pixel_mode != FT_PIXEL_MODE_GRAY)
        return out;
    out.left = slot->bitmap_left;
    out.top = slot->bitmap_top;
    CopyCoverage(bm, out);
    return out;
}

GlyphBitmap FontFace::HintedMonoGlyph(uint32_t index, int ppem, const double (&m)[4]) const {
    if (m_bitmap || ppem < 1 || ppem > 4096)
        return {};
    FT_Matrix matrix;
    FT_Fixed* cells[4] = {&matrix.xx, &matrix.xy, &matrix.yx, &matrix.yy};
    for (int i = 0; i < 4; ++i) {
        if (!std::isfinite(m[i]) || std::abs(m[i]) > 256)
            return {};
        *cells[i] = static_cast<FT_Fixed>(std::lround(m[i] * 65536));
    }
    std::lock_guard lock(m_impl->mutex);
    const auto key = std::make_tuple(index, ppem, matrix.xx, matrix.xy, matrix.yx, matrix.yy);
    if (auto it = m_impl->monoGlyphs.find(key); it != m_impl->monoGlyphs.end())
        return it->second;
    if (m_impl->monoGlyphs.size() >= 4096 || m_impl->monoBytes >= (size_t{4} << 20)) {
        m_impl->monoGlyphs.clear();
        m_impl->monoBytes = 0;
    }
    const GlyphBitmap glyph = [&] {
        GlyphBitmap out;
        const bool identity =
            matrix.xx == 0x10000 && matrix.yy == 0x10000 && matrix.xy == 0 && matrix.yx == 0;
        FT_Face face = m_impl->face;
        if (m_impl->ppem != ppem) {
            m_impl->ppem = 0;
            if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(ppem)) != 0)
                return out;
            m_impl->ppem = ppem;
        }
        // A glyph whose instructions fail is loaded unhinted instead.
        const FT_Int32 flags = FT_LOAD_TARGET_MONO | FT_LOAD_IGNORE_GLOBAL_ADVANCE_WIDTH |
                               (identity ? 0 : FT_LOAD_NO_BITMAP);
        if (FT_Load_Glyph(face, index, flags | FT_LOAD_PEDANTIC) != 0 &&
            FT_Load_Glyph(face, index, flags | FT_LOAD_NO_HINTING) != 0)
            return out;
        FT_GlyphSlot slot = face->glyph;
        if (slot->format == FT_GLYPH_FORMAT_BITMAP) {
            if (slot->bitmap.pixel_mode != FT_PIXEL_MODE_MONO &&
                slot->bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
                return out;
            out.left = slot->bitmap_left;
            out.top = slot->bitmap_top;
            CopyCoverage(slot->bitmap, out);
            return out;
        }
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE)
            return out;
        const FT_Glyph_Metrics& gm = slot->metrics;
        FT_Pos xMin = gm.horiBearingX, xMax = gm.horiBearingX + gm.width;
        FT_Pos yMax = gm.horiBearingY, yMin = gm.horiBearingY - gm.height;
        if (!identity) {
            xMin = yMin = std::numeric_limits<FT_Pos>::max();
            xMax = yMax = std::numeric_limits<FT_Pos>::min();
            for (int i = 0; i < 4; ++i) {
                FT_Vector v = {gm.horiBearingX + (i & 1) * gm.width,
                               gm.horiBearingY - (i >> 1) * gm.height};
                FT_Vector_Transform(&v, &matrix);
                xMin = std::min(xMin, v.x), xMax = std::max(xMax, v.x);
                yMin = std::min(yMin, v.y), yMax = std::max(yMax, v.y);
            }
            FT_Outline_Transform(&slot->outline, &matrix);
        }
        xMin &= -64, yMin &= -64, xMax = (xMax + 63) & -64, yMax = (yMax + 63) & -64;
        const FT_Pos w = (xMax - xMin) >> 6, h = (yMax - yMin) >> 6;
        if (w <= 0 || h <= 0 || w > 8192 || h > 8192)
            return out;
        const int pitch = static_cast<int>((w + 31) >> 5) << 2;
        std::vector<unsigned char> bits(size_t(pitch) * h, 0);
        FT_Bitmap bm{};
        bm.width = static_cast<unsigned>(w);
        bm.rows = static_cast<unsigned>(h);
        bm.pitch = pitch;
        bm.pixel_mode = FT_PIXEL_MODE_MONO;
        bm.num_grays = 2;
        bm.buffer = bits.data();
        FT_Outline_Translate(&slot->outline, -xMin, -yMin);
        if (FT_Outline_Get_Bitmap(FreeTypeLibrary(), &slot->outline, &bm) != 0)
            return out;
        out.left = static_cast<int>(xMin >> 6);
        out.top = static_cast<int>(yMax >> 6);
        CopyCoverage(bm, out);
        return out;
    }();
    m_impl->monoGlyphs.emplace(key, glyph);
    m_impl->monoBytes += glyph.coverage.size() + 64;
    return glyph;
}

bool FontFace::SmoothAt(int ppem) const {
    if (m_bitmap)
        return false;
    std::lock_guard lock(m_impl->mutex);
    FT_Int flags = FT_Get_Gasp(m_impl->face, static_cast<FT_UInt>(std::max(ppem, 0)));
    return flags == FT_GASP_NO_TABLE || (flags & FT_GASP_DO_GRAY) != 0;
}

std::shared_ptr<const FontFace> OpenFontFace(const FontMatch& match) {
    static FaceCache cache;
    return cache.Open(match);
}

std::shared_ptr<const FontFace> OpenFaceForCharacter(char32_t c, int weight, bool italic) {
    const FontMatch match = MatchFontForCharacter(c, weight, italic);
    if (match.file.empty())
        return nullptr;
    auto face = OpenFontFace(match);
    if (!face || face->IsBitmap() || !face->GlyphIndex(c))
        return nullptr;
    // Callers keep plain pointers to these faces while they draw: hold them for the process.
    static std::mutex mutex;
    static std::map<std::pair<std::string, int>, std::shared_ptr<const FontFace>> held;
    std::lock_guard lock(mutex);
    auto& slot = held[{match.file, match.index * 4 + (match.syntheticBold ? 1 : 0) +
                                       (match.syntheticItalic ? 2 : 0)}];
    // A face in cairo's error state gives way to a fresh one; the old one stays alive for
    // callers still drawing with it. Drawing code keeps sizes in the rasteriser's range, so
    // this is rare: after a few such faces the broken one is kept (its text stays blank).
    static std::vector<std::shared_ptr<const FontFace>> replaced;
    if (slot && slot != face && cairo_font_face_status(slot->CairoFace()) != CAIRO_STATUS_SUCCESS &&
        replaced.size() < 64) {
        replaced.push_back(slot);
        slot = nullptr;
    }
    if (!slot)
        slot = face;
    return slot;
}

std::vector<FontFace::ShapedGlyph> FontFace::Shape(const std::u32string& text, bool rtl) const {
    std::vector<ShapedGlyph> out;
    if (m_bitmap || text.empty() || text.size() > (1u << 20))
        return out;
    std::lock_guard lock(m_impl->mutex);
    // HarfBuzz's own OpenType functions on the face's tables, at one unit per font unit.
    hb_face_t* hbFace = hb_ft_face_create_referenced(m_impl->face);
    hb_font_t* font = hb_font_create(hbFace);
    hb_face_destroy(hbFace);
    const int upem = m_metrics.unitsPerEm;
    hb_font_set_scale(font, upem, upem);
    hb_buffer_t* buffer = hb_buffer_create();
    hb_buffer_add_utf32(buffer, reinterpret_cast<const uint32_t*>(text.data()), int(text.size()), 0,
                        int(text.size()));
    hb_buffer_guess_segment_properties(buffer);
    hb_buffer_set_direction(buffer, rtl ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_shape(font, buffer, nullptr, 0);
    unsigned count = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &count);
    out.reserve(count);
    for (unsigned i = 0; i < count; ++i)
        out.push_back({info[i].codepoint, pos[i].x_advance, info[i].cluster});
    hb_buffer_destroy(buffer);
    hb_font_destroy(font);
    return out;
}

} // namespace qm::fonts
