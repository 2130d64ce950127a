#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/console_output.h"

using namespace qm;

namespace {

using Params = std::vector<std::string>;

struct Parsed {
    CommandLineState state;
    SettingsRecord settings;
    ConversionJobRecord job;
};

Parsed Parse(const Params& params, const ProfileLoader& loader = {}) {
    Parsed p;
    ResetSettings(p.settings, 1);
    p.state = ParseCommandLine(params, p.settings, p.job, loader);
    return p;
}

std::vector<std::string> RunCaptured(const Params& params, int& result) {
    std::vector<std::string> lines;
    ConsoleCapture capture([&](std::string_view line) { lines.emplace_back(line); });
    int exitCode = -1;
    result = RunCommandLine("/opt/tools/pirelocmd.exe", params, {}, exitCode);
    EXPECT_EQ(exitCode, 0);
    return lines;
}

} // namespace

TEST(VersionText, InsertsDotsAndDropsATrailingZero) {
    EXPECT_EQ(VersionText(260), "2.6");
    EXPECT_EQ(VersionText(261), "2.6.1");
    EXPECT_EQ(VersionText(300), "3.0");
    EXPECT_EQ(TitleWithVersion(ProductTitle, ProgramVersion), "Quellmark 2.6");
}

TEST(OptionNameAt, NamesAreUpperCasedAndOnlyDashedParametersAreOptions) {
    const Params p = {" --Jpg-Quality=90 ", "-i", "--flip-vertical", "file.emf", "-x=1", "--a=b=c"};
    EXPECT_EQ(OptionNameAt(p, 0), "--JPG-QUALITY");
    EXPECT_EQ(OptionValueAt(p, 0), "90");
    EXPECT_EQ(OptionNameAt(p, 1), "-I");
    EXPECT_EQ(OptionValueAt(p, 1), "-i");
    EXPECT_EQ(OptionNameAt(p, 2), "--FLIP-VERTICAL");
    EXPECT_EQ(OptionValueAt(p, 2), "--flip-vertical");
    EXPECT_EQ(OptionNameAt(p, 3), "");
    EXPECT_EQ(OptionNameAt(p, 4), "-X=1"); // single dash: the whole parameter
    EXPECT_EQ(OptionValueAt(p, 4), "-x=1");
    EXPECT_EQ(OptionValueAt(p, 5), "b=c");
    EXPECT_EQ(OptionNameAt(p, 6), "");
    EXPECT_EQ(OptionValueAt(p, 6), "");
}

TEST(ParseCommandLine, FrontEndOptionsFillTheJob) {
    const Parsed p = Parse({"-i", "/in/a.emf", "--output=/out/", "-c", "JPG", "-d", "-q", "-p"});
    EXPECT_TRUE(p.state.ErrorText.empty());
    EXPECT_EQ(p.job.InputFolder, "/in/a.emf");
    EXPECT_EQ(p.job.ConsoleRun, 1);
    EXPECT_EQ(p.job.OutputFolder, "/out/");
    EXPECT_EQ(p.job.FormatId, "JPG"); // case kept; the batch rejects it
    EXPECT_EQ(p.job.RunMode, "DEBUG");
    EXPECT_EQ(p.state.QuietMode, 1);
    EXPECT_EQ(p.state.PauseAtExit, 1);
}

TEST(ParseCommandLine, MissingOrDashLedValuesAreRejected) {
    for (const Params& params :
         {Params{"-i"}, Params{"--input"}, Params{"--input="}, Params{"-i", "-o"},
          Params{"-i", "--output=/x"}, Params{"-i", "a.emf", "--jpg-quality"},
          Params{"-i", "a.emf", "--jpg-quality=--5"}, Params{"-i", "a.emf", "--profile="}}) {
        const Parsed p = Parse(params);
        EXPECT_EQ(p.state.ErrorText, "Incorrect number of parameters") << params.back();
    }
    // Only a leading "--" is rejected for long options: the batch checks the range later.
    const Parsed p = Parse({"-i", "a.emf", "--JPG-QUALITY=-5"});
    EXPECT_TRUE(p.state.ErrorText.empty());
    EXPECT_EQ(p.settings.Output.JPGQuality, -5);
}

TEST(ParseCommandLine, ParsingStopsAtTheFirstError) {
    const Parsed p = Parse({"--width=300", "-o", "-p", "--height=200"});
    EXPECT_EQ(p.state.ErrorText, "Incorrect number of parameters");
    EXPECT_EQ(p.settings.Transform.ImageWidth, 300);
    EXPECT_EQ(p.settings.Transform.ImageHeight, 0);
    EXPECT_EQ(p.state.PauseAtExit, 0); // -p was only the rejected value
}

TEST(ParseCommandLine, SettingOptionsGoThroughTheOptionTable) {
    const Parsed p = Parse({"-i", "a.emf", "--invert=no", "--WIDTH=300", "--Png-Interlaced",
                            "stray", "--unknown=1", "--jpg-quality=80", "--jpg-quality=70"});
    EXPECT_TRUE(p.state.ErrorText.empty());
    EXPECT_EQ(p.settings.Adjustment.ImageInvert, 1);
    EXPECT_EQ(p.settings.Adjustment.DoImageColorCorrection, 1);
    EXPECT_EQ(p.settings.Transform.ImageWidth, 300);
    EXPECT_EQ(p.settings.Transform.DoImageResize, 1);
    EXPECT_EQ(p.settings.Transform.KeepAspectRatio, 0);
    EXPECT_EQ(p.settings.Output.PNGInterlaced, 1);
    EXPECT_EQ(p.settings.Output.JPGQuality, 70);
}

TEST(ParseCommandLine, QuotedTextValuesAreJoinedAndUnquoted) {
    const Parsed p = Parse({"-i", "\"/my", "files/a", "b.emf\"", "--wm-text=\"Draft", "copy\"",
                            "-c", "\"png", "-o", "\"/out/\""});
    EXPECT_TRUE(p.state.ErrorText.empty());
    EXPECT_EQ(p.job.InputFolder, "/my files/a b.emf");
    EXPECT_EQ(p.settings.Watermark.Text, "Draft copy");
    EXPECT_EQ(p.settings.Watermark.DoWatermark, 1);
    EXPECT_EQ(p.job.FormatId, "png"); // unquoted, never joined
    EXPECT_EQ(p.job.OutputFolder, "/out/");

    // An unclosed quote takes every remaining parameter.
    const Parsed open = Parse({"--output=\"/a", "b", "-q"});
    EXPECT_EQ(open.job.OutputFolder, "/a b -q");
    EXPECT_EQ(open.state.QuietMode, 0);
}

TEST(ParseCommandLine, ProfileAppliesWhereItStands) {
    std::string loadedPath;
    const ProfileLoader loader = [&](const std::string& path, SettingsRecord& s) {
        loadedPath = path;
        s.Output.JPGQuality = 90;
        return 1;
    };
    EXPECT_EQ(Parse({"--profile=\"/p/my", "cli.ini\"", "--jpg-quality=70"}, loader)
                  .settings.Output.JPGQuality,
              70);
    EXPECT_EQ(loadedPath, "/p/my cli.ini");
    EXPECT_EQ(Parse({"--jpg-quality=70", "--profile=x.ini"}, loader).settings.Output.JPGQuality,
              90);

    const ProfileLoader failing = [](const std::string&, SettingsRecord&) { return 0; };
    const Parsed p = Parse({"--width=5", "--profile=x.ini", "-i", "a.emf"}, failing);
    EXPECT_EQ(p.state.ErrorText, "Invalid profile file");
    EXPECT_EQ(p.settings.Transform.ImageWidth, 5);
    EXPECT_EQ(p.job.ConsoleRun, 0);
}

TEST(HelpText, FillsTheProgramNameAndFormats) {
    const std::vector<std::string> help = HelpText(ProgramNameOf("C:/bin/pirelocmd.exe"));
    ASSERT_EQ(help.size(), 38u);
    EXPECT_EQ(help[0], " ");
    EXPECT_EQ(help[1], "Usage: pirelocmd -i <filename> [options]");
    EXPECT_EQ(help[3], "  pirelocmd -i example.emf");
    // Example paths are this system's: no drive letters or backslashes.
    EXPECT_EQ(help[4], "  pirelocmd -i /tmp/example.emf");
    EXPECT_EQ(help[5], "  pirelocmd -i /tmp/example.emf -o /converted");
    EXPECT_EQ(help[8], "  pirelocmd -i /tmp/ -o /converted -c bmp --jpg-quality=95");
    for (const std::string& line : help)
        EXPECT_EQ(line.find('\\'), std::string::npos) << line;
    EXPECT_EQ(help[15],
              "  -c STR, --conversion=STR  Set output extension, STR = (jpg | bmp | ...)");
    EXPECT_EQ(help[37], "  -v, --version             Display version information and exit");
    EXPECT_EQ(ProgramNameOf("/usr/local/bin/quellmark"), "quellmark");
}

TEST(RunCommandLine, FirstParameterCommandsAndErrors) {
    int result = -1;
    EXPECT_EQ(RunCaptured({"-V", "--help"}, result), std::vector<std::string>{"2.6"});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(RunCaptured({"--help"}, result), HelpText("pirelocmd"));
    EXPECT_EQ(RunCaptured({"-i"}, result),
              std::vector<std::string>{"Error: Incorrect number of parameters"});
    EXPECT_EQ(result, 1);
}

TEST(RunCommandLine, WithoutInputTheWindowedStartContinues) {
    int result = -1;
    EXPECT_TRUE(RunCaptured({}, result).empty());
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(RunCaptured({"-o", "/tmp/", "--jpg-quality=5", "-v"}, result).empty());
    EXPECT_EQ(result, 0);
}

TEST(RunCommandLine, ConsoleRunPrintsTheBannerUnlessQuiet) {
    int result = -1;
    const std::vector<std::string> lines = RunCaptured({"-i", "/nonexistent/file.emf"}, result);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Quellmark 2.6");
    EXPECT_EQ(lines[1], "(c) 2019-2026 Tarvenix");
    EXPECT_EQ(lines[2], VendorWebAddress);
    EXPECT_EQ(lines[3], " ");
    EXPECT_EQ(lines.back(), "Error: Invalid input file");

    const std::vector<std::string> quiet =
        RunCaptured({"-q", "-i", "/nonexistent/file.emf"}, result);
    EXPECT_EQ(quiet, std::vector<std::string>{"Error: Invalid input file"});
}

TEST(RunCommandLine, UninstallFeedbackGoesToTheWindowsOrEndsQuietly) {
    std::vector<std::string> lines;
    ConsoleCapture capture([&](std::string_view line) { lines.emplace_back(line); });
    int exitCode = -1;
    EXPECT_EQ(RunCommandLine("quellmark", {"-U"}, {}, exitCode), 1);

    int shown = 0;
    WindowCommands commands;
    commands.showUninstallFeedback = [&] { ++shown; };
    EXPECT_EQ(RunCommandLine("quellmark", {"-u", "-i", "/tmp/x.emf"}, {}, exitCode, &commands), 1);
    EXPECT_EQ(shown, 1);
    // Only the first parameter counts.
    EXPECT_EQ(RunCommandLine("quellmark", {"-o", "/tmp", "-U"}, {}, exitCode, &commands), 0);
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(exitCode, 0);
}

TEST(RunCommandLine, ScreenshotModeGoesToTheWindowsOrEndsQuietly) {
    std::vector<std::string> lines;
    ConsoleCapture capture([&](std::string_view line) { lines.emplace_back(line); });
    int exitCode = -1;
    // Without windows in the build, -T ends the process and prints nothing.
    EXPECT_EQ(RunCommandLine("quellmark", {"-t", "/tmp/shots"}, {}, exitCode), 1);
    EXPECT_TRUE(lines.empty());

    std::vector<std::string> folders;
    WindowCommands commands;
    commands.captureScreenshots = [&](const std::string& folder) { folders.push_back(folder); };
    EXPECT_EQ(RunCommandLine("quellmark", {"-T", "/tmp/shots", "-v"}, {}, exitCode, &commands), 1);
    EXPECT_EQ(RunCommandLine("quellmark", {"-T"}, {}, exitCode, &commands), 1);
    EXPECT_EQ(folders, (std::vector<std::string>{"/tmp/shots", ""}));
    EXPECT_EQ(ConversionJob.RunMode, "T");
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(exitCode, 0);
}
