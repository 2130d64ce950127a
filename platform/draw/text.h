// Text on drawing layers: a font file at a size in points (96 dots per inch), measured and
// drawn either as raster text (no smoothing, pixels written directly) or antialiased.
#pragma once

#include <string>
#include <string_view>

#include "platform/draw/layer.h"

typedef struct _cairo_font_face cairo_font_face_t;
typedef struct _cairo_scaled_font cairo_scaled_font_t;

namespace qm::draw {

enum class TextMode {
    Raster,      // hinted, without smoothing; glyph pixels replace what is there
    Antialiased, // smooth outlines blended over what is there
};

struct FontRequest {
    std::string file;             // font file
    int index = 0;                // face inside the file
    double sizePoints = 12;       // em size in points at 96 dpi
    bool syntheticBold = false;   // embolden a face lighter than asked for
    bool syntheticItalic = false; // slant an upright face
    bool underline = false;
    bool strikeOut = false;
};

struct TextExtent {
    double width = 0;  // advance of the whole string
    double height = 0; // ascent + descent of the font
};

class TextFont {
public:
    TextFont() = default;
    /// Loads the face; Valid() is false when the file is missing or not a font.
    explicit TextFont(const FontRequest& request);
    ~TextFont();
    TextFont(const TextFont&) = delete;
    TextFont& operator=(const TextFont&) = delete;

    bool Valid() const { return m_raster != nullptr && m_smooth != nullptr; }

    /// Width and height of a string (UTF-8; bad sequences count as U+FFFD); zeros when invalid.
    TextExtent Measure(std::string_view text, TextMode mode) const;

    /// Draws the string with the top of its line at y and its pen starting at x. Raster text
    /// writes the colour, alpha included, into every glyph pixel; antialiased text blends.
    void Draw(Layer& layer, double x, double y, std::string_view text, Rgba colour,
              TextMode mode) const;

private:
    cairo_scaled_font_t* Scaled(TextMode mode) const {
        return mode == TextMode::Raster ? m_raster : m_smooth;
    }

    cairo_font_face_t* m_face = nullptr;
    cairo_scaled_font_t* m_raster = nullptr;
    cairo_scaled_font_t* m_smooth = nullptr;
    bool m_underline = false;
    bool m_strikeOut = false;
    // Decoration lines in pixels: offsets above the baseline of each line's top, thicknesses.
    double m_underlineTop = 0, m_underlineSize = 1;
    double m_strikeTop = 0, m_strikeSize = 1;
};

} // namespace qm::draw
