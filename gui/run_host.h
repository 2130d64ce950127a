// What a conversion run, an import or an export needs from the main window. The main window
// implements it; tests stand in for it.
#pragma once

#include <QString>
#include <string>
#include <vector>

class QWidget;

namespace qm::gui {

class RunHost {
public:
    virtual ~RunHost() = default;
    /// The window that owns the dialogs; it takes no input while one is open.
    virtual QWidget* Window() = 0;
    /// The text of the output folder field, as typed.
    virtual QString OutputFolderText() = 0;
    /// The identifier of the output format chosen in the window ("png", ...).
    virtual std::string SelectedFormatId() = 0;
    /// Sets the status bar's text.
    virtual void SetStatusText(const QString& text) = 0;
    /// Puts the folder first in the recent output folders and rebuilds the window's list of them.
    virtual void RememberOutputFolder(const std::string& folder) = 0;
    /// The rows of the file list, in order.
    virtual std::vector<std::string> FileListRows() = 0;
    /// Lets the window lay itself out again (after files were added).
    virtual void Relayout() {}
};

} // namespace qm::gui
