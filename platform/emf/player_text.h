// Text records of playback (EMR_EXTTEXTOUTA/W, EMR_POLYTEXTOUTA/W, EMR_SMALLTEXTOUT).
#pragma once

#include "platform/emf/player_state.h"

namespace qm::emf {

/// Draws a text record. False when the record cannot be read safely (playback stops).
bool PlayTextRecord(PlayerState& state, const RecordView& record);

} // namespace qm::emf
