// EMF+ pen objects: width and unit, the optional data the pen's flags announce (transform,
// caps, join, dashes, alignment, compound bands) and custom line caps.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/emfplus/emfplus_objects.h"

namespace qm::emfplus {

namespace {

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

// Custom line cap data flags.
constexpr uint32_t kCapFillPath = 0x01;
constexpr uint32_t kCapLinePath = 0x02;

// Dash patterns longer than this are not drawn dashed (each dash costs a stroke).
constexpr uint32_t kMaxDashItems = 1024;
// A compound line of more values than this draws as one band: each band is a stroke.
constexpr uint32_t kMaxCompoundItems = 64;
// A cap is drawn at every open figure's end, so its figures are kept small.
constexpr size_t kMaxCapPoints = 4096;

// A size in pen widths, kept within what a picture can show.
double CapSize(float v) {
    return std::clamp(FiniteOrZero(v), -1000.0, 1000.0);
}

// An EmfPlusFillPath or EmfPlusLinePath: its byte length, then the path.
bool ReadCapPath(Reader& r, PathGeom& out) {
    const uint32_t size = r.U32();
    Reader sub(r.Bytes(size));
    if (r.Failed() || !ParsePath(sub, out) || out.points.size() > kMaxCapPoints) {
        out = {};
        return false;
    }
    for (PointF& p : out.points) {
        p.x = std::clamp(p.x, -1000.0, 1000.0);
        p.y = std::clamp(p.y, -1000.0, 1000.0);
    }
    return true;
}

void ReadArrowCap(Reader& cap, CustomCap& out) {
    const double width = FiniteOrZero(cap.F32()), height = FiniteOrZero(cap.F32());
    const double inset = FiniteOrZero(cap.F32());
    const uint32_t fill = cap.U32();
    if (cap.Failed() || !(width > 0 && width < 1000) || !(height > 0 && height < 1000))
        return;
    out.kind = CustomCap::Arrow;
    out.width = width;
    out.height = height;
    out.middleInset = std::clamp(inset, 0.0, height);
    out.filled = fill != 0;
}

void ReadFigureCap(Reader& cap, CustomCap& out) {
    const uint32_t flags = cap.U32();
    out.baseCap = cap.I32();
    out.baseInset = CapSize(cap.F32());
    out.strokeStartCap = cap.I32();
    out.strokeEndCap = cap.I32();
    out.strokeJoin = cap.I32();
    out.strokeMiterLimit = std::clamp(FiniteOrZero(cap.F32()), 1.0, 1000.0);
    out.widthScale = CapSize(cap.F32());
    cap.Skip(16); // fill and stroke hot spots, unused
    if (cap.Failed())
        return;
    if (flags & kCapFillPath)
        ReadCapPath(cap, out.fill);
    if (flags & kCapLinePath)
        ReadCapPath(cap, out.outline);
    if (!out.fill.points.empty() || !out.outline.points.empty())
        out.kind = CustomCap::Figures;
}

// A custom line cap: its size, then the cap object.
void ReadCustomCap(Reader& r, CustomCap& out) {
    const uint32_t size = r.U32();
    Reader cap(r.Bytes(size));
    out = {};
    cap.U32(); // version
    switch (cap.I32()) {
    case 0:
        ReadFigureCap(cap, out);
        break;
    case 1:
        ReadArrowCap(cap, out);
        break;
    default:
        break;
    }
}

// A pen alignment; some recorders (Wine's) store it as a float.
int32_t Alignment(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    if (bits > 0xFF && std::isfinite(f) && f >= 1 && f <= 4 && f == std::floor(f))
        return int32_t(f);
    return int32_t(bits);
}

// Band edges: increasing, within 0..1, an even count. Anything else draws one band.
std::vector<double> CompoundBands(std::vector<double> values) {
    if (values.size() % 2)
        values.pop_back();
    for (size_t i = 0; i < values.size(); ++i)
        if (!(values[i] >= 0 && values[i] <= 1) || (i > 0 && values[i] < values[i - 1]))
            return {};
    return values;
}

} // namespace

bool ParsePen(Reader& r, Pen& out, ParseBudget& budget) {
    r.U32(); // version
    r.U32(); // type
    const uint32_t flags = r.U32();
    out.unit = r.U32();
    out.width = FiniteOrZero(r.F32());
    if (flags & kPenTransform) {
        out.hasTransform = true;
        out.transform = ReadFiniteMatrix(r);
    }
    if (flags & kPenStartCap)
        out.startCap = r.I32();
    if (flags & kPenEndCap)
        out.endCap = r.I32();
    if (flags & kPenJoin)
        out.join = r.I32();
    if (flags & kPenMiterLimit)
        out.miterLimit = FiniteOrZero(r.F32());
    if (flags & kPenLineStyle)
        out.lineStyle = r.I32();
    if (flags & kPenDashedLineCap)
        out.dashCap = r.I32();
    if (flags & kPenDashOffset)
        out.dashOffset = FiniteOrZero(r.F32());
    if (flags & kPenDashedLine) {
        const uint32_t n = r.U32();
        if (!r.Fits(n, 4))
            return false;
        std::vector<double> dashes(n);
        for (auto& d : dashes)
            d = std::max(0.0, FiniteOrZero(r.F32()));
        if (n <= kMaxDashItems)
            out.dashes = std::move(dashes);
    }
    if (flags & kPenNonCenter)
        out.alignment = Alignment(r.U32());
    if (flags & kPenCompoundLine) {
        const uint32_t n = r.U32();
        if (!r.Fits(n, 4))
            return false;
        std::vector<double> values(n);
        for (auto& v : values)
            v = FiniteOrZero(r.F32());
        if (n <= kMaxCompoundItems)
            out.compound = CompoundBands(std::move(values));
    }
    if (flags & kPenCustomStartCap)
        ReadCustomCap(r, out.startCustom);
    if (flags & kPenCustomEndCap)
        ReadCustomCap(r, out.endCustom);
    if (r.Failed())
        return false;
    return ParseBrush(r, out.brush, budget);
}

} // namespace qm::emfplus
