#include "cli/input_list_export.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>

#include "engine/conversion_job.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qm_export_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = std::string(pattern) + "/";
        ResetConversionJob();
        ResetConversionProgress();
    }
    void TearDown() override { fs::remove_all(m_root); }

    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // Files in the folder other than the given one (temporary files left behind).
    size_t FileCount() const {
        return static_cast<size_t>(
            std::distance(fs::directory_iterator(m_root), fs::directory_iterator{}));
    }

    std::string m_root;
};

TEST_F(ExportTest, TheListIsUtf8WithAByteOrderMarkAndCrLfAfterEveryRow) {
    const std::string path = m_root + "list.txt";
    EXPECT_EQ(WriteInputList(path, {"/in/a.emf", "/in/b ü.emf"}, nullptr), 2);
    EXPECT_EQ(Read(path), "\xEF\xBB\xBF/in/a.emf\r\n/in/b \xC3\xBC.emf\r\n");
    EXPECT_EQ(FileCount(), 1u);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::others_read, fs::perms::others_read);
}

TEST_F(ExportTest, AStopKeepsTheRowsWrittenSoFar) {
    const std::string path = m_root + "list.txt";
    std::ofstream(path) << "old contents";
    std::vector<int32_t> asked;
    const auto stopAtThird = [&](int32_t row) {
        asked.push_back(row);
        return row < 3;
    };
    EXPECT_EQ(WriteInputList(path, {"/a.emf", "/b.emf", "/c.emf", "/d.emf"}, stopAtThird), 2);
    EXPECT_EQ(Read(path), "\xEF\xBB\xBF/a.emf\r\n/b.emf\r\n");
    EXPECT_EQ(asked, (std::vector<int32_t>{1, 2, 3}));
}

TEST_F(ExportTest, AFailedWriteKeepsTheOldFile) {
    const std::string path = m_root + "list.txt";
    std::ofstream(path) << "old contents";
    std::vector<std::string> rows(2000, "/some/rather/long/path/to/a/metafile.emf");
    // Files may not grow past 1 KiB: the export fails part way, as on a full disk.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    const int32_t saved = WriteInputList(path, rows, nullptr);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(saved, 0);
    EXPECT_EQ(Read(path), "old contents");
    EXPECT_EQ(FileCount(), 1u); // no temporary file left behind
}

TEST_F(ExportTest, AListThatCannotBeCreatedSavesNothing) {
    EXPECT_EQ(WriteInputList(m_root + "missing/list.txt", {"/a.emf"}, nullptr), 0);
    fs::create_directory(m_root + "folder.txt");
    EXPECT_EQ(WriteInputList(m_root + "folder.txt", {"/a.emf"}, nullptr), 0);
    EXPECT_TRUE(fs::is_directory(m_root + "folder.txt"));
    EXPECT_EQ(FileCount(), 1u);
}

TEST_F(ExportTest, TheWorkerPublishesRowsAndAddsTheCount) {
    ConversionJob.InputPath = m_root + "list.txt";
    ConversionProgress.FilesConverted = 5;
    ExportListWorker({"/a.emf", "/b.emf", "/c.emf"});
    EXPECT_EQ(ConversionProgress.FilesStarted, 3);
    EXPECT_EQ(ConversionProgress.FilesConverted, 8);

    ResetConversionProgress();
    ConversionProgress.KeepRunning = 0;
    ExportListWorker({"/a.emf"});
    EXPECT_EQ(ConversionProgress.FilesConverted, 0);
    EXPECT_EQ(Read(ConversionJob.InputPath), "\xEF\xBB\xBF"); // stopped before the first row
}

} // namespace
} // namespace qm
