// Clipping records and the region records that draw.
#include "platform/emf/player_records.h"

namespace qm::emf {

bool PlayClipRecord(PlayerState& /*s*/, const RecordView& /*r*/) {
    return true;
}
bool PlayRegionRecord(PlayerState& /*s*/, const RecordView& /*r*/) {
    return true;
}

} // namespace qm::emf
