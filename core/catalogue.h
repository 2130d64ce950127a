// The built-in message catalogue: every text of the windowed interface and a few console texts,
// addressed by group and key, and the filling of "%s1%".."%s4%" placeholders.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace qm {

/// One pair of the built-in catalogue data: ("_GROUP_", name) opens a group, (key, text) adds
/// an entry to the group opened last, ("_END_", "") ends the data.
struct CataloguePair {
    const char* first;
    const char* second;
};

/// The text returned for a group or key the catalogue does not hold.
inline constexpr const char* NoStringText = "%NO_STRING_ERROR%";

/// The built-in English data, groups in their fixed order, ending with the end marker.
std::span<const CataloguePair> BuiltInCatalogueData();

/// Builds the catalogue from the built-in data, replacing any earlier one. Call once at
/// start-up, before the first lookup.
void LoadCatalogue();

/// Builds the catalogue from the given data (pairs after the end marker are ignored; entries
/// before the first group marker are dropped).
void LoadCatalogue(std::span<const CataloguePair> data);

/// The text of key in group, both matched without regard to letter case; NoStringText when the
/// group or the key does not exist or no catalogue is loaded.
std::string GetText(std::string_view group, std::string_view key);

/// text with every "%s1%".."%s4%" (any letter case) replaced by s1..s4 in that order; an empty
/// value leaves its token in place. An empty text is returned unchanged.
std::string FillPlaceholders(std::string text, std::string_view s1 = {}, std::string_view s2 = {},
                             std::string_view s3 = {}, std::string_view s4 = {});

} // namespace qm
