#include "core/text_case.h"

#include <gtest/gtest.h>

using namespace qm;

TEST(TextCase, AsciiHelpersLeaveOtherBytesAlone) {
    EXPECT_EQ(LowerAscii("PNG \xC3\x89"), "png \xC3\x89");
    EXPECT_EQ(UpperAscii("--png-bpp"), "--PNG-BPP");
    EXPECT_TRUE(EqualsIgnoreCase("Tab", "TAB"));
    EXPECT_FALSE(EqualsIgnoreCase("Tab", "Tabs"));
    EXPECT_EQ(LowerAsciiWithoutBlanks("Times New\tRoman"), "timesnewroman");
}

TEST(TextCase, UnicodeCaseMappingKeepsInvalidBytes) {
    EXPECT_EQ(LowerCase("\xC3\x89"
                        "COLE"),
              "\xC3\xA9"
              "cole");
    EXPECT_EQ(UpperCase("stra\xC3\x9F"
                        "e"),
              "STRA\xC3\x9F"
              "E"); // no one-to-two mappings
    EXPECT_EQ(TitleCase("\xC3\xA9"
                        "COLE"),
              "\xC3\x89"
              "cole");
    EXPECT_EQ(LowerCase("A\xFF"
                        "B"),
              "a\xFF"
              "b");
    EXPECT_EQ(TitleCase(""), "");
}
