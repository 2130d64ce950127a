// Playback: the record loop and the dispatch of each record to its handler.
#include "platform/emf/emf_player.h"

#include <memory>

#include "platform/emf/player_bitmap.h"
#include "platform/emf/player_records.h"
#include "platform/emf/player_text.h"
#include "platform/emfplus/emfplus_player.h"

namespace qm::emf {

namespace {

constexpr uint64_t kRecordWork = 64; // the cost of a record beyond its bytes

// Returns false when the record is malformed and playback must stop.
bool PlayRecord(PlayerState& s, const RecordView& r) {
    switch (r.type) {
    case EMR_HEADER:
    case EMR_EOF:
        return true;
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW:
    case EMR_POLYTEXTOUTA:
    case EMR_POLYTEXTOUTW:
    case EMR_SMALLTEXTOUT:
        return PlayTextRecord(s, r);
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_MASKBLT:
    case EMR_PLGBLT:
    case EMR_SETDIBITSTODEVICE:
    case EMR_STRETCHDIBITS:
    case EMR_ALPHABLEND:
    case EMR_TRANSPARENTBLT:
    case EMR_GRADIENTFILL:
        return PlayBitmapRecord(s, r);
    case EMR_CREATEPEN:
    case EMR_EXTCREATEPEN:
    case EMR_CREATEBRUSHINDIRECT:
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT:
    case EMR_EXTCREATEFONTINDIRECTW:
    case EMR_CREATEPALETTE:
    case EMR_CREATECOLORSPACE:
    case EMR_CREATECOLORSPACEW:
    case EMR_SELECTOBJECT:
    case EMR_DELETEOBJECT:
        return PlayObjectRecord(s, r);
    case EMR_POLYLINE:
    case EMR_POLYGON:
    case EMR_POLYBEZIER:
    case EMR_POLYLINETO:
    case EMR_POLYBEZIERTO:
    case EMR_POLYLINE16:
    case EMR_POLYGON16:
    case EMR_POLYBEZIER16:
    case EMR_POLYLINETO16:
    case EMR_POLYBEZIERTO16:
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON:
    case EMR_POLYPOLYLINE16:
    case EMR_POLYPOLYGON16:
    case EMR_POLYDRAW:
    case EMR_POLYDRAW16:
    case EMR_MOVETOEX:
    case EMR_LINETO:
    case EMR_RECTANGLE:
    case EMR_ELLIPSE:
    case EMR_ROUNDRECT:
    case EMR_ARC:
    case EMR_ARCTO:
    case EMR_CHORD:
    case EMR_PIE:
    case EMR_ANGLEARC:
    case EMR_SETPIXELV:
    case EMR_EXTFLOODFILL:
        return PlayDrawRecord(s, r);
    case EMR_BEGINPATH:
    case EMR_ENDPATH:
    case EMR_CLOSEFIGURE:
    case EMR_FILLPATH:
    case EMR_STROKEANDFILLPATH:
    case EMR_STROKEPATH:
    case EMR_FLATTENPATH:
    case EMR_WIDENPATH:
    case EMR_SELECTCLIPPATH:
    case EMR_ABORTPATH:
        return PlayPathRecord(s, r);
    case EMR_OFFSETCLIPRGN:
    case EMR_SETMETARGN:
    case EMR_EXCLUDECLIPRECT:
    case EMR_INTERSECTCLIPRECT:
    case EMR_EXTSELECTCLIPRGN:
        return PlayClipRecord(s, r);
    case EMR_FILLRGN:
    case EMR_FRAMERGN:
    case EMR_INVERTRGN:
    case EMR_PAINTRGN:
        return PlayRegionRecord(s, r);
    case EMR_GDICOMMENT:
        return PlayCommentRecord(s, r);
    default:
        return PlayDcRecord(s, r);
    }
}

uint32_t LoadU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// The fourth byte of every pixel is kept at 255.
void SetOpaque(const Surface& t) {
    for (int y = 0; y < t.height; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(t.pixels) +
                                                    size_t(y) * size_t(t.stride));
        for (int x = 0; x < t.width; ++x)
            row[x] |= 0xFF000000u;
    }
}

} // namespace

PlayResult PlayMetafile(std::span<const uint8_t> data, const Surface& target, const RectL& play,
                        emfplus::EmfPlusMode emfPlus, uint64_t workBudget) {
    PlayResult result;
    EmfHeaderInfo header;
    if (!ReadEmfHeader(data, header))
        return result;
    if (!target.pixels || target.width <= 0 || target.height <= 0 ||
        target.stride < target.width * 4 || target.stride % 4 != 0)
        return result;
    result.outcome = PlayOutcome::Played;
    {
        PlayerState state(header, target, play);
        if (cairo_status(state.cr) != CAIRO_STATUS_SUCCESS)
            return {};
        // EMF+ playback draws from the EMF+ records and lets the plain ones draw only where
        // a GetDC record hands over to them.
        std::unique_ptr<emfplus::EmfPlusPlayer> plus;
        if (emfplus::ShouldPlayEmfPlus(emfplus::ScanEmfPlus(data), emfPlus))
            plus = std::make_unique<emfplus::EmfPlusPlayer>(state);
        // Hostile files can ask for endless full-surface work: playback ends at a work budget
        // that does not depend on the machine or its load.
        state.workBudget = workBudget;
        size_t offset = 0;
        while (data.size() - offset >= 8) {
            if (state.BudgetReached()) {
                result.outcome = PlayOutcome::BudgetReached;
                break;
            }
            RecordView r;
            r.type = LoadU32(data.data() + offset);
            r.size = LoadU32(data.data() + offset + 4);
            if (r.size < 8 || r.size % 4 != 0 || r.size > data.size() - offset)
                break;
            r.data = data.data() + offset;
            state.ChargeWork(kRecordWork + r.size);
            if (plus && r.type != EMR_HEADER && r.type != EMR_EOF) {
                if (emfplus::IsEmfPlusComment({r.data, r.size}))
                    plus->PlayComment(r);
                else if (plus->HandedToGdi() && !PlayRecord(state, r))
                    break;
            } else if (!PlayRecord(state, r) || r.type == EMR_EOF) {
                break;
            }
            offset += r.size;
        }
        // The last record may have used up the budget on its own.
        if (state.BudgetReached())
            result.outcome = PlayOutcome::BudgetReached;
        result.work = state.work;
    }
    SetOpaque(target);
    return result;
}

bool PlayEnhMetaFile(std::span<const uint8_t> data, const Surface& target, const RectL& play,
                     emfplus::EmfPlusMode emfPlus) {
    return PlayMetafile(data, target, play, emfPlus).outcome == PlayOutcome::Played;
}

} // namespace qm::emf
