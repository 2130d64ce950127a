#include "platform/emfplus/emfplus_objects.h"

#include <algorithm>
#include <cmath>

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

// Upper bound on the points, stops and dashes of one object.
constexpr uint32_t kMaxItems = 1u << 24;

PointF ReadPointF(Reader& r) {
    PointF p;
    p.x = FiniteOrZero(r.F32());
    p.y = FiniteOrZero(r.F32());
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
        p = std::clamp(FiniteOrZero(r.F32()), 0.0, 1.0);
    if (colours) {
        out.presets.clear();
        for (uint32_t i = 0; i < count; ++i)
            out.presets.emplace_back(positions[i], r.U32());
    } else {
        out.blend.clear();
        for (uint32_t i = 0; i < count; ++i)
            out.blend.emplace_back(positions[i], std::clamp(FiniteOrZero(r.F32()), 0.0, 1.0));
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

} // namespace

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
        rc.x = FiniteOrZero(r.F32());
        rc.y = FiniteOrZero(r.F32());
        rc.w = FiniteOrZero(r.F32());
        rc.h = FiniteOrZero(r.F32());
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
            out.transform = ReadFiniteMatrix(r);
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
            out.transform = ReadFiniteMatrix(r);
        }
        ReadBlend(r, flags, false, out);
        out.gammaCorrected = (flags & kBrushGammaCorrected) != 0;
        if (flags & kBrushFocusScales) {
            r.U32(); // count, always 2
            out.hasFocus = true;
            out.focus.x = std::clamp(FiniteOrZero(r.F32()), 0.0, 1.0);
            out.focus.y = std::clamp(FiniteOrZero(r.F32()), 0.0, 1.0);
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
            out.transform = ReadFiniteMatrix(r);
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
    out.emSize = FiniteOrZero(r.F32());
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

bool ParseStringFormat(Reader& r, StringFormat& out) {
    r.U32(); // version
    out.flags = r.U32();
    r.U32(); // language
    out.alignment = r.U32();
    out.lineAlignment = r.U32();
    r.U32(); // digit substitution
    r.U32(); // digit language
    out.firstTabOffset = FiniteOrZero(r.F32());
    out.hotkeyPrefix = r.I32();
    out.leadingMargin = FiniteOrZero(r.F32());
    out.trailingMargin = FiniteOrZero(r.F32());
    out.tracking = FiniteOrZero(r.F32());
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
            t = FiniteOrZero(r.F32());
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

double FiniteOrZero(float v) {
    return std::isfinite(v) ? double(v) : 0.0;
}

cairo_matrix_t ReadFiniteMatrix(Reader& r) {
    cairo_matrix_t m;
    m.xx = FiniteOrZero(r.F32());
    m.yx = FiniteOrZero(r.F32());
    m.xy = FiniteOrZero(r.F32());
    m.yy = FiniteOrZero(r.F32());
    m.x0 = FiniteOrZero(r.F32());
    m.y0 = FiniteOrZero(r.F32());
    return m;
}

} // namespace qm::emfplus
