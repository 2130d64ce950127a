// Comment records: GDI comments and the EMF+ blocks of dual metafiles are not drawn; the EMF
// records that follow them carry the picture.
#include "platform/emf/player_records.h"

namespace qm::emf {

bool PlayCommentRecord(PlayerState& /*s*/, const RecordView& /*r*/) {
    return true;
}

} // namespace qm::emf
