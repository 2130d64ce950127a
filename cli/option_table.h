// The console options that write into the settings record, declared once. The command line and
// option profiles both apply options through this table.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "core/settings.h"

namespace qm {

enum class OptionKind {
    Integer, // read by ParseInteger
    Real,    // read by ParseReal
    Keyword, // read by ParseKeyword with the option's table
    Text,    // stored as given (the command line joins and unquotes it first)
    Flag,    // no value: stores a fixed number
};

struct SettingOption {
    std::string name; // upper case with the leading "--", e.g. "--JPG-QUALITY"
    OptionKind kind;
    int table; // keyword table, -1 for other kinds
    std::function<void(SettingsRecord&, std::string_view)> apply;
};

/// Every option that writes into the settings record, in the command line's matching order.
std::span<const SettingOption> SettingOptions();

/// The option named upperName (already upper case), or nullptr.
const SettingOption* FindSettingOption(std::string_view upperName);

/// Applies the option named upperName with its value text (ignored for flags) to s. False when
/// the name is not a settings option; nothing is changed then.
bool ApplySettingOption(std::string_view upperName, std::string_view value, SettingsRecord& s);

/// True when the option takes a value after "=" (every kind but Flag); false for flags and
/// unknown names.
bool OptionTakesValue(std::string_view upperName);

/// True for options whose value is a text (joined and unquoted by the command line).
bool IsTextOption(std::string_view upperName);

} // namespace qm
