// Asking the vendor's server whether a newer version exists: on demand from the Help menu and
// at start-up when the chosen interval has passed.
#pragma once

#include <cstdint>
#include <string>

#include "core/settings.h"
#include "gui/update_fetch.h"

namespace qm::gui {

/// Environment variable that points the update check at another update information file
/// (a plain http:// URL); used by the tests, which serve the file on the loopback address.
inline constexpr const char* UpdateUrlVariable = "QUELLMARK_UPDATE_URL";

/// The update information URL: QUELLMARK_UPDATE_URL when set and not empty, else the one the
/// program was built with.
std::string UpdateInfoUrl();

/// Days between automatic checks for General/Update Range (0..4); 0 for 5 (never); 30 for
/// any other value.
int UpdateIntervalDays(int32_t updateRange);

/// "Do you want to check for updates?" (Yes/No); true for Yes.
bool AskCheckForUpdates();
/// "A new version of Quellmark is available! ..." (Yes/No); true for Yes.
bool AskDownloadUpdate();

/// Fetches the update information and tells the user: an error box when the server gave no
/// usable answer, the download question (Yes opens the product page) when it names a newer
/// version, else "No Update". Blocks the interface while the fetch runs. Returns 0.
int CheckForUpdates(const FetchLimits& limits = {});

/// At start-up: when General/Update Range is not 5 and `now` is more than its interval after
/// General/Update Date, asks whether to check (Yes runs CheckForUpdates) and, whatever the
/// answer, moves General/Update Date to `now`. Returns 0.
int AutoUpdateCheck(SettingsRecord& settings = Settings, int32_t now = CurrentLocalDateTime(),
                    const FetchLimits& limits = {});

} // namespace qm::gui
