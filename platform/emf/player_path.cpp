// Path records: recording, closing, filling, stroking, flattening, widening, clipping.
#include "platform/emf/player_records.h"
#include "platform/emf/player_region.h"
#include "platform/emf/player_render.h"

namespace qm::emf {

namespace {

// The completed path, or null when there is none to use.
const PathData* CompletePath(const PlayerState& s) {
    if (!s.dc.path || s.dc.path->recording || !s.dc.path->complete)
        return nullptr;
    return s.dc.path.get();
}

void FillPath(PlayerState& s, const PathData& p) {
    if (!p.widened) {
        FillFigures(s, p, s.dc.brush);
        return;
    }
    // A widened path fills the area its pen would have stroked.
    FillRegion(s, RegionFromFigures(s, p, FILL_WINDING, &p.widenPen), s.dc.brush);
}

void Flatten(PathData& p) {
    PathData flat;
    for (const Polyline& pl : FlattenFigures(p)) {
        if (pl.points.empty())
            continue;
        FigMoveTo(flat, pl.points[0]);
        for (size_t i = 1; i < pl.points.size(); ++i)
            FigLineTo(flat, pl.points[i]);
        if (pl.closed)
            FigClose(flat);
    }
    p.points = std::move(flat.points);
    p.types = std::move(flat.types);
}

} // namespace

bool PlayPathRecord(PlayerState& s, const RecordView& r) {
    switch (r.type) {
    case EMR_BEGINPATH: {
        auto p = std::make_shared<PathData>();
        p->recording = true;
        s.dc.path = std::move(p);
        break;
    }
    case EMR_ENDPATH:
        if (s.dc.path && s.dc.path->recording) {
            PathData& p = s.EditPath();
            p.recording = false;
            p.complete = true;
        }
        break;
    case EMR_CLOSEFIGURE:
        if (s.dc.path && s.dc.path->recording && !s.dc.path->types.empty())
            FigClose(s.EditPath());
        break;
    case EMR_ABORTPATH:
        s.dc.path = nullptr;
        break;
    case EMR_FILLPATH:
    case EMR_STROKEPATH:
    case EMR_STROKEANDFILLPATH:
        if (const PathData* p = CompletePath(s)) {
            const std::shared_ptr<const PathData> keep = s.dc.path;
            if (r.type != EMR_STROKEPATH)
                FillPath(s, *p);
            if (r.type != EMR_FILLPATH)
                StrokeFigures(s, *p, s.dc.pen);
            s.dc.path = nullptr;
        }
        break;
    case EMR_FLATTENPATH:
        if (CompletePath(s))
            Flatten(s.EditPath());
        break;
    case EMR_WIDENPATH:
        if (CompletePath(s) && !s.dc.pen.IsNull()) {
            PathData& p = s.EditPath();
            Flatten(p);
            p.widened = true;
            p.widenPen = s.dc.pen;
        }
        break;
    case EMR_SELECTCLIPPATH:
        if (const PathData* p = CompletePath(s)) {
            const RegionPtr rgn =
                RegionFromFigures(s, *p, s.dc.polyFillMode, p->widened ? &p->widenPen : nullptr);
            CombineClip(s, rgn, r.U32(8) == 0 ? RGN_COPY : r.U32(8));
            s.dc.path = nullptr;
        }
        break;
    default:
        break;
    }
    return true;
}

} // namespace qm::emf
