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

#ifdef QM_FUZZ_REPLAY
// Without libFuzzer: run every file named on the command line, or in a folder named there.
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

int RunFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path = argv[i];
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file())
                    count += RunFile(entry.path());
        } else {
            count += RunFile(path);
        }
    }
    std::printf("%d inputs run\n", count);
    return count > 0 ? 0 : 1;
}
#endif
