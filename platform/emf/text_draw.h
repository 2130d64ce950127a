// Drawing one string the way ExtTextOut lays it out: font realisation from a logical font,
// alignment, spacing arrays, opaque and clip rectangles, escapement and the transforms.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qm::emf {

/// The logical-font fields text layout uses (face name in UTF-8).
struct TextFont {
    int32_t height = 0;
    int32_t width = 0;
    int32_t escapement = 0;  // tenths of a degree, counter-clockwise
    int32_t orientation = 0; // tenths of a degree
    int32_t weight = 0;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    uint8_t charSet = 0;
    uint8_t quality = 0;
    uint8_t pitchAndFamily = 0;
    std::string faceName;
};

/// A 2-D affine map: x' = xx*x + xy*y + x0, y' = yx*x + yy*y + y0 (cairo's convention).
struct Affine {
    double xx = 1, yx = 0, xy = 0, yy = 1, x0 = 0, y0 = 0;
};

// Text alignment and ExtTextOut option flags.
enum : uint32_t {
    kTaUpdateCp = 1,
    kTaRight = 2,
    kTaCenter = 6,
    kTaBottom = 8,
    kTaBaseline = 24,
    kEtoOpaque = 0x2,
    kEtoClipped = 0x4,
    kEtoGlyphIndex = 0x10,
    kEtoRtlReading = 0x80,
    kEtoNoRect = 0x100,
    kEtoSmallChars = 0x200,
    kEtoPdy = 0x2000,
};

/// One ExtTextOut call.
struct TextRequest {
    TextFont font;
    Affine toDevice; // logical -> device pixels
    bool advancedMode = false;
    double refX = 0, refY = 0; // reference point, logical
    uint32_t align = 0;        // TA_* flags
    uint32_t options = 0;      // ETO_* flags
    bool hasRect = false;
    int32_t rect[4] = {0, 0, 0, 0};   // left, top, right, bottom, logical
    std::vector<uint32_t> codes;      // UTF-16 units, or glyph indices with kEtoGlyphIndex
    std::vector<double> dx;           // logical advances (empty: the font's own)
    std::vector<double> dy;           // vertical displacements with kEtoPdy (else empty)
    uint32_t textColor = 0xFF000000u; // 0xAARRGGBB
    uint32_t bkColor = 0xFFFFFFFFu;
    bool opaqueBackground = false; // background mode OPAQUE
    bool toPath = false; // add the glyph outlines to cr's path instead of drawing anything
};

/// Where the text went, for updating the current position.
struct TextResult {
    double advanceX = 0, advanceY = 0; // end point minus start point of the string, logical
};

/// Draws the request on cr (whose matrix must be the identity and whose clip is the DC's).
/// Strings that cannot be laid out (no font at all, singular transform) draw only their
/// opaque rectangle. Returns the string's advance for the current position.
TextResult DrawTextRequest(cairo_t* cr, const TextRequest& request);

} // namespace qm::emf
