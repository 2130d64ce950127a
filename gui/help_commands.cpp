#include "gui/help_commands.h"

#include <filesystem>
#include <vector>

#include "cli/command_line.h"
#include "core/vendor_addresses.h"
#include "engine/conversion_job.h"
#include "platform/shell/shell_open.h"

namespace qm::gui {

std::string UserManualPath(const std::string& programFolder) {
    namespace fs = std::filesystem;
    const fs::path folder(programFolder);
    const std::vector<fs::path> candidates = {
        folder / ".." / "share" / "doc" / "quellmark" / "manual.html",
        fs::path(QM_MANUAL_INSTALL_PATH),
        folder / "docs" / "manual.html",
    };
    for (const fs::path& candidate : candidates) {
        std::error_code error;
        if (fs::is_regular_file(candidate, error))
            return candidate.lexically_normal().string();
    }
    return candidates.front().lexically_normal().string();
}

std::string FeedbackLink() {
    // The subject goes as it is: mail programs take the blanks in it.
    return std::string("mailto:") + VendorSupportMail +
           "?subject=" + TitleWithVersion(ProductTitle, ProgramVersion) + " Feedback";
}

void OpenUserManual() {
    OpenWithShell(UserManualPath(ExecutableFolder()));
}

void SendFeedback() {
    OpenWithShell(FeedbackLink());
}

void VisitHomepage() {
    OpenWithShell(VendorProductPage);
}

} // namespace qm::gui
