#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

#include "platform/shell/shell_open.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

std::string ReadWhole(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ShellOpen, TheOpenerGetsTheTargetAsOneParameterAndTheCallDoesNotWaitForIt) {
    const fs::path folder = fs::temp_directory_path() / ("qm_shell_" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path opener = folder / "opener";
    const fs::path record = folder / "opened.txt";
    // The stand-in opener takes its time, then writes what it was given.
    std::ofstream(opener) << "#!/bin/sh\nsleep 0.3\nprintf '%s|%s' \"$#\" \"$1\" > \"" +
                                 record.string() + ".part\"\nmv \"" + record.string() +
                                 ".part\" \"" + record.string() + "\"\n";
    fs::permissions(opener, fs::perms::owner_all);

    const std::string target = "mailto:support@example.org?subject=Quellmark 2.6 Feedback";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(StartDetachedOpener(opener.string(), target));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));

    for (int i = 0; i < 100 && !fs::exists(record); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ReadWhole(record), "1|" + target);
    fs::remove_all(folder);
}

TEST(ShellOpen, AStandInOpenerReplacesTheDesktopsOne) {
    std::string seen;
    SetShellOpener([&](const std::string& target) { seen = target; });
    OpenWithShell("/usr/share/doc/quellmark/manual.html");
    SetShellOpener({});
    EXPECT_EQ(seen, "/usr/share/doc/quellmark/manual.html");
}

} // namespace
} // namespace qm
