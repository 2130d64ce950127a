// Device-context records: mapping, transforms, modes, colours, SaveDC/RestoreDC.
#include <algorithm>
#include <cmath>

#include "platform/emf/player_records.h"

namespace qm::emf {

namespace {

constexpr size_t kMaxSavedStates = 4096;

// Saturates to the int32 range: extents from hostile headers must not overflow.
int32_t Saturate(int64_t v) {
    return int32_t(std::clamp<int64_t>(v, INT32_MIN + 1, INT32_MAX));
}

int32_t MulDivRound(int64_t a, int64_t b, int64_t c) {
    const int64_t p = a * b;
    return Saturate((p >= 0 ? p + c / 2 : p - c / 2) / c);
}

// Keeps one unit the same length on both axes by shrinking one viewport extent.
void FixIsotropic(PlayerState& s) {
    DcState& d = s.dc;
    const SizeL mm = s.header.millimeters, dev = s.header.device;
    if (d.windowExt.x == 0 || d.windowExt.y == 0 || dev.cx <= 0 || dev.cy <= 0)
        return;
    const double xdim =
        std::fabs(double(d.viewportExt.x) * mm.cx / (double(dev.cx) * d.windowExt.x));
    const double ydim =
        std::fabs(double(d.viewportExt.y) * mm.cy / (double(dev.cy) * d.windowExt.y));
    if (xdim == 0 || ydim == 0)
        return;
    if (xdim > ydim) {
        const int32_t minimum = d.viewportExt.x >= 0 ? 1 : -1;
        d.viewportExt.x = int32_t(std::floor(d.viewportExt.x * ydim / xdim + 0.5));
        if (!d.viewportExt.x)
            d.viewportExt.x = minimum;
    } else {
        const int32_t minimum = d.viewportExt.y >= 0 ? 1 : -1;
        d.viewportExt.y = int32_t(std::floor(d.viewportExt.y * xdim / ydim + 0.5));
        if (!d.viewportExt.y)
            d.viewportExt.y = minimum;
    }
}

// Fixed map modes take their extents from the reference device of the header.
void SetMapMode(PlayerState& s, uint32_t mode) {
    if (mode < MM_TEXT || mode > MM_ANISOTROPIC)
        return;
    DcState& d = s.dc;
    const int64_t mmx = s.header.millimeters.cx, mmy = s.header.millimeters.cy;
    const int64_t devx = s.header.device.cx, devy = s.header.device.cy;
    d.mapMode = mode;
    switch (mode) {
    case MM_TEXT:
        d.windowExt = {1, 1};
        d.viewportExt = {1, 1};
        return;
    case MM_LOMETRIC:
    case MM_ISOTROPIC:
        d.windowExt = {Saturate(mmx * 10), Saturate(mmy * 10)};
        break;
    case MM_HIMETRIC:
        d.windowExt = {Saturate(mmx * 100), Saturate(mmy * 100)};
        break;
    case MM_LOENGLISH:
        d.windowExt = {MulDivRound(1000, mmx, 254), MulDivRound(1000, mmy, 254)};
        break;
    case MM_HIENGLISH:
        d.windowExt = {MulDivRound(10000, mmx, 254), MulDivRound(10000, mmy, 254)};
        break;
    case MM_TWIPS:
        d.windowExt = {MulDivRound(14400, mmx, 254), MulDivRound(14400, mmy, 254)};
        break;
    case MM_ANISOTROPIC:
        return;
    }
    d.viewportExt = {Saturate(devx), Saturate(-devy)};
}

bool Scalable(const DcState& d) {
    return d.mapMode == MM_ISOTROPIC || d.mapMode == MM_ANISOTROPIC;
}

void ScaleExtent(PointL& ext, const RecordView& r) {
    const int32_t xNum = r.I32(8), xDen = r.I32(12), yNum = r.I32(16), yDen = r.I32(20);
    if (!xNum || !xDen || !yNum || !yDen)
        return;
    const int64_t x = int64_t(ext.x) * xNum / xDen, y = int64_t(ext.y) * yNum / yDen;
    if (x == 0 || y == 0 || x != int32_t(x) || y != int32_t(y))
        return;
    ext = {int32_t(x), int32_t(y)};
}

XForm ReadXForm(const RecordView& r, size_t off) {
    XForm t;
    t.m11 = r.F32(off);
    t.m12 = r.F32(off + 4);
    t.m21 = r.F32(off + 8);
    t.m22 = r.F32(off + 12);
    t.dx = r.F32(off + 16);
    t.dy = r.F32(off + 20);
    return t;
}

bool Finite(const XForm& t) {
    return std::isfinite(t.m11) && std::isfinite(t.m12) && std::isfinite(t.m21) &&
           std::isfinite(t.m22) && std::isfinite(t.dx) && std::isfinite(t.dy);
}

void ModifyWorld(PlayerState& s, const RecordView& r) {
    const XForm t = ReadXForm(r, 8);
    const uint32_t mode = r.U32(32);
    XForm next = s.dc.world;
    switch (mode) {
    case 1: // identity
        next = XForm{};
        break;
    case 2: // left multiply: the new transform applies first
        next = Combine(t, s.dc.world);
        break;
    case 3: // right multiply
        next = Combine(s.dc.world, t);
        break;
    case 4: // set
        next = t;
        break;
    default:
        return;
    }
    if (Finite(next))
        s.dc.world = next;
}

void RestoreDc(PlayerState& s, int32_t which) {
    // Negative: relative to the current level; positive: an absolute level (1 = first save).
    const int64_t depth = int64_t(s.saved.size());
    const int64_t target = which < 0 ? depth + which : int64_t(which) - 1;
    if (which == 0 || target < 0 || target >= depth)
        return;
    s.dc = std::move(s.saved[size_t(target)]);
    s.saved.resize(size_t(target));
}

double ReadMiterLimit(const RecordView& r) {
    // Written as an integer by some producers and as a float by others.
    const uint32_t bits = r.U32(8);
    if (bits < 0x10000)
        return double(bits);
    const float f = r.F32(8);
    return std::isfinite(f) && f > 0 ? f : 10.0;
}

} // namespace

bool PlayDcRecord(PlayerState& s, const RecordView& r) {
    DcState& d = s.dc;
    switch (r.type) {
    case EMR_SETMAPMODE:
        SetMapMode(s, r.U32(8));
        break;
    case EMR_SETWINDOWEXTEX:
        if (Scalable(d) && r.I32(8) != 0 && r.I32(12) != 0) {
            d.windowExt = {r.I32(8), r.I32(12)};
            if (d.mapMode == MM_ISOTROPIC)
                FixIsotropic(s);
        }
        break;
    case EMR_SETVIEWPORTEXTEX:
        if (Scalable(d) && r.I32(8) != 0 && r.I32(12) != 0) {
            d.viewportExt = {r.I32(8), r.I32(12)};
            if (d.mapMode == MM_ISOTROPIC)
                FixIsotropic(s);
        }
        break;
    case EMR_SETWINDOWORGEX:
        d.windowOrg = {r.I32(8), r.I32(12)};
        break;
    case EMR_SETVIEWPORTORGEX:
        d.viewportOrg = {r.I32(8), r.I32(12)};
        break;
    case EMR_SCALEVIEWPORTEXTEX:
        if (Scalable(d)) {
            ScaleExtent(d.viewportExt, r);
            if (d.mapMode == MM_ISOTROPIC)
                FixIsotropic(s);
        }
        break;
    case EMR_SCALEWINDOWEXTEX:
        if (Scalable(d)) {
            ScaleExtent(d.windowExt, r);
            if (d.mapMode == MM_ISOTROPIC)
                FixIsotropic(s);
        }
        break;
    case EMR_SETWORLDTRANSFORM: {
        const XForm t = ReadXForm(r, 8);
        if (Finite(t))
            d.world = t;
        break;
    }
    case EMR_MODIFYWORLDTRANSFORM:
        ModifyWorld(s, r);
        break;
    case EMR_SAVEDC:
        if (s.saved.size() < kMaxSavedStates)
            s.saved.push_back(d);
        break;
    case EMR_RESTOREDC:
        RestoreDc(s, r.I32(8));
        break;
    case EMR_SETBRUSHORGEX:
        d.brushOrg = {r.I32(8), r.I32(12)};
        break;
    case EMR_SETBKMODE:
        if (r.U32(8) == BK_TRANSPARENT || r.U32(8) == BK_OPAQUE)
            d.bkMode = r.U32(8);
        break;
    case EMR_SETPOLYFILLMODE:
        if (r.U32(8) == FILL_ALTERNATE || r.U32(8) == FILL_WINDING)
            d.polyFillMode = r.U32(8);
        break;
    case EMR_SETROP2:
        if (r.U32(8) >= R2_BLACK && r.U32(8) <= R2_WHITE)
            d.rop2 = r.U32(8);
        break;
    case EMR_SETSTRETCHBLTMODE:
        d.stretchBltMode = r.U32(8);
        break;
    case EMR_SETTEXTALIGN:
        d.textAlign = r.U32(8);
        break;
    case EMR_SETTEXTCOLOR:
        d.textColor = r.U32(8) & 0xFFFFFF;
        break;
    case EMR_SETBKCOLOR:
        d.bkColor = r.U32(8) & 0xFFFFFF;
        break;
    case EMR_SETARCDIRECTION:
        if (r.U32(8) == AD_COUNTERCLOCKWISE || r.U32(8) == AD_CLOCKWISE)
            d.arcDirection = r.U32(8);
        break;
    case EMR_SETMITERLIMIT:
        d.miterLimit = ReadMiterLimit(r);
        break;
    case EMR_SETLAYOUT:
        d.layout = r.U32(8);
        break;
    case EMR_SETTEXTJUSTIFICATION:
        d.textJustExtra = r.I32(8);
        d.textJustBreaks = r.I32(12);
        break;
    default:
        break;
    }
    return true;
}

} // namespace qm::emf
