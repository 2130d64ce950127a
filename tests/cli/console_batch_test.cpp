#include "cli/console_batch.h"

#include <gtest/gtest.h>

#include <FreeImage.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/console_output.h"
#include "engine/conversion_job.h"
#include "tests/engine/test_metafile.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class ConsoleBatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qm_batch_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = std::string(pattern) + "/";
    }
    void TearDown() override { fs::remove_all(m_root); }

    // Runs the console front end and returns every printed line.
    static Lines Run(const std::vector<std::string>& params) {
        Lines lines;
        ConsoleCapture capture([&](std::string_view line) { lines.emplace_back(line); });
        int exitCode = -1;
        RunCommandLine("quellmark", params, ProfileLoader{}, exitCode);
        EXPECT_EQ(exitCode, 0);
        return lines;
    }
    static Lines RunQuiet(std::vector<std::string> params) {
        params.push_back("-q");
        return Run(params);
    }

    std::string Folder(const std::string& relative) {
        fs::create_directories(m_root + relative);
        return m_root + relative + "/";
    }
    std::string Metafile(const std::string& relative, int width = 40, int height = 30) {
        fs::create_directories(fs::path(m_root + relative).parent_path());
        test::MetafileBuilder builder(width, height);
        builder.Fill({0, 0, width / 2, height, 255, 0, 0});
        EXPECT_TRUE(builder.Write(m_root + relative));
        return m_root + relative;
    }
    std::string Write(const std::string& relative, const std::string& content) {
        fs::create_directories(fs::path(m_root + relative).parent_path());
        std::ofstream(m_root + relative, std::ios::binary) << content;
        return m_root + relative;
    }

    // Every regular file below folder, relative to it.
    static std::set<std::string> FilesBelow(const std::string& folder) {
        std::set<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file())
                files.insert(fs::relative(entry.path(), folder).string());
        return files;
    }

    // The file reads back in the format with the metafile's proportions (width : height).
    static bool LoadsAs(const std::string& path, FREE_IMAGE_FORMAT fif, unsigned width,
                        unsigned height) {
        FIBITMAP* dib = FreeImage_Load(fif, path.c_str(), 0);
        bool ok = dib != nullptr && FreeImage_GetWidth(dib) > 0;
        if (ok) {
            // Rounding to whole pixels may move either side by one.
            const long w = FreeImage_GetWidth(dib), h = FreeImage_GetHeight(dib);
            ok = std::labs(w * long(height) - h * long(width)) <= long(width + height);
        }
        if (dib)
            FreeImage_Unload(dib);
        return ok;
    }

    std::string m_root;
};

const Lines kNothingFound = {"Conversion stopped",
                             "No input file(s) found. Please, add valid file(s) and try again!"};

TEST_F(ConsoleBatchTest, PathAndFormatErrorsStopTheRun) {
    Write("zero.emf", "");
    Folder("my.pictures");
    const std::string in = Folder("in");
    struct Case {
        std::vector<std::string> params;
        std::string message;
    } cases[] = {
        {{"-i", m_root + "zero.emf"}, "Error: Invalid input file"},
        {{"-i", m_root + "my.pictures"}, "Error: Invalid input file"},
        {{"-i", m_root + "missing.emf"}, "Error: Invalid input file"},
        {{"-i", "../pictures"}, "Error: Incorrect input folder"},
        {{"-i", m_root + "nowhere"}, "Error: Invalid input folder"},
        {{"-i", in, "-o", "..\\out"}, "Error: Incorrect output folder"},
        {{"-i", in, "-o", m_root + "new/out"}, "Error: Invalid output folder"},
        {{"-i", in, "-c", "JPG"}, "Error: Invalid conversion type"},
        {{"-i", in, "-c", "tif"}, "Error: Invalid conversion type"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RunQuiet(c.params), Lines{c.message}) << c.params[1];
    EXPECT_FALSE(fs::exists(m_root + "new")); // the output folder is never created
}

TEST_F(ConsoleBatchTest, ValueChecksJustOutsideAndJustInside) {
    const std::string in = Folder("empty");
    struct Case {
        std::vector<std::string> failing, passing;
        std::string message;
    } cases[] = {
        {{"-c", "jpg", "--jpg-quality=0"},
         {"-c", "jpg", "--jpg-quality=1"},
         "Error: Invalid jpg-quality value"},
        {{"-c", "webp", "--webp-quality=101"},
         {"-c", "webp", "--webp-quality=100"},
         "Error: Invalid webp-quality value"},
        {{"-c", "png", "--png-bpp=16"},
         {"-c", "png", "--png-bpp=48"},
         "Error: Invalid png-bpp value"},
        {{"-c", "gif", "--gif-bpp=24"},
         {"-c", "gif", "--gif-bpp=8"},
         "Error: Invalid gif-bpp value"},
        {{"--width=0", "--height=10"}, {"--width=1", "--height=10"}, "Error: Invalid width value"},
        {{"--width=10"}, {"--width=10", "--height=-1"}, "Error: Invalid height value"},
        {{"--brightness=-101"}, {"--brightness=-100"}, "Error: Invalid brightness value"},
        {{"--contrast=101"}, {"--contrast=100"}, "Error: Invalid contrast value"},
        {{"--gamma=0.009"}, {"--gamma=0.01"}, "Error: Invalid gamma value"},
        {{"--gamma=10"}, {"--gamma=9.99"}, "Error: Invalid gamma value"},
        {{"--gamma=0,5"}, {"--gamma=0.5"}, "Error: Invalid gamma value"},
        {{"--threads=-1"}, {"--threads=0"}, "Error: Invalid threads value"},
        {{"--threads=257"}, {"--threads=256"}, "Error: Invalid threads value"},
        {{"--wm-text=x", "--wm-font=No Such Face 4711"},
         {"--wm-text=x", "--wm-font=Arial"},
         "Error: Invalid watermark font"},
        {{"--wm-image=" + m_root + "none.png"},
         {"--wm-image=" + Write("wm.png", "x")},
         "Error: Invalid watermark image"},
    };
    for (Case& c : cases) {
        c.failing.insert(c.failing.begin(), {"-i", in});
        c.passing.insert(c.passing.begin(), {"-i", in});
        EXPECT_EQ(RunQuiet(c.failing), Lines{c.message}) << c.message;
        EXPECT_EQ(RunQuiet(c.passing), kNothingFound) << c.message;
    }
    // Only the chosen format's quality counts.
    EXPECT_EQ(RunQuiet({"-i", in, "-c", "png", "--jpg-quality=0"}), kNothingFound);
}

TEST_F(ConsoleBatchTest, DebugEchoNamesKeywordsInOrder) {
    const std::string in = Folder("empty");
    const Lines lines =
        Run({"-i", in, "-d", "-q", "-c", "png", "--png-compression=zlib9", "--png-interlaced",
             "--width=50", "--width-unit=percent", "--height=60", "--resize-algorithm=lanczos",
             "--gamma=1.5", "--fr-solid-left=3", "--file-timestamp=custom",
             "--file-timestamp-custom=12345", "--no-subfolders"});
    const Lines expected = {"Input: " + in,
                            "Output: " + in,
                            "Conversion: png",
                            "PNG BPP: 0",
                            "PNG Compression: ZLIB9",
                            "PNG Interlaced: 1",
                            "Width: 50 PERCENT",
                            "Height: 60 PIXELS",
                            "Keep Aspect Ratio: 0",
                            "Image Resize Type: ALLIMAGES",
                            "Image Resize Algorithm: LANCZOS",
                            "Flip Horizontal: 0",
                            "Flip Vertical: 0",
                            "Brightness: 0",
                            "Contrast: 0",
                            "Gamma: 1.50",
                            "Invert: 0",
                            "Greyscale: 0",
                            "Frame: SOLID",
                            "Frame left: 3",
                            "Frame right: 0",
                            "Frame top: 0",
                            "Frame bottom: 0",
                            "Frame left color: 000000",
                            "Frame right color: 000000",
                            "Frame top color: 000000",
                            "Frame bottom color: 000000",
                            "Frame opacity: 255",
                            "Watermark: NONE",
                            "Filename Mask: %filename%.%ext%",
                            "File Timestamp: CUSTOM",
                            "Custom Timestamp: 12345",
                            "Keep Subfolders: 0",
                            "Conversion stopped",
                            "No input file(s) found. Please, add valid file(s) and try again!"};
    EXPECT_EQ(lines, expected);
}

TEST_F(ConsoleBatchTest, DebugEchoOfFormatBlocksAndWatermark) {
    const std::string in = Folder("empty");
    Lines lines = Run({"-i", in, "-d", "-q", "-c", "tiff", "--tiff-compression=LZW",
                       "--tiff-color-model=cmyk", "--wm-text=Hi", "--wm-font-style=bolditalic",
                       "--wm-text-x-offset=-4", "--wm-font=Arial"});
    auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("TIFF Compression: LZW"));
    EXPECT_TRUE(has("TIFF Color Model: CMYK"));
    EXPECT_TRUE(has("Watermark: TEXT"));
    EXPECT_TRUE(has("Watermark text: Hi"));
    EXPECT_TRUE(has("Watermark font style: BOLDITALIC"));
    EXPECT_TRUE(has("Watermark offset (x/y): -4/10"));
    EXPECT_TRUE(has("Watermark size/mode: FIXED"));
    EXPECT_FALSE(has("PNG BPP: 0")); // only the chosen format's block

    lines =
        Run({"-i", in, "-d", "-q", "-c", "jpg", "--jpg-chroma=high", "--jpg-save-as=progressive"});
    const Lines block(lines.begin() + 3, lines.begin() + 7);
    EXPECT_EQ(block, (Lines{"JPG BPP: 0", "JPG Quality: 95", "JPG Chroma Subsampling: HIGH",
                            "JPG Save As: PROGRESSIVE"}));
}

TEST_F(ConsoleBatchTest, FolderTreeMirroredOrFlattened) {
    const std::string in = Folder("in");
    Metafile("in/a.emf", 40, 30);
    Metafile("in/2020/b.emf", 40, 30);
    Metafile("in/2020/jan/c.EMF", 40, 30);
    Write("in/notes.txt", "not a metafile");
    const std::string inputBytes = [&] {
        std::ifstream f(in + "a.emf", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }();

    const std::string mirrored = Folder("mirrored");
    Lines lines = Run({"-i", in, "-o", mirrored, "-c", "png"});
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.back(), "Files converted: 3 of 3");
    EXPECT_EQ(FilesBelow(mirrored),
              (std::set<std::string>{"a.png", "2020/b.png", "2020/jan/c.png"}));
    for (const std::string& file : FilesBelow(mirrored))
        EXPECT_TRUE(LoadsAs(mirrored + file, FIF_PNG, 4, 3)) << file;

    const std::string flat = Folder("flat");
    lines = RunQuiet({"-i", in, "-o", flat, "-c", "png", "--NO-SUBFOLDERS"});
    EXPECT_EQ(FilesBelow(flat), (std::set<std::string>{"a.png", "b.png", "c.png"}));
    for (const std::string& file : FilesBelow(flat))
        EXPECT_TRUE(LoadsAs(flat + file, FIF_PNG, 4, 3)) << file;

    // Inputs stay as they were; nothing appeared beside them.
    std::ifstream f(in + "a.emf", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(f), {}), inputBytes);
    EXPECT_EQ(FilesBelow(in),
              (std::set<std::string>{"a.emf", "2020/b.emf", "2020/jan/c.EMF", "notes.txt"}));
}

TEST_F(ConsoleBatchTest, StatusLinesAndOneFailingFileInDebug) {
    const std::string in = Folder("in");
    Metafile("in/good.emf");
    Write("in/bad.emf", std::string(200, 'x'));
    const std::string out = Folder("out");
    const Lines lines = Run({"-i", in, "-o", out, "-d", "-c", "bmp"});
    const auto count = [&](const std::string& line) {
        return std::count(lines.begin(), lines.end(), line);
    };
    EXPECT_EQ(count("OK"), 1);
    EXPECT_EQ(count("Not OK"), 1);
    EXPECT_EQ(count("Preparing..."), 1);
    EXPECT_EQ(count("Importing..."), 1);
    EXPECT_EQ(count("Import complete, new files added: 2"), 1);
    EXPECT_EQ(count("Converting..."), 1);
    EXPECT_EQ(count("Conversion complete"), 1);
    EXPECT_EQ(lines.back(), "Files converted: 1 of 2");
    EXPECT_EQ(FilesBelow(out), std::set<std::string>{"good.bmp"});
    EXPECT_TRUE(LoadsAs(out + "good.bmp", FIF_BMP, 4, 3));
}

TEST_F(ConsoleBatchTest, EveryFailedFileGetsOneReasonLineOnStandardError) {
    const std::string in = Folder("in");
    Metafile("in/good.emf");
    const std::string junk = Write("in/junk.emf", std::string(200, 'x'));
    std::ifstream source(Metafile("in/whole.emf"), std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(source), {});
    fs::remove(m_root + "in/whole.emf");
    const std::string cut = Write("in/cut.emf", bytes.substr(0, bytes.size() - 20));
    const std::string out = Folder("out");

    Lines lines, errors;
    {
        ConsoleCapture capture([&](std::string_view line) { lines.emplace_back(line); },
                               [&](std::string_view line) { errors.emplace_back(line); });
        int exitCode = -1;
        RunCommandLine("quellmark", {"-i", in, "-o", out, "-c", "png"}, ProfileLoader{}, exitCode);
    }
    std::sort(errors.begin(), errors.end());
    EXPECT_EQ(errors, (Lines{cut + ": damaged metafile: cut off before its end-of-file record",
                             junk + ": not a metafile"}));
    // Standard output keeps its fixed lines only.
    EXPECT_EQ(lines.back(), "Files converted: 1 of 3");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find(".emf") != l.npos; }),
              0);
}

TEST_F(ConsoleBatchTest, QuietRunOfAFolderWithoutMetafiles) {
    const std::string in = Folder("in");
    Write("in/picture.wmf", "x");
    EXPECT_EQ(RunQuiet({"-i", in}), kNothingFound);
    const Lines loud = Run({"-i", in});
    const Lines tail(loud.end() - 5, loud.end());
    EXPECT_EQ(tail, (Lines{"Preparing...", "Importing...", "Import complete, new files added: 0",
                           kNothingFound[0], kNothingFound[1]}));
}

TEST_F(ConsoleBatchTest, ListFilesByExtension) {
    const std::string a = Metafile("src/a.emf");
    const std::string b = Metafile("src/deeper/b.emf");
    const std::string out = Folder("out");
    const std::string list = Write("files.LST", "\xEF\xBB\xBF" + a + "\r\n" + m_root + "src\r\n");
    Lines lines = RunQuiet({"-i", list, "-o", out, "-c", "png"});
    EXPECT_EQ(lines, Lines{});
    EXPECT_EQ(FilesBelow(out), (std::set<std::string>{"a.png", "b.png"}));

    const std::string dat = Write("files.dat", a + "\n");
    EXPECT_EQ(RunQuiet({"-i", dat, "-o", out}), kNothingFound);
}

TEST_F(ConsoleBatchTest, RelativeFoldersResolveBelowTheProgramFolder) {
    ResetConversionJob();
    const std::string programFolder = ConversionJob.ProgramFolder;
    const std::string name = "qm_rel_" + std::to_string(NewRandomNumber());
    fs::create_directories(programFolder + name + "/in");
    test::MetafileBuilder(20, 10).Write(programFolder + name + "/in/p.emf");
    const Lines lines = RunQuiet({"-i", "./" + name + "/in", "-c", "bmp"});
    EXPECT_EQ(lines, Lines{});
    EXPECT_TRUE(LoadsAs(programFolder + name + "/in/p.bmp", FIF_BMP, 2, 1));
    fs::remove_all(programFolder + name);

    // A bare file name is read from the current folder, and its output goes beside it there,
    // not into the program's (possibly system) folder.
    const fs::path previous = fs::current_path();
    test::MetafileBuilder(20, 10).Write(m_root + name + ".emf");
    fs::current_path(m_root);
    const Lines bare = RunQuiet({"-i", name + ".emf"});
    fs::current_path(previous);
    EXPECT_EQ(bare, Lines{});
    EXPECT_TRUE(LoadsAs(m_root + name + ".bmp", FIF_BMP, 2, 1));
    EXPECT_FALSE(fs::exists(programFolder + name + ".bmp"));
    fs::remove(programFolder + name + ".bmp");
}

} // namespace
} // namespace qm
