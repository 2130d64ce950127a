// The folder dialog of the windowed interface, replaceable so that a test can answer it.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace qm::gui {

/// Shows a folder dialog over owner, titled caption, starting at start; returns the chosen
/// folder, or "" when the user cancels.
using FolderDialog =
    std::function<QString(QWidget* owner, const QString& caption, const QString& start)>;

/// Asks through the folder dialog in use (the real one unless a test set its own).
QString ChooseFolder(QWidget* owner, const QString& caption, const QString& start);
/// Replaces the folder dialog; an empty function puts the real one back.
void SetFolderDialog(FolderDialog dialog);

} // namespace qm::gui
