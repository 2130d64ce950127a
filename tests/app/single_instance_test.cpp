// One copy at a time: the instance lock, and what the windowed interface stores at exit.
#include "app/single_instance.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "app/startup.h"
#include "core/settings.h"

namespace fs = std::filesystem;
using namespace qm;

namespace {

class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("qm_instance_" + std::to_string(getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        if (const char* old = getenv("XDG_RUNTIME_DIR"))
            m_oldRuntime = old;
        setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1);
    }
    void TearDown() override {
        if (m_oldRuntime.empty())
            unsetenv("XDG_RUNTIME_DIR");
        else
            setenv("XDG_RUNTIME_DIR", m_oldRuntime.c_str(), 1);
        fs::remove_all(m_dir);
    }

    fs::path m_dir;
    std::string m_oldRuntime;
};

} // namespace

TEST_F(InstanceTest, TheSecondHolderIsTurnedAwayUntilTheFirstLetsGo) {
    EXPECT_EQ(InstanceLockFolder(), m_dir.string() + "/");
    const int first = AcquireInstance("Quellmark 2.6");
    ASSERT_GE(first, 0);
    EXPECT_TRUE(fs::exists(m_dir / "Quellmark 2.6.lock"));
    EXPECT_EQ(AcquireInstance("Quellmark 2.6"), AnotherInstanceRuns);
    // Another title is another program.
    const int other = AcquireInstance("Quellmark 2.7");
    EXPECT_GE(other, 0);
    ReleaseInstance(other);

    ReleaseInstance(first);
    const int again = AcquireInstance("Quellmark 2.6");
    EXPECT_GE(again, 0);
    ReleaseInstance(again);
}

TEST_F(InstanceTest, AnUnusableLockFileLetsTheProgramRunUnguarded) {
    // A symbolic link is never followed; a folder in the way cannot be opened.
    fs::create_symlink(m_dir / "elsewhere", m_dir / "Linked 1.lock");
    EXPECT_EQ(AcquireInstance("Linked 1"), NoInstanceLock);
    EXPECT_FALSE(fs::exists(m_dir / "elsewhere"));
    fs::create_directories(m_dir / "Folder 1.lock");
    EXPECT_EQ(AcquireInstance("Folder 1"), NoInstanceLock);
    ReleaseInstance(NoInstanceLock);

    // A relative runtime folder is not trusted: the temporary folder serves instead.
    const char* tmp = getenv("TMPDIR");
    const std::string oldTmp = tmp ? tmp : "";
    setenv("XDG_RUNTIME_DIR", "relative/run", 1);
    setenv("TMPDIR", m_dir.c_str(), 1);
    EXPECT_EQ(InstanceLockFolder(), m_dir.string() + "/");
    unsetenv("TMPDIR");
    EXPECT_EQ(InstanceLockFolder(), "/tmp/");
    if (tmp)
        setenv("TMPDIR", oldTmp.c_str(), 1);
}

TEST_F(InstanceTest, TheHistoryIsForgottenAtExitWhenSwitchedOff) {
    SettingsRecord saved = Settings;
    Settings.ConfigPath = (m_dir / "config.ini").string();
    Settings.File.RecentOutFolders = "/kept/\t/also/";
    Settings.Advanced.OutFoldersHistory = 1;
    EXPECT_EQ(SaveWindowedSettings(), 1);
    std::ifstream kept(Settings.ConfigPath, std::ios::binary);
    const std::string keptText((std::istreambuf_iterator<char>(kept)), {});
    EXPECT_NE(keptText.find("Recent Out Folders = /kept/\t/also/\r\n"), std::string::npos);

    Settings.Advanced.OutFoldersHistory = 0;
    EXPECT_EQ(SaveWindowedSettings(), 1);
    EXPECT_EQ(Settings.File.RecentOutFolders, "");
    std::ifstream cleared(Settings.ConfigPath, std::ios::binary);
    const std::string clearedText((std::istreambuf_iterator<char>(cleared)), {});
    EXPECT_EQ(clearedText.find("/kept/"), std::string::npos);
    Settings = saved;
}
