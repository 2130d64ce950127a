// The entry sequence of the program.
#pragma once

#include <functional>
#include <string>

namespace qm {

/// The windowed front end, handed in by the executable when it is built with one. The program
/// core stays free of any window toolkit: only these calls reach it.
struct WindowedFrontEnd {
    /// The windowed start: creates the application, calls LoadWindowedSettings, shows the main
    /// window, runs its event loop, records the window state and calls SaveWindowedSettings.
    std::function<void()> run;
    /// Screenshot mode (-T): the folder parameter as given (may be empty).
    std::function<void(const std::string& folder)> captureScreenshots;
    /// -U: the uninstall feedback window, run to its end.
    std::function<void()> showUninstallFeedback;
};

/// Runs the program with its parameters; returns the process exit code (always 0). A second
/// copy started while one runs ends at once, silently. Without a windowed front end a start
/// that names no input ends quietly.
int RunProgram(int argc, char** argv, const WindowedFrontEnd& windowed = {});

/// The windowed start's settings: ConfigPath in the user's configuration folder, config.ini
/// read into Settings (defaults when it cannot be read), the message catalogue loaded.
void LoadWindowedSettings();

/// At exit of the windowed interface: forgets the output folder history when the history is
/// switched off, then writes config.ini (no message when that fails). Returns SaveSettings' result.
int SaveWindowedSettings();

} // namespace qm
