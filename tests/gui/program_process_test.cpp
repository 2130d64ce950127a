// The program as separate processes: one copy at a time, the console without any display, and
// the screenshot mode under a virtual X server. Every process gets its own runtime and
// configuration folders.
#include <gtest/gtest.h>

#include <FreeImage.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "app/single_instance.h"
#include "cli/command_line.h"
#include "tests/engine/test_metafile.h"

namespace fs = std::filesystem;

namespace {

const std::string kProgram = std::string(QM_BINARY_DIR) + "/quellmark";

// True when the process has a handler for SIGTERM (the SigCgt mask of /proc/PID/status).
bool CatchesSigterm(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("SigCgt:"))
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("qm_proc_" + std::to_string(getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        for (const char* sub : {"run", "config", "in", "out", "shots"})
            fs::create_directories(m_dir / sub);
        fs::permissions(m_dir / "run", fs::perms::owner_all, fs::perm_options::replace);
        ASSERT_TRUE(qm::test::TwoRectangles().Write(Path("in/one.emf")));
    }
    void TearDown() override {
        if (m_windowed > 0) {
            kill(m_windowed, SIGKILL);
            waitpid(m_windowed, nullptr, 0);
        }
        fs::remove_all(m_dir);
    }

    std::string Path(const std::string& relative) const { return (m_dir / relative).string(); }

    // The environment prefix of a shell command: this test's own folders, plus `extra`.
    std::string Environment(const std::string& extra = {}) const {
        return "env " + extra + " XDG_RUNTIME_DIR='" + Path("run") + "' XDG_CONFIG_HOME='" +
               Path("config") + "' ";
    }

    // Runs a shell command and returns its standard output; status gets the exit code.
    static std::string Run(const std::string& command, int& status) {
        std::string output;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return output;
        std::array<char, 4096> buffer{};
        size_t n;
        while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            output.append(buffer.data(), n);
        const int result = pclose(pipe);
        status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
        return output;
    }

    std::string ConsoleConversion(int& status) const {
        return Run(Environment("-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM") + "'" +
                       kProgram + "' -i '" + Path("in/one.emf") + "' -o '" + Path("out") +
                       "' -c png </dev/null 2>&1",
                   status);
    }

    // Starts the windowed interface on the offscreen platform and waits until it holds the
    // instance lock.
    bool StartWindowed() {
        m_windowed = fork();
        if (m_windowed == 0) {
            setenv("XDG_RUNTIME_DIR", Path("run").c_str(), 1);
            setenv("XDG_CONFIG_HOME", Path("config").c_str(), 1);
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            freopen("/dev/null", "r", stdin);
            freopen("/dev/null", "w", stdout);
            execl(kProgram.c_str(), kProgram.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        setenv("XDG_RUNTIME_DIR", Path("run").c_str(), 1);
        // Ready when it holds the instance lock and catches SIGTERM (the windowed start).
        const std::string title = qm::TitleWithVersion(qm::ProductTitle, qm::ProgramVersion);
        for (int i = 0; i < 200; ++i) {
            const int lock = qm::AcquireInstance(title);
            if (lock == qm::AnotherInstanceRuns && CatchesSigterm(m_windowed))
                return true;
            qm::ReleaseInstance(lock);
            if (waitpid(m_windowed, nullptr, WNOHANG) == m_windowed) {
                m_windowed = 0;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Closes the window as a logout would (SIGTERM) and returns the exit code.
    int CloseWindowed() {
        kill(m_windowed, SIGTERM);
        int status = 0;
        waitpid(m_windowed, &status, 0);
        m_windowed = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path m_dir;
    pid_t m_windowed = 0;
};

bool DecodesAs(const std::string& path, FREE_IMAGE_FORMAT format, unsigned width, unsigned height) {
    FIBITMAP* dib = FreeImage_Load(format, path.c_str());
    if (!dib)
        return false;
    const bool ok = FreeImage_GetWidth(dib) == width && FreeImage_GetHeight(dib) == height;
    FreeImage_Unload(dib);
    return ok;
}

} // namespace

TEST_F(ProcessTest, AConsoleRunWhileTheWindowIsOpenEndsSilently) {
    // Automatic update checks stay off, so nothing asks a question at start-up.
    fs::create_directories(Path("config/Tarvenix/pirelo"));
    std::ofstream(Path("config/Tarvenix/pirelo/config.ini")) << "[General]\r\nUpdate Range = 5\r\n";

    ASSERT_TRUE(StartWindowed());
    int status = -1;
    EXPECT_EQ(ConsoleConversion(status), "");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fs::is_empty(Path("out")));

    // Closed, the window stores its settings; then the same command converts.
    EXPECT_EQ(CloseWindowed(), 0);
    std::ifstream config(Path("config/Tarvenix/pirelo/config.ini"), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(config)), {});
    EXPECT_NE(text.find("[Window]\r\n"), std::string::npos);
    EXPECT_NE(text.find("Update Range = 5\r\n"), std::string::npos);

    const std::string output = ConsoleConversion(status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(output.find("Quellmark 2.6\n"), std::string::npos) << output;
    EXPECT_TRUE(DecodesAs(Path("out/one.png"), FIF_PNG, 201, 101));
}

TEST_F(ProcessTest, AConsoleRunNeedsNoDisplay) {
    int status = -1;
    const std::string output = ConsoleConversion(status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(output.find("Quellmark 2.6\n"), std::string::npos) << output;
    EXPECT_TRUE(DecodesAs(Path("out/one.png"), FIF_PNG, 201, 101));
    // The console run reads and writes no configuration.
    EXPECT_FALSE(fs::exists(Path("config/Tarvenix/pirelo/config.ini")));
}

TEST_F(ProcessTest, ScreenshotModeUnderAVirtualXServer) {
    if (system("command -v xvfb-run >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xvfb-run is not installed";
    int status = -1;
    Run(Environment("-u WAYLAND_DISPLAY -u QT_QPA_PLATFORM") + "xvfb-run -a '" + kProgram +
            "' -T '" + Path("shots") + "' </dev/null >/dev/null 2>&1",
        status);
    EXPECT_EQ(status, 0);

    const std::string big = Path("shots/pirelo1.jpg");
    const std::string small = Path("shots/pirelo1x.jpg");
    ASSERT_TRUE(DecodesAs(big, FIF_JPEG, 510, 330));
    ASSERT_TRUE(DecodesAs(small, FIF_JPEG, 180, 116)); // 180 * 330 / 510 = 116.5 -> 116

    // Not blank: the picture holds light background and dark text and lines.
    FIBITMAP* dib = FreeImage_Load(FIF_JPEG, big.c_str());
    ASSERT_NE(dib, nullptr);
    int dark = 0, light = 0;
    for (unsigned y = 0; y < FreeImage_GetHeight(dib); ++y)
        for (unsigned x = 0; x < FreeImage_GetWidth(dib); ++x) {
            RGBQUAD c{};
            FreeImage_GetPixelColor(dib, x, y, &c);
            const int level = (c.rgbRed + c.rgbGreen + c.rgbBlue) / 3;
            dark += level < 80;
            light += level > 200;
        }
    FreeImage_Unload(dib);
    EXPECT_GT(dark, 1000);
    EXPECT_GT(light, 50000);

    // A folder that does not exist gives no pictures and no error.
    Run(Environment("-u WAYLAND_DISPLAY -u QT_QPA_PLATFORM") + "xvfb-run -a '" + kProgram +
            "' -T '" + Path("missing") + "' </dev/null 2>&1",
        status);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(fs::exists(Path("missing")));
}
