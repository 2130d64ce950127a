#include "cli/value_checks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "core/formats.h"

namespace qm {
namespace {

SettingsRecord ConsoleDefaults() {
    SettingsRecord s;
    ResetSettings(s, 1);
    return s;
}

TEST(ValueChecks, ConversionTypeIsCaseSensitive) {
    EXPECT_EQ(CheckConversionType("jpg"), "");
    EXPECT_EQ(CheckConversionType("tiff"), "");
    EXPECT_EQ(CheckConversionType("JPG"), "Error: Invalid conversion type");
    EXPECT_EQ(CheckConversionType("tif"), "Error: Invalid conversion type");
    EXPECT_EQ(CheckConversionType(""), "Error: Invalid conversion type");
}

TEST(ValueChecks, DepthOfTheChosenFormatOnly) {
    SettingsRecord s = ConsoleDefaults();
    for (const std::string& id : OutputFormats)
        EXPECT_EQ(CheckDepth(id, s), "") << id; // 0 is automatic everywhere
    s.Output.PNGBPP = 16;
    EXPECT_EQ(CheckDepth("png", s), "Error: Invalid png-bpp value");
    s.Output.PNGBPP = 48;
    EXPECT_EQ(CheckDepth("png", s), "");
    s.Output.JPGBPP = 32;
    EXPECT_EQ(CheckDepth("jpg", s), "Error: Invalid jpg-bpp value");
    EXPECT_EQ(CheckDepth("bmp", s), ""); // other formats' depths don't matter
    s.Output.WBMPBPP = 8;
    EXPECT_EQ(CheckDepth("wbmp", s), "Error: Invalid wbmp-bpp value");
    s.Output.TIFFBPP = -1;
    EXPECT_EQ(CheckDepth("tiff", s), "Error: Invalid tiff-bpp value");
}

TEST(ValueChecks, QualityRangeForJpgAndWebpOnly) {
    SettingsRecord s = ConsoleDefaults();
    for (int32_t q : {1, 100}) {
        s.Output.JPGQuality = s.Output.WEBPQuality = q;
        EXPECT_EQ(CheckQuality("jpg", s), "");
        EXPECT_EQ(CheckQuality("webp", s), "");
    }
    for (int32_t q : {0, 101}) {
        s.Output.JPGQuality = s.Output.WEBPQuality = q;
        EXPECT_EQ(CheckQuality("jpg", s), "Error: Invalid jpg-quality value");
        EXPECT_EQ(CheckQuality("webp", s), "Error: Invalid webp-quality value");
        EXPECT_EQ(CheckQuality("png", s), "");
    }
}

TEST(ValueChecks, ResizeAndAdjustmentEdges) {
    SettingsRecord s = ConsoleDefaults();
    EXPECT_EQ(CheckWidth(s), "Error: Invalid width value");
    EXPECT_EQ(CheckHeight(s), "Error: Invalid height value");
    s.Transform.ImageWidth = -1;
    s.Transform.ImageHeight = 1;
    EXPECT_EQ(CheckWidth(s), "");
    EXPECT_EQ(CheckHeight(s), "");

    for (int32_t v : {-100, 100}) {
        s.Adjustment.ImageBrightness = s.Adjustment.ImageContrast = v;
        EXPECT_EQ(CheckBrightness(s), "");
        EXPECT_EQ(CheckContrast(s), "");
    }
    for (int32_t v : {-101, 101}) {
        s.Adjustment.ImageBrightness = s.Adjustment.ImageContrast = v;
        EXPECT_EQ(CheckBrightness(s), "Error: Invalid brightness value");
        EXPECT_EQ(CheckContrast(s), "Error: Invalid contrast value");
    }
    for (float g : {0.01f, 9.99f, 1.0f}) {
        s.Adjustment.ImageGamma = g;
        EXPECT_EQ(CheckGamma(s), "") << g;
    }
    for (float g : {0.009f, 0.0f, 10.0f, 9.991f, std::numeric_limits<float>::quiet_NaN(),
                    std::numeric_limits<float>::infinity()}) {
        s.Adjustment.ImageGamma = g;
        EXPECT_EQ(CheckGamma(s), "Error: Invalid gamma value") << g;
    }
}

TEST(ValueChecks, WatermarkFontMustBeInstalledOrSubstituted) {
    SettingsRecord s = ConsoleDefaults();
    s.Watermark.Font = "Arial"; // metric-compatible substitute
    EXPECT_EQ(CheckWatermarkFont(s), "");
    s.Watermark.FontSize = 0;
    EXPECT_EQ(CheckWatermarkFont(s), "Error: Invalid watermark font");
    s.Watermark.FontSize = 1;
    EXPECT_EQ(CheckWatermarkFont(s), "");
    s.Watermark.Font = "No Such Font Family 4711";
    EXPECT_EQ(CheckWatermarkFont(s), "Error: Invalid watermark font");
    s.Watermark.Font = "";
    EXPECT_EQ(CheckWatermarkFont(s), "Error: Invalid watermark font");
}

TEST(ValueChecks, WatermarkImageMustBeANonEmptyFile) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "qm_value_checks";
    fs::create_directories(dir);
    std::ofstream(dir / "empty.png").close();
    std::ofstream(dir / "mark.png") << "x";
    SettingsRecord s = ConsoleDefaults();
    const char* const message = "Error: Invalid watermark image";
    EXPECT_EQ(CheckWatermarkImage(s), message);
    s.Watermark.Image = (dir / "missing.png").string();
    EXPECT_EQ(CheckWatermarkImage(s), message);
    s.Watermark.Image = (dir / "empty.png").string();
    EXPECT_EQ(CheckWatermarkImage(s), message);
    s.Watermark.Image = dir.string();
    EXPECT_EQ(CheckWatermarkImage(s), message);
    s.Watermark.Image = (dir / "mark.png").string();
    EXPECT_EQ(CheckWatermarkImage(s), "");
    fs::remove_all(dir);
}

TEST(FontFlags, StyleAndEffectMappings) {
    EXPECT_EQ(FontStyleFlags(0), 0);
    EXPECT_EQ(FontStyleFlags(1), 256);
    EXPECT_EQ(FontStyleFlags(2), 512);
    EXPECT_EQ(FontStyleFlags(3), 768);
    EXPECT_EQ(FontStyleFlags(4), 0);
    EXPECT_EQ(FontEffectFlags(1), 4);
    EXPECT_EQ(FontEffectFlags(2), 8);
    EXPECT_EQ(FontEffectFlags(3), 0);
    EXPECT_EQ(FontEffectFlags(-1), 0);
}

} // namespace
} // namespace qm
