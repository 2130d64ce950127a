// Where the program keeps its per-user files.
#pragma once

#include <string>

namespace qm {

/// The user's configuration folder, $XDG_CONFIG_HOME or else ~/.config, then the folders maker
/// and program, created when missing. Returns the path ending in "/"; creation errors are
/// ignored (reading and writing there then fail). Empty when no home folder is known.
std::string AppDataFolder(const std::string& maker, const std::string& program);

/// The path of config.ini: AppDataFolder("Tarvenix", "pirelo") + "config.ini".
std::string DefaultConfigPath();

} // namespace qm
