// The history of output folders shown by the main window's output folder chooser: the setting
// File/Recent Out Folders, folders separated by tabs, newest first, at most
// Advanced/Out Folders Number of them.
#pragma once

#include <string>

#include "core/settings.h"

namespace qm::gui {

/// Entry n (from 0) of the history, blanks trimmed; "" when there is no such entry.
std::string RecentOutputFolder(int n, const SettingsRecord& s = Settings);

/// Puts folder first in the history, followed by the old entries that are not empty and not
/// the same folder (letter case ignored), up to Advanced/Out Folders Number entries. Returns 1,
/// or 0 (and changes nothing) for an empty folder.
int RememberOutputFolder(const std::string& folder, SettingsRecord& s = Settings);

} // namespace qm::gui
