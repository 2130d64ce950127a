// Letter-case helpers for the ASCII names of options, keys, groups and extensions.
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

} // namespace qm
