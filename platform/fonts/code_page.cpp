#include "platform/fonts/code_page.h"

#include "core/unicode.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace qm::fonts {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kLeadByte = 0xFFFFFFFF; // a byte that starts a two-byte character

using Row = std::array<char32_t, 256>;

// The character of one byte sequence in the converter; kLeadByte when the sequence is the
// incomplete start of a longer one, U+FFFD when the page does not define it.
char32_t Convert(iconv_t cd, const char* in, size_t length) {
    char32_t out = 0;
    char* inPtr = const_cast<char*>(in);
    char* outPtr = reinterpret_cast<char*>(&out);
    size_t inLeft = length, outLeft = sizeof(out);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1))
        return errno == EINVAL ? kLeadByte : kReplacement;
    // Some pages (1255, 1258) hold a letter back for marks that may follow: the second call
    // lets it out.
    if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == size_t(-1) || outLeft != 0)
        return kReplacement;
    return out;
}

// The characters of one code page, made from iconv's tables as they are first needed: the
// single bytes at once, the trail bytes of each lead byte when that lead byte first comes.
class CodePageTable {
public:
    explicit CodePageTable(int codePage) {
        for (int b = 0; b < 256; ++b)
            m_single[b] = Cp1252ToUnicode(uint8_t(b));
        const std::string name = "CP" + std::to_string(codePage);
        m_cd = iconv_open("UTF-32LE", name.c_str());
        if (m_cd == iconv_t(-1))
            return;
        for (int b = 0; b < 256; ++b) {
            const char in = char(b);
            m_single[b] = Convert(m_cd, &in, 1);
        }
    }
    ~CodePageTable() {
        if (m_cd != iconv_t(-1))
            iconv_close(m_cd);
    }
    CodePageTable(const CodePageTable&) = delete;
    CodePageTable& operator=(const CodePageTable&) = delete;

    char32_t Single(uint8_t b) const { return m_single[b]; }

    char32_t Double(uint8_t lead, uint8_t trail) {
        std::unique_ptr<Row>& row = m_rows[lead];
        if (!row) {
            row = std::make_unique<Row>();
            for (int t = 0; t < 256; ++t) {
                const char in[2] = {char(lead), char(t)};
                const char32_t c = Convert(m_cd, in, 2);
                (*row)[t] = c == kLeadByte ? kReplacement : c;
            }
        }
        return (*row)[trail];
    }

private:
    iconv_t m_cd = iconv_t(-1);
    Row m_single{};
    std::array<std::unique_ptr<Row>, 256> m_rows;
};

} // namespace

int CodePageOfCharSet(uint8_t charSet) {
    switch (charSet) {
    case 128: // SHIFTJIS_CHARSET
        return 932;
    case 129: // HANGUL_CHARSET
        return 949;
    case 130: // JOHAB_CHARSET
        return 1361;
    case 134: // GB2312_CHARSET
        return 936;
    case 136: // CHINESEBIG5_CHARSET
        return 950;
    case 161: // GREEK_CHARSET
        return 1253;
    case 162: // TURKISH_CHARSET
        return 1254;
    case 163: // VIETNAMESE_CHARSET
        return 1258;
    case 177: // HEBREW_CHARSET
        return 1255;
    case 178: // ARABIC_CHARSET
        return 1256;
    case 186: // BALTIC_CHARSET
        return 1257;
    case 204: // RUSSIAN_CHARSET
        return 1251;
    case 222: // THAI_CHARSET
        return 874;
    case 238: // EASTEUROPE_CHARSET
        return 1250;
    case 255: // OEM_CHARSET: the OEM code page of a US system
        return 437;
    default:
        return 0;
    }
}

bool IsDoubleByteCodePage(int codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 ||
           codePage == 1361;
}

std::vector<AnsiChar> DecodeAnsiText(int codePage, std::span<const uint8_t> bytes) {
    std::vector<AnsiChar> out;
    out.reserve(bytes.size());
    if (codePage == 0) {
        for (uint8_t b : bytes)
            out.push_back({Cp1252ToUnicode(b), 1});
        return out;
    }
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<CodePageTable>> tables;
    std::lock_guard lock(mutex);
    std::unique_ptr<CodePageTable>& table = tables[codePage];
    if (!table)
        table = std::make_unique<CodePageTable>(codePage);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char32_t c = table->Single(bytes[i]);
        if (c != kLeadByte) {
            out.push_back({c, 1});
        } else if (i + 1 < bytes.size()) {
            out.push_back({table->Double(bytes[i], bytes[i + 1]), 2});
            ++i;
        } else {
            out.push_back({kReplacement, 1});
        }
    }
    return out;
}

} // namespace qm::fonts
