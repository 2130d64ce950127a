#include "app/ini_reader.h"

#include "core/text_case.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <locale.h>
#include <unistd.h>

namespace qm {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The next line from pos, leading blanks and tabs removed; pos moves past its line end.
std::string_view NextLine(std::string_view text, size_t& pos) {
    const size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
    size_t start = pos;
    while (start < end && IsBlank(text[start]))
        ++start;
    pos = end < text.size() ? end + 1 : end;
    return text.substr(start, end - start);
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view GroupName(std::string_view line) {
    line.remove_prefix(1);
    return line.substr(0, line.find(']'));
}

locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

} // namespace

bool ReadIniFile(const std::string& path, std::string& text) {
    text.clear();
    // Opening a FIFO without a writer would wait for one; reading it then just ends.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::string bytes;
    bool ok = true;
    char buffer[65536];
    while (bytes.size() < MaxIniFileSize) {
        const size_t want = std::min(sizeof buffer, MaxIniFileSize - bytes.size());
        const ssize_t got = read(fd, buffer, want);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ok = false; // a folder, or an I/O error
            break;
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    if (!ok)
        return false;
    text = WithoutByteOrderMark(bytes);
    return true;
}

std::string_view WithoutByteOrderMark(std::string_view text) {
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    return text;
}

std::optional<std::string_view> FindIniGroup(std::string_view text, std::string_view name) {
    size_t pos = 0;
    while (pos < text.size()) {
        const std::string_view line = NextLine(text, pos);
        if (line.starts_with('[') && EqualsIgnoreCase(GroupName(line), name))
            return text.substr(pos);
    }
    return std::nullopt;
}

namespace {

// Walks the lines of text; returns at the first group line when group is empty.
void WalkLines(std::string_view text, const std::function<void(std::string_view)>* group,
               const IniEntryVisitor& entry) {
    size_t pos = 0;
    while (pos < text.size()) {
        const std::string_view line = NextLine(text, pos);
        if (line.empty() || line.starts_with(';'))
            continue;
        if (line.starts_with('[')) {
            if (!group)
                return;
            (*group)(GroupName(line));
            continue;
        }
        const size_t equals = line.find('=');
        const std::string_view key = TrimBlanks(line.substr(0, equals));
        const std::string_view value = equals == std::string_view::npos
                                           ? std::string_view()
                                           : TrimBlanks(line.substr(equals + 1));
        entry(key, value);
    }
}

} // namespace

void ForEachIniEntry(std::string_view lines, const IniEntryVisitor& visit) {
    WalkLines(lines, nullptr, visit);
}

void ForEachIniLine(std::string_view text, const std::function<void(std::string_view name)>& group,
                    const IniEntryVisitor& entry) {
    WalkLines(text, &group, entry);
}

int32_t IniInteger(std::string_view value) {
    size_t i = 0;
    while (i < value.size() && (IsBlank(value[i]) || (value[i] >= '\n' && value[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-'))
        negative = value[i++] == '-';
    // Accumulate with a ceiling just past the 32-bit range, so long digit runs cannot overflow.
    constexpr int64_t kCeiling = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t magnitude = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        magnitude = std::min(kCeiling, magnitude * 10 + (value[i] - '0'));
    const int64_t result = negative ? -magnitude : magnitude;
    return static_cast<int32_t>(std::clamp<int64_t>(result, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

float IniReal(std::string_view value) {
    const std::string_view trimmed = TrimBlanks(value);
    if (EqualsIgnoreCase(trimmed, "+Infinity"))
        return std::numeric_limits<float>::infinity();
    if (EqualsIgnoreCase(trimmed, "-Infinity"))
        return -std::numeric_limits<float>::infinity();
    if (EqualsIgnoreCase(trimmed, "NaN"))
        return std::numeric_limits<float>::quiet_NaN();
    const std::string text(value);
    const double number =
        CLocale() ? strtod_l(text.c_str(), nullptr, CLocale()) : strtod(text.c_str(), nullptr);
    if (std::isnan(number))
        return std::numeric_limits<float>::quiet_NaN();
    if (std::fabs(number) > FLT_MAX)
        return number > 0 ? std::numeric_limits<float>::infinity()
                          : -std::numeric_limits<float>::infinity();
    return static_cast<float>(number);
}

} // namespace qm
