// Fuzz target for the ini reader: config.ini and option profiles.
//
// Any input must load without harm, and the settings file written from it must be stable: read
// back and written again, it gives the same text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/profile.h"
#include "app/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    qm::SettingsRecord loaded;
    qm::ReadSettingsText(text, loaded);
    const std::string written = qm::SettingsFileText(loaded);
    qm::SettingsRecord reloaded;
    qm::ReadSettingsText(written, reloaded);
    if (qm::SettingsFileText(reloaded) != written) {
        std::fputs("settings file text changed on a second round\n", stderr);
        std::abort();
    }

    qm::SettingsRecord profiled;
    qm::ResetSettings(profiled, 1);
    qm::ApplyProfileText(text, profiled);
    return 0;
}
