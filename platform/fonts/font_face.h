// Loaded fonts: a cairo font face plus the metrics text layout needs, cached per file.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>

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
};

/// The face for a match (file, index, synthetic styles), opened once per process.
/// Null when the file cannot be opened as a scalable font. Safe from any thread.
std::shared_ptr<const FontFace> OpenFontFace(const FontMatch& match);

} // namespace qm::fonts
