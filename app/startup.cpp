#include "app/startup.h"

#include <IL/il.h>
#include <IL/ilu.h>

#include <csignal>
#include <string>
#include <vector>

#include "app/profile.h"
#include "cli/command_line.h"

namespace qm {

int RunProgram(int argc, char** argv) {
    // A reader that goes away early (quellmark -h | head -1) must not end the run abnormally.
    std::signal(SIGPIPE, SIG_IGN);
    ilInit();
    iluInit();
    const std::string programPath = argc > 0 && argv[0] ? argv[0] : "quellmark";
    const std::vector<std::string> params(argv + (argc > 0 ? 1 : 0), argv + argc);
    int exitCode = 0;
    if (RunCommandLine(programPath, params, LoadProfile, exitCode) != 0)
        return exitCode;
    // The windowed interface is not part of this build: a start without a console run ends
    // quietly.
    return 0;
}

} // namespace qm
