#include "core/settings.h"

#include <gtest/gtest.h>

#include <set>

using namespace qm;

TEST(ResetSettings, ConsoleStartLeavesKeepAspectRatioOff) {
    SettingsRecord s;
    ResetSettings(s, 1);
    EXPECT_EQ(s.Transform.KeepAspectRatio, 0);
    ResetSettings(s, 0);
    EXPECT_EQ(s.Transform.KeepAspectRatio, 1);
}

TEST(ResetSettings, RestoresDefaultsButKeepsConfigPath) {
    SettingsRecord s;
    s.ConfigPath = "/tmp/x/config.ini";
    s.Output.JPGQuality = 3;
    s.General.CFG = 11;
    s.Watermark.Text.clear();
    ResetSettings(s, 0);
    EXPECT_EQ(s.ConfigPath, "/tmp/x/config.ini");
    EXPECT_EQ(s.Output.JPGQuality, 95);
    EXPECT_EQ(s.General.CFG, 18);
    EXPECT_EQ(s.Watermark.Text, DefaultWatermarkText);
    EXPECT_EQ(s.Output.Format, "bmp");
    EXPECT_FLOAT_EQ(s.Adjustment.ImageGamma, 1.0f);
    EXPECT_GT(s.Advanced.CustomTimestamp, 0);
}

TEST(CenteredPosition, CentresOnLargerDesktopElse100) {
    EXPECT_EQ(CenteredPosition(510, 1920), 705);
    EXPECT_EQ(CenteredPosition(330, 1081), 375); // truncated
    EXPECT_EQ(CenteredPosition(510, 510), 100);
    EXPECT_EQ(CenteredPosition(510, 0), 100);
}

TEST(SettingKeys, EveryKeyIsUniqueInItsGroupAndReachesItsField) {
    SettingsRecord s;
    std::set<std::string> seen;
    for (const SettingKey& k : SettingKeys()) {
        EXPECT_TRUE(seen.insert(std::string(k.group) + "/" + k.key).second) << k.key;
        EXPECT_NE(k.field(s), nullptr);
    }
    EXPECT_EQ(seen.size(), SettingKeys().size());
    const SettingKey* q = FindSettingKey("OUTPUT", "jpg quality");
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(Int32Field(s, *q), &s.Output.JPGQuality);
    EXPECT_EQ(Int8Field(s, *q), nullptr);
}

TEST(FormatDepthSetting, FindsEveryOutputFormat) {
    SettingsRecord s;
    for (const std::string& id : OutputFormats)
        EXPECT_NE(FormatDepthSetting(s, id), nullptr) << id;
    EXPECT_EQ(FormatDepthSetting(s, "WBMP"), &s.Output.WBMPBPP);
    EXPECT_EQ(FormatDepthSetting(s, "emf"), nullptr);
}
