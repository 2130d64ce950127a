#include "core/text_case.h"

#include <locale.h>
#include <wctype.h>

#include "core/unicode.h"

namespace qm {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Case mapping goes through the C library's UTF-8 tables, which cover the whole of Unicode.
locale_t Utf8Locale() {
    static const locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    }();
    return locale;
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

} // namespace

std::string LowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = Lower(c);
    return result;
}

std::string UpperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = Upper(c);
    return result;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

std::string LowerAsciiWithoutBlanks(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text)
        if (c != ' ' && c != '\t')
            result += Lower(c);
    return result;
}

std::string LowerCase(std::string_view text) {
    return MapCase(text, false);
}

std::string UpperCase(std::string_view text) {
    return MapCase(text, true);
}

std::string TitleCase(std::string_view text) {
    const std::string lower = MapCase(text, false, 1);
    char32_t cp = 0;
    const size_t len = lower.empty() ? 0 : DecodeUtf8(lower, 0, cp);
    return len == 0 ? lower : MapCase(lower.substr(0, len), true) + lower.substr(len);
}

} // namespace qm
