// The translation of Windows-metafile records into enhanced-metafile records (internal).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/wmf/emf_writer.h"

namespace qm::wmf::detail {

/// The parameter words of one record; reads past the end give 0.
struct Params {
    std::span<const uint8_t> bytes;

    size_t Words() const { return bytes.size() / 2; }
    uint16_t W(size_t i) const {
        return i < Words() ? uint16_t(bytes[2 * i] | (bytes[2 * i + 1] << 8)) : 0;
    }
    int32_t S(size_t i) const { return int16_t(W(i)); }
    uint32_t L(size_t i) const { return W(i) | (uint32_t(W(i + 1)) << 16); }
    /// The bytes from word i on.
    std::span<const uint8_t> From(size_t i) const {
        return 2 * i <= bytes.size() ? bytes.subspan(2 * i) : std::span<const uint8_t>();
    }
};

struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

/// Windows-metafile record functions.
enum Function : uint16_t {
    META_EOF = 0x0000,
    META_REALIZEPALETTE = 0x0035,
    META_SETPALENTRIES = 0x0037,
    META_SETBKMODE = 0x0102,
    META_SETMAPMODE = 0x0103,
    META_SETROP2 = 0x0104,
    META_SETRELABS = 0x0105,
    META_SETPOLYFILLMODE = 0x0106,
    META_SETSTRETCHBLTMODE = 0x0107,
    META_SETTEXTCHAREXTRA = 0x0108,
    META_RESTOREDC = 0x0127,
    META_INVERTREGION = 0x012A,
    META_PAINTREGION = 0x012B,
    META_SELECTCLIPREGION = 0x012C,
    META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E,
    META_RESIZEPALETTE = 0x0139,
    META_DIBCREATEPATTERNBRUSH = 0x0142,
    META_SETLAYOUT = 0x0149,
    META_DELETEOBJECT = 0x01F0,
    META_CREATEPATTERNBRUSH = 0x01F9,
    META_SETBKCOLOR = 0x0201,
    META_SETTEXTCOLOR = 0x0209,
    META_SETTEXTJUSTIFICATION = 0x020A,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_SETVIEWPORTORG = 0x020D,
    META_SETVIEWPORTEXT = 0x020E,
    META_OFFSETWINDOWORG = 0x020F,
    META_OFFSETVIEWPORTORG = 0x0211,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_OFFSETCLIPRGN = 0x0220,
    META_FILLREGION = 0x0228,
    META_SETMAPPERFLAGS = 0x0231,
    META_SELECTPALETTE = 0x0234,
    META_CREATEPALETTE = 0x00F7,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_SCALEWINDOWEXT = 0x0410,
    META_SCALEVIEWPORTEXT = 0x0412,
    META_EXCLUDECLIPRECT = 0x0415,
    META_INTERSECTCLIPRECT = 0x0416,
    META_ELLIPSE = 0x0418,
    META_FLOODFILL = 0x0419,
    META_FRAMEREGION = 0x0429,
    META_RECTANGLE = 0x041B,
    META_SETPIXEL = 0x041F,
    META_ROUNDRECT = 0x061C,
    META_PATBLT = 0x061D,
    META_SAVEDC = 0x001E,
    META_PIE = 0x081A,
    META_STRETCHBLT = 0x0B23,
    META_ESCAPE = 0x0626,
    META_TEXTOUT = 0x0521,
    META_POLYPOLYGON = 0x0538,
    META_EXTFLOODFILL = 0x0548,
    META_ARC = 0x0817,
    META_CHORD = 0x0830,
    META_BITBLT = 0x0922,
    META_EXTTEXTOUT = 0x0A32,
    META_SETDIBTODEV = 0x0D33,
    META_DIBBITBLT = 0x0940,
    META_DIBSTRETCHBLT = 0x0B41,
    META_STRETCHDIB = 0x0F43,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_CREATEREGION = 0x06FF,
};

/// The size of a packed bitmap's header, masks and colour table (usage: 0 RGB colours, 1
/// palette indices); 0 when the header is invalid or the bitmap has no bits after them.
uint32_t DibInfoSize(std::span<const uint8_t> dib, uint32_t usage);

/// A device-dependent bitmap of the oldest metafiles (type, width, height, bytes a row,
/// planes, bits a pixel, then the rows at bitsOffset, top row first) as a packed bitmap:
/// 1 bit a pixel black and white, 24 or 32 bits a pixel. Empty for other kinds or short data.
std::vector<uint8_t> DibFromBitmap16(std::span<const uint8_t> bitmap, size_t bitsOffset);

class Translator {
public:
    /// records: the records after the metafile header.
    Translator(std::span<const uint8_t> records, size_t maxBytes)
        : m_records(records), m_maxBytes(maxBytes) {}

    /// Translates the records into body records (no header, no end record).
    void Run();

    EmfWriter& Body() { return m_out; }
    /// Window origin and extent the records set first, when they set them.
    bool HasWindow() const { return m_windowSet == 3; }
    Rect Window() const {
        return {m_window.left, m_window.top, m_window.left + m_window.right,
                m_window.top + m_window.bottom};
    }
    /// The rectangle the drawing records' points span (left > right when none).
    Rect PointBounds() const { return m_bounds; }
    /// Handles the body uses, plus one.
    uint32_t Handles() const { return uint32_t(m_slots.size()) + 1; }
    /// The enhanced metafile carried in comment escapes, when it came whole.
    std::vector<uint8_t> TakeEmbedded();

private:
    enum class Kind : uint8_t { Free, Object, Brush, Region, Placeholder };
    struct Slot {
        Kind kind = Kind::Free;
        std::vector<Rect> rects; // regions
    };

    void Play(uint16_t function, const Params& p);
    bool PlayState(uint16_t function, const Params& p);
    bool PlayObject(uint16_t function, const Params& p);
    bool PlayDrawing(uint16_t function, const Params& p);
    bool PlayBitmap(uint16_t function, const Params& p);
    void PlayEscape(const Params& p);

    // Objects: the lowest free slot takes a new object; handle = slot + 1.
    int NewSlot(Kind kind);
    Slot* At(uint32_t index);
    void CreateRegion(const Params& p);
    void Select(uint32_t index);
    void Delete(uint32_t index);
    void RegionPath(const Slot& region);
    void ClipToRegion(const Slot* region);
    void FillRegion(const Slot& region, uint32_t brushHandle);

    // Drawing.
    void Point(int32_t x, int32_t y);
    void Box(uint32_t type, const Params& p, size_t first, bool corner);
    void ArcLike(uint32_t type, const Params& p);
    void Poly(uint32_t type, const Params& p);
    void PolyPolygon(const Params& p);
    void Text(int32_t x, int32_t y, uint16_t options, const Rect* rect,
              std::span<const uint8_t> text, const Params& p, size_t dxWord);
    void StretchDib(std::span<const uint8_t> dib, int32_t xDest, int32_t yDest, int32_t cxDest,
                    int32_t cyDest, int32_t xSrc, int32_t ySrc, int32_t cxSrc, int32_t cySrc,
                    uint32_t usage, uint32_t rop);
    void PatBlt(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rop);
    void PatternBrush(std::span<const uint8_t> dib, uint32_t usage);

    std::span<const uint8_t> m_records;
    size_t m_maxBytes;
    EmfWriter m_out;
    std::vector<Slot> m_slots;
    uint32_t m_brush = 0x80000000u; // the brush selected: stock white at first
    std::vector<uint32_t> m_savedBrush;
    int32_t m_orgX = 0, m_orgY = 0;
    std::vector<std::pair<int32_t, int32_t>> m_savedOrg;
    int m_windowSet = 0; // 1 origin, 2 extent
    Rect m_window;       // origin, then extent in right and bottom
    Rect m_bounds{1, 1, 0, 0};
    // Enhanced metafile carried in comment escapes.
    std::vector<uint8_t> m_embedded;
    uint32_t m_embeddedSize = 0;
    bool m_embeddedBroken = false;
};

} // namespace qm::wmf::detail
