// EMF+ records: the drawing that GDI+ stores inside comment records of an enhanced metafile.
//
// A metafile can hold EMF+ records only (the plain records draw nothing: the system's own
// playback shows a white picture), or both ("dual": the plain records repeat the picture for
// programs that only know them). Which of the two we play is decided per file from a scan of
// its records and the user's choice.
#pragma once

#include <cstdint>
#include <span>

namespace qm::emfplus {

/// The user's choice: Auto plays EMF+ only where the plain records draw nothing, Prefer plays
/// the EMF+ records of every file that has them, Never always plays the plain records.
enum class EmfPlusMode : int32_t { Auto = 0, Never = 1, Prefer = 2 };

/// What a scan of the record chain found.
struct EmfPlusScan {
    bool hasEmfPlus = false;     // an EMF+ header record is present
    bool headerSaysDual = false; // the EMF+ header's dual flag
    bool emfPlusDraws = false;   // at least one EMF+ drawing record
    bool plainDraws = false;     // a plain drawing record outside the hand-overs to GDI
};

/// Scans the records of a metafile (a chain that starts with its header). Stops at the first
/// record whose size does not fit.
EmfPlusScan ScanEmfPlus(std::span<const uint8_t> data);

/// True when the EMF+ records should be played instead of the plain ones.
bool ShouldPlayEmfPlus(const EmfPlusScan& scan, EmfPlusMode mode);

/// True when the comment record (its first byte is the record type) carries EMF+ records.
bool IsEmfPlusComment(std::span<const uint8_t> record);

} // namespace qm::emfplus
