// The progress dialog of a conversion run: starts the worker, shows which file it converts and
// how far the run is, and lets the user stop it between files.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "gui/run_host.h"

namespace qm::gui {

/// The text itself when it is empty or has at most max characters; otherwise its first k
/// characters, "...", and its last k, where k = (max - 3) / 2.
QString ShortenMiddle(const QString& text, int max);

/// The average character width of the font in whole pixels, measured on "abc123:\-"; 7 when
/// nothing can be measured.
int AverageCharWidth(const QFont& font);

/// Runs ConversionWorker over InputList behind the modal progress dialog (application-modal: the
/// host window takes no input meanwhile) and returns when the user has closed the dialog. The
/// status bar ends with "Conversion complete" or "Conversion stopped". The worker works on copies
/// of the job, the settings and the input list; the job's counters and per-file fields are taken
/// back once it has ended.
void ShowConvertProgress(RunHost& host);

namespace detail {
/// Called with the dialog once its worker has started (tests drive it from here).
void SetConvertStartedHook(std::function<void(QDialog*)> hook);
} // namespace detail

} // namespace qm::gui
