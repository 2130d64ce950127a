// Device-space regions: building them from rectangles, figures and region data, and
// combining them with the clip.
#pragma once

#include "platform/emf/player_state.h"

namespace qm::emf {

/// The whole surface as a region.
RegionPtr SurfaceRegion(const PlayerState& s);

/// Pixels whose centres the figures cover under fillRule (FILL_*), limited to the surface;
/// with a pen, the pixels its stroke covers instead.
RegionPtr RegionFromFigures(const PlayerState& s, const PathData& f, uint32_t fillRule,
                            const Pen* strokePen = nullptr);

/// The logical rectangle in device space (a polygon under rotating transforms).
RegionPtr RegionFromLogicalRect(const PlayerState& s, const RectL& r);

/// Region data (RGNDATA) of cb bytes at offset off of the record, each rectangle mapped
/// through t. False when the data does not fit the record.
bool ReadRegionData(const PlayerState& s, const RecordView& r, size_t off, size_t cb,
                    const XForm& t, RegionPtr& out);

/// Combines the DC's clip with rgn under mode (RGN_*); RGN_COPY with a null rgn removes it.
void CombineClip(PlayerState& s, const RegionPtr& rgn, uint32_t mode);

/// Paints the region with the brush (clip and mix mode applied).
void FillRegion(PlayerState& s, const RegionPtr& rgn, const Brush& brush);

} // namespace qm::emf
