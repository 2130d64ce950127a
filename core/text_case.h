// Letter case: ASCII helpers for the names of options, keys, groups, extensions and font
// families, and Unicode case mapping for texts users write (name masks, file names).
#pragma once

#include <string>
#include <string_view>

namespace qm {

/// The text with A-Z turned to a-z; other bytes (UTF-8 included) unchanged.
std::string LowerAscii(std::string_view text);

/// The text with a-z turned to A-Z; other bytes unchanged.
std::string UpperAscii(std::string_view text);

/// True when both texts are equal once ASCII letter case is ignored.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

/// The text in ASCII lower case without blanks and tabs: how font family names compare.
std::string LowerAsciiWithoutBlanks(std::string_view text);

/// The text in lower (or upper) case by the Unicode case tables; bytes that are not valid UTF-8
/// are kept as they are.
std::string LowerCase(std::string_view text);
std::string UpperCase(std::string_view text);

/// The first character in upper case and the rest in lower case, as above.
std::string TitleCase(std::string_view text);

} // namespace qm
