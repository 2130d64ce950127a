#include "cli/option_table.h"
#include "cli/option_values.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <set>

using namespace qm;

TEST(ParseInteger, ReadsLeadingDigitsInEachBase) {
    EXPECT_EQ(ParseInteger("95"), 95);
    EXPECT_EQ(ParseInteger(" \t95"), 95);
    EXPECT_EQ(ParseInteger("95%"), 95);
    EXPECT_EQ(ParseInteger("95px"), 95);
    EXPECT_EQ(ParseInteger("$FF"), 255);
    EXPECT_EQ(ParseInteger("$ff"), 255);
    EXPECT_EQ(ParseInteger("%101"), 5);
    EXPECT_EQ(ParseInteger("%102"), 2);
    EXPECT_EQ(ParseInteger("-5"), -5);
    EXPECT_EQ(ParseInteger("+7"), 7);
    EXPECT_EQ(ParseInteger("-$10"), -16);
    EXPECT_EQ(ParseInteger("abc"), 0);
    EXPECT_EQ(ParseInteger(""), 0);
    EXPECT_EQ(ParseInteger("-"), 0);
    EXPECT_EQ(ParseInteger("12 34"), 12);
}

TEST(ParseInteger, OverflowWrapsAndStoresLow32Bits) {
    EXPECT_EQ(static_cast<int32_t>(ParseInteger("4294967296")), 0);
    EXPECT_EQ(static_cast<int32_t>(ParseInteger("4294967295")), -1);
    EXPECT_EQ(static_cast<int32_t>(ParseInteger("2147483648")), INT32_MIN);
    // 2^64 + 5 wraps to 5.
    EXPECT_EQ(ParseInteger("18446744073709551621"), 5);
}

TEST(ParseReal, ReadsEnglishNumbersAndSpecialWords) {
    EXPECT_FLOAT_EQ(ParseReal("2.2"), 2.2f);
    EXPECT_FLOAT_EQ(ParseReal(" 0.01"), 0.01f);
    EXPECT_FLOAT_EQ(ParseReal("9.99xyz"), 9.99f);
    EXPECT_FLOAT_EQ(ParseReal("-1.5e2"), -150.0f);
    EXPECT_FLOAT_EQ(ParseReal("3e"), 3.0f);
    EXPECT_FLOAT_EQ(ParseReal(".5"), 0.5f);
    EXPECT_EQ(ParseReal("abc"), 0.0f);
    EXPECT_EQ(ParseReal(""), 0.0f);
    EXPECT_TRUE(std::isinf(ParseReal("+INFINITY")) && ParseReal("+Infinity") > 0);
    EXPECT_TRUE(std::isinf(ParseReal("-infinity")) && ParseReal("-Infinity") < 0);
    EXPECT_TRUE(std::isnan(ParseReal("nan")));
    EXPECT_TRUE(std::isinf(ParseReal("1e300")));
    EXPECT_EQ(ParseReal("1e-300"), 0.0f);
}

TEST(ParseReal, IgnoresTheProcessLocale) {
    const char* chosen = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"})
        if (std::setlocale(LC_ALL, name)) {
            chosen = name;
            break;
        }
    if (!chosen)
        GTEST_SKIP() << "no locale with a decimal comma installed";
    EXPECT_FLOAT_EQ(ParseReal("2.5"), 2.5f);
    EXPECT_FLOAT_EQ(ParseReal("2,5"), 2.0f);
    std::setlocale(LC_ALL, "C");
}

TEST(ParseKeyword, TrimsIgnoresCaseAndFallsBackToZero) {
    EXPECT_EQ(ParseKeyword(KeywordTable::ResizeAlgorithm, " lanczos "), 5);
    EXPECT_EQ(ParseKeyword(KeywordTable::Position, "BottomRight"), 8);
    EXPECT_EQ(ParseKeyword(KeywordTable::Compression, "lzw"), 6);
    EXPECT_EQ(ParseKeyword(KeywordTable::Compression, "ZLIB9"), 3);
    EXPECT_EQ(ParseKeyword(KeywordTable::RawLoadAs, "48HS"), 4);
    EXPECT_EQ(ParseKeyword(KeywordTable::RawLoadAs, "48"), 5);
    EXPECT_EQ(ParseKeyword(KeywordTable::FontStyle, "BOLD ITALIC"), 0);
    EXPECT_EQ(ParseKeyword(KeywordTable::FileTimestamp, "custom"), 2);
    EXPECT_EQ(ParseKeyword(static_cast<KeywordTable>(22), "AUTO"), 0);
    EXPECT_EQ(ParseKeyword(static_cast<KeywordTable>(-1), "AUTO"), 0);
}

TEST(KeywordName, EchoesTheFormatsOwnCompressionWord) {
    EXPECT_EQ(KeywordName(KeywordTable::Compression, 3, "png"), "ZLIB9");
    EXPECT_EQ(KeywordName(KeywordTable::Compression, 3, "tiff"), "PACKBITS");
    EXPECT_EQ(KeywordName(KeywordTable::Compression, 3, "exr"), "PXR24");
    EXPECT_EQ(KeywordName(KeywordTable::Compression, 1, "bmp"), "RLE");
    EXPECT_EQ(KeywordName(KeywordTable::Compression, 1, "TGA"), "RLE");
    EXPECT_EQ(KeywordName(KeywordTable::Compression, 0, "png"), "NONE");
    EXPECT_EQ(KeywordName(KeywordTable::Compression, 5, "png"), "");
    EXPECT_EQ(KeywordName(KeywordTable::ResizeAlgorithm, 3), "BICUBIC");
    EXPECT_EQ(KeywordName(KeywordTable::WatermarkKind, 2), "IMAGE");
    EXPECT_EQ(KeywordName(KeywordTable::FrameKind, 1), "SOLID");
    EXPECT_EQ(KeywordName(KeywordTable::Position, 9), "");
}

TEST(SettingOptions, ApplyValuesAndSwitchTheirFeatureOn) {
    SettingsRecord s;
    ResetSettings(s, 1);
    EXPECT_TRUE(ApplySettingOption("--JPG-QUALITY", "-5", s));
    EXPECT_EQ(s.Output.JPGQuality, -5);
    EXPECT_TRUE(ApplySettingOption("--WBMP-BPP", "1", s));
    EXPECT_EQ(s.Output.WBMPBPP, 1);
    EXPECT_TRUE(ApplySettingOption("--INVERT", "no", s));
    EXPECT_EQ(s.Adjustment.ImageInvert, 1);
    EXPECT_EQ(s.Adjustment.DoImageColorCorrection, 1);
    EXPECT_TRUE(ApplySettingOption("--GAMMA", "2.2", s));
    EXPECT_FLOAT_EQ(s.Adjustment.ImageGamma, 2.2f);
    EXPECT_TRUE(ApplySettingOption("--WIDTH", "300", s));
    EXPECT_EQ(s.Transform.DoImageResize, 1);
    EXPECT_EQ(s.Transform.KeepAspectRatio, 0);
    EXPECT_TRUE(ApplySettingOption("--FR-SOLID-TOP", "4", s));
    EXPECT_EQ(s.Frame.DoFrame, 1);
    EXPECT_TRUE(ApplySettingOption("--NO-SUBFOLDERS", "", s));
    EXPECT_EQ(s.Advanced.KeepSubfolders, 0);
    EXPECT_TRUE(ApplySettingOption("--RESIZE-ALGORITHM", "lanczos", s));
    EXPECT_EQ(s.Transform.ImageResizeAlgorithm, 5);
    EXPECT_FALSE(ApplySettingOption("--NOT-AN-OPTION", "1", s));
    EXPECT_FALSE(ApplySettingOption("--jpg-quality", "1", s)); // names arrive upper-cased
}

TEST(SettingOptions, EmfPlusPlaybackTakesItsThreeKeywords) {
    SettingsRecord s;
    ResetSettings(s, 1);
    EXPECT_EQ(s.Input.EMFPlusPlayback, 0);
    EXPECT_TRUE(ApplySettingOption("--EMFPLUS", "prefer", s));
    EXPECT_EQ(s.Input.EMFPlusPlayback, 2);
    EXPECT_TRUE(ApplySettingOption("--EMFPLUS", "Never", s));
    EXPECT_EQ(s.Input.EMFPlusPlayback, 1);
    EXPECT_EQ(KeywordName(KeywordTable::EmfPlusPlayback, 1), "NEVER");
    EXPECT_TRUE(ApplySettingOption("--EMFPLUS", "sometimes", s)); // unknown: automatic
    EXPECT_EQ(s.Input.EMFPlusPlayback, 0);
}

TEST(SettingOptions, ThreadsIsACountThatIsNotKeptInTheConfiguration) {
    SettingsRecord s;
    ResetSettings(s, 1);
    EXPECT_EQ(s.Advanced.Threads, 0);
    EXPECT_TRUE(ApplySettingOption("--THREADS", "4", s));
    EXPECT_EQ(s.Advanced.Threads, 4);
    ResetSettings(s, 1);
    EXPECT_EQ(s.Advanced.Threads, 0);
}

TEST(SettingOptions, TheLaterWatermarkOptionDecidesTheKind) {
    SettingsRecord s;
    ApplySettingOption("--WM-IMAGE", "/tmp/logo.png", s);
    ApplySettingOption("--WM-TEXT", "Sample text", s);
    EXPECT_EQ(s.Watermark.DoWatermark, 1);
    EXPECT_EQ(s.Watermark.Image, "/tmp/logo.png");
    ApplySettingOption("--WM-IMAGE", "/tmp/logo.png", s);
    EXPECT_EQ(s.Watermark.DoWatermark, 2);
}

TEST(SettingOptions, KindsTellWhichOptionsTakeValuesAndText) {
    EXPECT_TRUE(OptionTakesValue("--JPG-QUALITY"));
    EXPECT_FALSE(OptionTakesValue("--INVERT"));
    EXPECT_FALSE(OptionTakesValue("--UNKNOWN"));
    EXPECT_TRUE(IsTextOption("--WM-TEXT"));
    EXPECT_TRUE(IsTextOption("--FILENAME-MASK"));
    EXPECT_FALSE(IsTextOption("--WM-FONT-SIZE"));
    // Every format has its depth option and no name is declared twice.
    std::set<std::string> names;
    for (const SettingOption& o : SettingOptions())
        EXPECT_TRUE(names.insert(o.name).second) << o.name;
    for (const std::string& id : OutputFormats) {
        std::string upper;
        for (char c : id)
            upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_TRUE(names.count("--" + upper + "-BPP")) << id;
    }
}
