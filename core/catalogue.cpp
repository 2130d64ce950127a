#include "core/catalogue.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <numeric>
#include <vector>

namespace qm {

namespace {

struct CatalogueGroup {
    std::string Name; // upper case
    int32_t FirstEntry = 1;
    int32_t LastEntry = 0;
    std::array<int32_t, 256> FirstLetterIndex{};
};

// Groups and entries are numbered from 1; slot 0 of each stands for "none".
struct Catalogue {
    std::vector<CatalogueGroup> groups;
    std::vector<std::string> entryKeys;
    std::vector<std::string> entryTexts;
};

Catalogue g_catalogue;
std::atomic<int32_t> g_lastGroup{0};

std::string UpperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return result;
}

bool IsMarker(const char* text, std::string_view marker) {
    return text != nullptr && UpperAscii(text) == marker;
}

// The code of the first character of a UTF-8 key, or -1 when the key is empty or that character
// lies outside the 256 slots of the first-letter index.
int FirstCharCode(std::string_view key) {
    if (key.empty())
        return -1;
    const auto lead = static_cast<unsigned char>(key[0]);
    if (lead < 0x80)
        return lead;
    if ((lead == 0xC2 || lead == 0xC3) && key.size() > 1) {
        const auto next = static_cast<unsigned char>(key[1]);
        if ((next & 0xC0) == 0x80)
            return ((lead & 0x1F) << 6) | (next & 0x3F);
    }
    return -1;
}

// Sorts one group's run by key (texts move with their keys) and fills its first-letter index.
void SortAndIndex(Catalogue& cat, CatalogueGroup& group) {
    const int32_t first = group.FirstEntry;
    const int32_t count = group.LastEntry - first + 1;
    if (count <= 0)
        return;
    std::vector<int32_t> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), first);
    std::stable_sort(order.begin(), order.end(),
                     [&](int32_t a, int32_t b) { return cat.entryKeys[a] < cat.entryKeys[b]; });
    std::vector<std::string> keys, texts;
    for (int32_t n : order) {
        keys.push_back(std::move(cat.entryKeys[n]));
        texts.push_back(std::move(cat.entryTexts[n]));
    }
    int previous = -2;
    for (int32_t i = 0; i < count; ++i) {
        cat.entryKeys[first + i] = std::move(keys[i]);
        cat.entryTexts[first + i] = std::move(texts[i]);
        const int code = FirstCharCode(cat.entryKeys[first + i]);
        if (code != previous && code >= 0)
            group.FirstLetterIndex[code] = first + i;
        previous = code;
    }
}

// Replaces every occurrence of a 4-character token, matched without regard to letter case.
void ReplaceToken(std::string& text, std::string_view token, std::string_view value) {
    const std::string upperToken = UpperAscii(token);
    std::string result;
    size_t pos = 0;
    while (pos < text.size()) {
        if (text.size() - pos >= token.size() &&
            UpperAscii(std::string_view(text).substr(pos, token.size())) == upperToken) {
            result += value;
            pos += token.size();
        } else {
            result += text[pos++];
        }
    }
    text = std::move(result);
}

} // namespace

void LoadCatalogue() {
    LoadCatalogue(BuiltInCatalogueData());
}

void LoadCatalogue(std::span<const CataloguePair> data) {
    // First pass: how many groups and entries the data holds up to its end marker.
    size_t groupCount = 0, entryCount = 0;
    bool inGroup = false;
    for (const CataloguePair& pair : data) {
        if (IsMarker(pair.first, "_END_"))
            break;
        if (IsMarker(pair.first, "_GROUP_")) {
            ++groupCount;
            inGroup = true;
        } else if (inGroup) {
            ++entryCount;
        }
    }

    Catalogue cat;
    cat.groups.reserve(groupCount + 1);
    cat.groups.emplace_back(); // slot 0: no group
    cat.entryKeys.reserve(entryCount + 1);
    cat.entryTexts.reserve(entryCount + 1);
    cat.entryKeys.emplace_back();
    cat.entryTexts.emplace_back();

    // Second pass: groups take contiguous runs of entry numbers.
    int32_t n = 0;
    for (const CataloguePair& pair : data) {
        if (IsMarker(pair.first, "_END_"))
            break;
        if (IsMarker(pair.first, "_GROUP_")) {
            if (cat.groups.size() > 1)
                cat.groups.back().LastEntry = n;
            CatalogueGroup group;
            group.Name = UpperAscii(pair.second ? pair.second : "");
            group.FirstEntry = n + 1;
            group.LastEntry = n;
            cat.groups.push_back(std::move(group));
        } else if (cat.groups.size() > 1 && pair.first != nullptr) {
            ++n;
            cat.entryKeys.push_back(UpperAscii(pair.first));
            cat.entryTexts.emplace_back(pair.second ? pair.second : "");
        }
    }
    if (cat.groups.size() > 1)
        cat.groups.back().LastEntry = n;

    for (size_t g = 1; g < cat.groups.size(); ++g)
        SortAndIndex(cat, cat.groups[g]);
    g_catalogue = std::move(cat);
    g_lastGroup = 0;
}

std::string GetText(std::string_view group, std::string_view key) {
    const std::string upperGroup = UpperAscii(group);
    const std::string upperKey = UpperAscii(key);
    const Catalogue& cat = g_catalogue;
    if (cat.groups.size() < 2)
        return NoStringText;

    // Repeated lookups in one group cost one comparison.
    int32_t last = g_lastGroup.load(std::memory_order_relaxed);
    if (last <= 0 || static_cast<size_t>(last) >= cat.groups.size() ||
        cat.groups[last].Name != upperGroup) {
        last = 0;
        for (size_t g = 1; g < cat.groups.size(); ++g)
            if (cat.groups[g].Name == upperGroup) {
                last = static_cast<int32_t>(g);
                break;
            }
        g_lastGroup.store(last, std::memory_order_relaxed);
    }
    if (last == 0)
        return NoStringText;

    const CatalogueGroup& found = cat.groups[last];
    const int code = FirstCharCode(upperKey);
    if (code < 0)
        return NoStringText;
    for (int32_t i = found.FirstLetterIndex[code]; i > 0 && i <= found.LastEntry; ++i) {
        const int cmp = upperKey.compare(cat.entryKeys[i]);
        if (cmp == 0)
            return cat.entryTexts[i];
        if (cmp < 0)
            break;
    }
    return NoStringText;
}

std::string FillPlaceholders(std::string text, std::string_view s1, std::string_view s2,
                             std::string_view s3, std::string_view s4) {
    if (text.empty())
        return text;
    const std::string_view values[] = {s1, s2, s3, s4};
    const char* const tokens[] = {"%s1%", "%s2%", "%s3%", "%s4%"};
    for (int v = 0; v < 4; ++v)
        if (!values[v].empty())
            ReplaceToken(text, tokens[v], values[v]);
    return text;
}

} // namespace qm
