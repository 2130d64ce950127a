#include "app/settings_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <random>
#include <signal.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/app_paths.h"
#include "app/ini_reader.h"

namespace qm {
namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/qm_settings_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        m_dir = name;
        m_path = m_dir + "/config.ini";
    }
    void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }

    void Write(const std::string& bytes) { std::ofstream(m_path, std::ios::binary) << bytes; }
    std::string Read() const {
        std::ifstream in(m_path, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    // Loads text as a config.ini from disk.
    SettingsRecord Load(const std::string& bytes) {
        Write(bytes);
        SettingsRecord s;
        s.ConfigPath = m_path;
        EXPECT_EQ(LoadSettings(s), 1);
        return s;
    }
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        if (DIR* d = opendir(m_dir.c_str())) {
            while (dirent* e = readdir(d))
                if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, ".."))
                    names.push_back(e->d_name);
            closedir(d);
        }
        return names;
    }

    std::string m_dir;
    std::string m_path;
};

// Compares every declared setting of two records.
void ExpectSameSettings(SettingsRecord& a, SettingsRecord& b) {
    for (const SettingKey& k : SettingKeys()) {
        SCOPED_TRACE(std::string(k.group) + "/" + k.key);
        switch (k.type) {
        case SettingType::Int32:
        case SettingType::DateTime:
            EXPECT_EQ(*Int32Field(a, k), *Int32Field(b, k));
            break;
        case SettingType::Int8:
            EXPECT_EQ(*Int8Field(a, k), *Int8Field(b, k));
            break;
        case SettingType::Float32:
            EXPECT_EQ(*FloatField(a, k), *FloatField(b, k));
            break;
        case SettingType::Text:
            EXPECT_EQ(*TextField(a, k), *TextField(b, k));
            break;
        }
    }
}

TEST_F(SettingsFileTest, DefaultsSurviveSaveAndLoad) {
    SetDesktopSize(1920, 1080);
    SettingsRecord saved;
    ResetSettings(saved, 0);
    saved.ConfigPath = m_path;
    ASSERT_EQ(SaveSettings(saved), 1);

    const std::string bytes = Read();
    EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF\r\n[General]\r\nCFG = 18\r\nLanguage = en\r\n"
                          "Update Range = 2\r\n",
                          0),
              0u);
    EXPECT_NE(bytes.find("[Window]\r\nIsMaximized = 0\r\nWidth = 510\r\nHeight = 330\r\n"
                         "X = 705\r\nY = 375\r\n; \r\n[Interface]"),
              std::string::npos);
    EXPECT_NE(bytes.find("[Input]\r\nFormat = emf\r\n; \r\n"), std::string::npos);
    EXPECT_NE(bytes.find("Image Gamma = 1.000000\r\n"), std::string::npos);
    EXPECT_EQ(bytes.find('\n', 0), 4u);
    // Every line ends in CR LF.
    for (size_t i = bytes.find('\n'); i != std::string::npos; i = bytes.find('\n', i + 1))
        EXPECT_EQ(bytes[i - 1], '\r');

    SettingsRecord loaded;
    loaded.ConfigPath = m_path;
    ASSERT_EQ(LoadSettings(loaded), 1);
    ExpectSameSettings(saved, loaded);
    EXPECT_EQ(SettingsFileText(loaded), bytes);
    SetDesktopSize(0, 0);
}

TEST_F(SettingsFileTest, OutputKeysFollowTheFormatList) {
    SettingsRecord s;
    const std::string text = SettingsFileText(s);
    const size_t begin = text.find("[Output]\r\n");
    const size_t end = text.find("; \r\n", begin);
    ASSERT_NE(begin, std::string::npos);
    std::vector<std::string> keys;
    std::istringstream lines(text.substr(begin, end - begin));
    for (std::string line; std::getline(lines, line);)
        if (line.find(" = ") != std::string::npos)
            keys.push_back(line.substr(0, line.find(" = ")));
    ASSERT_EQ(keys.size(), 36u);
    EXPECT_EQ(keys[0], "Format");
    EXPECT_EQ(keys[1], "BMP BPP");
    EXPECT_EQ(keys[14], "JPG Quality");
    EXPECT_EQ(keys[24], "PNG Interlaced");
    EXPECT_EQ(keys[35], "XPM BPP");
    // Keys that are only read never reach the file.
    for (const char* key : {"Hide Passwords", "TxtFields", "CsvDelimiter", "DDS Load As"})
        EXPECT_EQ(text.find(key), std::string::npos) << key;
}

TEST_F(SettingsFileTest, Int8KeepsLowBitsAndIsWrittenSignExtended) {
    SettingsRecord s = Load("[Transform]\nKeep Aspect Ratio = 300\nDo Image Resize = 200\n"
                            "[Window]\nIsMaximized = -1\n");
    EXPECT_EQ(s.Transform.KeepAspectRatio, 44);
    EXPECT_EQ(s.Transform.DoImageResize, -56);
    EXPECT_EQ(s.Window.IsMaximized, -1);
    EXPECT_NE(SettingsFileText(s).find("Do Image Resize = -56\r\n"), std::string::npos);
}

TEST_F(SettingsFileTest, OlderLayoutsAreMigrated) {
    SettingsRecord noVersion = Load("[Advanced]\nFilename Mask = %filename%\n");
    EXPECT_EQ(noVersion.Advanced.FilenameMask, "%filename%.%ext%");
    EXPECT_EQ(noVersion.General.CFG, 0);

    SettingsRecord v10 =
        Load("[General]\nCFG = 10\n[Advanced]\nFilename Mask = %ext%_%filename%\n");
    EXPECT_EQ(v10.Advanced.FilenameMask, "%ext%_%filename%");

    SettingsRecord v13 = Load("[General]\nCFG=13\n[Input]\nRAW Load As = 1\n");
    EXPECT_EQ(v13.Input.RAWLoadAs, 3);
    EXPECT_EQ(v13.General.CFG, 13);
    EXPECT_NE(SettingsFileText(v13).find("CFG = 18\r\n"), std::string::npos);

    EXPECT_EQ(Load("[General]\nCFG=14\n[Input]\nRAW Load As = 1\n").Input.RAWLoadAs, 1);
    EXPECT_EQ(Load("[General]\nCFG=13\n[Input]\nRAW Load As = 0\n").Input.RAWLoadAs, 0);
    // The migration of an extreme value wraps instead of overflowing.
    EXPECT_EQ(Load("[General]\nCFG=1\n[Input]\nRAW Load As = 2147483647\n").Input.RAWLoadAs,
              -2147483647);
}

TEST_F(SettingsFileTest, GammaIsReadAsRealAndWrittenWithSixDecimals) {
    SettingsRecord s = Load("[Adjustment]\nImage Gamma = 2.2\n");
    EXPECT_FLOAT_EQ(s.Adjustment.ImageGamma, 2.2f);
    EXPECT_NE(SettingsFileText(s).find("Image Gamma = 2.200000\r\n"), std::string::npos);

    const std::pair<const char*, const char*> cases[] = {
        {"+infinity", "+Infinity"}, {"-INFINITY", "-Infinity"}, {"nan", "NaN"},
        {"1e999", "+Infinity"},     {"0,5", "0.000000"},        {"abc", "0.000000"},
        {"  .25xyz", "0.250000"},   {"-3", "-3.000000"},
    };
    for (const auto& [stored, written] : cases) {
        SettingsRecord r = Load(std::string("[Adjustment]\nImage Gamma = ") + stored + "\n");
        EXPECT_NE(SettingsFileText(r).find(std::string("Image Gamma = ") + written + "\r\n"),
                  std::string::npos)
            << stored;
    }
}

TEST_F(SettingsFileTest, WindowKeysLeftOutWhenPositionIsNotSaved) {
    SettingsRecord s;
    ResetSettings(s, 0);
    s.General.SaveWindowPosition = 0;
    s.Window.X = 300;
    s.Window.Width = 800;
    s.ConfigPath = m_path;
    ASSERT_EQ(SaveSettings(s), 1);
    EXPECT_NE(Read().find("[Window]\r\n; \r\n[Interface]\r\n"), std::string::npos);

    SettingsRecord next;
    next.ConfigPath = m_path;
    ASSERT_EQ(LoadSettings(next), 1);
    EXPECT_EQ(next.Window.X, 100);
    EXPECT_EQ(next.Window.Y, 100);
    EXPECT_EQ(next.Window.Width, 510);
    EXPECT_EQ(next.Window.Height, 330);
}

TEST_F(SettingsFileTest, NamesIgnoreLetterCaseAndTheFirstMatchWins) {
    SettingsRecord s = Load("[OUTPUT]\njpg quality = 80\nJPG Quality = 70\n"
                            "[Output]\nWEBP Quality = 5\n"
                            "[transform]\nimage rotation = 90\n"
                            "[Watermark]\nImage Rotation = 45\n");
    EXPECT_EQ(s.Output.JPGQuality, 80);
    EXPECT_EQ(s.Output.WEBPQuality, 100); // only the first [Output] group is read
    EXPECT_EQ(s.Transform.ImageRotation, 90);
    EXPECT_EQ(s.Watermark.ImageRotation, 45);
}

TEST_F(SettingsFileTest, HandEditedLayoutsAreRead) {
    // No byte order mark, CR-only and LF-only line ends, indentation, comments, blanks around
    // "=", a group line without "]", a key without "=".
    SettingsRecord s = Load("; comment\r[Output\r\t  JPG Quality=\t 61 \t\r\nJPG Chroma\n"
                            "  ; JPG Save As = 3\n[File]\nCsvDelimiter = TAB\n"
                            "Recent Out Folders = /a/\t/b/\nUnknown = 1\n"
                            "[Watermark]\nText = a = b\n");
    EXPECT_EQ(s.Output.JPGQuality, 61);
    EXPECT_EQ(s.Output.JPGChroma, 0);
    EXPECT_EQ(s.Output.JPGSaveAs, 0);
    EXPECT_EQ(s.File.CsvDelimiter, "\t");
    EXPECT_EQ(s.File.RecentOutFolders, "/a/\t/b/");
    EXPECT_EQ(s.Watermark.Text, "a = b");
    const std::string text = SettingsFileText(s);
    EXPECT_EQ(text.find("Unknown"), std::string::npos);
    EXPECT_NE(text.find("Recent Out Folders = /a/\t/b/\r\n"), std::string::npos);

    EXPECT_EQ(Load("[File]\nCsvDelimiter = Space\n").File.CsvDelimiter, " ");
    EXPECT_EQ(Load("[File]\nCsvDelimiter = crlf\n").File.CsvDelimiter, "\r\n");
    EXPECT_EQ(Load("[File]\nCsvDelimiter = ;\n").File.CsvDelimiter, ";");
}

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndMissingKeysTheirOwn) {
    SetDesktopSize(1920, 1080);
    SettingsRecord s;
    s.Output.JPGQuality = 5;
    s.ConfigPath = m_dir + "/absent.ini";
    EXPECT_EQ(LoadSettings(s), 0);
    EXPECT_EQ(s.Output.JPGQuality, 95);
    EXPECT_EQ(s.General.CFG, 18);
    EXPECT_EQ(s.Window.X, 705);
    EXPECT_EQ(s.Transform.KeepAspectRatio, 1);

    SettingsRecord partial = Load("[Window]\nWidth = 640\n");
    EXPECT_EQ(partial.Window.Width, 640);
    EXPECT_EQ(partial.Window.X, 100);
    EXPECT_EQ(partial.Window.Y, 100);
    EXPECT_EQ(partial.General.CFG, 0);
    EXPECT_NEAR(partial.General.UpdateDate, CurrentLocalDateTime(), 5);
    EXPECT_EQ(partial.Transform.KeepAspectRatio, 1);
    SetDesktopSize(0, 0);

    // A folder in place of the file reads as unreadable.
    s.ConfigPath = m_dir;
    EXPECT_EQ(LoadSettings(s), 0);
}

TEST_F(SettingsFileTest, BadFilesLoadWithoutHarm) {
    // Numbers far out of range end at the 32-bit limits; int8 keeps the low bits of those.
    SettingsRecord big = Load("[Output]\nJPG Quality = 99999999999999999999999\n"
                              "WEBP Quality = -99999999999999999999999\nPNG Interlaced = 1e9\n");
    EXPECT_EQ(big.Output.JPGQuality, 2147483647);
    EXPECT_EQ(big.Output.WEBPQuality, -2147483647 - 1);
    EXPECT_EQ(big.Output.PNGInterlaced, 1);

    // Random bytes, with and without a byte order mark.
    std::mt19937 random(7);
    std::string noise(1 << 20, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    Load(noise);
    Load("\xEF\xBB\xBF" + noise);

    // A megabyte-long line and a long digit run.
    SettingsRecord longLine =
        Load("[Watermark]\nText = " + std::string(1 << 20, 'x') +
             "\n[Adjustment]\nImage Gamma = 1." + std::string(1 << 20, '5') + "\n");
    EXPECT_EQ(longLine.Watermark.Text.size(), 1u << 20);
    EXPECT_FLOAT_EQ(longLine.Adjustment.ImageGamma, 1.5555556f);

    // Past the read limit nothing counts; a file without line ends is one line.
    std::string huge = "[Output]\nJPG Quality = 42\n";
    huge.resize(MaxIniFileSize, ';');
    huge += "\nWEBP Quality = 7\n";
    SettingsRecord capped = Load(huge);
    EXPECT_EQ(capped.Output.JPGQuality, 42);
    EXPECT_EQ(capped.Output.WEBPQuality, 100);
    SettingsRecord oneLine = Load(std::string(MaxIniFileSize + 100, '['));
    EXPECT_EQ(oneLine.Output.JPGQuality, 95);
}

TEST_F(SettingsFileTest, TextsWithLineBreaksCannotAddLines) {
    SettingsRecord s;
    s.Watermark.Text = "one\r\n[General]\r\nCFG = 1";
    s.ConfigPath = m_path;
    ASSERT_EQ(SaveSettings(s), 1);
    SettingsRecord loaded;
    loaded.ConfigPath = m_path;
    LoadSettings(loaded);
    EXPECT_EQ(loaded.General.CFG, 18);
    EXPECT_EQ(loaded.Watermark.Text, "one  [General]  CFG = 1");
}

TEST_F(SettingsFileTest, FailedSaveKeepsTheOldFile) {
    SettingsRecord s;
    s.ConfigPath = m_dir + "/missing/config.ini";
    EXPECT_EQ(SaveSettings(s), 0);
    s.ConfigPath.clear();
    EXPECT_EQ(SaveSettings(s), 0);

    Write("[Output]\nJPG Quality = 33\n");
    s.ConfigPath = m_path;
    s.Output.JPGQuality = 44;
    if (geteuid() != 0) {
        chmod(m_dir.c_str(), 0500);
        EXPECT_EQ(SaveSettings(s), 0);
        chmod(m_dir.c_str(), 0700);
        EXPECT_EQ(Read(), "[Output]\nJPG Quality = 33\n");
    }
    // A disk that fills up during the write: the old file stays as it was.
    {
        const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit oldLimit{};
        getrlimit(RLIMIT_FSIZE, &oldLimit);
        rlimit small = oldLimit;
        small.rlim_cur = 100;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const int result = SaveSettings(s);
        setrlimit(RLIMIT_FSIZE, &oldLimit);
        signal(SIGXFSZ, oldHandler);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(Read(), "[Output]\nJPG Quality = 33\n");
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"config.ini"});
    }
    // A successful save leaves no temporary file behind.
    ASSERT_EQ(SaveSettings(s), 1);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"config.ini"});
}

TEST_F(SettingsFileTest, SaveReplacesTheTargetOfALink) {
    const std::string real = m_dir + "/real.ini";
    std::ofstream(real) << "old";
    chmod(real.c_str(), 0640);
    ASSERT_EQ(symlink("real.ini", m_path.c_str()), 0);
    SettingsRecord s;
    s.ConfigPath = m_path;
    ASSERT_EQ(SaveSettings(s), 1);
    struct stat info {};
    ASSERT_EQ(lstat(m_path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(Read(), SettingsFileText(s));
}

TEST_F(SettingsFileTest, AppDataFolderFollowsXdgConfigHome) {
    const char* oldXdg = getenv("XDG_CONFIG_HOME");
    const char* oldHome = getenv("HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "", savedHome = oldHome ? oldHome : "";

    setenv("XDG_CONFIG_HOME", (m_dir + "/cfg").c_str(), 1);
    EXPECT_EQ(DefaultConfigPath(), m_dir + "/cfg/Tarvenix/pirelo/config.ini");
    struct stat info {};
    EXPECT_EQ(stat((m_dir + "/cfg/Tarvenix/pirelo").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));

    // A relative XDG_CONFIG_HOME is ignored in favour of ~/.config.
    setenv("XDG_CONFIG_HOME", "relative", 1);
    setenv("HOME", m_dir.c_str(), 1);
    EXPECT_EQ(AppDataFolder("M", "P"), m_dir + "/.config/M/P/");
    EXPECT_EQ(stat((m_dir + "/.config/M/P").c_str(), &info), 0);

    oldXdg ? setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
    oldHome ? setenv("HOME", savedHome.c_str(), 1) : unsetenv("HOME");
}

} // namespace
} // namespace qm
