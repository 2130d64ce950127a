// Filling the file list through dialogs and saving it: the add-input chooser, the file and
// folder dialogs, list import and list export.
#pragma once

#include <QString>

#include "gui/run_host.h"

class QDialog;

namespace qm::gui {

/// The file dialog's filter ("Name|patterns|..."): all supported patterns, one entry per input
/// format description, then every file.
QString InputFileFilter();

/// Opens the add-input chooser (window 7) over the host window and returns; its buttons run
/// AddInputFiles or AddInputFolder. The host window takes no input while it is open.
void ShowAddInputChooser(RunHost& host);
/// The chooser's events: button 359 (add files), 361 (add folder), 363 (Escape) or 0 for the
/// close box. Every one of them ends the chooser.
void HandleAddInputChooserEvent(int gadget);
/// The open chooser, or null.
QDialog* AddInputChooser();

/// The multi-selection file dialog; adds the chosen files in the dialog's order. Returns 1
/// when a file was added.
int AddInputFiles(RunHost& host);
/// The folder dialog; imports the chosen folder behind its progress window. Returns 1 when a
/// folder was chosen.
int AddInputFolder(RunHost& host);
/// The list file dialog; imports a chosen non-empty list behind its progress window. Returns 1
/// when a list was imported.
int ImportInputList(RunHost& host);
/// The save dialog; writes the file list behind its progress window (".txt" added to a name
/// without extension, a non-empty existing file only replaced after asking). Returns 1 when
/// the export ran.
int ExportInputList(RunHost& host);

} // namespace qm::gui
