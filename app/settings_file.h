// config.ini: the settings of the windowed interface kept between runs.
#pragma once

#include <string>
#include <string_view>

#include "core/settings.h"

namespace qm {

/// Reads the file at s.ConfigPath into s. Keys the file lacks take their defaults (General/CFG
/// reads 0, Window/X and Window/Y read 100); older layouts are migrated. When the file cannot
/// be opened s gets the defaults of ResetSettings(s, 0). Returns 1 when the file was read, 0
/// when the defaults were used instead.
int LoadSettings(SettingsRecord& s);
/// LoadSettings on the global Settings.
int LoadSettings();

/// Fills s from the text of a settings file as LoadSettings does once the file is open.
void ReadSettingsText(std::string_view text, SettingsRecord& s);

/// The whole text of config.ini for s: UTF-8 with byte order mark, CR LF line ends.
std::string SettingsFileText(const SettingsRecord& s);

/// Writes s to s.ConfigPath. The new text goes to a temporary file in the same folder, is
/// flushed to disk and then renamed over the old file, so a failed write leaves the old file
/// as it was. Returns 1 on success, 0 when nothing could be written (no message).
int SaveSettings(const SettingsRecord& s);
/// SaveSettings of the global Settings.
int SaveSettings();

} // namespace qm
