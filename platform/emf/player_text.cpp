#include "platform/emf/player_text.h"

namespace qm::emf {

bool PlayTextRecord(PlayerState& /*state*/, const RecordView& /*record*/) {
    return true;
}

} // namespace qm::emf
