// The console front end: parameters into Settings and the run, then the console batch.
#pragma once

#include <string>
#include <vector>

namespace qm {

/// Runs the console front end over the program parameters (without the program name).
/// Returns 0 when the windowed interface must start; otherwise the console run is done and
/// exitCode holds the process exit code (always 0).
int RunCommandLine(const std::vector<std::string>& params, int& exitCode);

} // namespace qm
