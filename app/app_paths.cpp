#include "app/app_paths.h"

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

std::string HomeFolder() {
    if (const char* home = getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

// The base folder of per-user configuration; a relative $XDG_CONFIG_HOME is ignored.
std::string ConfigHome() {
    if (const char* config = getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        return config;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.config";
}

void EnsureFolder(const std::string& folder, mode_t mode) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0)
        mkdir(folder.c_str(), mode);
}

} // namespace

std::string AppDataFolder(const std::string& maker, const std::string& program) {
    std::string base = ConfigHome();
    if (base.empty())
        return {};
    if (!base.ends_with('/'))
        base += '/';
    EnsureFolder(base, 0700);
    const std::string makerFolder = base + maker + "/";
    EnsureFolder(makerFolder, 0777);
    const std::string programFolder = makerFolder + program + "/";
    EnsureFolder(programFolder, 0777);
    return programFolder;
}

std::string DefaultConfigPath() {
    const std::string folder = AppDataFolder("Tarvenix", "pirelo");
    return folder.empty() ? std::string() : folder + "config.ini";
}

} // namespace qm
