#include "app/profile.h"

#include "core/text_case.h"

#include "app/ini_reader.h"
#include "cli/option_table.h"

namespace qm {

namespace {

// Options of the command line that a profile cannot give: the run's input, output and format,
// another profile, and the run options.
constexpr std::string_view kFrontEndOptions[] = {
    "--INPUT",   "--OUTPUT", "--CONVERSION", "--PROFILE", "--HELP",
    "--VERSION", "--QUIET",  "--DEBUG",      "--PAUSE",
};

// The command-line option a profile key stands for; empty when the key is not one a profile
// may set. The frame opacity is spelt differently in a profile.
std::string ProfileOption(std::string_view key) {
    std::string name = UpperAscii(key);
    if (!name.starts_with("--") || name == "--FR-SOLID-OPACITY")
        return {};
    for (std::string_view frontEnd : kFrontEndOptions)
        if (name == frontEnd)
            return {};
    if (name == "--WM-SOLID-OPACITY")
        return "--FR-SOLID-OPACITY";
    return name;
}

} // namespace

void ApplyProfileText(std::string_view text, SettingsRecord& s) {
    text = WithoutByteOrderMark(text);
    const std::string_view lines = FindIniGroup(text, "CLI").value_or(text);
    // Values are taken as they stand: a profile value is never joined or unquoted.
    ForEachIniEntry(lines, [&s](std::string_view key, std::string_view value) {
        const std::string option = ProfileOption(key);
        if (!option.empty())
            ApplySettingOption(option, value, s);
    });
}

int LoadProfile(const std::string& path, SettingsRecord& s) {
    std::string text;
    if (path.empty() || !ReadIniFile(path, text))
        return 0;
    ApplyProfileText(text, s);
    return 1;
}

} // namespace qm
