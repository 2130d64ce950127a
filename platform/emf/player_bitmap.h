// Bitmap records of playback (blits, DIB records, alpha blending, gradient fills).
#pragma once

#include "platform/emf/player_state.h"

namespace qm::emf {

/// Draws a bitmap record. False when the record cannot be read safely (playback stops).
bool PlayBitmapRecord(PlayerState& state, const RecordView& record);

} // namespace qm::emf
