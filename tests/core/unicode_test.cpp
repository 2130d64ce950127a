#include "core/unicode.h"

#include <gtest/gtest.h>

using namespace qm;

TEST(Unicode, MalformedUtf8IsRefusedOrReplacedByteByByte) {
    EXPECT_TRUE(IsValidUtf8("abc \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    for (const char* bad : {"a\xC3", "\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
                            "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80"})
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;

    EXPECT_EQ(ValidUtf8("abc"), "abc");
    EXPECT_EQ(ValidUtf8("\xC3\xA9"), "\xC3\xA9");
    EXPECT_EQ(ValidUtf8("a\xC3"), "a\xEF\xBF\xBD");
    EXPECT_EQ(ValidUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Unicode, Utf16JoinsSurrogatePairsAndReplacesLoneOnes) {
    EXPECT_EQ(Utf16ToUtf8(u"Arial"), "Arial");
    EXPECT_EQ(Utf16ToUtf8(u"\u00E9\u20AC"), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(Utf16ToUtf8(u"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
    EXPECT_EQ(Utf16ToUtf8(lone), "a\xEF\xBF\xBD"
                                 "b\xEF\xBF\xBD");
    EXPECT_TRUE(IsValidUtf8(Utf16ToUtf8(lone)));
}

TEST(Unicode, Cp1252RoundTripsItsHighBytes) {
    EXPECT_EQ(Cp1252ToUnicode(0x80), u'\u20AC');
    EXPECT_EQ(Cp1252ToUnicode(0x9F), u'\u0178');
    EXPECT_EQ(Cp1252ToUnicode(0x81), 0x81); // undefined in the code page
    EXPECT_EQ(Cp1252ToUnicode(0xE9), u'\u00E9');
    for (unsigned b = 0x20; b < 0x100; ++b)
        EXPECT_EQ(UnicodeToCp1252(Cp1252ToUnicode(static_cast<uint8_t>(b))), b) << b;
    EXPECT_EQ(UnicodeToCp1252(U'\u0100'), 0);
    EXPECT_EQ(UnicodeToCp1252(U'\U0001F600'), 0);
}
