// How option texts become the numbers and texts stored in the settings record.
//
// Parsing never fails: a malformed value becomes a number (usually 0), and only the console
// batch's checks reject values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

/// Decimal, "$" hexadecimal or "%" binary digits after optional blanks and sign; stops at the
/// first other character; no digit gives 0; overflow wraps.
int64_t ParseInteger(std::string_view text);

/// "+Infinity", "-Infinity", "NaN" (any case), otherwise the leading decimal number read with
/// "." as separator whatever the process locale; no number gives 0.
float ParseReal(std::string_view text);

/// Number of keyword tables (0..21).
constexpr int KeywordTableCount = 22;

/// The number of a keyword (trimmed, any case) in table `table`; 0 when it is not there or the
/// table number is unknown.
int32_t ParseKeyword(int table, std::string_view text);

/// The first word of table `table` with `number`; empty when there is none. For table 4 (the
/// compression words) the words of the output format `formatId` ("bmp", "exr", "png", "tga",
/// "tiff") are searched.
std::string KeywordName(int table, int32_t number, std::string_view formatId = {});

} // namespace qm
