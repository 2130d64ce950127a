// The Convert command: checks what would make every file fail, prepares the run and shows its
// progress dialog.
#pragma once

#include "gui/run_host.h"

namespace qm::gui {

/// Reads the output folder and format from the host window, checks the input list, the folder,
/// the resize size and the watermark, each failing check with one warning box and nothing
/// converted; otherwise fills the run's job fields, puts the folder first in the recent output
/// folders and runs ShowConvertProgress. The status bar tells the state. Always returns 0.
int StartConversion(RunHost& host);

} // namespace qm::gui
