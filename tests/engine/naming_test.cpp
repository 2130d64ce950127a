#include "engine/naming.h"

#include <gtest/gtest.h>

#include <ctime>
#include <regex>

using namespace qm;

namespace {

struct Naming : ::testing::Test {
    ConversionJobRecord job;
    SettingsRecord s;
    void SetUp() override {
        ResetSettings(s, 1);
        job.OutputFolder = "/out/";
        job.InputPath = "/in/Plan.emf";
        job.FormatId = "png";
    }
    std::string Name(const std::string& mask) {
        s.Advanced.FilenameMask = mask;
        return BuildFileName(job, s);
    }
};

std::string Now(const char* format) {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buffer[16];
    std::strftime(buffer, sizeof buffer, format, &tm);
    return buffer;
}

} // namespace

TEST_F(Naming, DefaultMaskDropsOnlyTheLastExtension) {
    job.InputPath = "/In/Plan.old.emf";
    EXPECT_EQ(Name("%filename%.%ext%"), "Plan.old.png");
    EXPECT_EQ(Name(""), "Plan.old.png");
    job.InputPath = "/In/noext";
    EXPECT_EQ(Name(""), "noext.png");
    job.InputPath = "/In.d/x";
    EXPECT_EQ(Name(""), "x.png");
}

TEST_F(Naming, LiteralTextIsLowerCasedTokenValuesKeepTheirCase) {
    EXPECT_EQ(Name("Copy of %filename%.%ext%"), "copy of Plan.png");
    EXPECT_EQ(Name("%FILENAME%.%Ext%"), "Plan.png");
    EXPECT_EQ(Name("ÄRGER %filename%"), "ärger Plan"); // no extension without %ext%
    EXPECT_EQ(Name("%filename%.PNG"), "Plan.png");
}

TEST_F(Naming, CaseVariantsOfNameAndExtension) {
    job.InputPath = "/in/plan.EMF";
    EXPECT_EQ(Name("%filename[t]%"), "Plan");
    job.InputPath = "/in/mAP.emf";
    EXPECT_EQ(Name("%filename[t]%|%filename[u]%|%filename[l]%"), "Map|MAP|map");
    job.InputPath = "/in/x.emf";
    EXPECT_EQ(Name("%filename[t]%"), "X");
    job.InputPath = "/in/élan Über.emf";
    EXPECT_EQ(Name("%filename[t]%|%filename[u]%"), "Élan über|ÉLAN ÜBER");
    job.FormatId = "tiff";
    EXPECT_EQ(Name("%ext[u]%-%ext[t]%-%ext%"), "TIFF-Tiff-tiff");
}

TEST_F(Naming, NumbersArePaddedOrCutToFiveDigits) {
    job.TargetDepth = 24;
    job.FinalWidth = 640;
    job.FinalHeight = 480;
    job.RandomNumber = 42;
    job.SuccessCounter = 7;
    EXPECT_EQ(Name("%bpp%_%width%x%height%_%rnd%_%n%"), "24_640x480_00042_00007");
    job.RandomNumber = 99999;
    job.SuccessCounter = 1234567;
    EXPECT_EQ(Name("%rnd%_%n%"), "99999_12345");
}

TEST_F(Naming, CounterFollowsTheJobOverConsecutiveRuns) {
    // The worker advances SuccessCounter after each success and never resets it between runs.
    ResetConversionJob();
    ConversionJob.InputPath = "/in/a.emf";
    ConversionJob.FormatId = "gif";
    s.Advanced.FilenameMask = "%n%.%ext%";
    std::vector<std::string> names;
    for (int run = 0; run < 2; ++run)
        for (int file = 0; file < 2; ++file) {
            names.push_back(BuildFileName(ConversionJob, s));
            ++ConversionJob.SuccessCounter;
        }
    EXPECT_EQ(names,
              (std::vector<std::string>{"00001.gif", "00002.gif", "00003.gif", "00004.gif"}));
}

TEST_F(Naming, TokenTextInsideTheBaseNameIsReplacedByLaterTokens) {
    job.InputPath = "/in/%ext%.emf";
    job.FormatId = "jpg";
    EXPECT_EQ(Name("%filename%.%ext%"), "jpg.jpg");
    // A token earlier in the order than %filename% stays as it is.
    job.InputPath = "/in/%n%-%FILENAME%.emf";
    job.SuccessCounter = 3;
    EXPECT_EQ(Name("%filename%"), "00003-%FILENAME%");
}

TEST_F(Naming, DateAndTimeTokensReadTheLocalClock) {
    const std::string name = Name("%yyyy%-%mm%-%dd% %hh%.%ii%.%ss%");
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(\d{4}-\d\d-\d\d \d\d\.\d\d\.\d\d)"))) << name;
    EXPECT_EQ(name.substr(0, 10), Now("%Y-%m-%d"));
}

TEST_F(Naming, OutputAndTempPathsFollowKeepSubfolders) {
    job.InputSubfolder = "a/b/";
    s.Advanced.KeepSubfolders = 1;
    EXPECT_EQ(BuildOutputPath(job, s), "/out/a/b/Plan.png");
    job.FormatId = "psd";
    const std::string temp = BuildTempPath(job, s);
    EXPECT_TRUE(std::regex_match(temp, std::regex("/out/a/b/pirelo[a-j]+[a-z]{5}\\.psd"))) << temp;
    s.Advanced.KeepSubfolders = 0;
    EXPECT_EQ(BuildOutputPath(job, s), "/out/Plan.psd");
    EXPECT_EQ(BuildTempPath(job, s).rfind("/out/pirelo", 0), 0u);
}

TEST(RandomLetters, EncodesTheClockDigitsThenFiveRandomLetters) {
    const std::string a = RandomLetters("p-", "-s");
    EXPECT_TRUE(std::regex_match(a, std::regex("p-[a-j]{10}[a-z]{5}-s"))) << a;
    bool differs = false;
    for (int i = 0; i < 20 && !differs; ++i)
        differs = RandomLetters("", "") != RandomLetters("", "");
    EXPECT_TRUE(differs);
}

TEST(ExpandTokens, WatermarkTextKeepsItsLiteralCase) {
    ConversionJobRecord job;
    job.InputPath = "/in/Plan.emf";
    job.FormatId = "png";
    SettingsRecord s;
    EXPECT_EQ(ExpandTokens("100%", job, s), "100%");
    EXPECT_EQ(ExpandTokens("%yyyy%-%mm%", job, s), Now("%Y-%m"));
    EXPECT_EQ(ExpandTokens("Drawing %FileName% AS %EXT[U]%", job, s), "Drawing Plan AS PNG");
    EXPECT_EQ(ExpandTokens("50% of %unknown%", job, s), "50% of %unknown%");
    EXPECT_EQ(ExpandToken("a%N%b%n%", "%n%", job), "a00001b00001");
}
