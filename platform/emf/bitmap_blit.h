// Pixel transfers onto the playback surface: raster operations with source, pattern and
// mask, stretching, alpha blending, colour-keyed copies and gradient fills.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <vector>

#include "platform/emf/dib.h"

namespace qm::emf {

/// The surface written to: top-down rows of 0xXXRRGGBB (X forced to 0xFF), and the clip
/// (device pixels; null = the whole surface).
struct PixelTarget {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0; // bytes per row
    const cairo_region_t* clip = nullptr;
};

/// A destination area in device pixels: origin plus the images of the source's x and y
/// extents. Axis-aligned areas are snapped to whole pixels as the system does.
struct DestArea {
    double x = 0, y = 0;   // where the source's upper-left corner lands
    double ux = 0, uy = 0; // source width direction
    double vx = 0, vy = 0; // source height direction
};

/// A source rectangle in pixels of the decoded (top-down) image; negative sizes mirror.
struct SourceRect {
    double x = 0, y = 0, w = 0, h = 0;
};

/// A brush as a tile repeated from the brush origin; A = 0 pixels leave the destination
/// unchanged (hatch gaps in transparent background mode).
struct PatternTile {
    int width = 1;
    int height = 1;
    std::vector<uint32_t> pixels{0xFF000000u};
    int originX = 0, originY = 0; // device pixels
};

enum class StretchMode { BlackOnWhite = 1, WhiteOnBlack = 2, ColorOnColor = 3, Halftone = 4 };

struct BlitRequest {
    DestArea dest;
    const DibImage* source = nullptr; // null: pattern-only operation
    SourceRect src;
    const DibImage* mask = nullptr; // monochrome; bit 1 = foreground operation
    double maskX = 0, maskY = 0;    // mask pixel under the source rectangle's corner
    uint8_t foreRop = 0xCC;         // ROP3 truth-table bytes
    uint8_t backRop = 0xCC;
    const PatternTile* pattern = nullptr;
    StretchMode mode = StretchMode::ColorOnColor;
};

/// Work units per destination pixel of a drawing whose every pixel is sampled on its own:
/// several times the cost of the fills and copies that go a row at a time.
inline constexpr int kSampledPixelWork = 8;

/// Runs the raster operation over the destination area (within surface and clip). Returns the
/// work units per destination pixel it took: 1 when whole rows were filled or copied (no
/// source, or a source copied by nearest pixel onto an axis-aligned area without a mask),
/// kSampledPixelWork otherwise.
int Blit(const PixelTarget& target, const BlitRequest& request);

/// Blends source over the destination: constant alpha, and with sourceAlpha the source's
/// own (premultiplied) alpha as well.
void AlphaBlit(const PixelTarget& target, const DestArea& dest, const DibImage& source,
               const SourceRect& src, uint8_t constantAlpha, bool sourceAlpha);

/// Copies source pixels except those of the colour transparentRgb (0x00RRGGBB).
void TransparentBlit(const PixelTarget& target, const DestArea& dest, const DibImage& source,
                     const SourceRect& src, uint32_t transparentRgb);

/// A gradient vertex in device pixels; colours 0..65535 per channel.
struct GradientVertex {
    double x = 0, y = 0;
    uint16_t r = 0, g = 0, b = 0;
};

/// Fills the rectangle spanned by two vertices, the colour running horizontally or
/// vertically between them.
void GradientRect(const PixelTarget& target, const GradientVertex& a, const GradientVertex& b,
                  bool vertical);

/// Fills the triangle with colours interpolated between its vertices.
void GradientTriangle(const PixelTarget& target, const GradientVertex& a, const GradientVertex& b,
                      const GradientVertex& c);

/// The eight rows of a hatch style (HS_*; unknown styles give HS_HORIZONTAL's), top row first,
/// bit 7 the leftmost pixel. Shape fills and pattern blits both take their hatches from here.
const uint8_t* HatchRows(uint32_t hatch);

/// The 8x8 tile of a hatch style (HS_*): foreground where the hatch lines run.
PatternTile HatchTile(uint32_t hatch, uint32_t foreground, uint32_t background,
                      bool transparentBackground);

} // namespace qm::emf
