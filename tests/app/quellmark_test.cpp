// The executable end to end: what a user sees on the console, and the files it writes.
#include <gtest/gtest.h>

#include <FreeImage.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <sys/wait.h>

#include "cli/command_line.h"
#include "core/settings.h"
#include "engine/convert_file.h"
#include "tests/engine/test_metafile.h"

namespace fs = std::filesystem;

namespace {

struct Result {
    std::string output;
    int exitCode = -1;
};

// A runtime folder of this test process's own, so that copies of the program started by tests
// running in parallel do not see each other's instance lock.
const std::string& OwnRuntimeFolder() {
    static const std::string folder = [] {
        const fs::path dir = fs::temp_directory_path() / ("qm_run_" + std::to_string(getpid()));
        fs::create_directories(dir);
        return dir.string();
    }();
    return folder;
}

// Runs the built program with the arguments (already shell-quoted) and no standard input.
// Standard error is read too unless `withErrors` is false; then it goes to errorFile.
Result RunProgram(const std::string& args, bool withErrors = true,
                  const std::string& errorFile = "/dev/null") {
    const std::string command = "XDG_RUNTIME_DIR='" + OwnRuntimeFolder() + "' '" + QM_BINARY_DIR +
                                "/quellmark' " + args + " </dev/null" +
                                (withErrors ? " 2>&1" : " 2>'" + errorFile + "'");
    Result r;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return r;
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        r.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("qm_app_" + std::to_string(getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "in" / "sub");
        fs::create_directories(m_dir / "out");
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string Path(const std::string& relative) const { return (m_dir / relative).string(); }

    fs::path m_dir;
};

} // namespace

TEST(Program, VersionAndHelp) {
    EXPECT_EQ(RunProgram("-v").output, "2.6\n");
    EXPECT_EQ(RunProgram("--VERSION -h").output, "2.6\n");
    const Result help = RunProgram("-h");
    EXPECT_EQ(help.output, Lines(qm::HelpText("quellmark")));
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(RunProgram("-?").output, help.output);
}

TEST(Program, ParseErrorsPrintOneLineAndExitZero) {
    const Result r = RunProgram("-i");
    EXPECT_EQ(r.output, "Error: Incorrect number of parameters\n");
    EXPECT_EQ(r.exitCode, 0);
    // -p waits for a key; with standard input at its end it goes on.
    EXPECT_EQ(RunProgram("-p --input").output, "Error: Incorrect number of parameters\n");
    EXPECT_EQ(RunProgram("--profile=/nonexistent.ini -i x.emf").output,
              "Error: Invalid profile file\n");
}

TEST(Program, WithoutInputNothingIsPrinted) {
    // Without a display the windowed start (when built) can only say so on standard error.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
    const Result r = RunProgram("-o /tmp --jpg-quality=5", false);
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(RunProgram("", false).output, "");
}

TEST_F(ProgramTest, ConvertsAFolderToPngAndReportsEachFile) {
    ASSERT_TRUE(qm::test::TwoRectangles().Write(Path("in/one.emf")));
    ASSERT_TRUE(qm::test::TwoRectangles().Write(Path("in/sub/two.emf")));
    FILE* bad = std::fopen(Path("in/sub/zbad.emf").c_str(), "wb");
    ASSERT_NE(bad, nullptr);
    std::fputs("garbage that is not a metafile", bad);
    std::fclose(bad);

    const Result r =
        RunProgram("-q -d -p -i '" + Path("in") + "' -o '" + Path("out/") + "' -c png");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("Processing: " + Path("in/one.emf") +
                            "\nSaving As: " + Path("out/one.png") + "\nOK\n"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("Processing: " + Path("in/sub/zbad.emf") + "\nSaving As: \nNot OK\n"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("Press any key to exit.\n"), std::string::npos);
    EXPECT_EQ(r.output.find("Quellmark 2.6"), std::string::npos); // quiet: no banner

    for (const char* name : {"out/one.png", "out/sub/two.png"}) {
        FIBITMAP* dib = FreeImage_Load(FIF_PNG, Path(name).c_str());
        ASSERT_NE(dib, nullptr) << name;
        EXPECT_EQ(FreeImage_GetWidth(dib), 201u);
        EXPECT_EQ(FreeImage_GetHeight(dib), 101u);
        FreeImage_Unload(dib);
    }
    EXPECT_FALSE(fs::exists(Path("out/sub/zbad.png")));
}

TEST_F(ProgramTest, SummaryCountsTheConvertedFiles) {
    ASSERT_TRUE(qm::test::TwoRectangles().Write(Path("in/one.emf")));
    const Result r = RunProgram("-i '" + Path("in/one.emf") + "' -o '" + Path("out") + "'");
    EXPECT_NE(r.output.find("Quellmark 2.6\n(c) 2019-2026 Tarvenix\n"), std::string::npos);
    EXPECT_NE(r.output.find("Files converted: 1 of 1\n"), std::string::npos) << r.output;
    FIBITMAP* dib = FreeImage_Load(FIF_BMP, Path("out/one.bmp").c_str()); // no -c: bmp
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(FreeImage_GetWidth(dib), 201u);
    FreeImage_Unload(dib);
}

namespace {

std::string ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Standard output, standard error and the written files of one run.
struct RunOutcome {
    std::string out, err;
    std::map<std::string, std::string> files;
    bool operator==(const RunOutcome&) const = default;
};

} // namespace

TEST_F(ProgramTest, FourThreadsPrintAndWriteExactlyWhatOneThreadDoes) {
    // Our own pictures of very different sizes, a broken file, an empty one, a packed twin of
    // the first (the same output name), and the shared corpus's damaged files where present.
    const auto picture = [&](const std::string& name, int width, int height) {
        qm::test::MetafileBuilder b(width, height);
        b.Fill({width / 5, height / 4, width / 2, height / 2, uint8_t(width), 90, uint8_t(height)});
        ASSERT_TRUE(b.Write(Path("in/" + name)));
    };
    picture("a.emf", 1200, 900);
    picture("b.emf", 30, 10);
    picture("c.emf", 400, 60);
    picture("sub/d.emf", 64, 64);
    picture("sub/e.emf", 8, 700);
    std::ofstream(Path("in/broken.emf")) << "not a metafile at all";
    std::ofstream(Path("in/sub/empty.emf")).flush();
    ASSERT_EQ(
        std::system(("gzip -c '" + Path("in/a.emf") + "' > '" + Path("in/a.emz") + "'").c_str()),
        0);
    const fs::path corrupted = fs::path(QM_SHARED_DIR) / "corpus" / "corrupted";
    if (fs::is_directory(corrupted)) {
        fs::create_directories(Path("in/corrupted"));
        qm::SettingsRecord s;
        for (const auto& entry : fs::directory_iterator(corrupted))
            // Pictures of over 130 megapixels take minutes: left to the corpus benchmarks.
            if (qm::EstimateConversionBytes(entry.path().string(), s) < (uint64_t{64} << 20))
                fs::copy_file(entry.path(), Path("in/corrupted") / entry.path().filename());
    }

    const auto run = [&](const std::string& options) {
        fs::remove_all(Path("out"));
        fs::create_directories(Path("out"));
        const std::string err = Path("stderr.txt");
        RunOutcome r;
        r.out = RunProgram("-d -i '" + Path("in") + "' -o '" + Path("out") + "' -c png " + options,
                           false, err)
                    .output;
        r.err = ReadWhole(err);
        for (const auto& entry : fs::recursive_directory_iterator(Path("out")))
            if (entry.is_regular_file())
                r.files[fs::relative(entry.path(), Path("out")).string()] = ReadWhole(entry.path());
        return r;
    };
    for (const std::string mask : {"%n%_%filename%.%ext%", "%filename%.%ext%"}) {
        const RunOutcome one = run("--threads=1 '--filename-mask=" + mask + "'");
        const RunOutcome four = run("--threads=4 '--filename-mask=" + mask + "'");
        EXPECT_EQ(four.out, one.out) << mask;
        EXPECT_EQ(four.err, one.err) << mask;
        EXPECT_TRUE(four == one) << mask;
        EXPECT_GE(one.files.size(), 5u) << mask;
        EXPECT_NE(one.err.find(Path("in/broken.emf") + ": not a metafile\n"), std::string::npos);
    }
    // The numbers count the written files in the order the inputs are taken.
    const RunOutcome numbered = run("--threads=4 --filename-mask=%n%_%filename%.%ext%");
    int expected = 1;
    for (size_t at = numbered.out.find("Saving As: "); at != std::string::npos;
         at = numbered.out.find("Saving As: ", at + 1)) {
        const size_t end = numbered.out.find('\n', at);
        if (numbered.out.compare(end + 1, 3, "OK\n") != 0)
            continue;
        const std::string name = numbered.out.substr(at, end - at);
        char number[32];
        std::snprintf(number, sizeof number, "/%05d_", expected++);
        EXPECT_NE(name.find(number), std::string::npos) << name;
    }
    EXPECT_EQ(expected - 1, static_cast<int>(numbered.files.size()));
    // The packed twin loses its name to the first.
    const RunOutcome named = run("--threads=4");
    EXPECT_NE(named.err.find(Path("in/a.emz") +
                             ": output name already used in this run: " + Path("out/a.png")),
              std::string::npos)
        << named.err;
}
