#include "engine/naming.h"

#include "core/text_case.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <random>

namespace qm {
namespace {

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

std::string TokenValue(std::string_view token, const ConversionJobRecord& job) {
    const std::string t = LowerAscii(token);
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
    const std::string lowerText = LowerAscii(text);
    const std::string lowerToken = LowerAscii(token);
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

std::string NormalPath(const std::string& path) {
    return std::filesystem::path(path).lexically_normal().string();
}

bool OutputPathInFolder(const std::string& path, const std::string& folder) {
    const std::filesystem::path normal = std::filesystem::path(path).lexically_normal();
    if (!normal.has_filename())
        return false;
    const std::filesystem::path below =
        normal.lexically_relative(std::filesystem::path(folder).lexically_normal());
    return !below.empty() && *below.begin() != ".." && *below.begin() != ".";
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
    const std::string original = LowerAscii(text);
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
