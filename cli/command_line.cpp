#include "cli/command_line.h"

#include <algorithm>
#include <cctype>

#include "cli/console_batch.h"
#include "cli/console_output.h"
#include "cli/option_table.h"
#include "core/catalogue.h"
#include "core/formats.h"
#include "core/text_case.h"

namespace qm {

namespace {

constexpr const char* IncorrectParameters = "Incorrect number of parameters";
constexpr const char* InvalidProfile = "Invalid profile file";

std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string ReplaceAll(std::string text, std::string_view what, std::string_view with) {
    for (size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

bool IsLongForm(std::string_view name) {
    return name.starts_with("--");
}

// A value that opens a double quote without closing it takes the following parameters, each
// after one blank, until the joined text ends with a quote.
std::string JoinQuoted(std::string value, const std::vector<std::string>& params, size_t& i) {
    if (value.empty() || value.front() != '"' || value.back() == '"')
        return value;
    while (i + 1 < params.size()) {
        value += ' ' + params[++i];
        if (value.back() == '"')
            break;
    }
    return value;
}

std::string Unquote(std::string_view value) {
    while (!value.empty() && value.front() == '"')
        value.remove_prefix(1);
    while (!value.empty() && value.back() == '"')
        value.remove_suffix(1);
    return std::string(value);
}

enum class FrontEnd { None, Input, Output, Conversion, Profile, Debug, Quiet, Pause };

FrontEnd FrontEndOption(std::string_view name) {
    if (name == "-I" || name == "--INPUT")
        return FrontEnd::Input;
    if (name == "-O" || name == "--OUTPUT")
        return FrontEnd::Output;
    if (name == "-C" || name == "--CONVERSION")
        return FrontEnd::Conversion;
    if (name == "--PROFILE")
        return FrontEnd::Profile;
    if (name == "-D" || name == "--DEBUG")
        return FrontEnd::Debug;
    if (name == "-Q" || name == "--QUIET")
        return FrontEnd::Quiet;
    if (name == "-P" || name == "--PAUSE")
        return FrontEnd::Pause;
    return FrontEnd::None;
}

// -i, -o and -c: the short form takes the whole next parameter, the long form its own value;
// either way a value must be there and must not begin with "-".
bool TakePathValue(const std::vector<std::string>& params, std::string_view name, size_t& i,
                   std::string& value) {
    if (IsLongForm(name)) {
        value = OptionValueAt(params, i);
    } else {
        // The whole next parameter, so that "-i --output=x" is a missing value, not "x".
        ++i;
        value = i < params.size() ? std::string(TrimBlanks(params[i])) : std::string();
    }
    return !value.empty() && value.front() != '-';
}

// Long options with a value: an empty value, or the option itself when "=" is missing, fails.
bool TakeLongValue(const std::vector<std::string>& params, size_t i, std::string& value) {
    value = OptionValueAt(params, i);
    return !value.empty() && !value.starts_with("--");
}

// Handles one front-end option; false when its value is rejected or the profile fails.
bool ApplyFrontEndOption(FrontEnd option, std::string_view name,
                         const std::vector<std::string>& params, size_t& i, SettingsRecord& s,
                         ConversionJobRecord& job, const ProfileLoader& loadProfile,
                         CommandLineState& state) {
    std::string value;
    switch (option) {
    case FrontEnd::Input:
    case FrontEnd::Output:
        if (!TakePathValue(params, name, i, value))
            break;
        value = Unquote(JoinQuoted(value, params, i));
        if (option == FrontEnd::Input) {
            job.InputFolder = value;
            job.ConsoleRun = 1;
        } else {
            job.OutputFolder = value;
        }
        return true;
    case FrontEnd::Conversion:
        if (!TakePathValue(params, name, i, value))
            break;
        job.FormatId = Unquote(value);
        return true;
    case FrontEnd::Profile:
        if (!TakeLongValue(params, i, value))
            break;
        value = Unquote(JoinQuoted(value, params, i));
        if (!loadProfile || loadProfile(value, s) == 0) {
            state.ErrorText = InvalidProfile;
            return false;
        }
        return true;
    case FrontEnd::Debug:
        job.RunMode = "DEBUG";
        return true;
    case FrontEnd::Quiet:
        state.QuietMode = 1;
        return true;
    case FrontEnd::Pause:
        state.PauseAtExit = 1;
        return true;
    case FrontEnd::None:
        return true;
    }
    state.ErrorText = IncorrectParameters;
    return false;
}

// Every other option writes into the settings; names the table does not know are skipped.
bool ApplyOtherOption(const std::string& name, const std::vector<std::string>& params, size_t& i,
                      SettingsRecord& s, CommandLineState& state) {
    std::string value;
    if (OptionTakesValue(name)) {
        if (!TakeLongValue(params, i, value)) {
            state.ErrorText = IncorrectParameters;
            return false;
        }
        if (IsTextOption(name))
            value = Unquote(JoinQuoted(value, params, i));
    }
    ApplySettingOption(name, value, s);
    return true;
}

} // namespace

std::string VersionText(int32_t version) {
    std::string text = std::to_string(version);
    if (text.size() >= 2)
        text.insert(1, ".");
    if (text.size() >= 4)
        text.insert(3, ".");
    if (!text.empty() && text.back() == '0')
        text.resize(std::min<size_t>(text.size(), 3));
    return text;
}

std::string TitleWithVersion(std::string_view title, int32_t version) {
    return std::string(title) + " " + VersionText(version);
}

std::string OptionNameAt(const std::vector<std::string>& params, size_t n) {
    if (n >= params.size())
        return {};
    const std::string_view param = TrimBlanks(params[n]);
    if (param.starts_with("--"))
        return UpperAscii(param.substr(0, param.find('=')));
    if (param.starts_with("-"))
        return UpperAscii(param);
    return {};
}

std::string OptionValueAt(const std::vector<std::string>& params, size_t n) {
    if (n >= params.size())
        return {};
    const std::string_view param = TrimBlanks(params[n]);
    const size_t equals = param.find('=');
    if (param.starts_with("--") && equals != std::string_view::npos)
        return std::string(param.substr(equals + 1));
    return std::string(param);
}

std::string ProgramNameOf(std::string_view programPath) {
    std::string_view name = programPath.substr(programPath.find_last_of("/\\") + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0)
        name = name.substr(0, dot);
    return std::string(name);
}

std::vector<std::string> HelpText(std::string_view programName) {
    static const char* const lines[] = {
        " ",
        "Usage: %s1% -i <filename> [options]",
        " ",
        "  %s1% -i example.%s2%",
        "  %s1% -i /tmp/example.%s2%",
        "  %s1% -i /tmp/example.%s2% -o /converted",
        "  %s1% -i /tmp/filelist.txt",
        "  %s1% -i /tmp/ -o /converted --jpg-quality=95",
        "  %s1% -i /tmp/ -o /converted -c %s2% --jpg-quality=95",
        " ",
        "Options:",
        " ",
        "  -h, -?, --help            Display this help and exit",
        "  -i FILE, --input=FILE     Set input file/list/folder",
        "  -o PATH, --output=PATH    Set output folder",
        "  -c STR, --conversion=STR  Set output extension, STR = (jpg | bmp | ...)",
        " ",
        "Advanced options:",
        " ",
        "  --width=NUM               Set output image width",
        "  --height=NUM              Set output image height",
        "  --filename-mask=STR       Define output filename format",
        "  --flip-horizontal         Flip output image horizontally",
        "  --flip-vertical           Flip output image vertically",
        "  --brightness=NUM          Set output image brightness, NUM = -100..100",
        "  --contrast=NUM            Set output image contrast, NUM = -100..100",
        "  --gamma=NUM               Set output image gamma, NUM = 0.01..9.99",
        "  --invert                  Invert output image",
        "  --greyscale               Greyscale output image",
        "  --profile=FILE            Set configuration file with required settings",
        "    ...                     Refer documentation for all available options",
        " ",
        "Other options:",
        " ",
        "  -q, --quiet               Don't print status messages to stdout",
        "  -d, --debug               Print debug information to stdout",
        "  -p, --pause               Pause at exit",
        "  -v, --version             Display version information and exit",
    };
    constexpr size_t lastExampleLine = 8;
    std::vector<std::string> out;
    for (size_t n = 0; n < std::size(lines); ++n) {
        // The input examples name an input format, the last example the first output format.
        const std::string& format =
            n == lastExampleLine ? OutputFormats.front() : InputFormats.front();
        out.push_back(ReplaceAll(ReplaceAll(lines[n], "%s1%", programName), "%s2%", format));
    }
    return out;
}

std::vector<std::string> BannerLines() {
    return {TitleWithVersion(ProductTitle, ProgramVersion),
            ReplaceAll(DefaultWatermarkText, "\xC2\xA9", "(c)"), VendorWebAddress, " "};
}

CommandLineState ParseCommandLine(const std::vector<std::string>& params, SettingsRecord& s,
                                  ConversionJobRecord& job, const ProfileLoader& loadProfile) {
    CommandLineState state;
    for (size_t i = 0; i < params.size(); ++i) {
        const std::string name = OptionNameAt(params, i);
        if (name.empty())
            continue;
        const FrontEnd option = FrontEndOption(name);
        const bool ok = option != FrontEnd::None ? ApplyFrontEndOption(option, name, params, i, s,
                                                                       job, loadProfile, state)
                                                 : ApplyOtherOption(name, params, i, s, state);
        if (!ok)
            break;
    }
    return state;
}

int RunCommandLine(std::string_view programPath, const std::vector<std::string>& params,
                   const ProfileLoader& loadProfile, int& exitCode,
                   const WindowCommands* windowCommands) {
    exitCode = 0;
    if (params.empty())
        return 0;
    BuildInputExtensions();
    BuildOutputFormats();
    ResetConversionJob();
    ResetSettings(Settings, 1);
    LoadCatalogue();

    const std::string title = TitleWithVersion(ProductTitle, ProgramVersion);
    const std::string first = OptionNameAt(params, 0);
    if (first == "-U") {
        if (windowCommands && windowCommands->showUninstallFeedback)
            windowCommands->showUninstallFeedback();
        return 1;
    }
    if (first == "-T") {
        ConversionJob.RunMode = "T";
        if (windowCommands && windowCommands->captureScreenshots)
            windowCommands->captureScreenshots(OptionValueAt(params, 1));
        return 1;
    }
    if (first == "-V" || first == "--VERSION") {
        SetConsoleTitle(title);
        WriteConsoleLine(VersionText(ProgramVersion));
        return 1;
    }
    if (first == "-H" || first == "-?" || first == "--HELP") {
        SetConsoleTitle(title);
        for (const std::string& line : HelpText(ProgramNameOf(programPath)))
            WriteConsoleLine(line);
        return 1;
    }

    const CommandLineState state = ParseCommandLine(params, Settings, ConversionJob, loadProfile);
    if (!state.ErrorText.empty()) {
        SetConsoleTitle(title);
        WriteConsoleLine("Error: " + state.ErrorText);
        if (state.PauseAtExit)
            WaitForKey();
        return 1;
    }
    if (ConversionJob.ConsoleRun != 1)
        return 0;

    SetConsoleTitle(title);
    if (!state.QuietMode)
        for (const std::string& line : BannerLines())
            WriteConsoleLine(line);
    RunConsoleBatch(state.QuietMode);
    if (state.PauseAtExit) {
        WriteConsoleLine("Press any key to exit.");
        WaitForKey();
    }
    return 1;
}

} // namespace qm
