// Reading of ini-style text files: config.ini and option profiles.
//
// The text is taken as UTF-8 whether or not it starts with a byte order mark. Lines end at CR or
// LF; leading blanks and tabs are ignored; ";" starts a comment line; "[" opens a group named up to
// the next "]". Any other line is an entry: key up to the first "=", value after it, both trimmed.
// Group and key names are compared without regard to letter case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

/// How much of a file the reader takes in; anything beyond is ignored.
inline constexpr size_t MaxIniFileSize = 16 * 1024 * 1024;

/// Reads at most MaxIniFileSize bytes of the file at path into text, without the UTF-8 byte
/// order mark. Returns false, with text empty, when the file cannot be opened or read.
bool ReadIniFile(const std::string& path, std::string& text);

/// text without a leading UTF-8 byte order mark.
std::string_view WithoutByteOrderMark(std::string_view text);

/// The lines that follow the group line of the first group named `name` (letter case ignored);
/// nullopt when no group has that name. ForEachIniEntry reads them up to the next group line.
std::optional<std::string_view> FindIniGroup(std::string_view text, std::string_view name);

using IniEntryVisitor = std::function<void(std::string_view key, std::string_view value)>;

/// Calls visit for every entry line of `lines`, in order, until the first group line. Applied
/// to the whole text it visits the entries ahead of any group line.
void ForEachIniEntry(std::string_view lines, const IniEntryVisitor& visit);

/// Calls group(name) for every group line and entry(key, value) for every entry line of text,
/// in file order.
void ForEachIniLine(std::string_view text, const std::function<void(std::string_view name)>& group,
                    const IniEntryVisitor& entry);

/// The value as C's atoi reads it: optional white space and sign, then decimal digits up to the
/// first other character; no digits give 0. Values beyond the 32-bit range give its nearest end.
int32_t IniInteger(std::string_view value);

/// The value as C's atof reads it ("." as decimal separator whatever the locale), except that
/// "+Infinity", "-Infinity" and "NaN" (any letter case) give those values. Nothing readable
/// gives 0; beyond the float range gives an infinity.
float IniReal(std::string_view value);

} // namespace qm
