// The console front end: parameters into Settings and the run, then the console batch.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings.h"
#include "core/vendor_addresses.h"
#include "engine/conversion_job.h"

namespace qm {

/// The program version as an integer: 260 reads 2.6.
inline constexpr int32_t ProgramVersion = 260;
inline constexpr const char* ProductTitle = "Quellmark";
inline constexpr const char* VendorWebAddress = VendorWebSite;

/// The version as text: 260 gives "2.6", 261 gives "2.6.1".
std::string VersionText(int32_t version);

/// The title, a blank and the version text: "Quellmark 2.6".
std::string TitleWithVersion(std::string_view title, int32_t version);

/// The upper-cased option name of parameter n: the text before "=" of a "--" parameter, the
/// whole parameter when it begins with a single "-", else empty (also past the last one).
std::string OptionNameAt(const std::vector<std::string>& params, size_t n);

/// The value of parameter n: the text after the first "=" of a "--" parameter that has one,
/// else the whole (trimmed) parameter; empty past the last parameter.
std::string OptionValueAt(const std::vector<std::string>& params, size_t n);

/// The program's file name without folder and extension ("quellmark" for /usr/bin/quellmark).
std::string ProgramNameOf(std::string_view programPath);

/// The help text, line by line, for a program name.
std::vector<std::string> HelpText(std::string_view programName);

/// The banner of a console run: title line, notice line, web address, a line of one blank.
std::vector<std::string> BannerLines();

/// Applies an option profile to a settings record; returns 0 when it cannot be read.
using ProfileLoader = std::function<int(const std::string& path, SettingsRecord& s)>;

/// What the option loop leaves for the rest of the run.
struct CommandLineState {
    std::string ErrorText; // empty when the parameters parsed
    uint8_t QuietMode = 0;
    uint8_t PauseAtExit = 0;
};

/// The option loop: reads every parameter into the settings and the run fields of the job, in
/// order. Stops at the first rejected value with ErrorText "Incorrect number of parameters",
/// or "Invalid profile file" when the profile loader returns 0. Unknown options are skipped.
CommandLineState ParseCommandLine(const std::vector<std::string>& params, SettingsRecord& s,
                                  ConversionJobRecord& job, const ProfileLoader& loadProfile);

/// First-parameter commands that show windows; given by a build with the windowed interface.
struct WindowCommands {
    /// -T: screenshot mode with the value of parameter 1 (the folder, possibly empty).
    std::function<void(const std::string& folder)> captureScreenshots;
    /// -U: the uninstall feedback window, run to its end.
    std::function<void()> showUninstallFeedback;
};

/// Runs the console front end over the program parameters (without the program name).
/// Returns 0 when the windowed interface must start; otherwise the console run is done and
/// exitCode holds the process exit code (always 0). A window command the build does not have
/// (windowCommands null or the member empty) ends the process without doing anything.
int RunCommandLine(std::string_view programPath, const std::vector<std::string>& params,
                   const ProfileLoader& loadProfile, int& exitCode,
                   const WindowCommands* windowCommands = nullptr);

} // namespace qm
