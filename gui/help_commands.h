// The Help menu commands that lead away from the program: the user manual, a feedback mail and
// the program's page on the vendor's site.
#pragma once

#include <string>

namespace qm::gui {

/// The user manual (an HTML page): beside an installed program in ../share/doc/quellmark/, at
/// the folder it was installed to, or in docs/ of a build tree, the first that exists (the
/// first candidate when none does).
std::string UserManualPath(const std::string& programFolder);

/// "mailto:" + the support address + "?subject=Quellmark 2.6 Feedback".
std::string FeedbackLink();

/// Help > User Manual...: opens the manual.
void OpenUserManual();
/// Help > Send Feedback: opens the feedback mail.
void SendFeedback();
/// Help > Visit the Program's Homepage: opens the product page.
void VisitHomepage();

} // namespace qm::gui
