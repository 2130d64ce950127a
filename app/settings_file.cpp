#include "app/settings_file.h"

#include "core/text_case.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "app/ini_reader.h"
#include "app/replace_file.h"

namespace qm {

namespace {

// Keys that are read for compatibility but never written back.
struct KeyName {
    std::string_view group;
    std::string_view key;
};
constexpr KeyName kReadOnlyKeys[] = {
    {"Window", "Hide Passwords"},
    {"Window", "Show Single Password"},
    {"Window", "Show Password List"},
    {"Window", "Show Character Set"},
    {"Window", "Show Advanced Options"},
    {"File", "TxtFields"},
    {"File", "CsvDelimiter"},
};

bool IsReadOnlyKey(const SettingKey& k) {
    for (const KeyName& name : kReadOnlyKeys)
        if (name.group == k.group && name.key == k.key)
            return true;
    return false;
}

// The declared keys of one group: SettingKeys()[begin, end).
struct KeyGroup {
    std::string_view name;
    size_t begin;
    size_t end;
    std::span<const SettingKey> Keys() const { return SettingKeys().subspan(begin, end - begin); }
};

std::vector<KeyGroup> KeyGroups() {
    std::vector<KeyGroup> groups;
    const std::span<const SettingKey> keys = SettingKeys();
    for (size_t i = 0; i < keys.size(); ++i)
        if (groups.empty() || groups.back().name != keys[i].group)
            groups.push_back({keys[i].group, i, i + 1});
        else
            groups.back().end = i + 1;
    return groups;
}

// The fields are only read through the pointer; the accessors take a mutable record.
const void* FieldOf(const SettingsRecord& s, const SettingKey& k) {
    return k.field(const_cast<SettingsRecord&>(s));
}

void StoreValue(SettingsRecord& s, const SettingKey& k, std::string_view value) {
    switch (k.type) {
    case SettingType::Int32:
    case SettingType::DateTime:
        *Int32Field(s, k) = IniInteger(value);
        break;
    case SettingType::Int8: // only the low 8 bits are kept
        *Int8Field(s, k) = static_cast<int8_t>(static_cast<uint8_t>(IniInteger(value) & 0xFF));
        break;
    case SettingType::Float32:
        *FloatField(s, k) = IniReal(value);
        break;
    case SettingType::Text:
        *TextField(s, k) = std::string(value);
        break;
    }
}

// Reads the declared keys in one pass over the text. Only the first group of a name counts,
// and within it the first entry of a key.
void ReadKeys(std::string_view text, SettingsRecord& s) {
    const std::span<const SettingKey> keys = SettingKeys();
    const std::vector<KeyGroup> groups = KeyGroups();
    std::vector<std::string_view> keyNames;
    for (const SettingKey& k : keys)
        keyNames.emplace_back(k.key);
    std::vector<bool> groupSeen(groups.size(), false);
    std::vector<bool> keySeen(keys.size(), false);
    const KeyGroup* current = nullptr;

    const auto onGroup = [&](std::string_view name) {
        current = nullptr;
        for (size_t g = 0; g < groups.size(); ++g)
            if (EqualsIgnoreCase(name, groups[g].name)) {
                if (!groupSeen[g])
                    current = &groups[g];
                groupSeen[g] = true;
                return;
            }
    };
    const auto onEntry = [&](std::string_view key, std::string_view value) {
        if (!current)
            return;
        for (size_t i = current->begin; i < current->end; ++i)
            if (EqualsIgnoreCase(key, keyNames[i])) {
                if (!keySeen[i])
                    StoreValue(s, keys[i], value);
                keySeen[i] = true;
                return;
            }
    };
    ForEachIniLine(text, onGroup, onEntry);
}

void ExpandDelimiterWord(std::string& delimiter) {
    if (EqualsIgnoreCase(delimiter, "tab"))
        delimiter = "\t";
    else if (EqualsIgnoreCase(delimiter, "space"))
        delimiter = " ";
    else if (EqualsIgnoreCase(delimiter, "crlf"))
        delimiter = "\r\n";
}

// Files written by older versions of the program.
void MigrateLayout(SettingsRecord& s) {
    if (s.General.CFG < 11 && s.Advanced.FilenameMask.find("%ext%") == std::string::npos)
        s.Advanced.FilenameMask += ".%ext%";
    if (s.General.CFG < 14 && s.Input.RAWLoadAs != 0)
        s.Input.RAWLoadAs = static_cast<int32_t>(static_cast<uint32_t>(s.Input.RAWLoadAs) + 2u);
}

std::string FloatText(float value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Infinity" : "-Infinity";
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                      std::chars_format::fixed, 6);
    return std::string(buffer, result.ptr);
}

// A text value must stay on its line; a line break inside it would start a new entry.
std::string SingleLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

std::string ValueText(const SettingsRecord& s, const SettingKey& k) {
    const void* field = FieldOf(s, k);
    switch (k.type) {
    case SettingType::Int32:
    case SettingType::DateTime:
        return std::to_string(*static_cast<const int32_t*>(field));
    case SettingType::Int8:
        return std::to_string(int{*static_cast<const int8_t*>(field)});
    case SettingType::Float32:
        return FloatText(*static_cast<const float*>(field));
    case SettingType::Text:
        return SingleLine(*static_cast<const std::string*>(field));
    }
    return {};
}

void AppendEntry(std::string& out, const SettingsRecord& s, const SettingKey& k) {
    out += k.key;
    out += " = ";
    out += std::string_view(k.key) == "CFG" ? "18" : ValueText(s, k);
    out += "\r\n";
}

// Input and Output hold "Format" and keys for one format each, named by the format's
// identifier in upper case ("JPG Quality"). Those are written for the formats of the list only,
// in the list's order.
void AppendFormatKeys(std::string& out, const SettingsRecord& s, std::span<const SettingKey> keys,
                      const std::vector<std::string>& formats) {
    for (const SettingKey& k : keys)
        if (std::string_view(k.key) == "Format")
            AppendEntry(out, s, k);
    for (const std::string& id : formats)
        for (const SettingKey& k : keys) {
            const std::string_view key = k.key;
            if (key.size() > id.size() && key[id.size()] == ' ' &&
                EqualsIgnoreCase(key.substr(0, id.size()), id))
                AppendEntry(out, s, k);
        }
}

} // namespace

void ReadSettingsText(std::string_view text, SettingsRecord& s) {
    ResetSettings(s, 0);
    s.General.CFG = 0;
    s.Window.X = 100;
    s.Window.Y = 100;
    text = WithoutByteOrderMark(text);
    ReadKeys(text, s);
    ExpandDelimiterWord(s.File.CsvDelimiter);
    MigrateLayout(s);
}

int LoadSettings(SettingsRecord& s) {
    std::string text;
    if (s.ConfigPath.empty() || !ReadIniFile(s.ConfigPath, text)) {
        ResetSettings(s, 0);
        return 0;
    }
    ReadSettingsText(text, s);
    return 1;
}

int LoadSettings() {
    return LoadSettings(Settings);
}

std::string SettingsFileText(const SettingsRecord& s) {
    std::string out = "\xEF\xBB\xBF\r\n";
    for (const KeyGroup& g : KeyGroups()) {
        const std::string_view group = g.name;
        const std::span<const SettingKey> keys = g.Keys();
        out += "[";
        out += group;
        out += "]\r\n";
        if (group == "Input") {
            AppendFormatKeys(out, s, keys, InputFormats);
        } else if (group == "Output") {
            AppendFormatKeys(out, s, keys, OutputFormats);
        } else if (group != "Window" || s.General.SaveWindowPosition == 1) {
            for (const SettingKey& k : keys)
                if (!IsReadOnlyKey(k))
                    AppendEntry(out, s, k);
        }
        out += "; \r\n";
    }
    return out;
}

int SaveSettings(const SettingsRecord& s) {
    return ReplaceFileContents(s.ConfigPath, SettingsFileText(s)) ? 1 : 0;
}

int SaveSettings() {
    return SaveSettings(Settings);
}

} // namespace qm
