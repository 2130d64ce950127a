// The body of a console run: paths and format checked, inputs collected, files converted,
// summary printed.
#pragma once

#include <cstdint>

namespace qm {

/// Runs the console batch over ConversionJob and Settings as the command line left them.
/// Every outcome is printed; quiet = 1 leaves out the status lines.
void RunConsoleBatch(uint8_t quiet);

} // namespace qm
