#include "platform/fonts/font_match.h"

#include "core/text_case.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <span>
#include <tuple>

namespace qm::fonts {
namespace {

struct Alias {
    const char* windowsName; // normalised
    std::array<const char*, 3> families;
};

// Free fonts with the same advance widths as the Windows face.
constexpr Alias kMetricAliases[] = {
    {"arial", {"Liberation Sans", "Arimo", nullptr}},
    {"helvetica", {"Liberation Sans", "Arimo", nullptr}},
    {"timesnewroman", {"Liberation Serif", "Tinos", nullptr}},
    {"times", {"Liberation Serif", "Tinos", nullptr}},
    {"couriernew", {"Liberation Mono", "Cousine", nullptr}},
    {"courier", {"Liberation Mono", "Cousine", nullptr}},
    {"calibri", {"Carlito", nullptr, nullptr}},
    {"cambria", {"Caladea", nullptr, nullptr}},
    {"arialnarrow", {"Liberation Sans Narrow", nullptr, nullptr}},
};

// Look-alikes for common Windows faces that have no metric-compatible free font.
constexpr Alias kSimilarFaces[] = {
    {"tahoma", {"DejaVu Sans Condensed", "DejaVu Sans", nullptr}},
    {"verdana", {"DejaVu Sans", nullptr, nullptr}},
    {"segoeui", {"Liberation Sans", "Arimo", "DejaVu Sans"}},
    {"microsoftsansserif", {"Liberation Sans", "Arimo", "DejaVu Sans"}},
    {"mssansserif", {"Liberation Sans", "Arimo", "DejaVu Sans"}},
    {"msshelldlg", {"Liberation Sans", "Arimo", "DejaVu Sans"}},
    {"msshelldlg2", {"Liberation Sans", "Arimo", "DejaVu Sans"}},
    {"trebuchetms", {"DejaVu Sans", nullptr, nullptr}},
    {"lucidasansunicode", {"DejaVu Sans", nullptr, nullptr}},
    {"georgia", {"DejaVu Serif", "Liberation Serif", nullptr}},
    {"msserif", {"Liberation Serif", "Tinos", "DejaVu Serif"}},
    {"palatinolinotype", {"Liberation Serif", "Tinos", "DejaVu Serif"}},
    {"bookantiqua", {"Liberation Serif", "Tinos", "DejaVu Serif"}},
    {"consolas", {"Liberation Mono", "Cousine", "DejaVu Sans Mono"}},
    {"lucidaconsole", {"Liberation Mono", "Cousine", "DejaVu Sans Mono"}},
    {"couriernewpsmt", {"Liberation Mono", "Cousine", "DejaVu Sans Mono"}},
    {"fixedsys", {"Liberation Mono", "Cousine", "DejaVu Sans Mono"}},
    {"terminal", {"Liberation Mono", "Cousine", "DejaVu Sans Mono"}},
    {"symbol", {"Liberation Serif", "Tinos", "DejaVu Serif"}},
    {"wingdings", {"DejaVu Sans", nullptr, nullptr}},
    {"wingdings2", {"DejaVu Sans", nullptr, nullptr}},
    {"wingdings3", {"DejaVu Sans", nullptr, nullptr}},
    {"webdings", {"DejaVu Sans", nullptr, nullptr}},
    {"marlett", {"DejaVu Sans", nullptr, nullptr}},
};

// Faces of East Asian, Hebrew and Arabic Windows, by their English and their own names, with
// free fonts of the same script and style (sans for Gothic and Hei, serif for Mincho, Song
// and Ming). Names are lower case without blanks; full-width letters stay as they are.
// MS Gothic sets Latin letters at half the width of its ideographs, one width for all.
constexpr const char* kJpMono[] = {"msgothic", "ｍｓゴシック", "ＭＳゴシック"};
constexpr const char* kJpSans[] = {"mspgothic",  "msuigothic",    "meiryo",         "meiryoui",
                                   "yugothic",   "yugothicui",    "ｍｓｐゴシック", "メイリオ",
                                   "游ゴシック", "ＭＳＰゴシック"};
constexpr const char* kJpSerif[] = {"msmincho",   "mspmincho", "yumincho", "ｍｓ明朝",
                                    "ｍｓｐ明朝", "游明朝",    "ＭＳ明朝", "ＭＳＰ明朝"};
constexpr const char* kScSans[] = {
    "simhei", "microsoftyahei", "microsoftyaheiui", "dengxian", "黑体", "微软雅黑", "等线"};
constexpr const char* kScSerif[] = {"simsun", "nsimsun", "simsun-extb", "kaiti", "fangsong",
                                    "宋体",   "新宋体",  "楷体",        "仿宋"};
constexpr const char* kTcSans[] = {"microsoftjhenghei", "microsoftjhengheiui", "微軟正黑體"};
constexpr const char* kTcSerif[] = {"mingliu", "pmingliu", "mingliu_hkscs", "dfkai-sb",
                                    "細明體",  "新細明體", "標楷體"};
constexpr const char* kKrSans[] = {"malgungothic", "gulim", "gulimche", "dotum", "dotumche",
                                   "맑은고딕",     "굴림",  "굴림체",   "돋움",  "돋움체"};
constexpr const char* kKrSerif[] = {"batang", "batangche", "gungsuh", "gungsuhche",
                                    "바탕",   "바탕체",    "궁서",    "궁서체"};

struct ScriptFaces {
    std::span<const char* const> names;
    std::array<const char*, 3> families;
};

const ScriptFaces kScriptFaces[] = {
    {kJpMono, {"Noto Sans Mono CJK JP", "IPAGothic", "Noto Sans CJK JP"}},
    {kJpSans, {"Noto Sans CJK JP", "IPAPGothic", "DejaVu Sans"}},
    {kJpSerif, {"Noto Serif CJK JP", "IPAMincho", "Noto Sans CJK JP"}},
    {kScSans, {"Noto Sans CJK SC", "WenQuanYi Zen Hei", "DejaVu Sans"}},
    {kScSerif, {"Noto Serif CJK SC", "Noto Sans CJK SC", "AR PL UMing CN"}},
    {kTcSans, {"Noto Sans CJK TC", "WenQuanYi Zen Hei", "DejaVu Sans"}},
    {kTcSerif, {"Noto Serif CJK TC", "Noto Sans CJK TC", "AR PL UMing TW"}},
    {kKrSans, {"Noto Sans CJK KR", "NanumGothic", "DejaVu Sans"}},
    {kKrSerif, {"Noto Serif CJK KR", "NanumMyeongjo", "Noto Sans CJK KR"}},
};

// Hebrew and Arabic faces.
constexpr Alias kRtlFaces[] = {
    {"david", {"David CLM", "Frank Ruehl CLM", nullptr}},
    {"davidtransparent", {"David CLM", nullptr, nullptr}},
    {"frankruehl", {"Frank Ruehl CLM", "David CLM", nullptr}},
    {"miriam", {"Miriam CLM", "Simple CLM", nullptr}},
    {"miriamtransparent", {"Miriam CLM", nullptr, nullptr}},
    {"miriamfixed", {"Miriam Mono CLM", nullptr, nullptr}},
    {"narkisim", {"Nachlieli CLM", "Simple CLM", nullptr}},
    {"rod", {"Simple CLM", nullptr, nullptr}},
    {"aharoni", {"Aharoni CLM", nullptr, nullptr}},
    {"gisha", {"Simple CLM", "Miriam CLM", nullptr}},
    {"levenimmt", {"Simple CLM", "Miriam CLM", nullptr}},
    {"arabictypesetting", {"KacstBook", "KacstOne", "Noto Naskh Arabic"}},
    {"simplifiedarabic", {"KacstBook", "KacstOne", "Noto Naskh Arabic"}},
    {"simplifiedarabicfixed", {"KacstOffice", "KacstBook", nullptr}},
    {"traditionalarabic", {"KacstNaskh", "KacstBook", "Noto Naskh Arabic"}},
    {"arabictransparent", {"KacstBook", "KacstOne", nullptr}},
    {"andalus", {"KacstBook", "KacstOne", nullptr}},
    {"sakkalmajalla", {"KacstNaskh", "KacstBook", nullptr}},
    {"tahomaarabic", {"KacstOne", "KacstBook", nullptr}},
};

// The stand-ins for a face of these scripts, or null.
const std::array<const char*, 3>* ScriptFamilies(const std::string& key) {
    for (const ScriptFaces& s : kScriptFaces)
        for (const char* name : s.names)
            if (key == name)
                return &s.families;
    for (const Alias& a : kRtlFaces)
        if (key == a.windowsName)
            return &a.families;
    return nullptr;
}

// Windows faces with a free look-alike file made to the same metrics, found in the
// look-alike folders rather than through fontconfig (which leaves raster fonts out).
struct LookAlike {
    const char* windowsName; // normalised
    const char* regular;     // raster faces in a file per size: the files, blank-separated
    const char* bold;        // null: bold is synthesised from the regular file
    bool bitmap;
};

// MS Serif began as a bitmap Times: the Adobe Times bitmaps of 75 and 100 dpi give it sizes
// of 9, 11, 12, 14, 15, 17, 19, 20, 26 and 34 pixels.
constexpr const char* kTimesSizes =
    "75dpi/timR08.pcf.gz 100dpi/timR08.pcf.gz 75dpi/timR10.pcf.gz 75dpi/timR12.pcf.gz "
    "75dpi/timR14.pcf.gz 100dpi/timR12.pcf.gz 75dpi/timR18.pcf.gz 100dpi/timR14.pcf.gz "
    "75dpi/timR24.pcf.gz 100dpi/timR24.pcf.gz";
constexpr const char* kTimesBoldSizes =
    "75dpi/timB08.pcf.gz 100dpi/timB08.pcf.gz 75dpi/timB10.pcf.gz 75dpi/timB12.pcf.gz "
    "75dpi/timB14.pcf.gz 100dpi/timB12.pcf.gz 75dpi/timB18.pcf.gz 100dpi/timB14.pcf.gz "
    "75dpi/timB24.pcf.gz 100dpi/timB24.pcf.gz";
// Terminal's character cells: 4 x 6, 8 x 8, 8 x 12 (its usual size), 8 x 16 and 9 x 18 (for
// its 10 x 18).
constexpr const char* kTerminalSizes = "misc/4x6.pcf.gz misc/clR8x8.pcf.gz misc/clR8x12.pcf.gz "
                                       "misc/clR8x16.pcf.gz misc/9x18.pcf.gz";

constexpr LookAlike kLookAlikes[] = {
    {"tahoma", "tahoma.ttf", "tahomabd.ttf", false},
    {"msshelldlg", "tahoma.ttf", "tahomabd.ttf", false},
    {"msshelldlg2", "tahoma.ttf", "tahomabd.ttf", false},
    {"symbol", "symbol.ttf", nullptr, false},
    {"wingdings", "wingding.ttf", nullptr, false},
    {"webdings", "webdings.ttf", nullptr, false},
    {"marlett", "marlett.ttf", nullptr, false},
    {"mssansserif", "sserife.fon", nullptr, true},
    {"courier", "coure.fon", nullptr, true},
    {"system", "vgasys.fon", nullptr, true},
    {"fixedsys", "vgafix.fon", nullptr, true},
    {"smallfonts", "smalle.fon", nullptr, true},
    {"msserif", kTimesSizes, kTimesBoldSizes, true},
    {"terminal", kTerminalSizes, nullptr, true},
};

// The file names of a look-alike entry (one, or one per size).
std::vector<std::string> SplitNames(const char* names) {
    std::vector<std::string> out;
    std::string name;
    for (const char* c = names;; ++c) {
        if (*c == ' ' || *c == 0) {
            if (!name.empty())
                out.push_back(name);
            name.clear();
            if (*c == 0)
                return out;
        } else {
            name.push_back(*c);
        }
    }
}

// The installed file for a name in the look-alike folders; empty when there is none.
std::string FindLookAlikeFile(const char* name) {
    for (const std::string& dir : LookAlikeFontDirs()) {
        std::string path = dir + "/" + name;
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec))
            return path;
    }
    return {};
}

constexpr std::array<const char*, 3> kSwissDefaults = {"Liberation Sans", "Arimo", "DejaVu Sans"};
constexpr std::array<const char*, 3> kRomanDefaults = {"Liberation Serif", "Tinos", "DejaVu Serif"};
constexpr std::array<const char*, 3> kModernDefaults = {"Liberation Mono", "Cousine",
                                                        "DejaVu Sans Mono"};

const Alias* FindAlias(const Alias* begin, const Alias* end, const std::string& key) {
    const Alias* it =
        std::find_if(begin, end, [&](const Alias& a) { return key == a.windowsName; });
    return it == end ? nullptr : it;
}

class FontService {
public:
    bool IsLoadable(const std::string& family) {
        std::lock_guard lock(m_mutex);
        std::string key = LowerAsciiWithoutBlanks(family);
        if (key.empty())
            return false;
        LoadFamilies();
        if (m_families.count(key))
            return true;
        // Raster look-alikes only come in a few pixel sizes, so they do not count.
        if (const LookAlike* l = LookAlikeFile(key, 400).first; l && !l->bitmap)
            return true;
        const Alias* alias = FindAlias(std::begin(kMetricAliases), std::end(kMetricAliases), key);
        return alias && FirstInstalled(alias->families) != nullptr;
    }

    FontMatch Match(const std::string& family, int weight, bool italic, FontHint hint,
                    bool outlineOnly) {
        std::lock_guard lock(m_mutex);
        std::string key = LowerAsciiWithoutBlanks(family);
        auto cacheKey = std::make_tuple(key, weight, italic,
                                        static_cast<int>(hint) * 2 + (outlineOnly ? 1 : 0));
        auto cached = m_cache.find(cacheKey);
        if (cached != m_cache.end())
            return cached->second;
        LoadFamilies();
        FontMatch result = Resolve(family, key, weight, italic, hint, outlineOnly);
        m_cache.emplace(cacheKey, result);
        return result;
    }

private:
    void LoadFamilies() {
        if (m_loaded)
            return;
        m_loaded = true;
        // Outline fonts only: X11 bitmap families (Courier, Times, Helvetica) must not pass
        // for the Windows faces of those names where fontconfig lists bitmap fonts.
        FcPattern* pattern = FcPatternCreate();
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
        FcFontSet* set = FcFontList(nullptr, pattern, objects);
        if (set) {
            for (int i = 0; i < set->nfont; ++i) {
                FcChar8* name = nullptr;
                for (int n = 0;
                     FcPatternGetString(set->fonts[i], FC_FAMILY, n, &name) == FcResultMatch; ++n)
                    m_families.insert(LowerAsciiWithoutBlanks(reinterpret_cast<const char*>(name)));
            }
            FcFontSetDestroy(set);
        }
        FcObjectSetDestroy(objects);
        FcPatternDestroy(pattern);
    }

    const char* FirstInstalled(const std::array<const char*, 3>& families) const {
        for (const char* f : families)
            if (f && m_families.count(LowerAsciiWithoutBlanks(f)))
                return f;
        return nullptr;
    }

    // The look-alike entry and its installed files for a face at a weight: (null, {}) when
    // none is installed.
    std::pair<const LookAlike*, std::vector<std::string>> LookAlikeFile(const std::string& key,
                                                                        int weight) {
        auto it = std::find_if(std::begin(kLookAlikes), std::end(kLookAlikes),
                               [&](const LookAlike& l) { return key == l.windowsName; });
        if (it == std::end(kLookAlikes))
            return {nullptr, {}};
        const char* names = weight >= 600 && it->bold ? it->bold : it->regular;
        std::vector<std::string> files;
        for (const std::string& name : SplitNames(names)) {
            auto cached = m_lookAlikeFiles.find(name);
            if (cached == m_lookAlikeFiles.end())
                cached = m_lookAlikeFiles.emplace(name, FindLookAlikeFile(name.c_str())).first;
            if (!cached->second.empty())
                files.push_back(cached->second);
        }
        if (files.empty())
            return {nullptr, {}};
        return {it, files};
    }

    FontMatch Resolve(const std::string& family, const std::string& key, int weight, bool italic,
                      FontHint hint, bool outlineOnly) {
        if (!m_families.count(key)) {
            auto [lookAlike, files] = LookAlikeFile(key, weight);
            if (lookAlike && !(outlineOnly && lookAlike->bitmap)) {
                FontMatch match;
                match.file = files.front();
                match.moreBitmapFiles.assign(files.begin() + 1, files.end());
                match.family = family;
                match.exact = true;
                match.bitmap = lookAlike->bitmap;
                // Raster faces are emboldened by the drawing code, which knows the weight
                // of the size it picks; the outline files have no italic.
                match.syntheticBold = weight >= 600 && !lookAlike->bitmap && !lookAlike->bold;
                match.syntheticItalic = italic;
                return match;
            }
        }
        std::string chosen;
        bool exact = false;
        if (!key.empty() && m_families.count(key)) {
            chosen = family;
            exact = true;
        } else if (const Alias* a =
                       FindAlias(std::begin(kMetricAliases), std::end(kMetricAliases), key);
                   a && FirstInstalled(a->families)) {
            chosen = FirstInstalled(a->families);
            exact = true;
        } else if (const Alias* s =
                       FindAlias(std::begin(kSimilarFaces), std::end(kSimilarFaces), key);
                   s && FirstInstalled(s->families)) {
            chosen = FirstInstalled(s->families);
        } else if (const auto* script = ScriptFamilies(key); script && FirstInstalled(*script)) {
            chosen = FirstInstalled(*script);
        } else {
            const auto& defaults = hint == FontHint::Roman    ? kRomanDefaults
                                   : hint == FontHint::Modern ? kModernDefaults
                                                              : kSwissDefaults;
            if (const char* f = FirstInstalled(defaults))
                chosen = f;
        }
        FontMatch match = QueryFontconfig(chosen, weight, italic);
        match.exact = exact && !match.file.empty();
        // The substitutes share advance widths with these faces but not their stated
        // average width, which scales glyphs when a logical font asks for a width.
        if (!m_families.count(key)) {
            if (key == "arial" || key == "helvetica")
                match.windowsAvgCharWidth = 904;
            else if (key == "timesnewroman" || key == "times")
                match.windowsAvgCharWidth = 821;
            else if (key == "couriernew" || key == "courier")
                match.windowsAvgCharWidth = 1229;
        }
        return match;
    }

    static FontMatch QueryFontconfig(const std::string& family, int weight, bool italic) {
        FontMatch match;
        int wanted = weight <= 0 ? 400 : std::clamp(weight, 1, 1000);
        FcPattern* pattern = FcPatternCreate();
        if (!family.empty())
            FcPatternAddString(pattern, FC_FAMILY,
                               reinterpret_cast<const FcChar8*>(family.c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(wanted));
        FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* found = FcFontMatch(nullptr, pattern, &result);
        if (found) {
            FcChar8* file = nullptr;
            FcChar8* name = nullptr;
            int index = 0, foundWeight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
            if (FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch)
                match.file = reinterpret_cast<const char*>(file);
            if (FcPatternGetInteger(found, FC_INDEX, 0, &index) == FcResultMatch)
                match.index = index;
            if (FcPatternGetString(found, FC_FAMILY, 0, &name) == FcResultMatch)
                match.family = reinterpret_cast<const char*>(name);
            FcPatternGetInteger(found, FC_WEIGHT, 0, &foundWeight);
            FcPatternGetInteger(found, FC_SLANT, 0, &slant);
            match.syntheticBold = wanted >= 600 && foundWeight < FC_WEIGHT_DEMIBOLD;
            match.syntheticItalic = italic && slant == FC_SLANT_ROMAN;
            FcPatternDestroy(found);
        }
        FcPatternDestroy(pattern);
        return match;
    }

public:
    // An installed font that has the character, preferring the default sans families.
    FontMatch MatchForCharacter(char32_t c, int weight, bool italic) {
        std::lock_guard lock(m_mutex);
        auto key = std::make_tuple(uint32_t(c), weight, italic);
        if (auto it = m_charCache.find(key); it != m_charCache.end())
            return it->second;
        FontMatch match;
        int wanted = weight <= 0 ? 400 : std::clamp(weight, 1, 1000);
        FcPattern* pattern = FcPatternCreate();
        FcCharSet* set = FcCharSetCreate();
        FcCharSetAddChar(set, FcChar32(c));
        FcPatternAddCharSet(pattern, FC_CHARSET, set);
        FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(wanted));
        FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* found = FcFontMatch(nullptr, pattern, &result);
        if (found) {
            FcCharSet* has = nullptr;
            FcChar8* file = nullptr;
            FcChar8* name = nullptr;
            int index = 0;
            // The best match may still lack the character; then there is none.
            if (FcPatternGetCharSet(found, FC_CHARSET, 0, &has) == FcResultMatch &&
                FcCharSetHasChar(has, FcChar32(c)) &&
                FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch) {
                match.file = reinterpret_cast<const char*>(file);
                if (FcPatternGetInteger(found, FC_INDEX, 0, &index) == FcResultMatch)
                    match.index = index;
                if (FcPatternGetString(found, FC_FAMILY, 0, &name) == FcResultMatch)
                    match.family = reinterpret_cast<const char*>(name);
                int foundWeight = FC_WEIGHT_REGULAR;
                FcPatternGetInteger(found, FC_WEIGHT, 0, &foundWeight);
                match.syntheticBold = wanted >= 600 && foundWeight < FC_WEIGHT_DEMIBOLD;
            }
            FcPatternDestroy(found);
        }
        FcCharSetDestroy(set);
        FcPatternDestroy(pattern);
        if (m_charCache.size() < 65536)
            m_charCache.emplace(key, match);
        return match;
    }

private:
    std::map<std::tuple<uint32_t, int, bool>, FontMatch> m_charCache;
    std::mutex m_mutex;
    bool m_loaded = false;
    std::set<std::string> m_families;
    std::map<std::tuple<std::string, int, bool, int>, FontMatch> m_cache;
    std::map<std::string, std::string> m_lookAlikeFiles; // file name -> path or ""
};

FontService& Service() {
    static FontService service;
    return service;
}

} // namespace

std::vector<std::string> LookAlikeFontDirs() {
    std::vector<std::string> dirs;
    if (const char* env = std::getenv("QM_WINDOWS_FONT_DIR"); env && *env)
        dirs.emplace_back(env);
    dirs.emplace_back("/usr/share/wine/fonts");
    dirs.emplace_back("/usr/share/fonts/X11");
    return dirs;
}

bool IsFontLoadable(const std::string& family) {
    return Service().IsLoadable(family);
}

FontMatch MatchFont(const std::string& family, int weight, bool italic, FontHint hint) {
    return Service().Match(family, weight, italic, hint, false);
}

FontMatch MatchOutlineFont(const std::string& family, int weight, bool italic, FontHint hint) {
    return Service().Match(family, weight, italic, hint, true);
}

FontMatch MatchFontForCharacter(char32_t c, int weight, bool italic) {
    return Service().MatchForCharacter(c, weight, italic);
}

FontHint HintFromPitchAndFamily(unsigned pitchAndFamily) {
    switch (pitchAndFamily & 0xF0) {
    case 0x10: // FF_ROMAN
        return FontHint::Roman;
    case 0x30: // FF_MODERN
        return FontHint::Modern;
    case 0x20: // FF_SWISS
        return FontHint::Swiss;
    default:
        return (pitchAndFamily & 0x03) == 1 ? FontHint::Modern : FontHint::Any; // FIXED_PITCH
    }
}

bool IsSymbolFace(const std::string& family) {
    static const std::set<std::string> kSymbolFaces = {"symbol",     "wingdings", "wingdings2",
                                                       "wingdings3", "webdings",  "marlett"};
    return kSymbolFaces.count(LowerAsciiWithoutBlanks(family)) != 0;
}

bool IsBitmapFace(const std::string& family) {
    static const std::set<std::string> kBitmapFaces = {"mssansserif", "msserif",   "msshelldlg",
                                                       "courier",     "system",    "fixedsys",
                                                       "terminal",    "smallfonts"};
    return kBitmapFaces.count(LowerAsciiWithoutBlanks(family)) != 0;
}

} // namespace qm::fonts
