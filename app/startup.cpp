#include "app/startup.h"

#include <IL/il.h>
#include <IL/ilu.h>

#include <csignal>
#include <string>
#include <vector>

#include "app/app_paths.h"
#include "app/profile.h"
#include "app/settings_file.h"
#include "app/single_instance.h"
#include "cli/command_line.h"
#include "core/catalogue.h"
#include "core/formats.h"
#include "core/settings.h"

namespace qm {

int RunProgram(int argc, char** argv, const WindowedFrontEnd& windowed) {
    // A reader that goes away early (quellmark -h | head -1) must not end the run abnormally.
    std::signal(SIGPIPE, SIG_IGN);
    BuildInputExtensions();
    BuildOutputFormats();
    ilInit();
    iluInit();

    // One copy at a time, console or windowed; a second one ends without a word.
    const int instance = AcquireInstance(TitleWithVersion(ProductTitle, ProgramVersion));
    if (instance == AnotherInstanceRuns)
        return 0;
    Settings.InstanceMutex = instance;

    const std::string programPath = argc > 0 && argv[0] ? argv[0] : "quellmark";
    const std::vector<std::string> params(argv + (argc > 0 ? 1 : 0), argv + argc);
    WindowCommands windowCommands;
    windowCommands.captureScreenshots = windowed.captureScreenshots;
    windowCommands.showUninstallFeedback = windowed.showUninstallFeedback;
    int exitCode = 0;
    if (RunCommandLine(programPath, params, LoadProfile, exitCode, &windowCommands) == 0 &&
        windowed.run)
        windowed.run();

    ReleaseInstance(Settings.InstanceMutex);
    Settings.InstanceMutex = NoInstanceLock;
    return exitCode;
}

void LoadWindowedSettings() {
    Settings.ConfigPath = DefaultConfigPath();
    LoadSettings();
    LoadCatalogue();
}

int SaveWindowedSettings() {
    if (Settings.Advanced.OutFoldersHistory == 0)
        Settings.File.RecentOutFolders.clear();
    return SaveSettings();
}

} // namespace qm
