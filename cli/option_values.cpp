#include "cli/option_values.h"

#include "core/text_case.h"
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <span>

namespace qm {

namespace {

struct KeywordPair {
    const char* word;
    int32_t number;
};

const KeywordPair kDdsLoadAsWords[] = {{"AUTO", 0}, {"BGRA", 1}, {"RGBA", 2}};
const KeywordPair kRawLoadAsWords[] = {{"AUTO", 0}, {"8", 1},    {"16", 2},
                                       {"24", 3},   {"48HS", 4}, {"48", 5}};
const KeywordPair kFrameLoadingWords[] = {
    {"ALL", 0}, {"FIRST", 1}, {"MIDDLE", 2}, {"LAST", 3}, {"RANDOM", 4}};
const KeywordPair kToneMappingWords[] = {
    {"NONE", 0}, {"LINEAR", 1}, {"AL", 2}, {"DRR", 3}, {"GD", 4}};
const KeywordPair kCompressionWords[] = {
    {"NONE", 0},      {"RLE", 1},      {"ZIP", 1},     {"PIZ", 2},          {"PXR24", 3},
    {"B44", 4},       {"ZLIB1", 1},    {"ZLIB6", 2},   {"ZLIB9", 3},        {"CCITTFAX3", 1},
    {"CCITTFAX4", 2}, {"PACKBITS", 3}, {"DEFLATE", 4}, {"ADOBEDEFLATE", 5}, {"LZW", 6},
    {"JPEG", 7},      {"LOGLUV", 8}};
const KeywordPair kColorTableWords[] = {{"AUTO", 0}, {"EXACT", 1}};
const KeywordPair kColorModelWords[] = {{"RGB", 0}, {"CMYK", 1}, {"LAB", 2}};
const KeywordPair kChromaWords[] = {{"NONE", 0}, {"LOW", 1}, {"MEDIUM", 2}, {"HIGH", 3}};
const KeywordPair kJpgSaveAsWords[] = {
    {"STANDARD", 0}, {"SIMPLE", 1}, {"OPTIMIZED", 2}, {"PROGRESSIVE", 3}};
const KeywordPair kRotationTypeWords[] = {{"SIMPLE", 0}, {"ADVANCED", 1}};
const KeywordPair kSizeUnitWords[] = {{"PIXELS", 0}, {"PERCENT", 1}};
const KeywordPair kResizeTypeWords[] = {{"ALLIMAGES", 0}, {"LARGEIMAGES", 1}};
const KeywordPair kResizeAlgorithmWords[] = {{"BOX", 0},     {"BILINEAR", 1},   {"BSPLINE", 2},
                                             {"BICUBIC", 3}, {"CATMULLROM", 4}, {"LANCZOS", 5}};
const KeywordPair kFrameKindWords[] = {{"NONE", 0}, {"SOLID", 1}};
const KeywordPair kWatermarkKindWords[] = {{"NONE", 0}, {"TEXT", 1}, {"IMAGE", 2}};
const KeywordPair kFontStyleWords[] = {
    {"REGULAR", 0}, {"BOLD", 1}, {"ITALIC", 2}, {"BOLDITALIC", 3}};
const KeywordPair kFontEffectWords[] = {{"NONE", 0}, {"UNDERLINE", 1}, {"STRIKETHROUGHT", 2}};
const KeywordPair kAlignmentWords[] = {{"LEFT", 0}, {"CENTER", 1}, {"RIGHT", 2}};
const KeywordPair kBoundaryWords[] = {{"IMAGE", 0}, {"FRAME", 1}};
const KeywordPair kPositionWords[] = {{"TOPLEFT", 0},    {"TOPCENTER", 1},    {"TOPRIGHT", 2},
                                      {"MIDDLELEFT", 3}, {"MIDDLECENTER", 4}, {"MIDDLERIGHT", 5},
                                      {"BOTTOMLEFT", 6}, {"BOTTOMCENTER", 7}, {"BOTTOMRIGHT", 8}};
const KeywordPair kSizeWords[] = {{"FIXED", 0}};
const KeywordPair kTimestampWords[] = {{"CURRENT", 0}, {"ORIGINAL", 1}, {"CUSTOM", 2}};
const KeywordPair kEmfPlusWords[] = {{"AUTO", 0}, {"NEVER", 1}, {"PREFER", 2}};

const std::span<const KeywordPair> kKeywordTables[KeywordTableCount] = {
    kDdsLoadAsWords,       kRawLoadAsWords,   kFrameLoadingWords,
    kToneMappingWords,     kCompressionWords, kColorTableWords,
    kColorModelWords,      kChromaWords,      kJpgSaveAsWords,
    kRotationTypeWords,    kSizeUnitWords,    kResizeTypeWords,
    kResizeAlgorithmWords, kFrameKindWords,   kWatermarkKindWords,
    kFontStyleWords,       kFontEffectWords,  kAlignmentWords,
    kBoundaryWords,        kPositionWords,    kSizeWords,
    kTimestampWords,       kEmfPlusWords};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string TrimUpper(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b]))
        ++b;
    while (e > b && IsBlank(text[e - 1]))
        --e;
    return UpperAscii(text.substr(b, e - b));
}

} // namespace

int64_t ParseInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i < text.size() && text[i] == '%') {
        base = 2;
        ++i;
    }
    // Unsigned arithmetic wraps silently, as the reader must.
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            break;
        if (digit >= base)
            break;
        value = value * base + digit;
    }
    if (negative)
        value = ~value + 1;
    return static_cast<int64_t>(value);
}

float ParseReal(std::string_view text) {
    if (EqualsIgnoreCase(text, "+Infinity"))
        return std::numeric_limits<float>::infinity();
    if (EqualsIgnoreCase(text, "-Infinity"))
        return -std::numeric_limits<float>::infinity();
    if (EqualsIgnoreCase(text, "NaN"))
        return std::numeric_limits<float>::quiet_NaN();

    // Read [blanks][sign]digits[.digits][e[sign]digits] by hand so the process locale never
    // changes the decimal separator.
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    std::string number;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        number += text[i++];
    bool digits = false;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        number += text[i++];
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        number += text[i++];
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            number += text[i++];
            digits = true;
        }
    }
    if (!digits)
        return 0.0f;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '-' || text[j] == '+'))
            exponent += text[j++];
        bool expDigits = false;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
            exponent += text[j++];
            expDigits = true;
        }
        if (expDigits)
            number += exponent;
    }
    // from_chars never looks at the locale; it rounds the decimal text straight to float.
    float value = 0.0f;
    const char* begin = number.c_str();
    if (*begin == '+')
        ++begin;
    const char* end = number.c_str() + number.size();
    if (std::from_chars(begin, end, value).ec != std::errc::result_out_of_range)
        return value;
    // Beyond float's range: overflow gives infinity and underflow zero, as the C reader does.
    long double wide = 0.0L;
    bool huge;
    if (std::from_chars(begin, end, wide).ec == std::errc{})
        huge = std::fabs(wide) > 1.0L;
    else
        huge = number.find("e-") == std::string::npos && number.find("0.") != 0 &&
               number.find("-0.") != 0;
    if (!huge)
        return number[0] == '-' ? -0.0f : 0.0f;
    return number[0] == '-' ? -std::numeric_limits<float>::infinity()
                            : std::numeric_limits<float>::infinity();
}

int32_t ParseKeyword(KeywordTable table, std::string_view text) {
    const int index = static_cast<int>(table);
    if (index < 0 || index >= KeywordTableCount)
        return 0;
    const std::string word = TrimUpper(text);
    for (const KeywordPair& p : kKeywordTables[index])
        if (word == p.word)
            return p.number;
    return 0;
}

std::string KeywordName(KeywordTable table, int32_t number, std::string_view formatId) {
    const int index = static_cast<int>(table);
    if (index < 0 || index >= KeywordTableCount)
        return {};
    std::span<const KeywordPair> pairs = kKeywordTables[index];
    if (table == KeywordTable::Compression) {
        // Each format's own words: NONE plus its group.
        static const char* const kBmp[] = {"NONE", "RLE"};
        static const char* const kExr[] = {"NONE", "ZIP", "PIZ", "PXR24", "B44"};
        static const char* const kPng[] = {"NONE", "ZLIB1", "ZLIB6", "ZLIB9"};
        static const char* const kTiff[] = {"NONE",     "CCITTFAX3", "CCITTFAX4",
                                            "PACKBITS", "DEFLATE",   "ADOBEDEFLATE",
                                            "LZW",      "JPEG",      "LOGLUV"};
        std::span<const char* const> words;
        if (EqualsIgnoreCase(formatId, "bmp") || EqualsIgnoreCase(formatId, "tga"))
            words = kBmp;
        else if (EqualsIgnoreCase(formatId, "exr"))
            words = kExr;
        else if (EqualsIgnoreCase(formatId, "png"))
            words = kPng;
        else if (EqualsIgnoreCase(formatId, "tiff"))
            words = kTiff;
        for (const char* w : words)
            if (ParseKeyword(KeywordTable::Compression, w) == number)
                return w;
        if (!words.empty())
            return {};
    }
    for (const KeywordPair& p : pairs)
        if (p.number == number)
            return p.word;
    return {};
}

} // namespace qm
