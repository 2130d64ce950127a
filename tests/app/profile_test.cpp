#include "app/profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "app/settings_file.h"
#include "cli/command_line.h"

namespace qm {
namespace {

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/qm_profile_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        m_dir = name;
        m_path = m_dir + "/profile.ini";
        ResetSettings(m_settings, 1);
    }
    void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }

    // Applies text as a profile file to m_settings.
    int Apply(const std::string& text) {
        std::ofstream(m_path, std::ios::binary) << text;
        return LoadProfile(m_path, m_settings);
    }
    // Every persisted setting, for comparing records.
    std::string Snapshot() const { return SettingsFileText(m_settings); }

    std::string m_dir;
    std::string m_path;
    SettingsRecord m_settings;
};

TEST_F(ProfileTest, GroupAndKeysIgnoreLetterCase) {
    ASSERT_EQ(Apply("\xEF\xBB\xBF[cli]\r\n--jpg-quality = 80\r\n--Resize-Algorithm = lanczos\r\n"
                    "--GAMMA = 2.5\r\n--TIFF-COMPRESSION = LZW\r\n"),
              1);
    EXPECT_EQ(m_settings.Output.JPGQuality, 80);
    EXPECT_EQ(m_settings.Transform.ImageResizeAlgorithm, 5);
    EXPECT_FLOAT_EQ(m_settings.Adjustment.ImageGamma, 2.5f);
    EXPECT_EQ(m_settings.Adjustment.DoImageColorCorrection, 1);
    EXPECT_EQ(m_settings.Output.TIFFCompression, 6);
}

TEST_F(ProfileTest, FlagsIgnoreTheirValue) {
    Apply("[CLI]\n--PNG-INTERLACED = 0\n--NO-SUBFOLDERS = yes\n--INVERT\n");
    EXPECT_EQ(m_settings.Output.PNGInterlaced, 1);
    EXPECT_EQ(m_settings.Advanced.KeepSubfolders, 0);
    EXPECT_EQ(m_settings.Adjustment.ImageInvert, 1);
    EXPECT_EQ(m_settings.Adjustment.DoImageColorCorrection, 1);
}

TEST_F(ProfileTest, FrameOpacityHasItsOwnKey) {
    Apply("[CLI]\n--FR-SOLID-OPACITY = 128\n");
    EXPECT_EQ(m_settings.Frame.SolidOpacity, 255);
    Apply("[CLI]\n--wm-solid-opacity = 128\n");
    EXPECT_EQ(m_settings.Frame.SolidOpacity, 128);
}

TEST_F(ProfileTest, TextsAreTakenAsTheyStand) {
    Apply("[CLI]\n--WM-TEXT =   Sample text  \n--FILENAME-MASK = \"%filename%.%ext%\"\n"
          "--WM-FONT-COLOR = ff0000\n");
    EXPECT_EQ(m_settings.Watermark.DoWatermark, 1);
    EXPECT_EQ(m_settings.Watermark.Text, "Sample text");
    EXPECT_EQ(m_settings.Advanced.FilenameMask, "\"%filename%.%ext%\"");
    EXPECT_EQ(m_settings.Watermark.FontColor, "ff0000");

    Apply("[CLI]\n--WM-IMAGE = /logos/mark.png\n");
    EXPECT_EQ(m_settings.Watermark.DoWatermark, 2);
    EXPECT_EQ(m_settings.Watermark.Image, "/logos/mark.png");
}

TEST_F(ProfileTest, RunAndFrontEndOptionsAreIgnored) {
    const std::string before = Snapshot();
    ASSERT_EQ(Apply("[CLI]\n--INPUT = /in\n--output = /out\n--CONVERSION = jpg\n"
                    "--PROFILE = other.ini\n--quiet\n--DEBUG\n--PAUSE\n--HELP\n--VERSION\n"
                    "-i = /in\n-c = png\nJPG Quality = 5\n--UNKNOWN = 1\n--JPG-QUALITYX = 3\n"),
              1);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(ProfileTest, OnlyTheFirstCliGroupCountsAndLaterEntriesWin) {
    Apply("--JPG-QUALITY = 11\n[Output]\n--WEBP-QUALITY = 12\n[CLI]\n--JPG-QUALITY = 50\n"
          "--JPG-QUALITY = 60\n[Other]\n--ROTATION = 90\n[cli]\n--BRIGHTNESS = 5\n");
    EXPECT_EQ(m_settings.Output.JPGQuality, 60);
    EXPECT_EQ(m_settings.Output.WEBPQuality, 100);
    EXPECT_EQ(m_settings.Transform.DoImageRotation, 0);
    EXPECT_EQ(m_settings.Adjustment.ImageBrightness, 0);

    // Without a [CLI] group, the entries ahead of the first group line are read.
    Apply("--JPG-QUALITY = 77\n[Output]\n--WEBP-QUALITY = 12\n");
    EXPECT_EQ(m_settings.Output.JPGQuality, 77);
    EXPECT_EQ(m_settings.Output.WEBPQuality, 100);
    const std::string before = Snapshot();
    EXPECT_EQ(Apply("[General]\n--JPG-QUALITY = 1\n"), 1);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(ProfileTest, UnreadableProfilesChangeNothing) {
    const std::string before = Snapshot();
    EXPECT_EQ(LoadProfile("", m_settings), 0);
    EXPECT_EQ(LoadProfile(m_dir + "/absent.ini", m_settings), 0);
    EXPECT_EQ(LoadProfile(m_dir, m_settings), 0);
    // A FIFO nobody writes to reads as empty instead of waiting.
    ASSERT_EQ(mkfifo((m_dir + "/fifo").c_str(), 0600), 0);
    EXPECT_EQ(LoadProfile(m_dir + "/fifo", m_settings), 1);
    EXPECT_EQ(Snapshot(), before);

    // Binary noise reads without harm.
    std::mt19937 random(3);
    std::string noise(1 << 20, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    EXPECT_EQ(Apply("[CLI]\n" + noise), 1);
    EXPECT_EQ(Apply("[CLI]\n--WM-TEXT = " + std::string(1 << 20, 'w') + "\n"), 1);
    EXPECT_EQ(m_settings.Watermark.Text.size(), 1u << 20);
}

TEST_F(ProfileTest, CommandLineOptionsAroundTheProfile) {
    std::ofstream(m_path) << "[CLI]\n--JPG-QUALITY = 90\n--ROTATION = 45\n";
    ConversionJobRecord job;
    CommandLineState state = ParseCommandLine(
        {"-i", "/in", "--JPG-QUALITY=70", "--profile=" + m_path}, m_settings, job, LoadProfile);
    EXPECT_EQ(state.ErrorText, "");
    EXPECT_EQ(m_settings.Output.JPGQuality, 90);
    EXPECT_EQ(m_settings.Transform.ImageRotation, 45);

    ResetSettings(m_settings, 1);
    state =
        ParseCommandLine({"--profile=" + m_path, "--jpg-quality=70"}, m_settings, job, LoadProfile);
    EXPECT_EQ(m_settings.Output.JPGQuality, 70);

    state = ParseCommandLine({"--profile=" + m_dir + "/absent.ini"}, m_settings, job, LoadProfile);
    EXPECT_EQ(state.ErrorText, "Invalid profile file");
}

TEST_F(ProfileTest, DefaultsToTheGlobalSettings) {
    std::ofstream(m_path) << "[CLI]\n--WEBP-QUALITY = 42\n";
    const int32_t saved = Settings.Output.WEBPQuality;
    ASSERT_EQ(LoadProfile(m_path), 1);
    EXPECT_EQ(Settings.Output.WEBPQuality, 42);
    Settings.Output.WEBPQuality = saved;
}

} // namespace
} // namespace qm
