// Conversions between UTF-8, UTF-16 and Windows-1252, the encodings metafiles, list files and
// fonts hand us.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

/// Decodes the UTF-8 sequence at text[i] into cp. Returns its length in bytes, or 0 when it is
/// not well-formed (cut off, a stray continuation byte, an overlong form, a surrogate or a
/// value above U+10FFFF); cp is then unspecified.
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& cp);

/// Appends cp as UTF-8; surrogates and values above U+10FFFF become U+FFFD.
void AppendUtf8(std::string& out, char32_t cp);

/// True when the whole text is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

/// The text with every byte that does not start a well-formed sequence replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

/// UTF-16 to UTF-8: surrogate pairs are joined, a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

/// The character of a Windows-1252 byte; the five bytes the code page leaves undefined map to
/// the control characters of the same value, as the system's conversion does.
char16_t Cp1252ToUnicode(uint8_t byte);

/// The Windows-1252 byte of a character, or 0 when the code page has none.
uint8_t UnicodeToCp1252(char32_t c);

} // namespace qm
