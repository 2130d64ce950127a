// Replacing a file's contents so that a failure never leaves it half written.
#pragma once

#include <string>
#include <string_view>

namespace qm {

/// Writes text to path through a temporary file in the same folder, flushed to disk and renamed
/// over path (a symbolic link at path is followed; the replaced file's permissions are kept).
/// Returns false, leaving path untouched and no temporary file behind, on any failure.
bool ReplaceFileContents(const std::string& path, std::string_view text);

} // namespace qm
