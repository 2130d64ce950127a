#include "cli/command_line.h"

namespace qm {

int RunCommandLine(const std::vector<std::string>& params, int& exitCode) {
    exitCode = 0;
    return params.empty() ? 0 : 1;
}

} // namespace qm
