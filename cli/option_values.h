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

/// The keyword tables by what they hold; the values are the tables' fixed numbers.
enum class KeywordTable : int {
    DdsLoadAs = 0,
    RawLoadAs = 1,
    FrameLoading = 2,
    RawToneMapping = 3,
    Compression = 4,
    BmpColorTable = 5,
    ColorModel = 6,
    JpgChroma = 7,
    JpgSaveAs = 8,
    RotationType = 9,
    SizeUnit = 10,
    ResizeType = 11,
    ResizeAlgorithm = 12,
    FrameKind = 13,
    WatermarkKind = 14,
    FontStyle = 15,
    FontEffect = 16,
    TextAlignment = 17,
    Boundary = 18,
    Position = 19,
    WatermarkSize = 20,
    FileTimestamp = 21,
    EmfPlusPlayback = 22,
};
constexpr int KeywordTableCount = 23;

/// The number of a keyword (trimmed, any case) in the table; 0 when it is not there or the
/// table is unknown.
int32_t ParseKeyword(KeywordTable table, std::string_view text);

/// The first word of the table with `number`; empty when there is none. For the compression
/// words the words of the output format `formatId` ("bmp", "exr", "png", "tga", "tiff") are
/// searched.
std::string KeywordName(KeywordTable table, int32_t number, std::string_view formatId = {});

} // namespace qm
