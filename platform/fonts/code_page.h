// The bytes of ANSI text: which Windows code page a font's character set reads them in, and
// their characters in that page, double-byte pages included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qm::fonts {

/// The Windows code page of ANSI text in a font of this character set (LOGFONT lfCharSet):
/// 1250-1257 and 874 for the single-byte sets, 932 (SHIFTJIS), 936 (GB2312), 949 (HANGUL),
/// 950 (CHINESEBIG5) and 1361 (JOHAB) for the double-byte ones, 437 for OEM (Terminal's box
/// drawing characters); 0 when the bytes are read as Windows-1252 (ANSI, DEFAULT, SYMBOL and
/// unknown sets).
int CodePageOfCharSet(uint8_t charSet);

/// True for the double-byte code pages above, whose characters take one or two bytes.
bool IsDoubleByteCodePage(int codePage);

/// One character of ANSI text and the number of bytes it took (1, or 2 for a lead byte and
/// its trail byte in a double-byte page).
struct AnsiChar {
    char32_t code = 0;
    uint8_t bytes = 1;
};

/// The characters of the bytes in the code page (0 = Windows-1252). A byte or byte pair the
/// page does not define gives U+FFFD; a lead byte at the end of the bytes stands alone. When
/// iconv lacks the page, every byte is read as Windows-1252. Safe from any thread.
std::vector<AnsiChar> DecodeAnsiText(int codePage, std::span<const uint8_t> bytes);

} // namespace qm::fonts
