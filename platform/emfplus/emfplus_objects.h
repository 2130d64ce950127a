// The graphics objects EMF+ records define (brushes, pens, paths, regions, fonts, images,
// string formats) and their parsers.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "platform/emfplus/emfplus_records.h"

namespace qm::emfplus {

/// A colour as EMF+ stores it: 0xAARRGGBB.
using Argb = uint32_t;

struct PointF {
    double x = 0, y = 0;
};
struct RectF {
    double x = 0, y = 0, w = 0, h = 0;
};

/// Path point types: the low nibble is the type, the high nibble its flags.
enum PathPoint : uint8_t {
    kPtStart = 0,
    kPtLine = 1,
    kPtBezier = 3,
    kPtTypeMask = 0x07,
    kPtDashMode = 0x10,
    kPtMarker = 0x20,
    kPtClose = 0x80,
};

/// A graphics path in world coordinates.
struct PathGeom {
    std::vector<PointF> points;
    std::vector<uint8_t> types;
};

struct Image;

struct Brush {
    enum Type : uint32_t { Solid = 0, Hatch = 1, Texture = 2, PathGradient = 3, Linear = 4 };
    uint32_t type = Solid;
    Argb color = 0xFF000000u; // solid; hatch foreground; linear start; path centre
    Argb back = 0;            // hatch background; linear end
    uint32_t hatch = 0;
    int32_t wrap = 0;
    bool hasTransform = false;
    cairo_matrix_t transform{1, 0, 0, 1, 0, 0};
    RectF rect;                         // linear gradient rectangle
    std::shared_ptr<const Image> image; // texture
    // Gradients: blend factors (position, share of the end colour for a linear gradient, of the
    // centre colour for a path gradient) or preset colours (position, colour). Positions run
    // from the start to the end of a linear gradient, from the boundary (0) to the centre (1)
    // of a path gradient.
    std::vector<std::pair<double, double>> blend;
    std::vector<std::pair<double, Argb>> presets;
    bool gammaCorrected = false;
    PointF center;              // path gradient
    std::vector<Argb> surround; // path gradient: colours of the boundary's points, in order
    PathGeom boundary;          // path gradient
    bool hasFocus = false;      // path gradient: the inner area in the centre colour is the
    PointF focus;               // boundary scaled about the centre by these
};

/// A custom line cap, sized in pen widths: an adjustable arrow, or figures to fill and to
/// outline. The figures' y axis points out of the line along its direction at that end, and
/// their origin is the line's end point.
struct CustomCap {
    enum Kind { None, Arrow, Figures };
    int kind = None;
    double width = 0, height = 0, middleInset = 0; // arrows
    bool filled = true;                            // arrows
    PathGeom fill, outline;                        // figures
    int32_t baseCap = 0;                           // the line's own cap under this one
    double baseInset = 0; // the line stops this far (pen widths) short of its end
    int32_t strokeStartCap = 0, strokeEndCap = 0, strokeJoin = 0; // of the outline
    double strokeMiterLimit = 10;
    double widthScale = 1;
};

struct Pen {
    double width = 1;
    uint32_t unit = kUnitWorld;
    bool hasTransform = false;
    cairo_matrix_t transform{1, 0, 0, 1, 0, 0};
    int32_t startCap = 0, endCap = 0, join = 0;
    double miterLimit = 10;
    int32_t lineStyle = 0;
    int32_t dashCap = 0;
    double dashOffset = 0;
    std::vector<double> dashes; // custom dash pattern, in pen widths
    int32_t alignment = 0;
    /// Compound line: where bands start and end across the width (0..1, increasing, in pairs).
    std::vector<double> compound;
    CustomCap startCustom, endCustom; // when present, they replace startCap / endCap
    Brush brush;
};

/// A region: a tree of combined rectangles and paths, in world coordinates.
struct RegionNode {
    enum Type : uint32_t {
        And = 1,
        Or = 2,
        Xor = 3,
        Exclude = 4,
        Complement = 5,
        Rect = 0x10000000,
        Path = 0x10000001,
        Empty = 0x10000002,
        Infinite = 0x10000003,
    };
    uint32_t type = Infinite;
    RectF rect;
    PathGeom path;
    std::shared_ptr<const RegionNode> left, right;
};

struct Font {
    double emSize = 0;
    uint32_t unit = kUnitWorld;
    int32_t style = 0; // 1 bold, 2 italic, 4 underline, 8 strikeout
    std::u16string family;
};

/// A decoded image: a bitmap as an ARGB32 cairo surface, or a metafile's bytes.
struct Image {
    bool metafile = false;
    cairo_surface_t* surface = nullptr; // owned; bitmaps only
    std::vector<uint8_t> metafileBytes; // an enhanced metafile (WMF translated to one)
    int width = 0, height = 0;
    ~Image();
};

struct StringFormat {
    uint32_t flags = 0;
    uint32_t alignment = 0;            // 0 near, 1 centre, 2 far
    uint32_t lineAlignment = 0;        // the same across the lines
    double leadingMargin = 1.0 / 6.0;  // ems
    double trailingMargin = 1.0 / 6.0; // ems
    double tracking = 1.0;
    uint32_t trimming = 1;        // StringTrimming: by character unless the object says otherwise
    int32_t hotkeyPrefix = 0;     // HotkeyPrefix
    double firstTabOffset = 0;    // world units
    std::vector<double> tabStops; // distances between tab stops, world units
};

struct ImageAttributes {
    int32_t wrap = 0;
    Argb clamp = 0;
};

using PlusObject = std::variant<std::monostate, Brush, Pen, std::shared_ptr<const PathGeom>,
                                std::shared_ptr<const RegionNode>, Font,
                                std::shared_ptr<const Image>, StringFormat, ImageAttributes>;

/// Limits on what one metafile may make the parsers allocate.
struct ParseBudget {
    uint64_t pixels = uint64_t{1} << 26; // image pixels still allowed
    int depth = 0;                       // region nesting
};

bool ParseBrush(Reader& r, Brush& out, ParseBudget& budget);
bool ParsePen(Reader& r, Pen& out, ParseBudget& budget);
bool ParsePath(Reader& r, PathGeom& out);
bool ParseRegion(Reader& r, RegionNode& out, ParseBudget& budget);
bool ParseFont(Reader& r, Font& out);
bool ParseImage(Reader& r, Image& out, ParseBudget& budget);
bool ParseStringFormat(Reader& r, StringFormat& out);

/// Parses one object of the given type from its whole serialised bytes.
PlusObject ParseObject(uint8_t type, std::span<const uint8_t> bytes, ParseBudget& budget);

/// Reads count points as the record's flags say: relative (0x0800), 16-bit (0x4000) or float.
bool ReadPoints(Reader& r, uint32_t count, uint16_t flags, std::vector<PointF>& out);
/// Reads a rectangle: 16-bit fields when compressed, else floats.
RectF ReadRect(Reader& r, bool compressed);

/// A stored float, with infinities and NaNs read as 0.
double FiniteOrZero(float v);
/// Reads an object's 2x3 matrix, any value that is not finite read as 0.
cairo_matrix_t ReadFiniteMatrix(Reader& r);

} // namespace qm::emfplus
