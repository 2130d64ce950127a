#include "platform/emfplus/emfplus_objects.h"

#include <algorithm>
#include <cmath>

#include "platform/emf/dib.h"
#include "platform/emf/dib_embedded.h"

namespace qm::emfplus {

namespace {

// Brush data flags.
constexpr uint32_t kBrushPath = 0x01;
constexpr uint32_t kBrushTransform = 0x02;
constexpr uint32_t kBrushPresetColors = 0x04;
constexpr uint32_t kBrushBlendH = 0x08;
constexpr uint32_t kBrushBlendV = 0x10;
constexpr uint32_t kBrushFocusScales = 0x40;
constexpr uint32_t kBrushGammaCorrected = 0x80;

// Pen data flags.
constexpr uint32_t kPenTransform = 0x01;
constexpr uint32_t kPenStartCap = 0x02;
constexpr uint32_t kPenEndCap = 0x04;
constexpr uint32_t kPenJoin = 0x08;
constexpr uint32_t kPenMiterLimit = 0x10;
constexpr uint32_t kPenLineStyle = 0x20;
constexpr uint32_t kPenDashedLineCap = 0x40;
constexpr uint32_t kPenDashOffset = 0x80;
constexpr uint32_t kPenDashedLine = 0x100;
constexpr uint32_t kPenNonCenter = 0x200;
constexpr uint32_t kPenCompoundLine = 0x400;
constexpr uint32_t kPenCustomStartCap = 0x800;
constexpr uint32_t kPenCustomEndCap = 0x1000;

// Upper bound on the points, stops and dashes of one object.
constexpr uint32_t kMaxItems = 1u << 24;

double Finite(float v) {
    return std::isfinite(v) ? double(v) : 0.0;
}

cairo_matrix_t ReadMatrix(Reader& r) {
    cairo_matrix_t m;
    m.xx = Finite(r.F32());
    m.yx = Finite(r.F32());
    m.xy = Finite(r.F32());
    m.yy = Finite(r.F32());
    m.x0 = Finite(r.F32());
    m.y0 = Finite(r.F32());
    return m;
}

PointF ReadPointF(Reader& r) {
    PointF p;
    p.x = Finite(r.F32());
    p.y = Finite(r.F32());
    return p;
}

// Reads one coordinate of a relative point (7 or 15 bits, signed).
int ReadRelative(Reader& r) {
    const uint8_t b0 = r.U8();
    if (!(b0 & 0x80))
        return (b0 & 0x40) ? int(b0) - 0x80 : int(b0);
    const int v = ((b0 & 0x7F) << 8) | r.U8();
    return (v & 0x4000) ? v - 0x8000 : v;
}

// One blend pattern: positions, then as many colours or factors.
bool ReadBlendArrays(Reader& r, bool colours, Brush& out) {
    const uint32_t count = r.U32();
    if (count == 0 || count > kMaxItems || !r.Fits(count, 8))
        return false;
    std::vector<double> positions(count);
    for (auto& p : positions)
        p = std::clamp(Finite(r.F32()), 0.0, 1.0);
    if (colours) {
        out.presets.clear();
        for (uint32_t i = 0; i < count; ++i)
            out.presets.emplace_back(positions[i], r.U32());
    } else {
        out.blend.clear();
        for (uint32_t i = 0; i < count; ++i)
            out.blend.emplace_back(positions[i], std::clamp(Finite(r.F32()), 0.0, 1.0));
    }
    return !r.Failed();
}

// The blend pattern the flags announce. A linear gradient may carry a vertical blend before
// the horizontal one; GDI+ draws only the horizontal one, and so do we.
void ReadBlend(Reader& r, uint32_t flags, bool linear, Brush& out) {
    bool ok = true;
    if (flags & kBrushPresetColors) {
        ok = ReadBlendArrays(r, true, out);
    } else {
        if (linear && (flags & kBrushBlendV)) {
            Brush vertical;
            ok = ReadBlendArrays(r, false, vertical);
        }
        if (ok && (flags & kBrushBlendH))
            ok = ReadBlendArrays(r, false, out);
    }
    if (!ok)
        r.Fail();
}

bool DecodeBitmapPixels(Reader& r, int width, int height, int stride, uint32_t format, Image& out) {
    const int bits = int((format >> 8) & 0xFF);
    const bool indexed = (format & 0x00010000u) != 0;
    std::vector<Argb> palette;
    if (indexed) {
        r.U32(); // palette style flags
        const uint32_t count = r.U32();
        if (count > 256 || !r.Fits(count, 4))
            return false;
        palette.resize(count);
        for (auto& c : palette)
            c = r.U32();
    }
    if (bits == 0 || stride <= 0 || int64_t(width) * bits > int64_t(stride) * 8)
        return false;
    const auto data = r.Bytes(size_t(stride) * size_t(height));
    if (r.Failed())
        return false;
    out.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(out.surface) != CAIRO_STATUS_SUCCESS)
        return false;
    cairo_surface_flush(out.surface);
    uint8_t* dst = cairo_image_surface_get_data(out.surface);
    const int dstStride = cairo_image_surface_get_stride(out.surface);
    auto premultiply = [](Argb c) {
        const uint32_t a = c >> 24;
        if (a == 255)
            return c;
        auto m = [a](uint32_t v) { return (v * a + 127) / 255; };
        return (a << 24) | (m((c >> 16) & 0xFF) << 16) | (m((c >> 8) & 0xFF) << 8) | m(c & 0xFF);
    };
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = data.data() + size_t(y) * size_t(stride);
        uint32_t* o = reinterpret_cast<uint32_t*>(dst + size_t(y) * size_t(dstStride));
        for (int x = 0; x < width; ++x) {
            Argb c = 0xFF000000u;
            switch (format) {
            case 0x00030101:   // 1 bpp indexed
            case 0x00030402:   // 4 bpp indexed
            case 0x00030803: { // 8 bpp indexed
                const int per = 8 / bits;
                const int shift = (per - 1 - x % per) * bits;
                const uint32_t index = (row[x / per] >> shift) & ((1u << bits) - 1);
                c = index < palette.size() ? palette[index] : 0xFF000000u;
                break;
            }
            case 0x00101004: { // 16 bpp grey
                const uint8_t g = row[x * 2 + 1];
                c = 0xFF000000u | (g << 16) | (g << 8) | g;
                break;
            }
            case 0x00021005:   // RGB555
            case 0x00061007: { // ARGB1555
                const uint16_t v = uint16_t(row[x * 2] | (row[x * 2 + 1] << 8));
                const uint32_t r5 = (v >> 10) & 31, g5 = (v >> 5) & 31, b5 = v & 31;
                const uint32_t a = format == 0x00061007 && !(v & 0x8000) ? 0 : 255;
                c = (a << 24) | (((r5 << 3) | (r5 >> 2)) << 16) | (((g5 << 3) | (g5 >> 2)) << 8) |
                    ((b5 << 3) | (b5 >> 2));
                break;
            }
            case 0x00021006: { // RGB565
                const uint16_t v = uint16_t(row[x * 2] | (row[x * 2 + 1] << 8));
                const uint32_t r5 = (v >> 11) & 31, g6 = (v >> 5) & 63, b5 = v & 31;
                c = 0xFF000000u | (((r5 << 3) | (r5 >> 2)) << 16) | (((g6 << 2) | (g6 >> 4)) << 8) |
                    ((b5 << 3) | (b5 >> 2));
                break;
            }
            case 0x00021808: // 24 bpp
                c = 0xFF000000u | (row[x * 3 + 2] << 16) | (row[x * 3 + 1] << 8) | row[x * 3];
                break;
            case 0x00022009: // 32 bpp RGB
                c = 0xFF000000u | (row[x * 4 + 2] << 16) | (row[x * 4 + 1] << 8) | row[x * 4];
                break;
            case 0x0026200A: // 32 bpp ARGB
            case 0x000E200B: // 32 bpp premultiplied ARGB
                c = (uint32_t(row[x * 4 + 3]) << 24) | (row[x * 4 + 2] << 16) |
                    (row[x * 4 + 1] << 8) | row[x * 4];
                break;
            case 0x0010300C: // 48 bpp
                c = 0xFF000000u | (row[x * 6 + 5] << 16) | (row[x * 6 + 3] << 8) | row[x * 6 + 1];
                break;
            case 0x0034400D: // 64 bpp ARGB
            case 0x001A400E:
                c = (uint32_t(row[x * 8 + 7]) << 24) | (row[x * 8 + 5] << 16) |
                    (row[x * 8 + 3] << 8) | row[x * 8 + 1];
                break;
            default:
                cairo_surface_destroy(out.surface);
                out.surface = nullptr;
                return false;
            }
            const bool premultiplied = format == 0x000E200B || format == 0x001A400E;
            o[x] = premultiplied ? c : premultiply(c);
        }
    }
    cairo_surface_mark_dirty(out.surface);
    return true;
}

bool SurfaceFromDib(const emf::DibImage& dib, Image& out) {
    out.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, dib.width, dib.height);
    if (cairo_surface_status(out.surface) != CAIRO_STATUS_SUCCESS)
        return false;
    cairo_surface_flush(out.surface);
    uint8_t* dst = cairo_image_surface_get_data(out.surface);
    const int stride = cairo_image_surface_get_stride(out.surface);
    for (int y = 0; y < dib.height; ++y) {
        uint32_t* o = reinterpret_cast<uint32_t*>(dst + size_t(y) * size_t(stride));
        for (int x = 0; x < dib.width; ++x) {
            uint32_t c = dib.At(x, y);
            const uint32_t a = dib.sourceAlpha ? c >> 24 : 255;
            auto m = [a](uint32_t v) { return (v * a + 127) / 255; };
            o[x] =
                (a << 24) | (m((c >> 16) & 0xFF) << 16) | (m((c >> 8) & 0xFF) << 8) | m(c & 0xFF);
        }
    }
    cairo_surface_mark_dirty(out.surface);
    return true;
}

bool DecodeCompressed(std::span<const uint8_t> data, Image& out, uint64_t maxPixels) {
    emf::DibImage dib;
    bool ok = false;
    if (data.size() >= 8 && data[0] == 0x89 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G')
        ok = emf::DecodeEmbeddedPng(data, dib, maxPixels);
    else if (data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8)
        ok = emf::DecodeEmbeddedJpeg(data, dib, maxPixels);
    else if (data.size() >= 14 && data[0] == 'B' && data[1] == 'M') {
        // A BMP file: file header, then a DIB with its colour table and bits.
        uint32_t bitsOffset;
        std::memcpy(&bitsOffset, data.data() + 10, 4);
        if (bitsOffset >= 14 && bitsOffset <= data.size())
            ok = emf::DecodeDib(data.subspan(14, bitsOffset - 14), data.subspan(bitsOffset), dib);
    }
    // GIF, TIFF and other compressed kinds are not decoded.
    if (!ok || uint64_t(dib.width) * uint64_t(dib.height) > maxPixels)
        return false;
    out.width = dib.width;
    out.height = dib.height;
    return SurfaceFromDib(dib, out);
}

} // namespace

Image::~Image() {
    if (surface)
        cairo_surface_destroy(surface);
}

bool ReadPoints(Reader& r, uint32_t count, uint16_t flags, std::vector<PointF>& out) {
    if (count > kMaxItems)
        return false;
    out.clear();
    if (flags & 0x0800) {
        if (!r.Fits(count, 2))
            return false;
        out.reserve(count);
        PointF last;
        for (uint32_t i = 0; i < count && !r.Failed(); ++i) {
            last.x += ReadRelative(r);
            last.y += ReadRelative(r);
            out.push_back(last);
        }
    } else if (flags & 0x4000) {
        if (!r.Fits(count, 4))
            return false;
        out.resize(count);
        for (auto& p : out) {
            p.x = r.I16();
            p.y = r.I16();
        }
    } else {
        if (!r.Fits(count, 8))
            return false;
        out.resize(count);
        for (auto& p : out)
            p = ReadPointF(r);
    }
    return !r.Failed();
}

RectF ReadRect(Reader& r, bool compressed) {
    RectF rc;
    if (compressed) {
        rc.x = r.I16();
        rc.y = r.I16();
        rc.w = r.I16();
        rc.h = r.I16();
    } else {
        rc.x = Finite(r.F32());
        rc.y = Finite(r.F32());
        rc.w = Finite(r.F32());
        rc.h = Finite(r.F32());
    }
    return rc;
}

bool ParsePath(Reader& r, PathGeom& out) {
    r.U32(); // version
    const uint32_t count = r.U32();
    const uint32_t flags = r.U32();
    if (r.Failed() || count > kMaxItems)
        return false;
    if (!ReadPoints(r, count, uint16_t(flags & 0xFFFF), out.points))
        return false;
    out.types.clear();
    out.types.reserve(count);
    if (flags & 0x1000) { // run-length encoded types
        while (out.types.size() < count && !r.Failed()) {
            const uint8_t head = r.U8();
            const uint8_t type = r.U8();
            const uint32_t run = head & 0x3F;
            for (uint32_t i = 0; i < run && out.types.size() < count; ++i)
                out.types.push_back(type);
            if (run == 0 && r.Remaining() == 0)
                break;
        }
    } else {
        const auto bytes = r.Bytes(count);
        out.types.assign(bytes.begin(), bytes.end());
    }
    if (r.Failed() || out.types.size() != out.points.size())
        return false;
    return true;
}

bool ParseBrush(Reader& r, Brush& out, ParseBudget& budget) {
    r.U32(); // version
    out.type = r.U32();
    switch (out.type) {
    case Brush::Solid:
        out.color = r.U32();
        break;
    case Brush::Hatch:
        out.hatch = r.U32();
        out.color = r.U32();
        out.back = r.U32();
        break;
    case Brush::Texture: {
        const uint32_t flags = r.U32();
        out.wrap = r.I32();
        if (flags & kBrushTransform) {
            out.hasTransform = true;
            out.transform = ReadMatrix(r);
        }
        auto image = std::make_shared<Image>();
        if (!ParseImage(r, *image, budget))
            return false;
        out.image = std::move(image);
        break;
    }
    case Brush::PathGradient: {
        const uint32_t flags = r.U32();
        out.wrap = r.I32();
        out.color = r.U32();
        out.center = ReadPointF(r);
        const uint32_t n = r.U32();
        if (n > kMaxItems || !r.Fits(n, 4))
            return false;
        out.surround.resize(n);
        for (auto& c : out.surround)
            c = r.U32();
        if (flags & kBrushPath) {
            const uint32_t size = r.U32();
            Reader sub(r.Bytes(size));
            if (!ParsePath(sub, out.boundary))
                return false;
        } else {
            const uint32_t count = r.U32();
            if (!ReadPoints(r, count, 0, out.boundary.points))
                return false;
            out.boundary.types.assign(count, kPtLine);
            if (count)
                out.boundary.types[0] = kPtStart;
        }
        if (flags & kBrushTransform) {
            out.hasTransform = true;
            out.transform = ReadMatrix(r);
        }
        ReadBlend(r, flags, false, out);
        out.gammaCorrected = (flags & kBrushGammaCorrected) != 0;
        if (flags & kBrushFocusScales) {
            r.U32(); // count, always 2
            out.hasFocus = true;
            out.focus.x = std::clamp(Finite(r.F32()), 0.0, 1.0);
            out.focus.y = std::clamp(Finite(r.F32()), 0.0, 1.0);
        }
        break;
    }
    case Brush::Linear: {
        const uint32_t flags = r.U32();
        out.wrap = r.I32();
        out.rect = ReadRect(r, false);
        out.color = r.U32();
        out.back = r.U32();
        // Two reserved colours follow. GDI+ draws nothing when they differ from the start and end
        // colours; other writers leave them zero, so they are not checked.
        r.U32();
        r.U32();
        if (flags & kBrushTransform) {
            out.hasTransform = true;
            out.transform = ReadMatrix(r);
        }
        ReadBlend(r, flags, true, out);
        out.gammaCorrected = (flags & kBrushGammaCorrected) != 0;
        break;
    }
    default:
        return false;
    }
    return !r.Failed();
}

namespace {

// A custom line cap (its size, then the cap object); only adjustable arrows are kept.
void ReadCustomCap(Reader& r, ArrowCap& out) {
    const uint32_t size = r.U32();
    Reader cap(r.Bytes(size));
    cap.U32();          // version
    if (cap.I32() != 1) // not an adjustable arrow
        return;
    const double width = Finite(cap.F32()), height = Finite(cap.F32());
    const double inset = Finite(cap.F32());
    const uint32_t fill = cap.U32();
    if (cap.Failed() || !(width > 0 && width < 1000) || !(height > 0 && height < 1000))
        return;
    out = {true, width, height, std::clamp(inset, 0.0, height), fill != 0};
}

} // namespace

bool ParsePen(Reader& r, Pen& out, ParseBudget& budget) {
    r.U32(); // version
    r.U32(); // type
    const uint32_t flags = r.U32();
    out.unit = r.U32();
    out.width = Finite(r.F32());
    if (flags & kPenTransform) {
        out.hasTransform = true;
        out.transform = ReadMatrix(r);
    }
    if (flags & kPenStartCap)
        out.startCap = r.I32();
    if (flags & kPenEndCap)
        out.endCap = r.I32();
    if (flags & kPenJoin)
        out.join = r.I32();
    if (flags & kPenMiterLimit)
        out.miterLimit = Finite(r.F32());
    if (flags & kPenLineStyle)
        out.lineStyle = r.I32();
    if (flags & kPenDashedLineCap)
        out.dashCap = r.I32();
    if (flags & kPenDashOffset)
        out.dashOffset = Finite(r.F32());
    if (flags & kPenDashedLine) {
        const uint32_t n = r.U32();
        if (n > kMaxItems || !r.Fits(n, 4))
            return false;
        out.dashes.resize(n);
        for (auto& d : out.dashes)
            d = std::max(0.0, Finite(r.F32()));
    }
    if (flags & kPenNonCenter)
        out.alignment = r.I32();
    if (flags & kPenCompoundLine) {
        const uint32_t n = r.U32();
        if (n > kMaxItems || !r.Fits(n, 4))
            return false;
        r.Skip(size_t(n) * 4);
    }
    if (flags & kPenCustomStartCap)
        ReadCustomCap(r, out.startArrow);
    if (flags & kPenCustomEndCap)
        ReadCustomCap(r, out.endArrow);
    if (r.Failed())
        return false;
    return ParseBrush(r, out.brush, budget);
}

bool ParseRegionNode(Reader& r, RegionNode& out, ParseBudget& budget) {
    out.type = r.U32();
    switch (out.type) {
    case RegionNode::And:
    case RegionNode::Or:
    case RegionNode::Xor:
    case RegionNode::Exclude:
    case RegionNode::Complement: {
        if (++budget.depth > 64)
            return false;
        auto left = std::make_shared<RegionNode>();
        auto right = std::make_shared<RegionNode>();
        const bool ok = ParseRegionNode(r, *left, budget) && ParseRegionNode(r, *right, budget);
        --budget.depth;
        out.left = std::move(left);
        out.right = std::move(right);
        return ok;
    }
    case RegionNode::Rect:
        out.rect = ReadRect(r, false);
        return !r.Failed();
    case RegionNode::Path: {
        const uint32_t size = r.U32();
        Reader sub(r.Bytes(size));
        return !r.Failed() && ParsePath(sub, out.path);
    }
    case RegionNode::Empty:
    case RegionNode::Infinite:
        return !r.Failed();
    default:
        return false;
    }
}

bool ParseRegion(Reader& r, RegionNode& out, ParseBudget& budget) {
    r.U32(); // version
    r.U32(); // node count
    return ParseRegionNode(r, out, budget);
}

bool ParseFont(Reader& r, Font& out) {
    r.U32(); // version
    out.emSize = Finite(r.F32());
    out.unit = r.U32();
    out.style = r.I32();
    r.U32();
    const uint32_t length = r.U32();
    if (length > 256 || !r.Fits(length, 2))
        return false;
    out.family.clear();
    for (uint32_t i = 0; i < length; ++i) {
        const char16_t c = char16_t(r.U16());
        if (c == 0)
            break;
        out.family.push_back(c);
    }
    return !r.Failed();
}

bool ParseImage(Reader& r, Image& out, ParseBudget& budget) {
    r.U32(); // version
    const uint32_t type = r.U32();
    if (type == 1) { // bitmap
        const int32_t width = r.I32();
        const int32_t height = r.I32();
        const int32_t stride = r.I32();
        const uint32_t format = r.U32();
        const uint32_t kind = r.U32();
        if (r.Failed())
            return false;
        if (kind == 1) {
            if (!DecodeCompressed(r.Rest(), out, budget.pixels))
                return false;
        } else {
            if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) > budget.pixels)
                return false;
            out.width = width;
            out.height = height;
            if (!DecodeBitmapPixels(r, width, height, stride, format, out))
                return false;
        }
        budget.pixels -= std::min<uint64_t>(budget.pixels, uint64_t(out.width) * out.height);
        return true;
    }
    if (type == 2) { // metafile
        const uint32_t metaType = r.U32();
        const uint32_t size = r.U32();
        const auto bytes = r.Bytes(size);
        if (r.Failed())
            return false;
        out.metafile = true;
        if (metaType >= 3) // EMF, EMF+ only, EMF+ dual; WMF is not played
            out.metafileBytes.assign(bytes.begin(), bytes.end());
        return true;
    }
    return false;
}

bool ParseStringFormat(Reader& r, StringFormat& out) {
    r.U32(); // version
    out.flags = r.U32();
    r.U32(); // language
    out.alignment = r.U32();
    out.lineAlignment = r.U32();
    r.U32(); // digit substitution
    r.U32(); // digit language
    out.firstTabOffset = Finite(r.F32());
    out.hotkeyPrefix = r.I32();
    out.leadingMargin = Finite(r.F32());
    out.trailingMargin = Finite(r.F32());
    out.tracking = Finite(r.F32());
    if (r.Failed())
        return false;
    // Older writers end the object here; the trimming and the tab stops follow in newer ones.
    const uint32_t trimming = r.U32();
    const int32_t tabStops = r.I32();
    r.I32(); // character ranges (measuring only)
    if (r.Failed())
        return true;
    out.trimming = trimming;
    if (tabStops > 0 && tabStops <= 256 && r.Fits(uint32_t(tabStops), 4)) {
        out.tabStops.resize(size_t(tabStops));
        for (double& t : out.tabStops)
            t = Finite(r.F32());
    }
    return true;
}

PlusObject ParseObject(uint8_t type, std::span<const uint8_t> bytes, ParseBudget& budget) {
    Reader r(bytes);
    switch (type) {
    case kObjBrush: {
        Brush b;
        if (ParseBrush(r, b, budget))
            return b;
        break;
    }
    case kObjPen: {
        Pen p;
        if (ParsePen(r, p, budget))
            return p;
        break;
    }
    case kObjPath: {
        auto p = std::make_shared<PathGeom>();
        if (ParsePath(r, *p))
            return std::shared_ptr<const PathGeom>(std::move(p));
        break;
    }
    case kObjRegion: {
        auto n = std::make_shared<RegionNode>();
        if (ParseRegion(r, *n, budget))
            return std::shared_ptr<const RegionNode>(std::move(n));
        break;
    }
    case kObjImage: {
        auto im = std::make_shared<Image>();
        if (ParseImage(r, *im, budget))
            return std::shared_ptr<const Image>(std::move(im));
        break;
    }
    case kObjFont: {
        Font f;
        if (ParseFont(r, f))
            return f;
        break;
    }
    case kObjStringFormat: {
        StringFormat f;
        if (ParseStringFormat(r, f))
            return f;
        break;
    }
    case kObjImageAttributes: {
        ImageAttributes a;
        r.U32();
        r.U32();
        a.wrap = r.I32();
        a.clamp = r.U32();
        if (!r.Failed())
            return a;
        break;
    }
    default:
        break;
    }
    return std::monostate{};
}

} // namespace qm::emfplus
