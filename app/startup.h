// The entry sequence of the program.
#pragma once

namespace qm {

/// Runs the program with its parameters; returns the process exit code (always 0).
int RunProgram(int argc, char** argv);

} // namespace qm
