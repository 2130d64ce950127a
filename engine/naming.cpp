#include "engine/naming.h"

#include <algorithm>
#include <clocale>
#include <ctime>
#include <locale.h>
#include <random>
#include <wctype.h>

namespace qm {
namespace {

// Case mapping goes through the C library's UTF-8 tables, which cover the whole of Unicode.
locale_t Utf8Locale() {
    static const locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    }();
    return locale;
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when it is not valid.
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& cp) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b0 = byte(i);
    size_t len = b0 < 0x80 ? 1 : (b0 >> 5) == 6 ? 2 : (b0 >> 4) == 14 ? 3 : (b0 >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > text.size())
        return 0;
    cp = len == 1 ? b0 : b0 & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    return len;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Maps the characters of text from character index `from` on (the ones before are copied).
std::string MapCase(std::string_view text, bool upper, size_t from = 0) {
    std::string out;
    out.reserve(text.size());
    size_t index = 0;
    for (size_t i = 0; i < text.size(); ++index) {
        char32_t cp = 0;
        const size_t len = DecodeUtf8(text, i, cp);
        if (len == 0) {
            out += text[i++];
            continue;
        }
        if (index >= from) {
            const wint_t c = static_cast<wint_t>(cp);
            cp = static_cast<char32_t>(upper ? towupper_l(c, Utf8Locale())
                                             : towlower_l(c, Utf8Locale()));
        }
        AppendUtf8(out, cp);
        i += len;
    }
    return out;
}

// First character upper case, the rest lower case.
std::string TitleCase(std::string_view text) {
    const std::string lower = MapCase(text, false, 1);
    char32_t cp = 0;
    const size_t len = lower.empty() ? 0 : DecodeUtf8(lower, 0, cp);
    return len == 0 ? lower : MapCase(lower.substr(0, len), true) + lower.substr(len);
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return out;
}

// The file name of the input without its folder and without its last extension.
std::string BaseName(std::string_view inputPath) {
    std::string_view name = inputPath.substr(inputPath.rfind('/') + 1);
    const size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

// A number padded with "0" on the left to five characters; longer numbers keep their first five.
std::string FiveDigits(int32_t value) {
    std::string text = std::to_string(value);
    if (text.size() < 5)
        text.insert(0, 5 - text.size(), '0');
    return text.substr(0, 5);
}

std::string TwoDigits(int value) {
    return value < 10 ? "0" + std::to_string(value) : std::to_string(value);
}

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm;
}

std::string Folder(const ConversionJobRecord& job, bool keepSubfolders) {
    return keepSubfolders ? job.OutputFolder + job.InputSubfolder : job.OutputFolder;
}

} // namespace

std::string LowerCase(std::string_view text) {
    return MapCase(text, false);
}

std::string UpperCase(std::string_view text) {
    return MapCase(text, true);
}

std::string TokenValue(std::string_view token, const ConversionJobRecord& job) {
    const std::string t = AsciiLower(token);
    const std::string base = BaseName(job.InputPath);
    if (t == "%filename%")
        return base;
    if (t == "%filename[u]%")
        return UpperCase(base);
    if (t == "%filename[l]%")
        return LowerCase(base);
    if (t == "%filename[t]%")
        return TitleCase(base);
    if (t == "%ext%")
        return job.FormatId;
    if (t == "%ext[u]%")
        return UpperCase(job.FormatId);
    if (t == "%ext[t]%")
        return TitleCase(job.FormatId);
    if (t == "%bpp%")
        return std::to_string(job.TargetDepth);
    if (t == "%width%")
        return std::to_string(job.FinalWidth);
    if (t == "%height%")
        return std::to_string(job.FinalHeight);
    if (t == "%rnd%")
        return FiveDigits(job.RandomNumber);
    if (t == "%n%")
        return FiveDigits(job.SuccessCounter);
    // Date and time come from the clock at the moment the token is replaced.
    const std::tm now = LocalNow();
    if (t == "%yyyy%")
        return std::to_string(now.tm_year + 1900);
    if (t == "%mm%")
        return TwoDigits(now.tm_mon + 1);
    if (t == "%dd%")
        return TwoDigits(now.tm_mday);
    if (t == "%hh%")
        return TwoDigits(now.tm_hour);
    if (t == "%ii%")
        return TwoDigits(now.tm_min);
    if (t == "%ss%")
        return TwoDigits(now.tm_sec);
    return {};
}

std::string ExpandToken(std::string_view text, std::string_view token,
                        const ConversionJobRecord& job) {
    if (token.empty())
        return std::string(text);
    const std::string lowerText = AsciiLower(text);
    const std::string lowerToken = AsciiLower(token);
    const std::string value = TokenValue(token, job);
    std::string out;
    size_t pos = 0;
    for (size_t hit; (hit = lowerText.find(lowerToken, pos)) != std::string::npos;
         pos = hit + token.size())
        out.append(text.substr(pos, hit - pos)).append(value);
    out.append(text.substr(pos));
    return out;
}

std::string BuildOutputPath(const ConversionJobRecord& job, const SettingsRecord& s) {
    return Folder(job, s.Advanced.KeepSubfolders) + BuildFileName(job, s);
}

std::string BuildFileName(const ConversionJobRecord& job, const SettingsRecord& s) {
    std::string name = LowerCase(s.Advanced.FilenameMask);
    if (name.empty())
        name = "%filename%.%ext%";
    // Each token works on the text the earlier ones left, so token text that a value brings
    // in is replaced as well when its token comes later.
    for (std::string_view token : NameTokens)
        if (name.find(token) != std::string::npos)
            name = ExpandToken(name, token, job);
    return name;
}

std::string ExpandTokens(std::string_view text, const ConversionJobRecord& job,
                         const SettingsRecord&) {
    if (std::count(text.begin(), text.end(), '%') < 2)
        return std::string(text);
    const std::string original = AsciiLower(text);
    std::string out(text);
    for (std::string_view token : NameTokens)
        if (original.find(token) != std::string::npos)
            out = ExpandToken(out, token, job);
    return out;
}

std::string BuildTempPath(const ConversionJobRecord& job, const SettingsRecord& s) {
    return Folder(job, s.Advanced.KeepSubfolders) + RandomLetters("pirelo", "") + "." +
           job.FormatId;
}

std::string BuildTempPath(const ConversionJobRecord& job) {
    return BuildTempPath(job, Settings);
}

std::string RandomLetters(std::string_view prefix, std::string_view suffix) {
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz";
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    std::string out(prefix);
    for (char digit : std::to_string(static_cast<long long>(now) + tm.tm_gmtoff))
        if (digit >= '0' && digit <= '9')
            out += Letters[digit - '0'];
    thread_local std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, 25);
    for (int i = 0; i < 5; ++i)
        out += Letters[pick(engine)];
    return out.append(suffix);
}

} // namespace qm
