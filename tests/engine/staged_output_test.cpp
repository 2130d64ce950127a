#include "engine/staged_output.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using namespace qm;
namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(StagedOutput, AFileTheDiskRefusesIsNeverRenamedOverTheName) {
    const fs::path dir = fs::temp_directory_path() / ("qm_staged_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string output = (dir / "a.png").string();
    std::ofstream(output) << "earlier output";

    // A written file is flushed, then takes the name.
    {
        StagedOutput staged(output, "png");
        ASSERT_FALSE(staged.Path().empty());
        std::ofstream(staged.Path()) << "new output";
        EXPECT_TRUE(staged.Sync());
        EXPECT_TRUE(staged.Commit()) << staged.Error();
    }
    EXPECT_EQ(ReadAll(output), "new output");

    // Flushing fails (a device that cannot be flushed stands in for a disk that fails when the
    // data is written back): the file is not placed and the earlier output stays.
    {
        StagedOutput staged(output, "png");
        const std::string temporary = staged.Path();
        fs::remove(temporary);
        fs::create_symlink("/dev/full", temporary);
        ASSERT_FALSE(staged.Commit());
        EXPECT_EQ(staged.Error().rfind("cannot write " + temporary + " to the disk: ", 0), 0u)
            << staged.Error();
    }
    ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(output)));
    EXPECT_EQ(ReadAll(output), "new output");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1); // nothing left behind
    fs::remove_all(dir);
}
