// Every message box of the windowed interface goes through MessageBoxes, so that a test can
// answer the questions and see the warnings instead of a person.
#pragma once

#include <QString>

class QWidget;

namespace qm::gui {

enum class BoxIcon { Warning, Error, Information, Question };
enum class BoxButtons { Ok, YesNo };

struct BoxRequest {
    BoxIcon icon = BoxIcon::Warning;
    BoxButtons buttons = BoxButtons::Ok;
    QString caption;
    QString text;
};

/// Shows message boxes. The default one shows real modal boxes; tests install their own.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    /// Shows the box over `owner` (may be null) and returns true for Yes (always true for Ok).
    virtual bool Show(QWidget* owner, const BoxRequest& request) = 0;
};

/// The boxes in use. SetMessageBoxes(nullptr) puts the real ones back.
MessageBoxes& Boxes();
void SetMessageBoxes(MessageBoxes* boxes);

/// The owner of a box: the program's active window, or none.
QWidget* BoxOwner();

/// Caption Msg/Warning, exclamation icon, OK.
void ShowWarning(const QString& text);
/// Caption Msg/Error, stop icon, OK.
void ShowError(const QString& text);
/// Information icon, OK.
void ShowInfo(const QString& caption, const QString& text);
/// A Yes/No question; true for Yes.
bool AskYesNo(BoxIcon icon, const QString& caption, const QString& text);

/// The Yes/No questions of a running task: caption Msg/Warning, exclamation icon; true for Yes.
bool AskBreakConversion();
bool AskBreakImport();
bool AskBreakExport();
bool AskOverwriteFile();

} // namespace qm::gui
