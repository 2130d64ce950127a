#include "platform/fonts/font_match.h"

#include <gtest/gtest.h>

#include <future>
#include <vector>

using namespace qm::fonts;

namespace {

bool HaveMetricFonts() {
    return IsFontLoadable("Liberation Sans") || IsFontLoadable("Arimo");
}

} // namespace

TEST(FontMatch, WindowsFacesWithMetricCompatibleFontsAreLoadable) {
    if (!HaveMetricFonts())
        GTEST_SKIP() << "no Liberation or Croscore fonts installed";
    EXPECT_TRUE(IsFontLoadable("Arial"));
    EXPECT_TRUE(IsFontLoadable("arial"));
    EXPECT_TRUE(IsFontLoadable("Times New Roman"));
    EXPECT_TRUE(IsFontLoadable("TimesNewRoman"));
    EXPECT_TRUE(IsFontLoadable("Courier New"));
    EXPECT_TRUE(IsFontLoadable("DejaVu Sans"));
}

TEST(FontMatch, FallbackOnlyFacesAreNotLoadable) {
    EXPECT_FALSE(IsFontLoadable(""));
    EXPECT_FALSE(IsFontLoadable("   "));
    EXPECT_FALSE(IsFontLoadable("No Such Font 4711"));
    // fontconfig would hand out its default sans font for this one
    EXPECT_FALSE(IsFontLoadable("Liberation Sans Fallback Test"));
}

TEST(FontMatch, ArialResolvesToMetricCompatibleFileWithStyles) {
    if (!HaveMetricFonts())
        GTEST_SKIP() << "no Liberation or Croscore fonts installed";
    FontMatch regular = MatchFont("Arial", 400, false);
    EXPECT_TRUE(regular.exact);
    EXPECT_TRUE(regular.family == "Liberation Sans" || regular.family == "Arimo") << regular.family;
    EXPECT_FALSE(regular.file.empty());

    FontMatch boldItalic = MatchFont("ARIAL", 700, true);
    EXPECT_TRUE(boldItalic.exact);
    EXPECT_NE(boldItalic.file, regular.file);
    EXPECT_FALSE(boldItalic.syntheticBold);
    EXPECT_FALSE(boldItalic.syntheticItalic);
    // Widths asked for by a logical font are measured against Arial's own average width.
    if (!regular.exact || regular.family == "Arial")
        return;
    EXPECT_EQ(regular.windowsAvgCharWidth, 904);
}

TEST(FontMatch, UnknownFaceGetsSubstituteByFamilyHint) {
    if (!HaveMetricFonts())
        GTEST_SKIP() << "no Liberation or Croscore fonts installed";
    FontMatch any = MatchFont("No Such Font 4711", 400, false);
    EXPECT_FALSE(any.exact);
    EXPECT_FALSE(any.file.empty());

    FontMatch roman = MatchFont("No Such Font 4711", 400, false, FontHint::Roman);
    FontMatch serif = MatchFont("Times New Roman", 400, false);
    EXPECT_EQ(roman.file, serif.file);
    EXPECT_FALSE(roman.exact);

    FontMatch modern = MatchFont("", 400, false, HintFromPitchAndFamily(0x31));
    EXPECT_EQ(modern.file, MatchFont("Courier New", 400, false).file);
}

TEST(FontMatch, PitchAndFamilyHints) {
    EXPECT_EQ(HintFromPitchAndFamily(0x12), FontHint::Roman);
    EXPECT_EQ(HintFromPitchAndFamily(0x22), FontHint::Swiss);
    EXPECT_EQ(HintFromPitchAndFamily(0x01), FontHint::Modern);
    EXPECT_EQ(HintFromPitchAndFamily(0x00), FontHint::Any);
    EXPECT_TRUE(IsSymbolFace("Wingdings"));
    EXPECT_TRUE(IsSymbolFace("SYMBOL"));
    EXPECT_FALSE(IsSymbolFace("Arial"));
}

TEST(FontMatch, ConcurrentLookupsAgree) {
    std::vector<std::future<FontMatch>> results;
    for (int i = 0; i < 8; ++i)
        results.push_back(std::async(std::launch::async, [i] {
            return MatchFont(i % 2 ? "Courier New" : "courier new", 700, false);
        }));
    std::string first = results[0].get().file;
    for (size_t i = 1; i < results.size(); ++i)
        EXPECT_EQ(results[i].get().file, first);
}
