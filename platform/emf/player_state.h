// The device-context state of metafile playback, shared by the record handlers.
//
// Coordinates: logical points go through the world transform, the window/viewport mapping and
// the playback transform (reference-device pixels onto the play rectangle) to device pixels.
// The cairo context draws on the target surface with an identity matrix: device pixel (x, y)
// covers the square x..x+1, y..y+1. Shapes are drawn without antialiasing.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/emf/emf_player.h"
#include "platform/emf/emf_records.h"
#include "platform/emf/player_clip_cache.h"

namespace qm::emf {

/// One metafile record. data points at the record's first byte (its type field), so offsets
/// are those of the record layouts; size (>= 8, a multiple of 4) lies within the metafile.
/// Every reader returns 0 (or an empty span) when the field does not fit in the record.
struct RecordView {
    uint32_t type = 0;
    uint32_t size = 0;
    const uint8_t* data = nullptr;

    bool Has(size_t offset, size_t count) const { return offset <= size && count <= size - offset; }
    std::span<const uint8_t> Bytes(size_t offset, size_t count) const {
        return Has(offset, count) ? std::span<const uint8_t>(data + offset, count)
                                  : std::span<const uint8_t>();
    }
    template <typename T> T Read(size_t offset) const {
        T v{};
        if (Has(offset, sizeof(T)))
            std::memcpy(&v, data + offset, sizeof(T));
        return v;
    }
    uint32_t U32(size_t offset) const { return Read<uint32_t>(offset); }
    int32_t I32(size_t offset) const { return Read<int32_t>(offset); }
    uint16_t U16(size_t offset) const { return Read<uint16_t>(offset); }
    int16_t I16(size_t offset) const { return Read<int16_t>(offset); }
    uint8_t U8(size_t offset) const { return Read<uint8_t>(offset); }
    float F32(size_t offset) const { return Read<float>(offset); }
};

/// A colour as metafiles store it: 0x00BBGGRR.
using ColorRef = uint32_t;
inline uint8_t ColorR(ColorRef c) {
    return c & 0xFF;
}
inline uint8_t ColorG(ColorRef c) {
    return (c >> 8) & 0xFF;
}
inline uint8_t ColorB(ColorRef c) {
    return (c >> 16) & 0xFF;
}
/// The colour as a pixel of the target surface (0xFFRRGGBB, i.e. bytes B, G, R, X).
inline uint32_t ColorPixel(ColorRef c) {
    return 0xFF000000u | (uint32_t(ColorR(c)) << 16) | (uint32_t(ColorG(c)) << 8) | ColorB(c);
}

struct PointD {
    double x = 0, y = 0;
};
struct PointL {
    int32_t x = 0, y = 0;
};

/// An affine transform as metafiles store it: x' = x*m11 + y*m21 + dx, y' = x*m12 + y*m22 + dy.
struct XForm {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
    PointD Apply(PointD p) const {
        return {p.x * m11 + p.y * m21 + dx, p.x * m12 + p.y * m22 + dy};
    }
};
/// first applied, then second.
XForm Combine(const XForm& first, const XForm& second);

/// The logical font of EMR_EXTCREATEFONTINDIRECTW (LOGFONTW fields).
struct LogFontW {
    int32_t height = 0;
    int32_t width = 0;
    int32_t escapement = 0;  // tenths of a degree
    int32_t orientation = 0; // tenths of a degree
    int32_t weight = 0;
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strikeOut = 0;
    uint8_t charSet = 0;
    uint8_t outPrecision = 0;
    uint8_t clipPrecision = 0;
    uint8_t quality = 0;
    uint8_t pitchAndFamily = 0;
    std::u16string faceName; // up to the first NUL, at most 32 units
};

/// A pen. width is in logical units (0 = one device pixel); geometric pens carry their
/// brush style and hatch, user styles their dash lengths (logical units).
struct Pen {
    uint32_t style = PS_SOLID; // full style word: PS_* style, end cap, join, PS_GEOMETRIC
    int32_t width = 0;
    ColorRef color = 0;
    uint32_t brushStyle = BS_SOLID;
    uint32_t hatch = 0;
    std::vector<uint32_t> userStyle;
    bool IsNull() const { return (style & PS_STYLE_MASK) == PS_NULL || brushStyle == BS_NULL; }
};

/// A brush pattern: top-down pixels 0xFFRRGGBB. For monochrome patterns the pixels are
/// 0 (drawn in the text colour) and 1 (drawn in the background colour).
struct PatternImage {
    int width = 0;
    int height = 0;
    bool monochrome = false;
    std::vector<uint32_t> pixels;
};

struct Brush {
    uint32_t style = BS_SOLID;
    ColorRef color = 0xFFFFFF;
    uint32_t hatch = 0;
    std::shared_ptr<const PatternImage> pattern; // BS_PATTERN / BS_DIBPATTERNPT
};

enum class ObjectKind { Empty, Pen, Brush, Font, Palette, Other };

/// An entry of the metafile's object table.
struct GdiObject {
    ObjectKind kind = ObjectKind::Empty;
    Pen pen;
    Brush brush;
    LogFontW font;
};

/// A device-space region (RegionPtr); null means "no clipping". Regions are never changed
/// once built: the clip cache relies on it.
RegionPtr MakeRegion(cairo_region_t* owned);

/// Figures in device coordinates with their PT_* point types (a Bezier segment is three
/// PT_BEZIERTO points; PT_CLOSEFIGURE is or-ed into a figure's last point).
struct PathData {
    std::vector<PointD> points;
    std::vector<uint8_t> types;
    bool recording = false; // between BeginPath and EndPath
    bool complete = false;  // EndPath seen, path usable
    bool widened = false;   // WidenPath: the figures stand for their outline under widenPen
    Pen widenPen;
};

/// The state SaveDC saves and RestoreDC restores.
struct DcState {
    uint32_t mapMode = MM_TEXT;
    PointL windowOrg, windowExt{1, 1}, viewportOrg, viewportExt{1, 1};
    XForm world;
    Pen pen;
    Brush brush;
    LogFontW font;
    ColorRef textColor = 0x000000;
    ColorRef bkColor = 0xFFFFFF;
    uint32_t bkMode = BK_OPAQUE;
    uint32_t textAlign = 0; // TA_* flags
    uint32_t rop2 = R2_COPYPEN;
    uint32_t polyFillMode = FILL_ALTERNATE;
    uint32_t stretchBltMode = 1; // BLACKONWHITE
    uint32_t arcDirection = AD_COUNTERCLOCKWISE;
    uint32_t layout = 0;
    double miterLimit = 10.0;
    PointL brushOrg;           // device pixels
    PointD currentPos;         // logical units
    int32_t textJustExtra = 0; // EMR_SETTEXTJUSTIFICATION
    int32_t textJustBreaks = 0;
    RegionPtr clip;                       // device pixels; null = none
    RegionPtr metaRegion;                 // device pixels; null = none
    std::shared_ptr<const PathData> path; // shared between saved states; null = no path
};

/// Everything playback keeps between records.
class PlayerState {
public:
    PlayerState(const EmfHeaderInfo& header, const Surface& target, const RectL& play);
    ~PlayerState();
    PlayerState(const PlayerState&) = delete;
    PlayerState& operator=(const PlayerState&) = delete;

    DcState dc;
    std::vector<DcState> saved;
    std::vector<GdiObject> objects; // the metafile's object table, sized from the header
    EmfHeaderInfo header;
    XForm playback; // reference-device pixels -> target pixels
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr; // identity matrix, no clip set between records
    int width = 0;
    int height = 0;
    uint64_t patternPixels = 0; // pattern-brush pixels decoded so far (memory budget)
    // Work done so far, in units that do not depend on the machine: record bytes read and
    // device pixels a drawing may touch. Playback ends once it reaches workBudget.
    uint64_t work = 0;
    uint64_t workBudget = UINT64_MAX;

    /// Adds units of work (saturating).
    void ChargeWork(uint64_t units) {
        work = units > UINT64_MAX - work ? UINT64_MAX : work + units;
    }
    /// Adds the pixels of a device box, clipped to the surface, as work.
    void ChargeBox(double x0, double y0, double x1, double y1);
    bool BudgetReached() const { return work >= workBudget; }

    /// Window/viewport mapping: page space (after the world transform) -> reference pixels.
    XForm PageTransform() const;
    /// The whole chain logical -> target device pixels (unrounded).
    XForm LogicalToDevice() const;
    PointD ToDevice(PointD logical) const { return LogicalToDevice().Apply(logical); }
    /// Device point rounded to whole pixels, as the system rounds coordinates.
    PointD ToDeviceRounded(PointD logical) const;
    /// A logical length along x as device pixels (pen widths).
    double DeviceWidth(double logical) const;

    /// The clip in force (clip region intersected with the meta region); null when none.
    RegionPtr EffectiveClip() const;
    /// Intersects target's clip with the DC's clip (does nothing when there is none). The
    /// target's user space must be device pixels (identity matrix on the surface).
    void ApplyClip(cairo_t* target) const;
    /// A context on the target surface with the clip in force already set, kept while the
    /// clip stays the same; cr itself when there is no clip. Wrap each drawing in cairo_save
    /// and cairo_restore. bounds, when given, must hold every pixel the drawing may set.
    cairo_t* ClippedContext(const cairo_rectangle_int_t* bounds = nullptr);

    /// The DC's path for changing (copied first when a saved state shares it).
    PathData& EditPath();

    /// Object by table index or stock-object index (0x80000000 | n); null when unknown.
    const GdiObject* Object(uint32_t index) const;

private:
    mutable ClipCache m_clipCache;
};

} // namespace qm::emf
