#include "cli/input_collection.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "engine/conversion_job.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

class InputCollectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qm_input_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = std::string(pattern) + "/";
        ResetConversionJob();
        ConversionJob.ConsoleRun = 1;
        ResetConversionProgress();
    }
    void TearDown() override {
        SetInputFileAddedHook(nullptr);
        fs::remove_all(m_root);
    }

    std::string Write(const std::string& relative, std::string_view content = "EMF data") {
        const fs::path path = m_root + relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    // Path -> subfolder of every entry in InputList.
    static std::map<std::string, std::string> Entries() {
        std::map<std::string, std::string> result;
        InputList.ForEach(
            [&](const std::string& path, const InputEntry& e) { result[path] = e.Subfolder; });
        return result;
    }

    std::string m_root;
};

TEST(RelativeSubfolder, KeepsTheFolderBelowTheBase) {
    EXPECT_EQ(RelativeSubfolder("/in/a/b/x.emf", "/in/"), "a/b/");
    EXPECT_EQ(RelativeSubfolder("/in/x.emf", "/in/"), "");
    EXPECT_EQ(RelativeSubfolder("/other/x.emf", "/in/"), "");
    EXPECT_EQ(RelativeSubfolder("/In/a/x.emf", "/in/"), ""); // letter case counts
    EXPECT_EQ(RelativeSubfolder("/in/a/x.emf", ""), "");
    EXPECT_EQ(RelativeSubfolder("", "/in/"), "");
    // A repetition of the base name further down stays part of the subfolder.
    EXPECT_EQ(RelativeSubfolder("/in/x/in/p.emf", "/in/"), "x/in/");
}

TEST_F(InputCollectionTest, AddInputFileChecksSizeExtensionAndDuplicates) {
    const std::string a = Write("a.EMF");
    EXPECT_EQ(AddInputFile(a), 1);
    EXPECT_EQ(AddInputFile(a), 0);
    EXPECT_EQ(AddInputFile(Write("empty.emf", "")), 0);
    EXPECT_EQ(AddInputFile(Write("c.wmf")), 0);
    EXPECT_EQ(AddInputFile(Write("noext")), 0);
    EXPECT_EQ(AddInputFile(Write("dot.")), 0);
    EXPECT_EQ(AddInputFile(Write("x.emf.bak")), 0);
    EXPECT_TRUE(IsAcceptedExtension("emz"));
    EXPECT_FALSE(IsAcceptedExtension("EMF"));
    // A missing file with an accepted extension passes the size test.
    EXPECT_EQ(AddInputFile(m_root + "missing.emz"), 1);
    EXPECT_EQ(InputList.Size(), 2u);
}

TEST_F(InputCollectionTest, FolderImportWalksSubfoldersAndRecordsThem) {
    Write("a.EMF");
    Write("b.emz");
    Write("c.wmf");
    Write("d.emf", "");
    Write("2020/jan/p.emf");
    Write("2020/notes.txt");
    ConversionJob.InputFolder = m_root;
    ImportFolder();
    EXPECT_EQ(ConversionProgress.FilesConverted, 3);
    EXPECT_EQ(ConversionProgress.FilesStarted, 5); // top-level entries, folders included
    const std::map<std::string, std::string> expected = {
        {m_root + "a.EMF", ""}, {m_root + "b.emz", ""}, {m_root + "2020/jan/p.emf", "2020/jan/"}};
    EXPECT_EQ(Entries(), expected);
}

TEST_F(InputCollectionTest, FoldersAreWalkedInTheByteOrderOfTheNames) {
    // Created out of order; the listing's own order depends on the file system.
    const std::vector<std::string> names = {
        "m.emf",    "B.emf",  "a.emf",  "z/1.emf", "z/0.emf", "\xC3\xA9.emf", "_.emf", "Z.emf",
        "ab/c.emf", "a0.emf", "10.emf", "9.emf",   "k.emf",   "y.emf",        "c.emf", "x.emf"};
    for (const std::string& name : names)
        Write(name);
    ConversionJob.InputFolder = m_root;
    ImportFolder();
    std::vector<std::string> order;
    InputList.ForEach([&](const std::string& path, const InputEntry&) {
        order.push_back(path.substr(m_root.size()));
    });
    const std::vector<std::string> expected = {
        "10.emf", "9.emf", "B.emf", "Z.emf", "_.emf", "a.emf",   "a0.emf",  "ab/c.emf",
        "c.emf",  "k.emf", "m.emf", "x.emf", "y.emf", "z/0.emf", "z/1.emf", "\xC3\xA9.emf"};
    EXPECT_EQ(order, expected);
}

TEST_F(InputCollectionTest, SymbolicLinkLoopsAreWalkedOnce) {
    Write("top.emf");
    Write("sub/deep/p.emf");
    fs::create_directory_symlink(m_root, m_root + "sub/up"); // back to the root
    fs::create_directory_symlink(m_root + "sub", m_root + "sub/deep/again");
    fs::create_symlink(m_root + "nowhere.emf", m_root + "dangling.emf");
    ConversionJob.InputFolder = m_root;
    ImportFolder();
    EXPECT_EQ(ConversionProgress.FilesConverted, 2);
    EXPECT_EQ(InputList.Size(), 2u);
    EXPECT_EQ(ScanFolder(m_root + "missing/"), 0);
}

TEST_F(InputCollectionTest, EntriesBeyondThePathLimitAreReported) {
    // Twenty folders of 250 letters: the file at the bottom has a path of over 5,000 bytes,
    // which only descriptor-relative calls can create.
    Write("short.emf");
    int fd = open(m_root.c_str(), O_RDONLY | O_DIRECTORY);
    const std::string name(250, 'd');
    for (int level = 0; level < 20; ++level) {
        ASSERT_EQ(mkdirat(fd, name.c_str(), 0755), 0);
        const int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    const int file = openat(fd, "deep.emf", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(write(file, "EMF data", 8), 8);
    close(file);
    close(fd);
    ConversionJob.InputFolder = m_root;
    ::testing::internal::CaptureStderr();
    ImportFolder();
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(ConversionProgress.FilesConverted, 1);
    EXPECT_NE(errors.find("Skipped (path longer than 4095 bytes): " + m_root + name),
              std::string::npos)
        << errors;
    // Deep trees are removed from the inside out, one relative step at a time.
    const std::string top = m_root + name;
    std::error_code ignored;
    fs::current_path(top, ignored);
    for (int level = 0; level < 19; ++level)
        fs::current_path(name, ignored);
    ::unlink("deep.emf");
    for (int level = 0; level < 20; ++level) {
        fs::current_path("..", ignored);
        ::rmdir(name.c_str());
    }
    fs::current_path("/", ignored);
}

TEST_F(InputCollectionTest, StoppedFolderImportKeepsFilesAddedSoFar) {
    for (int i = 0; i < 5; ++i)
        Write("f" + std::to_string(i) + ".emf");
    ConversionJob.ConsoleRun = 0;
    SetInputFileAddedHook([](const std::string&) { ConversionProgress.KeepRunning = 0; });
    ConversionJob.InputFolder = m_root;
    ImportFolder();
    EXPECT_EQ(ConversionProgress.FilesConverted, 1);
    EXPECT_EQ(InputList.Size(), 1u);
}

TEST_F(InputCollectionTest, ListFileHandlesMarksLineEndsBlanksAndFolders) {
    const std::string a = Write("a.emf");
    const std::string b = Write("b.emz");
    const std::string c = Write("c.emf");
    Write("dir/sub/d.emf");
    Write("dir/e.emf");
    const std::string list = "\xEF\xBB\xBF  " + a + " \r\n" + b + "\r" + c + "\n\n\t" + a +
                             "\r\n;" + a + "\n#x\n" + m_root + "missing.emf\n" + m_root + "dir";
    ConversionJob.InputPath = Write("list.txt", list);
    ImportListFile();
    EXPECT_EQ(ConversionProgress.FilesConverted, 5);
    EXPECT_EQ(ConversionProgress.FilesStarted, 5); // existing lines only
    const std::map<std::string, std::string> expected = {
        {a, ""}, {b, ""}, {c, ""}, {m_root + "dir/sub/d.emf", ""}, {m_root + "dir/e.emf", ""}};
    EXPECT_EQ(Entries(), expected);
}

TEST_F(InputCollectionTest, ListLineEndSplitAcrossReadBlocksCountsOnce) {
    const std::string a = Write("a.emf");
    const std::string b = Write("b.emf");
    // The first line fills a whole read block up to its CR; the LF starts the next block.
    std::string first = m_root + "x" + std::string(64 * 1024 - m_root.size() - 1 - 1, 'y');
    first += '\r';
    ConversionJob.InputPath = Write("list.lst", first + "\n" + a + "\r\n" + b);
    ImportListFile();
    EXPECT_EQ(ConversionProgress.FilesConverted, 2);
}

TEST_F(InputCollectionTest, UnusableListFilesAddNothingAndEnd) {
    const std::string a = Write("a.emf");
    // UTF-16 with its mark: read as UTF-8 every line holds NUL bytes.
    std::string utf16 = "\xFF\xFE";
    for (char ch : a + "\r\n")
        utf16 += std::string{ch, '\0'};
    ConversionJob.InputPath = Write("utf16.txt", utf16);
    ImportListFile();
    EXPECT_EQ(ConversionProgress.FilesConverted, 0);

    // A NUL byte ends the import: lines before it count, nothing from its line on (not even a
    // line naming the root folder, which would otherwise walk the whole file system).
    const std::string b = Write("b.emf");
    ConversionJob.InputPath =
        Write("nul.txt", b + "\n" + a + std::string("\0junk\n/\n", 9) + a + "\n");
    ImportListFile();
    EXPECT_EQ(ConversionProgress.FilesConverted, 1);
    EXPECT_NE(InputList.Find(b), nullptr);
    EXPECT_EQ(InputList.Find(a), nullptr);

    // Control bytes end the import the same way.
    ConversionJob.InputPath = Write("ctl.txt", b + "\n\x1A/\n" + a + "\n");
    ImportListFile();
    EXPECT_EQ(InputList.Find(a), nullptr);

    // A Latin-1 file name exists, but the list is UTF-8: its line names nothing.
    const std::string latin = Write("caf\xE9.emf");
    ConversionJob.InputPath = Write("latin.txt", latin + "\n");
    ImportListFile();
    EXPECT_EQ(InputList.Find(latin), nullptr);

    // Lines that aren't UTF-8, then an enormous line: both skipped, the next line counts.
    std::string noise;
    for (int i = 0; i < 200000; ++i)
        noise += static_cast<char>(0x80 + (i * 7919) % 128);
    ConversionJob.InputPath =
        Write("big.txt", "/" + noise + "\n" + std::string(3 * 1024 * 1024, 'z') + "\n\t" + a + " ");
    ImportListFile();
    EXPECT_EQ(ConversionProgress.FilesConverted, 2);

    // A folder or a missing file as the list: nothing.
    ConversionJob.InputPath = m_root;
    ImportListFile();
    ConversionJob.InputPath = m_root + "missing.txt";
    ImportListFile();
    EXPECT_EQ(ConversionProgress.FilesConverted, 2);
}

TEST_F(InputCollectionTest, ListNamingALoopingFolderEnds) {
    Write("loop/p.emf");
    fs::create_directory_symlink(m_root + "loop", m_root + "loop/self");
    ConversionJob.InputPath = Write("list.txt", m_root + "loop\n" + m_root + "loop/self/self\n");
    ImportListFile();
    // The folder is walked once, under the path the list first gives for it.
    const std::map<std::string, std::string> expected = {{m_root + "loop/p.emf", ""}};
    EXPECT_EQ(Entries(), expected);
    EXPECT_EQ(ConversionProgress.FilesStarted, 2);
}

} // namespace
} // namespace qm
