#include "app/startup.h"

#include "cli/command_line.h"

namespace qm {

int RunProgram(int argc, char** argv) {
    std::vector<std::string> params(argv + 1, argv + argc);
    int exitCode = 0;
    if (RunCommandLine(params, exitCode) != 0)
        return exitCode;
    // The windowed interface is not built yet.
    return 0;
}

} // namespace qm
