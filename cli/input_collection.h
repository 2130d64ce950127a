// Gathering the input metafiles into InputList: single files, folders walked with all their
// subfolders, and list files naming files and folders.
#pragma once

#include <string>
#include <string_view>

namespace qm {

/// Adds path to InputList with its subfolder below ConversionJob.InputFolder. Returns 1 when
/// added; 0 for a zero-byte file, an extension that is not an accepted metafile extension, or a
/// path already in the list. (A missing path or a folder passes the size test.)
int AddInputFile(const std::string& path);

/// True when extension (passed lower-cased) is one of the accepted input extensions; letter
/// case counts.
bool IsAcceptedExtension(std::string_view extension);

/// The folder part of path below base, ending in "/"; empty when either is empty, the file sits
/// directly in base, or the path does not lie below base.
std::string RelativeSubfolder(std::string_view path, std::string_view base);

/// Adds the metafiles of folder (ending in "/") and of all its subfolders, in listing order.
/// Folders reached again through symbolic links are walked once. Returns the number added;
/// 0 when the folder can't be listed.
int ScanFolder(const std::string& folder);

/// Worker-thread body: imports ConversionJob.InputFolder. Counts top-level entries in
/// ConversionProgress.FilesStarted, stops between entries when KeepRunning is cleared, and adds
/// the number of files added to FilesConverted. An unreadable folder adds nothing.
void ImportFolder();

/// Worker-thread body: imports the list file ConversionJob.InputPath (UTF-8, one path per line,
/// any byte-order mark skipped, CR, LF or CR LF line ends, blanks trimmed). Lines naming nothing
/// that exists, not well-formed UTF-8 or longer than any path are skipped; a listed folder is
/// walked like ScanFolder, and no folder is walked twice during one list import. A control
/// character other than tab, CR and LF (binary data, UTF-16 text, a DOS end-of-file mark) ends the
/// import: the lines before it count, the line it is in and the rest do not. Adds the number of
/// files added to FilesConverted; an unreadable list adds nothing.
void ImportListFile();

/// Called by AddInputFile for every file it adds while ConversionJob.ConsoleRun is 0 (the
/// windowed interface shows the file in its list). Not called in a console run.
/// Returns the hook it replaces.
using InputFileAddedHook = void (*)(const std::string& path);
InputFileAddedHook SetInputFileAddedHook(InputFileAddedHook hook);

} // namespace qm
