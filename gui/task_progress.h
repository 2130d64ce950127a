// The small progress window shared by the folder import, the list import and the export: the
// task runs on a worker thread, the window polls it and can stop it between units.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gui/run_host.h"

namespace qm::gui {

enum class ProgressTask { FolderImport, ListImport, Export };

/// The bar's maximum for the task: the top-level entries of ConversionJob.InputFolder (files
/// and folders), the line feeds of the list ConversionJob.InputPath plus one, or the rows.
int TaskMaximum(ProgressTask task, const std::vector<std::string>& rows);

/// Runs the task behind its progress window (application-modal: the host window takes no input
/// meanwhile), puts the done or stopped text into the status bar, holds the final state for 700 ms
/// and closes. Returns the files added or entries saved.
int32_t RunWithProgress(ProgressTask task, RunHost& host);

/// RunWithProgress with the folder import of ConversionJob.InputFolder.
int32_t ImportFolderWithProgress(RunHost& host);

namespace detail {
/// Called with each progress window once its worker has started (tests drive it from here).
void SetTaskStartedHook(std::function<void(QDialog*)> hook);
/// How long the final state stays on screen, in milliseconds (700; tests shorten it).
void SetTaskHoldMilliseconds(int ms);
} // namespace detail

} // namespace qm::gui
