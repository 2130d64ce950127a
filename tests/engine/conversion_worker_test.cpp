#include "engine/conversion_worker.h"

#include <gtest/gtest.h>

#include <FreeImage.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "core/formats.h"
#include "tests/engine/test_metafile.h"

using namespace qm;
namespace fs = std::filesystem;

namespace {

// The next allocation through operator new fails when set, as a large one does on a machine
// out of memory.
std::atomic<bool> g_failNextAllocation{false};

} // namespace

// The replacements pair malloc with free; GCC can't see that through inlined allocators.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(size_t size) {
    void* p = g_failNextAllocation.exchange(false) ? nullptr : std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}
// Every form is replaced, so that no allocation of the sanitizer's own new is freed here.
void* operator new[](size_t size) {
    return ::operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return ::operator new(size, std::nothrow);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace {

class WorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        BuildOutputFormats();
        m_root = fs::temp_directory_path() /
                 ("qm_worker_" + std::to_string(getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root / "in" / "a" / "b");
        fs::create_directories(m_root / "out");
        ResetSettings(m_settings, 1);
        m_job.OutputFolder = (m_root / "out").string() + "/";
        m_job.FormatId = "png";
        m_job.FormatCode = FormatCode("png");
        m_job.AutoDepth = 1;
        m_job.ConsoleRun = 1;
        m_job.RunMode = "DEBUG";
        m_job.SuccessCounter = 1;
    }
    void TearDown() override { fs::remove_all(m_root); }

    std::string AddGood(const std::string& relative, const std::string& subfolder = "") {
        const std::string path = (m_root / "in" / relative).string();
        EXPECT_TRUE(test::TwoRectangles().Write(path));
        m_inputs[path].Subfolder = subfolder;
        return path;
    }
    std::string AddBroken(const std::string& relative) {
        const std::string path = (m_root / "in" / relative).string();
        std::ofstream(path) << "this is not a metafile";
        m_inputs[path];
        return path;
    }

    int32_t RunWorker() {
        WorkerContext ctx{m_job,
                          m_progress,
                          m_lock,
                          m_inputs,
                          m_settings,
                          [this](std::string_view line) { m_lines.emplace_back(line); },
                          [this](std::string_view line) { m_errors.emplace_back(line); }};
        return RunConversionWorker(ctx);
    }

    static unsigned ReadBackWidth(const std::string& path) {
        FIBITMAP* dib = FreeImage_Load(FIF_PNG, path.c_str());
        if (!dib)
            return 0;
        const unsigned width = FreeImage_GetWidth(dib);
        FreeImage_Unload(dib);
        return width;
    }

    fs::path m_root;
    SettingsRecord m_settings;
    ConversionJobRecord m_job;
    ConversionProgressRecord m_progress;
    std::mutex m_lock;
    InputListMap m_inputs;
    std::vector<std::string> m_lines;
    std::vector<std::string> m_errors;
};

time_t MTime(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mtim.tv_sec;
}

} // namespace

TEST_F(WorkerTest, ABrokenFileIsCountedOutAndTheRunGoesOn) {
    const std::string first = AddGood("first.emf");
    const std::string broken = AddBroken("broken.emf");
    const std::string last = AddGood("a/b/last.emz.emf", "a/b/");

    EXPECT_EQ(RunWorker(), 2);
    EXPECT_EQ(m_progress.FilesConverted, 2);
    EXPECT_EQ(m_progress.FilesStarted, 3);
    EXPECT_EQ(m_progress.CurrentFile, last);
    EXPECT_EQ(m_job.SuccessCounter, 3);

    const std::string out = m_job.OutputFolder;
    const std::vector<std::string> expected = {"Processing: " + first,
                                               "Saving As: " + out + "first.png",
                                               "OK",
                                               "Processing: " + broken,
                                               "Saving As: ",
                                               "Not OK",
                                               "Processing: " + last,
                                               "Saving As: " + out + "a/b/last.emz.png",
                                               "OK"};
    EXPECT_EQ(m_lines, expected);
    EXPECT_EQ(m_errors, std::vector<std::string>{broken + ": not a metafile"});
    EXPECT_EQ(ReadBackWidth(out + "first.png"), 201u);
    EXPECT_EQ(ReadBackWidth(out + "a/b/last.emz.png"), 201u); // subfolders created
    EXPECT_FALSE(fs::exists(out + "broken.png"));
}

TEST_F(WorkerTest, AFolderThatCannotBeCreatedIsTheReasonOfTheFailedWrite) {
    m_settings.Advanced.KeepSubfolders = 1;
    std::ofstream((m_root / "out" / "a").string()) << "a file where a folder belongs";
    const std::string good = AddGood("a/b/good.emf", "a/b/");
    const std::string broken = AddBroken("a/b/broken.emf");
    m_inputs[broken].Subfolder = "a/b/";

    EXPECT_EQ(RunWorker(), 0);
    ASSERT_EQ(m_errors.size(), 2u);
    EXPECT_TRUE(m_errors[0].starts_with(good + ": cannot create the output folder " +
                                        m_job.OutputFolder + "a/: "))
        << m_errors[0];
    // A file that fails before writing keeps its own reason.
    EXPECT_EQ(m_errors[1], broken + ": not a metafile");
}

TEST_F(WorkerTest, RunningOutOfMemoryFailsOnlyThatFile) {
    const std::string first = AddGood("first.emf");
    const std::string starved = AddGood("starved.emf");
    AddGood("last.emf");
    WorkerContext ctx{m_job,
                      m_progress,
                      m_lock,
                      m_inputs,
                      m_settings,
                      [&](std::string_view line) {
                          // Memory runs out while the middle file converts.
                          if (line == "Processing: " + starved)
                              g_failNextAllocation = true;
                      },
                      [this](std::string_view line) { m_errors.emplace_back(line); }};
    EXPECT_EQ(RunConversionWorker(ctx), 2);
    EXPECT_EQ(m_progress.FilesStarted, 3);
    EXPECT_TRUE(fs::exists(m_job.OutputFolder + "first.png"));
    EXPECT_FALSE(fs::exists(m_job.OutputFolder + "starved.png"));
    EXPECT_TRUE(fs::exists(m_job.OutputFolder + "last.png"));
    EXPECT_EQ(m_errors, std::vector<std::string>{starved + ": out of memory"});
}

TEST_F(WorkerTest, DiagnosticsOnlyInADebugConsoleRun) {
    AddGood("first.emf");
    m_job.RunMode = "debug";
    EXPECT_EQ(RunWorker(), 1);
    EXPECT_TRUE(m_lines.empty());
}

TEST_F(WorkerTest, AStopRequestEndsTheRunBeforeTheNextFile) {
    AddGood("first.emf");
    m_progress.KeepRunning = 0;
    EXPECT_EQ(RunWorker(), 0);
    EXPECT_EQ(m_progress.FilesStarted, 0);
    EXPECT_FALSE(fs::exists(m_job.OutputFolder + "first.png"));
}

TEST_F(WorkerTest, AClosedPauseGateHoldsTheWorkerBeforeTheNextFile) {
    AddGood("first.emf");
    AddGood("second.emf");
    m_job.RunMode.clear();
    m_progress.Pause.Close();
    std::thread worker([this] { RunWorker(); });
    // The worker waits at the gate before its first file and starts nothing meanwhile.
    while (m_progress.Pause.Waits() == 0)
        std::this_thread::yield();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        EXPECT_EQ(m_progress.FilesStarted, 0);
    }
    // The answer to the question lands before the gate opens: no file is taken.
    m_progress.KeepRunning = 0;
    m_progress.Pause.Open();
    worker.join();
    EXPECT_EQ(m_progress.FilesStarted, 0);
    EXPECT_EQ(m_progress.FilesConverted, 0);
}

TEST_F(WorkerTest, AnOpenedPauseGateLetsTheRunGoOn) {
    AddGood("first.emf");
    AddGood("second.emf");
    m_job.RunMode.clear();
    m_progress.Pause.Close();
    std::thread worker([this] { RunWorker(); });
    while (m_progress.Pause.Waits() == 0)
        std::this_thread::yield();
    m_progress.Pause.Open();
    worker.join();
    EXPECT_EQ(m_progress.FilesConverted, 2);
}

TEST_F(WorkerTest, EmzFilesConvert) {
    const std::string plain = (m_root / "plain.emf").string();
    ASSERT_TRUE(test::TwoRectangles().Write(plain));
    const std::string packed = (m_root / "in" / "packed.emz").string();
    ASSERT_EQ(std::system(("gzip -c '" + plain + "' > '" + packed + "'").c_str()), 0);
    m_inputs[packed];
    EXPECT_EQ(RunWorker(), 1);
    EXPECT_EQ(ReadBackWidth(m_job.OutputFolder + "packed.png"), 201u);
}

TEST_F(WorkerTest, SubfoldersAreCreatedOneByOneBelowTheOutputFolder) {
    m_job.InputSubfolder = "x/y/z/";
    CreateOutputSubfolders(m_job);
    EXPECT_TRUE(fs::is_directory(m_root / "out" / "x" / "y" / "z"));

    m_job.InputSubfolder = "../escape/";
    CreateOutputSubfolders(m_job);
    EXPECT_FALSE(fs::exists(m_root / "escape"));
}

TEST_F(WorkerTest, TimestampsCopyTheInputOrSetTheCustomTime) {
    const std::string input = AddGood("first.emf");
    const time_t old = 1500000000; // 2017-07-14
    struct timespec times[2] = {{old, 0}, {old, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, input.c_str(), times, 0), 0);
    const std::string output = m_job.OutputFolder + "first.png";

    m_settings.Advanced.FileTimestamp = 0;
    RunWorker();
    EXPECT_GT(MTime(output), old + 3600);

    m_settings.Advanced.FileTimestamp = 1;
    RunWorker();
    EXPECT_EQ(MTime(output), old);

    // A local clock reading of 2020-01-02 03:04:05 becomes that local time on the file.
    m_settings.Advanced.FileTimestamp = 2;
    m_settings.Advanced.CustomTimestamp = 1577934245;
    RunWorker();
    const time_t stamped = MTime(output);
    struct tm local {};
    localtime_r(&stamped, &local);
    EXPECT_EQ(local.tm_year, 120);
    EXPECT_EQ(local.tm_mon, 0);
    EXPECT_EQ(local.tm_mday, 2);
    EXPECT_EQ(local.tm_hour, 3);
    EXPECT_EQ(local.tm_min, 4);
    EXPECT_EQ(local.tm_sec, 5);
}

TEST_F(WorkerTest, AFailedFileGetsNoTimestampAndDoesNotAdvanceTheCounters) {
    AddBroken("broken.emf");
    m_settings.Advanced.FileTimestamp = 2;
    const int32_t random = m_job.RandomNumber;
    EXPECT_EQ(RunWorker(), 0);
    EXPECT_EQ(m_job.SuccessCounter, 1);
    EXPECT_EQ(m_job.RandomNumber, random);
}

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST_F(WorkerTest, NamesThatLeaveTheOutputFolderFailAndSubfoldersBelowItWork) {
    const std::string input = AddGood("first.emf");
    m_settings.Advanced.FilenameMask = "../%filename%.%ext%";
    EXPECT_EQ(RunWorker(), 0);
    EXPECT_FALSE(fs::exists(m_root / "first.png"));
    ASSERT_EQ(m_errors.size(), 1u);
    EXPECT_EQ(m_errors[0], input + ": the output name " + m_job.OutputFolder +
                               "../first.png leaves the output folder");
    // Down and back up again stays inside; a subfolder below the output folder is fine.
    fs::create_directories(m_root / "out" / "sub");
    m_settings.Advanced.FilenameMask = "sub/../sub/./%filename%.%ext%";
    EXPECT_EQ(RunWorker(), 1);
    EXPECT_EQ(ReadBackWidth(m_job.OutputFolder + "sub/first.png"), 201u);
}

TEST_F(WorkerTest, TheInputFileIsNeverTheOutput) {
    // The mask names the input itself, in the input's own folder.
    const std::string input = AddGood("first.emf");
    const std::string before = ReadAll(input);
    m_job.OutputFolder = (m_root / "in").string() + "/";
    m_settings.Advanced.FilenameMask = "%filename%.emf";
    EXPECT_EQ(RunWorker(), 0);
    EXPECT_EQ(ReadAll(input), before);
    ASSERT_EQ(m_errors.size(), 1u);
    EXPECT_EQ(m_errors[0], input + ": PNG writer: the output name " + input + " is the input file");
    // Nor through a link to it.
    m_job.OutputFolder = (m_root / "out").string() + "/";
    fs::create_symlink(input, m_root / "out" / "first.emf");
    EXPECT_EQ(RunWorker(), 0);
    EXPECT_EQ(ReadAll(input), before);
}

TEST_F(WorkerTest, ALinkAtTheOutputNameIsReplacedNotFollowed) {
    const std::string input = AddGood("first.emf");
    const std::string victim = (m_root / "victim.txt").string();
    m_settings.Advanced.FileTimestamp = 1; // the input's time, which is old
    for (const char* id : {"png", "jxr", "ico", "j2k", "psd", "tiff"}) {
        std::ofstream(victim) << "keep me";
        struct timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, victim.c_str(), times, 0), 0);
        const std::string output = m_job.OutputFolder + "first." + id;
        fs::create_symlink(victim, output);
        m_job.FormatId = id;
        m_job.FormatCode = FormatCode(id);
        EXPECT_EQ(RunWorker(), 1) << id;
        EXPECT_EQ(ReadAll(victim), "keep me") << id;
        EXPECT_EQ(MTime(victim), 1700000000) << id;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(output))) << id;
        EXPECT_EQ(MTime(output), MTime(input)) << id;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(m_root / "out"), {}), 6);
}

TEST_F(WorkerTest, AFifoOrAFolderAtTheOutputNameFailsTheFile) {
    const std::string input = AddGood("first.emf");
    const std::string output = m_job.OutputFolder + "first.png";
    ASSERT_EQ(mkfifo(output.c_str(), 0644), 0);
    EXPECT_EQ(RunWorker(), 0); // and does not wait for a reader
    EXPECT_EQ(m_errors.back(),
              input + ": PNG writer: the output name " + output + " is a special file");
    EXPECT_TRUE(fs::is_fifo(output));
    // An empty folder at the name of a file written through DevIL stays.
    const std::string folder = m_job.OutputFolder + "first.psd";
    fs::create_directory(folder);
    m_job.FormatId = "psd";
    m_job.FormatCode = FormatCode("psd");
    EXPECT_EQ(RunWorker(), 0);
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(m_errors.back(), input + ": PSD writer: the output name " + folder + " is a folder");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_root / "out"), {}), 2); // no leftovers
}

TEST_F(WorkerTest, TwoInputsWithOneOutputNameConvertTheFirstOnly) {
    const std::string plain = AddGood("a.emf");
    const std::string packed = (m_root / "in" / "a.emz").string();
    ASSERT_EQ(std::system(("gzip -c '" + plain + "' > '" + packed + "'").c_str()), 0);
    m_inputs[packed];
    EXPECT_EQ(RunWorker(), 1);
    EXPECT_EQ(m_errors,
              std::vector<std::string>{packed + ": output name already used in this run: " +
                                       m_job.OutputFolder + "a.png"});
    EXPECT_EQ(ReadBackWidth(m_job.OutputFolder + "a.png"), 201u);
    // A new run may write the name again.
    m_inputs.Remove(packed);
    EXPECT_EQ(RunWorker(), 1);
}
