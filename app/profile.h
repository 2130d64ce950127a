// Option profiles: a file whose group "CLI" holds long option names and their values, as in
//   [CLI]
//   --JPG-QUALITY = 90
//   --RESIZE-ALGORITHM = LANCZOS
#pragma once

#include <string>
#include <string_view>

#include "core/settings.h"

namespace qm {

/// Applies the option profile at path to s (the global Settings when left out), entry by entry
/// in file order. Returns 1 when the file was read, 0 when the path is empty or the file cannot
/// be opened; s is unchanged then.
int LoadProfile(const std::string& path, SettingsRecord& s = Settings);

/// Applies the text of a profile to s as LoadProfile does once the file is read. Reads the
/// first group named "CLI"; a text without such a group takes the entries ahead of its first
/// group line.
void ApplyProfileText(std::string_view text, SettingsRecord& s);

} // namespace qm
