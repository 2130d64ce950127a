// Clipping records and the region records that draw.
#include <cmath>

#include "platform/emf/player_records.h"
#include "platform/emf/player_region.h"

namespace qm::emf {

namespace {

RectL ReadRect(const RecordView& r, size_t off) {
    return {r.I32(off), r.I32(off + 4), r.I32(off + 8), r.I32(off + 12)};
}

bool SelectClipRegion(PlayerState& s, const RecordView& r) {
    const uint32_t cb = r.U32(8), mode = r.U32(12);
    if (cb == 0) {
        // Only RGN_COPY may come without a region: back to no clipping.
        if (mode == RGN_COPY)
            s.dc.clip = nullptr;
        return true;
    }
    RegionPtr rgn;
    // The region is in the recording device's pixels: only the playback mapping applies.
    if (!ReadRegionData(s, r, 16, cb, s.playback, rgn))
        return false;
    CombineClip(s, rgn, mode);
    return true;
}

void OffsetClip(PlayerState& s, const RecordView& r) {
    if (!s.dc.clip)
        return;
    const XForm t = s.LogicalToDevice();
    const double x = r.I32(8), y = r.I32(12);
    const double dx = std::round(x * t.m11 + y * t.m21), dy = std::round(x * t.m12 + y * t.m22);
    if (!(std::fabs(dx) < 1e8 && std::fabs(dy) < 1e8))
        return;
    cairo_region_t* moved = cairo_region_copy(s.dc.clip.get());
    cairo_region_translate(moved, int(dx), int(dy));
    s.dc.clip = MakeRegion(moved);
}

// Region records: the region is in logical units.
bool DrawRegion(PlayerState& s, const RecordView& r) {
    const size_t dataOff = r.type == EMR_FILLRGN ? 32 : r.type == EMR_FRAMERGN ? 40 : 28;
    RegionPtr rgn;
    if (!ReadRegionData(s, r, dataOff, r.U32(24), s.LogicalToDevice(), rgn))
        return false;
    switch (r.type) {
    case EMR_FILLRGN:
        if (const GdiObject* o = s.Object(r.U32(28)); o && o->kind == ObjectKind::Brush)
            FillRegion(s, rgn, o->brush);
        break;
    case EMR_PAINTRGN:
        FillRegion(s, rgn, s.dc.brush);
        break;
    case EMR_INVERTRGN: {
        const uint32_t rop = s.dc.rop2;
        s.dc.rop2 = 6; // R2_NOT
        Brush black;
        black.color = 0;
        FillRegion(s, rgn, black);
        s.dc.rop2 = rop;
        break;
    }
    case EMR_FRAMERGN: {
        const GdiObject* o = s.Object(r.U32(28));
        if (!o || o->kind != ObjectKind::Brush)
            break;
        const XForm t = s.LogicalToDevice();
        const int w = std::max(1, int(std::lround(std::fabs(r.I32(32) * t.m11))));
        const int h = std::max(1, int(std::lround(std::fabs(r.I32(36) * t.m22))));
        if (w > 100000 || h > 100000)
            break;
        // The frame is the region minus the region shrunk by w and h.
        cairo_region_t* inner = cairo_region_copy(rgn.get());
        const int shifts[4][2] = {{w, 0}, {-w, 0}, {0, h}, {0, -h}};
        for (const auto& sh : shifts) {
            cairo_region_t* moved = cairo_region_copy(rgn.get());
            cairo_region_translate(moved, sh[0], sh[1]);
            cairo_region_intersect(inner, moved);
            cairo_region_destroy(moved);
        }
        cairo_region_t* frame = cairo_region_copy(rgn.get());
        cairo_region_subtract(frame, inner);
        cairo_region_destroy(inner);
        FillRegion(s, MakeRegion(frame), o->brush);
        break;
    }
    }
    return true;
}

} // namespace

bool PlayClipRecord(PlayerState& s, const RecordView& r) {
    switch (r.type) {
    case EMR_EXTSELECTCLIPRGN:
        return SelectClipRegion(s, r);
    case EMR_INTERSECTCLIPRECT:
        CombineClip(s, RegionFromLogicalRect(s, ReadRect(r, 8)), RGN_AND);
        return true;
    case EMR_EXCLUDECLIPRECT:
        CombineClip(s, RegionFromLogicalRect(s, ReadRect(r, 8)), RGN_DIFF);
        return true;
    case EMR_OFFSETCLIPRGN:
        OffsetClip(s, r);
        return true;
    case EMR_SETMETARGN:
        s.dc.metaRegion = s.EffectiveClip();
        s.dc.clip = nullptr;
        return true;
    default:
        return true;
    }
}

bool PlayRegionRecord(PlayerState& s, const RecordView& r) {
    return DrawRegion(s, r);
}

} // namespace qm::emf
