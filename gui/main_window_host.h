// The main window as the host of conversion runs, imports, exports and the add-input chooser.
#pragma once

#include "gui/run_host.h"

namespace qm::gui {

/// The host over the main window that exists at the time of each call (TheMainWindow).
RunHost& MainWindowHost();

/// Imports ConversionJob.InputFolder behind the folder import's progress window; the main
/// window's import of dropped folders.
void ImportDroppedFolderWithProgress();

} // namespace qm::gui
