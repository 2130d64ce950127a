// Windows-metafile drawing records: lines, shapes, polygons, text and bitmaps.
#include <algorithm>
#include <cstring>

#include "platform/emf/dib.h"
#include "platform/wmf/wmf_translator.h"

namespace qm::wmf::detail {

namespace {

constexpr uint32_t kEmrSetPixelV = 15;
constexpr uint32_t kEmrMoveToEx = 27;
constexpr uint32_t kEmrEllipse = 42;
constexpr uint32_t kEmrRectangle = 43;
constexpr uint32_t kEmrRoundRect = 44;
constexpr uint32_t kEmrArc = 45;
constexpr uint32_t kEmrChord = 46;
constexpr uint32_t kEmrPie = 47;
constexpr uint32_t kEmrLineTo = 54;
constexpr uint32_t kEmrBitBlt = 76;
constexpr uint32_t kEmrSetDiBitsToDevice = 80;
constexpr uint32_t kEmrStretchDiBits = 81;
constexpr uint32_t kEmrExtTextOutA = 83;
constexpr uint32_t kEmrPolygon16 = 86;
constexpr uint32_t kEmrPolyline16 = 87;
constexpr uint32_t kEmrPolyPolygon16 = 91;
constexpr uint16_t kEtoOpaque = 0x0002;
constexpr uint16_t kEtoClipped = 0x0004;

// Bitmap records without a bitmap (pattern fills) hold as many parameter words as the
// function's high byte says; with one, the bitmap follows fewer words.
bool HasNoBitmap(uint16_t function, const Params& p) {
    return p.Words() <= size_t(function >> 8);
}

} // namespace

uint32_t DibInfoSize(std::span<const uint8_t> dib, uint32_t usage) {
    emf::DibHeader h;
    if (!emf::ParseDibHeader(dib, h))
        return 0;
    uint64_t size = h.headerSize;
    if (h.headerSize == 40 && h.compression == emf::kBiBitfields)
        size += 12;
    else if (h.headerSize == 40 && h.compression == emf::kBiAlphaBitfields)
        size += 16;
    uint64_t colours = h.colorsUsed;
    if (h.bitCount <= 8 && (colours == 0 || colours > (1u << h.bitCount)))
        colours = 1u << h.bitCount;
    const uint64_t entry = usage == 1 ? 2 : h.headerSize == 12 ? 3 : 4;
    size += colours * entry;
    return size < dib.size() ? uint32_t(size) : 0;
}

std::vector<uint8_t> DibFromBitmap16(std::span<const uint8_t> bitmap, size_t bitsOffset) {
    if (bitmap.size() < 10)
        return {};
    auto u16 = [&](size_t at) { return uint32_t(bitmap[at] | (bitmap[at + 1] << 8)); };
    const int32_t width = int16_t(u16(2)), height = int16_t(u16(4));
    const uint32_t rowBytes = u16(6), planes = bitmap[8], bits = bitmap[9];
    if (width <= 0 || height <= 0 || planes != 1 || (bits != 1 && bits != 24 && bits != 32) ||
        rowBytes < (uint32_t(width) * bits + 7) / 8 || bitsOffset > bitmap.size() ||
        uint64_t(rowBytes) * uint64_t(height) > bitmap.size() - bitsOffset)
        return {};
    const uint32_t stride = ((uint32_t(width) * bits + 31) / 32) * 4;
    const uint32_t table = bits == 1 ? 8 : 0;
    std::vector<uint8_t> dib(40 + table + size_t(stride) * size_t(height), 0);
    const int32_t header[] = {40, width, -height}; // rows top first
    std::memcpy(dib.data(), header, sizeof header);
    dib[12] = 1;
    dib[14] = uint8_t(bits);
    if (bits == 1)
        std::memset(dib.data() + 44, 0xFF, 3); // index 0 black, 1 white
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(dib.data() + 40 + table + size_t(y) * stride,
                    bitmap.data() + bitsOffset + size_t(y) * rowBytes,
                    std::min<size_t>(rowBytes, stride));
    return dib;
}

bool Translator::PlayDrawing(uint16_t function, const Params& p) {
    switch (function) {
    case META_MOVETO:
    case META_LINETO:
        Point(p.S(1), p.S(0));
        m_out.Record(function == META_MOVETO ? kEmrMoveToEx : kEmrLineTo, {p.S(1), p.S(0)});
        return true;
    case META_RECTANGLE:
        Box(kEmrRectangle, p, 0, false);
        return true;
    case META_ELLIPSE:
        Box(kEmrEllipse, p, 0, false);
        return true;
    case META_ROUNDRECT:
        Box(kEmrRoundRect, p, 2, true);
        return true;
    case META_ARC:
        ArcLike(kEmrArc, p);
        return true;
    case META_PIE:
        ArcLike(kEmrPie, p);
        return true;
    case META_CHORD:
        ArcLike(kEmrChord, p);
        return true;
    case META_SETPIXEL:
        Point(p.S(3), p.S(2));
        m_out.Record(kEmrSetPixelV, {p.S(3), p.S(2), int32_t(p.L(0))});
        return true;
    case META_POLYLINE:
        Poly(kEmrPolyline16, p);
        return true;
    case META_POLYGON:
        Poly(kEmrPolygon16, p);
        return true;
    case META_POLYPOLYGON:
        PolyPolygon(p);
        return true;
    case META_TEXTOUT: {
        const size_t length = std::min<size_t>(p.W(0), p.From(1).size());
        const size_t after = 1 + (length + 1) / 2;
        Text(p.S(after + 1), p.S(after), 0, nullptr, p.From(1).first(length), p, 0);
        return true;
    }
    case META_EXTTEXTOUT: {
        const uint16_t options = p.W(3);
        size_t at = 4;
        Rect rect;
        const bool hasRect = options & (kEtoOpaque | kEtoClipped);
        if (hasRect) {
            rect = {p.S(4), p.S(5), p.S(6), p.S(7)};
            at = 8;
        }
        const size_t length = std::min<size_t>(p.W(2), p.From(at).size());
        Text(p.S(1), p.S(0), options, hasRect ? &rect : nullptr, p.From(at).first(length), p,
             at + (length + 1) / 2);
        return true;
    }
    case META_FLOODFILL:
    case META_EXTFLOODFILL:
    case META_FRAMEREGION:
    case META_INVERTREGION:
        return true;
    default:
        return false;
    }
}

bool Translator::PlayBitmap(uint16_t function, const Params& p) {
    switch (function) {
    case META_PATBLT:
        PatBlt(p.S(5), p.S(4), p.S(3), p.S(2), p.L(0));
        return true;
    case META_BITBLT:
    case META_DIBBITBLT: {
        // Raster operation, source y and x, (reserved,) height, width, destination y and x.
        if (HasNoBitmap(function, p)) {
            PatBlt(p.S(8), p.S(7), p.S(6), p.S(5), p.L(0));
            return true;
        }
        const std::vector<uint8_t> old =
            function == META_BITBLT ? DibFromBitmap16(p.From(8), 10) : std::vector<uint8_t>();
        StretchDib(function == META_BITBLT ? std::span<const uint8_t>(old) : p.From(8), p.S(7),
                   p.S(6), p.S(5), p.S(4), p.S(3), p.S(2), p.S(5), p.S(4), 0, p.L(0));
        return true;
    }
    case META_STRETCHBLT:
    case META_DIBSTRETCHBLT: {
        // Raster operation, source height, width, y and x, (reserved,) destination height,
        // width, y and x.
        if (HasNoBitmap(function, p)) {
            PatBlt(p.S(10), p.S(9), p.S(8), p.S(7), p.L(0));
            return true;
        }
        const std::vector<uint8_t> old =
            function == META_STRETCHBLT ? DibFromBitmap16(p.From(10), 10) : std::vector<uint8_t>();
        StretchDib(function == META_STRETCHBLT ? std::span<const uint8_t>(old) : p.From(10), p.S(9),
                   p.S(8), p.S(7), p.S(6), p.S(5), p.S(4), p.S(3), p.S(2), 0, p.L(0));
        return true;
    }
    case META_STRETCHDIB:
        StretchDib(p.From(11), p.S(10), p.S(9), p.S(8), p.S(7), p.S(6), p.S(5), p.S(4), p.S(3),
                   p.W(2), p.L(0));
        return true;
    case META_SETDIBTODEV: {
        // Usage, scan count, first scan, source y and x, height, width, destination y and x.
        const auto dib = p.From(9);
        const uint32_t cbBmi = DibInfoSize(dib, p.W(0));
        if (!cbBmi)
            return true;
        Point(p.S(8), p.S(7));
        Point(p.S(8) + p.S(6), p.S(7) + p.S(5));
        m_out.Begin(kEmrSetDiBitsToDevice).I32(0).I32(0).I32(-1).I32(-1);
        m_out.I32(p.S(8)).I32(p.S(7)).I32(p.S(4)).I32(p.S(3)).I32(p.S(6)).I32(p.S(5));
        m_out.U32(76).U32(cbBmi).U32(76 + cbBmi).U32(uint32_t(dib.size() - cbBmi));
        m_out.U32(p.W(0)).U32(p.W(2)).U32(p.W(1)).Bytes(dib).End();
        return true;
    }
    default:
        return false;
    }
}

void Translator::Point(int32_t x, int32_t y) {
    if (m_bounds.left > m_bounds.right) {
        m_bounds = {x, y, x, y};
        return;
    }
    m_bounds.left = std::min(m_bounds.left, x);
    m_bounds.top = std::min(m_bounds.top, y);
    m_bounds.right = std::max(m_bounds.right, x);
    m_bounds.bottom = std::max(m_bounds.bottom, y);
}

// Rectangle-like records: (corner height, corner width,) bottom, right, top, left.
void Translator::Box(uint32_t type, const Params& p, size_t first, bool corner) {
    const int32_t bottom = p.S(first), right = p.S(first + 1);
    const int32_t top = p.S(first + 2), left = p.S(first + 3);
    Point(left, top);
    Point(right, bottom);
    if (corner)
        m_out.Record(type, {left, top, right, bottom, p.S(1), p.S(0)});
    else
        m_out.Record(type, {left, top, right, bottom});
}

// Arc, pie and chord: end y and x, start y and x, bottom, right, top, left.
void Translator::ArcLike(uint32_t type, const Params& p) {
    Point(p.S(7), p.S(6));
    Point(p.S(5), p.S(4));
    m_out.Record(type, {p.S(7), p.S(6), p.S(5), p.S(4), p.S(3), p.S(2), p.S(1), p.S(0)});
}

void Translator::Poly(uint32_t type, const Params& p) {
    const size_t count = std::min<size_t>(p.W(0), (p.Words() - std::min<size_t>(1, p.Words())) / 2);
    m_out.Begin(type).I32(0).I32(0).I32(-1).I32(-1).U32(uint32_t(count));
    for (size_t i = 0; i < count; ++i) {
        Point(p.S(1 + 2 * i), p.S(2 + 2 * i));
        m_out.I16(int16_t(p.S(1 + 2 * i))).I16(int16_t(p.S(2 + 2 * i)));
    }
    m_out.End();
}

void Translator::PolyPolygon(const Params& p) {
    const size_t polygons = p.W(0);
    if (polygons == 0 || 1 + polygons > p.Words())
        return;
    size_t total = 0;
    for (size_t i = 0; i < polygons; ++i)
        total += p.W(1 + i);
    const size_t first = 1 + polygons;
    if (total > (p.Words() - first) / 2)
        return;
    m_out.Begin(kEmrPolyPolygon16).I32(0).I32(0).I32(-1).I32(-1);
    m_out.U32(uint32_t(polygons)).U32(uint32_t(total));
    for (size_t i = 0; i < polygons; ++i)
        m_out.U32(p.W(1 + i));
    for (size_t i = 0; i < total; ++i) {
        Point(p.S(first + 2 * i), p.S(first + 2 * i + 1));
        m_out.I16(int16_t(p.S(first + 2 * i))).I16(int16_t(p.S(first + 2 * i + 1)));
    }
    m_out.End();
}

// Text as an ANSI text record: its bytes are read in the code page of the font's character
// set, as the system does. dxWord: where the character advances start (0: none).
void Translator::Text(int32_t x, int32_t y, uint16_t options, const Rect* rect,
                      std::span<const uint8_t> text, const Params& p, size_t dxWord) {
    Point(x, y);
    const bool hasDx = dxWord != 0 && p.Words() >= dxWord + text.size() && !text.empty();
    const uint32_t padded = uint32_t((text.size() + 3) & ~size_t(3));
    m_out.Begin(kEmrExtTextOutA).I32(0).I32(0).I32(-1).I32(-1);
    m_out.U32(1).U32(0).U32(0); // compatible graphics mode, no scaling
    m_out.I32(x)
        .I32(y)
        .U32(uint32_t(text.size()))
        .U32(76)
        .U32(options & (kEtoOpaque | kEtoClipped));
    const Rect r = rect ? *rect : Rect{};
    m_out.I32(r.left).I32(r.top).I32(r.right).I32(r.bottom).U32(hasDx ? 76 + padded : 0);
    static constexpr uint8_t kZeros[4] = {};
    m_out.Bytes(text).Bytes(std::span<const uint8_t>(kZeros, padded - text.size()));
    if (hasDx)
        for (size_t i = 0; i < text.size(); ++i)
            m_out.I32(p.S(dxWord + i));
    m_out.End();
}

void Translator::StretchDib(std::span<const uint8_t> dib, int32_t xDest, int32_t yDest,
                            int32_t cxDest, int32_t cyDest, int32_t xSrc, int32_t ySrc,
                            int32_t cxSrc, int32_t cySrc, uint32_t usage, uint32_t rop) {
    const uint32_t cbBmi = DibInfoSize(dib, usage);
    if (!cbBmi)
        return;
    Point(xDest, yDest);
    Point(xDest + cxDest, yDest + cyDest);
    m_out.Begin(kEmrStretchDiBits).I32(0).I32(0).I32(-1).I32(-1);
    m_out.I32(xDest).I32(yDest).I32(xSrc).I32(ySrc).I32(cxSrc).I32(cySrc);
    m_out.U32(80).U32(cbBmi).U32(80 + cbBmi).U32(uint32_t(dib.size() - cbBmi));
    m_out.U32(usage).U32(rop).I32(cxDest).I32(cyDest).Bytes(dib).End();
}

void Translator::PatBlt(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rop) {
    Point(x, y);
    Point(x + w, y + h);
    const float identity[6] = {1, 0, 0, 1, 0, 0};
    m_out.Begin(kEmrBitBlt).I32(0).I32(0).I32(-1).I32(-1);
    m_out.I32(x).I32(y).I32(w).I32(h).U32(rop).I32(0).I32(0);
    for (float f : identity) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        m_out.U32(bits);
    }
    m_out.U32(0).U32(0).U32(0).U32(0).U32(0).U32(0).End();
}

} // namespace qm::wmf::detail
