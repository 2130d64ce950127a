#include "platform/emf/player_bitmap.h"

namespace qm::emf {

bool PlayBitmapRecord(PlayerState& /*state*/, const RecordView& /*record*/) {
    return true;
}

} // namespace qm::emf
