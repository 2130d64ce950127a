// Record handlers of the player, grouped by theme. Each returns false when the record cannot
// be read safely (playback then stops).
#pragma once

#include "platform/emf/player_state.h"

namespace qm::emf {

bool PlayDcRecord(PlayerState& s, const RecordView& r);      // modes, mapping, SaveDC
bool PlayObjectRecord(PlayerState& s, const RecordView& r);  // create, select, delete
bool PlayDrawRecord(PlayerState& s, const RecordView& r);    // lines, shapes, pixels
bool PlayPathRecord(PlayerState& s, const RecordView& r);    // BeginPath .. SelectClipPath
bool PlayClipRecord(PlayerState& s, const RecordView& r);    // clip rectangles and regions
bool PlayRegionRecord(PlayerState& s, const RecordView& r);  // FillRgn, FrameRgn, ...
bool PlayCommentRecord(PlayerState& s, const RecordView& r); // GDI comments, EMF+ blocks

/// Draws figures (device coordinates) as the current drawing call would: into the path while
/// one is being recorded, otherwise filled with the brush (when fill) and outlined with the pen.
/// curved: an ellipse or rounded rectangle, whose fill without a pen still covers the pixels
/// the outline would have set.
void EmitFigures(PlayerState& s, const PathData& figures, bool fill, bool curved = false);

} // namespace qm::emf
