// Runs on several threads against runs on one: the same outputs, names, counters and lines.
#include "engine/conversion_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "core/formats.h"
#include "engine/convert_file.h"
#include "engine/memory_budget.h"
#include "tests/engine/test_metafile.h"

using namespace qm;
namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// What a run leaves: its lines, its failure lines, its files and its counters.
struct RunResult {
    std::vector<std::string> lines, errors;
    std::map<std::string, std::string> files; // name below the output folder -> bytes
    int32_t converted = 0, started = 0, successCounter = 0;

    bool operator==(const RunResult&) const = default;
};

class ParallelRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        BuildOutputFormats();
        m_root = fs::temp_directory_path() /
                 ("qm_parallel_" + std::to_string(getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root / "in" / "sub");
        fs::create_directories(m_root / "out");
        ResetSettings(m_settings, 1);
    }
    void TearDown() override { fs::remove_all(m_root); }

    // A metafile of our own: a frame of the given size with a rectangle that tells it apart.
    std::string AddPicture(const std::string& relative, int width, int height,
                           const std::string& subfolder = "") {
        const std::string path = (m_root / "in" / relative).string();
        test::MetafileBuilder b(width, height);
        b.Fill({width / 4, height / 3, width / 2, height / 3, uint8_t(width), 0, uint8_t(height)});
        EXPECT_TRUE(b.Write(path));
        m_inputs[path].Subfolder = subfolder;
        return path;
    }
    std::string AddText(const std::string& relative, const std::string& text) {
        const std::string path = (m_root / "in" / relative).string();
        std::ofstream(path) << text;
        m_inputs[path];
        return path;
    }
    // The same picture gzip-compressed under another extension.
    void AddPacked(const std::string& plain, const std::string& relative) {
        const std::string packed = (m_root / "in" / relative).string();
        ASSERT_EQ(std::system(("gzip -c '" + plain + "' > '" + packed + "'").c_str()), 0);
        m_inputs[packed];
    }
    // The damaged metafiles of the shared corpus, when it is there; those whose pictures are
    // large (over 130 megapixels, minutes a run) are left to the corpus benchmarks.
    void AddCorruptedCorpus() {
        const fs::path folder = fs::path(QM_SHARED_DIR) / "corpus" / "corrupted";
        if (!fs::is_directory(folder))
            return;
        std::vector<std::string> paths;
        for (const auto& entry : fs::directory_iterator(folder))
            paths.push_back(entry.path().string());
        std::sort(paths.begin(), paths.end());
        for (const std::string& path : paths)
            if (EstimateConversionBytes(path, m_settings) < (uint64_t{64} << 20))
                m_inputs[path];
    }

    // Runs over a fresh job and an emptied output folder, as a debug console run does.
    RunResult Run(int32_t threads, const std::function<void(std::string_view)>& onLine = {}) {
        const fs::path out = m_output.empty() ? m_root / "out" : m_output;
        if (m_output.empty()) {
            fs::remove_all(out);
            fs::create_directories(out);
        }
        ConversionJobRecord job;
        job.OutputFolder = out.string() + "/";
        job.FormatId = m_format;
        job.FormatCode = FormatCode(m_format);
        job.AutoDepth = 1;
        job.ConsoleRun = 1;
        job.RunMode = "DEBUG";
        job.SuccessCounter = 1;
        ConversionProgressRecord progress;
        std::mutex lock;
        RunResult r;
        WorkerContext ctx{job,
                          progress,
                          lock,
                          m_inputs,
                          m_settings,
                          [&](std::string_view line) {
                              r.lines.emplace_back(line);
                              if (onLine)
                                  onLine(line);
                          },
                          [&](std::string_view line) { r.errors.emplace_back(line); },
                          threads};
        ctx.progress.KeepRunning = 1;
        m_progress = &progress;
        r.converted = RunConversionWorker(ctx);
        m_progress = nullptr;
        r.started = progress.FilesStarted;
        r.successCounter = job.SuccessCounter;
        for (const auto& entry : fs::recursive_directory_iterator(out))
            if (entry.is_regular_file())
                r.files[fs::relative(entry.path(), out).string()] = ReadAll(entry.path());
        return r;
    }

    // The files that were written, in the order their "Saving As:" lines came.
    static std::vector<std::string> SavedInOrder(const RunResult& r) {
        std::vector<std::string> saved;
        for (size_t i = 0; i + 1 < r.lines.size(); ++i)
            if (r.lines[i].starts_with("Saving As: ") && r.lines[i + 1] == "OK")
                saved.push_back(r.lines[i].substr(r.lines[i].rfind('/') + 1));
        return saved;
    }

    fs::path m_root;
    fs::path m_output; // the output folder when not root/out (then kept between runs)
    SettingsRecord m_settings;
    InputListMap m_inputs;
    std::string m_format = "png";
    ConversionProgressRecord* m_progress = nullptr;
};

} // namespace

TEST_F(ParallelRunTest, FourThreadsGiveWhatOneGivesIncludingFailuresAndNumbers) {
    // Sizes that differ a lot, so that later files are made before earlier ones.
    const std::string a = AddPicture("a.emf", 900, 700);
    AddPicture("b.emf", 20, 10);
    AddText("broken.emf", "this is not a metafile");
    AddPicture("c.emf", 300, 40);
    AddCorruptedCorpus();
    AddPicture("sub/d.emf", 64, 64, "sub/");
    AddText("empty.emf", "");
    AddPicture("e.emf", 5, 600);
    AddPacked(a, "a.emz"); // the same output name as a.emf without a number in the mask
    AddPicture("f.emf", 120, 80);

    for (const char* mask : {"%n%_%filename%.%ext%", "%filename%.%ext%"}) {
        m_settings.Advanced.FilenameMask = mask;
        const RunResult one = Run(1);
        const RunResult four = Run(4);
        EXPECT_EQ(four.lines, one.lines) << mask;
        EXPECT_EQ(four.errors, one.errors) << mask;
        EXPECT_TRUE(four == one) << mask;
        EXPECT_GE(one.converted, 6) << mask;
        EXPECT_EQ(one.files.size(), static_cast<size_t>(one.converted)) << mask;
        EXPECT_EQ(four.started, static_cast<int32_t>(m_inputs.Size())) << mask;
        EXPECT_EQ(four.successCounter, four.converted + 1) << mask;
    }
    // Without a number the packed copy comes second to the same name, and fails.
    const RunResult named = Run(4);
    EXPECT_NE(std::find(named.errors.begin(), named.errors.end(),
                        (m_root / "in" / "a.emz").string() +
                            ": output name already used in this run: " +
                            (m_root / "out" / "a.png").string()),
              named.errors.end());

    // The numbers follow the input order: the n-th file written is number n.
    m_settings.Advanced.FilenameMask = "%n%_%filename%.%ext%";
    const std::vector<std::string> saved = SavedInOrder(Run(4));
    ASSERT_GE(saved.size(), 7u);
    for (size_t n = 0; n < saved.size(); ++n) {
        char number[32];
        std::snprintf(number, sizeof number, "%05zu_", n + 1);
        EXPECT_TRUE(saved[n].starts_with(number)) << saved[n];
    }
    EXPECT_EQ(saved.front(), "00001_a.png");
    EXPECT_TRUE(saved.back().ends_with("_f.png"));
}

TEST_F(ParallelRunTest, EveryFormatsWriterGivesTheSameBytesOnFourThreads) {
    for (int i = 0; i < 6; ++i)
        AddPicture("p" + std::to_string(i) + ".emf", 150 + 40 * i, 120 - 10 * i);
    for (const std::string& id : OutputFormats) {
        m_format = id;
        const RunResult one = Run(1);
        const RunResult four = Run(4);
        EXPECT_EQ(four.errors, one.errors) << id;
        EXPECT_EQ(four.files.size(), 6u) << id;
        EXPECT_TRUE(four == one) << id;
    }
}

TEST_F(ParallelRunTest, ATextWatermarkWithTheNumberShowsTheNumberOfOneThread) {
    for (int i = 0; i < 5; ++i)
        AddPicture("p" + std::to_string(i) + ".emf", 300, 200);
    AddText("broken.emf", "no metafile");
    AddPicture("q.emf", 300, 200);
    m_settings.Watermark.DoWatermark = 1;
    m_settings.Watermark.Text = "No. %N%";
    m_settings.Watermark.FontSize = 40;
    const RunResult one = Run(1);
    const RunResult four = Run(4);
    EXPECT_TRUE(four == one);
    ASSERT_EQ(four.files.size(), 6u);
    // The same picture under another number is another file.
    EXPECT_NE(four.files.at("p0.png"), four.files.at("p1.png"));
}

TEST_F(ParallelRunTest, AStopFinishesTheFileInProgressAndLeavesNoTemporaryFiles) {
    for (int i = 0; i < 12; ++i)
        AddPicture("p" + std::to_string(i) + ".emf", 400 + 10 * i, 300);
    // The answer to stop comes while the second file is being finished.
    const RunResult r = Run(4, [this](std::string_view line) {
        if (line.ends_with("/p1.png"))
            m_progress->KeepRunning = 0;
    });
    EXPECT_EQ(r.converted, 2);
    EXPECT_EQ(r.started, 2);
    EXPECT_EQ(r.successCounter, 3);
    // Only the two outputs: the files made ahead of the stop took their temporary files along.
    std::vector<std::string> names;
    for (const auto& [name, bytes] : r.files)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"p0.png", "p1.png"}));
}

TEST_F(ParallelRunTest, AnOutputThatReplacesALaterInputIsReadAsOneThreadReadsIt) {
    // Every output is named b.emf beside the inputs: the first file's output replaces the
    // second file's input, which one thread then finds to be no metafile.
    const std::string a = AddPicture("a.emf", 50, 50);
    const std::string b = AddPicture("b.emf", 60, 60);
    const std::string c = AddPicture("c.emf", 70, 70);
    m_output = m_root / "in";
    m_settings.Advanced.FilenameMask = "b.emf";
    const auto run = [&](int32_t threads) {
        AddPicture("b.emf", 60, 60);
        return Run(threads);
    };
    const RunResult one = run(1);
    const RunResult four = run(4);
    EXPECT_EQ(four, one);
    EXPECT_EQ(four.errors,
              (std::vector<std::string>{b + ": not a metafile",
                                        c + ": output name already used in this run: " + b}));
    EXPECT_EQ(four.converted, 1);
}

TEST_F(ParallelRunTest, AFolderInTheNameThatDependsOnTheNumberIsFilledAsWithOneThread) {
    // Files are made before their number is known: they are moved into the numbered folder
    // when finished, and a missing folder fails the file the same way.
    for (int i = 0; i < 6; ++i)
        AddPicture("p" + std::to_string(i) + ".emf", 40 + 30 * i, 50);
    AddText("broken.emf", "no metafile");
    m_output = m_root / "numbered";
    m_settings.Advanced.FilenameMask = "%n%/%filename%.%ext%";
    const auto run = [&](int32_t threads) {
        fs::remove_all(m_output);
        for (const char* folder : {"00001", "00002", "00004"})
            fs::create_directories(m_output / folder);
        return Run(threads);
    };
    const RunResult one = run(1);
    const RunResult four = run(4);
    EXPECT_EQ(four.lines, one.lines);
    EXPECT_EQ(four.errors, one.errors);
    EXPECT_TRUE(four == one);
    // The third file finds no folder 00003, and so do the ones after it: the number only
    // moves on with a written file.
    EXPECT_EQ(four.files.size(), 2u);
    EXPECT_TRUE(four.files.count("00002/p1.png"));
    ASSERT_EQ(four.errors.size(), 5u);
    EXPECT_TRUE(four.errors[0].starts_with((m_root / "in" / "p2.emf").string() +
                                           ": PNG writer: cannot create a temporary file in " +
                                           (m_output / "00003/").string() + ": "))
        << four.errors[0];
}

TEST(MemoryBudget, AnAmountOverTheBudgetWaitsUntilNothingElseIsReserved) {
    MemoryBudget budget(100);
    EXPECT_EQ(budget.Reserve(30), 30u);
    std::atomic<bool> reserved{false};
    std::thread big([&] {
        EXPECT_EQ(budget.Reserve(500), 100u); // the whole budget
        reserved = true;
        budget.Release(100);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(reserved);
    budget.Release(30);
    big.join();
    EXPECT_TRUE(reserved);
    EXPECT_EQ(budget.Reserved(), 0u);
    EXPECT_EQ(budget.Peak(), 100u);
}
