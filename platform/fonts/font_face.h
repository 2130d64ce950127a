// Loaded fonts: a cairo font face plus the metrics text layout needs, cached per file.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/fonts/font_match.h"

namespace qm::fonts {

/// Design metrics of a font, in font units (unitsPerEm per em).
struct FontMetrics {
    int unitsPerEm = 2048;
    int ascent = 1854; // above the baseline, positive (the Windows ascent)
    int descent = 434; // below the baseline, positive (the Windows descent)
    int avgCharWidth = 0;
    int underlinePosition = -217; // negative: below the baseline
    int underlineThickness = 150;
    int strikeoutPosition = 530;
    int strikeoutSize = 102;
};

/// One size of a raster font file (a Windows .fon holds one face index per size, an X11
/// bitmap font file one size), in pixels.
struct BitmapStrike {
    int index = 0;      // face index in the file
    int cellHeight = 0; // ascent + descent
    int internalLeading = 0;
    int weight = 400;
    std::string file; // the font file
};

/// The sizes of a raster font file, in file order; empty when it holds none.
/// Results are cached; safe from any thread.
std::vector<BitmapStrike> BitmapStrikes(const std::string& file);

/// The sizes of a raster match: those of its file, then those of its further files.
std::vector<BitmapStrike> BitmapStrikes(const FontMatch& match);

/// A size of a raster font and the whole factor it is enlarged by.
struct StrikeChoice {
    size_t strike = 0; // position in the list
    int scale = 1;
};

/// The size the font mapper takes for a logical font height in device pixels (positive: cell
/// height, negative: em height): the tallest size that is not taller than asked for, else
/// the shortest. Raster glyphs only grow by whole multiples of the cell height: the next
/// multiple is taken when it is at most a quarter of a cell taller than asked for (a
/// quarter less one pixel for doubling). strikes must not be empty.
StrikeChoice ChooseBitmapStrike(const std::vector<BitmapStrike>& strikes, double height);

/// The mask of one glyph of a raster font, in pixels (coverage is 0 or 255, row by row).
struct GlyphBitmap {
    int left = 0, top = 0; // offset of the top-left pixel from the origin (top: upwards)
    int width = 0, height = 0;
    int advance = 0;
    std::vector<uint8_t> coverage;
};

/// A font file opened for drawing and measuring. Shared and never closed while cached.
class FontFace {
public:
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    /// The cairo face, with synthetic bold or slant applied as the match asked for.
    cairo_font_face_t* CairoFace() const { return m_cairoFace; }
    const FontMetrics& Metrics() const { return m_metrics; }
    const std::string& Family() const { return m_family; }
    /// The glyph for a character, 0 when the font has none. For symbol fonts the character
    /// is also tried in U+F000..U+F0FF.
    uint32_t GlyphIndex(char32_t c) const;
    /// Number of glyphs in the font.
    uint32_t GlyphCount() const { return m_glyphCount; }
    /// True when the font asks for greyscale smoothing at this size (its gasp table; fonts
    /// without one are always smoothed).
    bool SmoothAt(int ppem) const;
    /// True when the font has a Microsoft symbol character map.
    bool IsSymbolEncoded() const { return m_symbolCmap; }
    /// True for one size of a raster font: metrics are in pixels (unitsPerEm is the em
    /// height) and glyphs come from BitmapGlyph.
    bool IsBitmap() const { return m_bitmap; }
    /// The glyph's pixels at the raster font's own size; empty for outline fonts.
    GlyphBitmap BitmapGlyph(uint32_t index) const;
    /// An outline font's glyph as unsmoothed text: hinted in both directions for a one-bit
    /// target at ppem pixels, the hinted outline then carried through the map m (x' = m[0]x +
    /// m[1]y, y' = m[2]x + m[3]y, y upwards) and filled one bit deep. Its box is the mapped
    /// hinted box widened to whole pixels. Upright glyphs at scale one use the face's own
    /// bitmaps where it has them. Empty when the glyph cannot be drawn this way.
    GlyphBitmap HintedMonoGlyph(uint32_t index, int ppem, const double (&m)[4]) const;

    /// One glyph of shaped text: the glyph, its advance in font units and the position of the
    /// character it starts from.
    struct ShapedGlyph {
        uint32_t index = 0;
        int32_t advance = 0;
        uint32_t cluster = 0;
    };
    /// Shapes the text with HarfBuzz (joining forms, ligatures, marks), right to left when
    /// rtl is set: the glyphs come in drawing order, left to right. Empty for raster fonts.
    std::vector<ShapedGlyph> Shape(const std::u32string& text, bool rtl) const;

private:
    friend class FaceCache;
    FontFace() = default;
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    cairo_font_face_t* m_cairoFace = nullptr;
    FontMetrics m_metrics;
    std::string m_family;
    uint32_t m_glyphCount = 0;
    bool m_symbolCmap = false;
    bool m_bitmap = false;
    bool m_ansiBytes = false;     // raster font indexed by Windows-1252 bytes
    bool m_unicodeBitmap = false; // raster font with a Unicode character map (X11 fonts)
};

/// The face for a match (file, index, synthetic styles), opened once per process.
/// Null when the file cannot be opened as a scalable font, or as a raster font when the
/// match says it is one. Safe from any thread.
std::shared_ptr<const FontFace> OpenFontFace(const FontMatch& match);

/// The face of an installed font that has the character c (MatchFontForCharacter), or null.
/// Faces stay open for the process, so the pointer may be kept.
std::shared_ptr<const FontFace> OpenFaceForCharacter(char32_t c, int weight, bool italic);

} // namespace qm::fonts
