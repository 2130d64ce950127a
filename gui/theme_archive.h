// Reading theme archives (zip) into memory with libarchive.
#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace qm::gui {

/// The entries of an archive that hold data, by entry name.
using ArchiveEntries = std::map<std::string, std::string>;

/// Reads the zip archive at `path`: every entry of more than 0 bytes, whole, up to `entryLimit`
/// bytes each (a larger entry is cut there). Entries past 4096 or past 64 MiB in all are left
/// out. Returns false, with `entries` empty, when the file is missing, empty or not a zip
/// archive; a damaged entry ends the reading but keeps the entries read before it.
bool ReadThemeArchive(const std::string& path, ArchiveEntries& entries,
                      size_t entryLimit = 16u << 20);

/// The first `limit` bytes of the entry `name`, or "" when the archive or the entry is missing.
std::string ReadArchiveEntryStart(const std::string& path, const std::string& name, size_t limit);

} // namespace qm::gui
