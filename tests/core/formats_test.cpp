#include "core/formats.h"

#include "core/settings.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace qm;

TEST(OutputFormatsTable, HasARowForEveryOutputFormatWithItsOwnExtension) {
    BuildOutputFormats();
    ASSERT_EQ(OutputFormats.size(), 23u);
    for (const std::string& id : OutputFormats) {
        const OutputFormat* row = FindOutputFormat(id);
        ASSERT_NE(row, nullptr) << id;
        EXPECT_EQ(row->id, id);
        EXPECT_EQ(&FormatRow(row->kind), row);
        EXPECT_FALSE(row->description.empty()) << id;
        const std::vector<int32_t> depths = AllowedDepths(id);
        ASSERT_FALSE(depths.empty()) << id;
        EXPECT_TRUE(std::is_sorted(depths.begin(), depths.end())) << id;
    }
    EXPECT_EQ(FindOutputFormat("tiff")->id, "tiff");
    EXPECT_EQ(FindOutputFormat("tif"), nullptr);
    EXPECT_EQ(FindOutputFormat("PNG"), nullptr); // lookups are case-sensitive
}

TEST(OutputFormatsTable, CodesNameTheWriterOfEachFormat) {
    EXPECT_EQ(FormatCode("bmp"), 0);
    EXPECT_EQ(FormatCode("jpg"), 2);
    EXPECT_EQ(FormatCode("tiff"), 18);
    EXPECT_EQ(FormatCode("jxr"), 36);
    EXPECT_EQ(FormatCode("webp"), 35);
    EXPECT_EQ(FormatCode("dds"), 0x0437);
    EXPECT_EQ(FormatCode("psd"), 0x0439);
    EXPECT_EQ(FormatCode("pcx"), 0x0428);
    EXPECT_EQ(FormatCode("xyz"), -1);
    EXPECT_TRUE(IsDevilFormat("pcx"));
    EXPECT_FALSE(IsDevilFormat("png"));
    EXPECT_EQ(FormatDescription("jxr"), "JPEG XR Image Format");
    EXPECT_EQ(AllowedDepths("png"), (std::vector<int32_t>{1, 4, 8, 24, 32, 48}));
    EXPECT_EQ(AllowedDepths("pbm"), std::vector<int32_t>{1});
}

TEST(ChooseAutoDepth, TakesTheFirstDepthNotBelowElseTheLargest) {
    EXPECT_EQ(ChooseAutoDepth("jpg", 32), 24);
    EXPECT_EQ(ChooseAutoDepth("png", 32), 32);
    EXPECT_EQ(ChooseAutoDepth("gif", 32), 8);
    EXPECT_EQ(ChooseAutoDepth("pbm", 1), 1);
    EXPECT_EQ(ChooseAutoDepth("pbm", 96), 1);
    EXPECT_EQ(ChooseAutoDepth("tga", 16), 16);
    EXPECT_EQ(ChooseAutoDepth("exr", 8), 96);
    EXPECT_EQ(ChooseAutoDepth("ppm", 32), 48);
    EXPECT_EQ(ChooseAutoDepth("bmp", 0), 1);
    EXPECT_EQ(ChooseAutoDepth("nope", 32), 0);
}

TEST(ChooseAutoDepth, GivesTheDocumentedDepthsForATrueColourDesktop) {
    const std::pair<const char*, int32_t> expected[] = {
        {"bmp", 32}, {"ico", 32},  {"jng", 32}, {"j2k", 32},  {"jp2", 32}, {"png", 32},
        {"tga", 32}, {"tiff", 32}, {"jxr", 32}, {"webp", 32}, {"dds", 32}, {"psd", 32},
        {"ppm", 48}, {"jpg", 24},  {"pcx", 24}, {"xpm", 24},  {"gif", 8},  {"pgm", 8},
        {"pbm", 1},  {"wbmp", 1},  {"exr", 96}, {"hdr", 96},  {"pfm", 96}};
    for (const auto& [id, depth] : expected)
        EXPECT_EQ(ChooseAutoDepth(id, 32), depth) << id;
}

TEST(IsAllowedDepth, AcceptsAutomaticAndListedDepthsOnly) {
    EXPECT_FALSE(IsAllowedDepth("png", 16));
    EXPECT_TRUE(IsAllowedDepth("png", 0));
    EXPECT_TRUE(IsAllowedDepth("png", 48));
    EXPECT_TRUE(IsAllowedDepth("jxr", 96));
    EXPECT_FALSE(IsAllowedDepth("jpg", 32));
    EXPECT_FALSE(IsAllowedDepth("bmp", 2));
    EXPECT_FALSE(IsAllowedDepth("nope", 0));
}

TEST(InputExtensions, EmzIsAnAliasOfEmf) {
    BuildInputExtensions();
    std::vector<std::string> accepted = AcceptedInputExtensions();
    std::sort(accepted.begin(), accepted.end());
    EXPECT_EQ(accepted, (std::vector<std::string>{"emf", "emz"}));
    ASSERT_NE(FindInputExtension("emz"), nullptr);
    EXPECT_EQ(FindInputExtension("emz")->group, "emf");
    EXPECT_EQ(FindInputExtension("emz")->description, "Enhanced Metafile Format");
    EXPECT_EQ(FindInputExtension("wmf"), nullptr);
}
