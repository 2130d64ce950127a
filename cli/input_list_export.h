// Saving the windowed interface's list of input files as a list file that a list import (or a
// console run with -i) reads back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qm {

/// Called before row number `row` (1-based) is written; false stops the export there.
using BeforeExportRow = std::function<bool(int32_t row)>;

/// Writes rows to path: the UTF-8 byte-order mark, then each row followed by CR LF. The file is
/// written beside path and renamed over it only when complete, so a failed write (no space, no
/// permission) leaves a file that was there before as it was. A stop from beforeRow keeps the
/// rows written so far (they replace the old file). Returns the number of rows saved; 0 when
/// the file could not be written.
int32_t WriteInputList(const std::string& path, const std::vector<std::string>& rows,
                       const BeforeExportRow& beforeRow);

/// Worker-thread body of an export: writes rows to ConversionJob.InputPath, publishing each row
/// number in ConversionProgress.FilesStarted under ProgressLock and stopping between rows when
/// KeepRunning is cleared; adds the rows saved to FilesConverted.
void ExportListWorker(const std::vector<std::string>& rows);

} // namespace qm
