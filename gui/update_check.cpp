#include "gui/update_check.h"

#include <QApplication>
#include <cstdlib>

#include "cli/command_line.h"
#include "cli/option_values.h"
#include "core/vendor_addresses.h"
#include "gui/message_box.h"
#include "gui/texts.h"
#include "platform/shell/shell_open.h"

namespace qm::gui {
namespace {

/// Shows the wait cursor while the interface is blocked by the fetch.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

std::string UpdateInfoUrl() {
    const char* overridden = std::getenv(UpdateUrlVariable);
    if (overridden && *overridden)
        return overridden;
    return DefaultUpdateUrl;
}

int UpdateIntervalDays(int32_t updateRange) {
    switch (updateRange) {
    case 0:
        return 1;
    case 1:
        return 7;
    case 2:
        return 30;
    case 3:
        return 90;
    case 4:
        return 180;
    case 5:
        return 0;
    default:
        return 30;
    }
}

bool AskCheckForUpdates() {
    return AskYesNo(BoxIcon::Question, Text("Msg", "Check for Updates"),
                    Text("Msg", "Ask check for updates"));
}

bool AskDownloadUpdate() {
    return AskYesNo(BoxIcon::Question, Text("Msg", "New Update"), Text("Msg", "New Update Text"));
}

int CheckForUpdates(const FetchLimits& limits) {
    const std::string agent = TitleWithVersion(ProductTitle, ProgramVersion);
    std::string answer;
    {
        WaitCursor wait;
        answer = FetchUpdateInfo(UpdateInfoUrl(), agent, limits);
    }
    const int64_t version = ParseInteger(answer);
    if (version == 0)
        ShowError(Text("Msg", "Internet connection problems"));
    else if (version > ProgramVersion) {
        if (AskDownloadUpdate())
            OpenWithShell(VendorProductPage);
    } else
        ShowInfo(Text("Msg", "No Update"), Text("Msg", "No Update Text"));
    return 0;
}

int AutoUpdateCheck(SettingsRecord& settings, int32_t now, const FetchLimits& limits) {
    const int days = UpdateIntervalDays(settings.General.UpdateRange);
    if (days == 0)
        return 0;
    const int64_t due = int64_t{settings.General.UpdateDate} + int64_t{days} * 86400;
    if (int64_t{now} <= due)
        return 0;
    if (AskCheckForUpdates())
        CheckForUpdates(limits);
    settings.General.UpdateDate = now;
    return 0;
}

} // namespace qm::gui
