#include "engine/transform.h"

#include <FreeImage.h>

#include <gtest/gtest.h>

namespace qm {
namespace {

// A bitmap of one colour, with a red pixel in its top-left corner (FreeImage rows run bottom-up).
FIBITMAP* MakeMarked(int w, int h, unsigned bpp = 24) {
    FIBITMAP* dib = FreeImage_Allocate(w, h, bpp);
    RGBQUAD white{255, 255, 255, 255};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            FreeImage_SetPixelColor(dib, x, y, &white);
    RGBQUAD red{0, 0, 255, 255};
    FreeImage_SetPixelColor(dib, 0, h - 1, &red);
    return dib;
}

// Colour at (x, y) counted from the top-left corner.
RGBQUAD PixelAt(FIBITMAP* dib, int x, int y) {
    RGBQUAD c{};
    FreeImage_GetPixelColor(dib, x, FreeImage_GetHeight(dib) - 1 - y, &c);
    return c;
}

bool IsRed(RGBQUAD c) {
    return c.rgbRed > 200 && c.rgbGreen < 60 && c.rgbBlue < 60;
}

SettingsRecord RotationSettings(int angle, int type, const char* back = "000000") {
    SettingsRecord s;
    s.Transform.DoImageRotation = 1;
    s.Transform.ImageRotation = angle;
    s.Transform.ImageRotationType = static_cast<int8_t>(type);
    s.Transform.ImageRotationBackColor = back;
    return s;
}

TEST(Rotate, QuarterTurnEnlargesOrKeepsTheSize) {
    FIBITMAP* enlarged = RotateImage(MakeMarked(201, 101), RotationSettings(90, 0));
    ASSERT_NE(enlarged, nullptr);
    EXPECT_EQ(FreeImage_GetWidth(enlarged), 101u);
    EXPECT_EQ(FreeImage_GetHeight(enlarged), 201u);
    // A quarter turn counter-clockwise takes the top-left corner to the bottom-left.
    EXPECT_TRUE(IsRed(PixelAt(enlarged, 0, 200)));
    FreeImage_Unload(enlarged);

    FIBITMAP* kept = RotateImage(MakeMarked(201, 101), RotationSettings(90, 1));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(FreeImage_GetWidth(kept), 201u);
    EXPECT_EQ(FreeImage_GetHeight(kept), 101u);
    FreeImage_Unload(kept);
}

TEST(Rotate, UncoveredCornersTakeTheBackColour) {
    FIBITMAP* red = RotateImage(MakeMarked(100, 100), RotationSettings(45, 0, "FF0000"));
    ASSERT_NE(red, nullptr);
    EXPECT_GT(FreeImage_GetWidth(red), 140u);
    EXPECT_TRUE(IsRed(PixelAt(red, 0, 0)));
    EXPECT_EQ(PixelAt(red, 70, 70).rgbGreen, 255);
    FreeImage_Unload(red);

    FIBITMAP* black = RotateImage(MakeMarked(100, 100), RotationSettings(45, 0, "F00"));
    const RGBQUAD c = PixelAt(black, 0, 0);
    EXPECT_EQ(c.rgbRed + c.rgbGreen + c.rgbBlue, 0);
    FreeImage_Unload(black);
}

TEST(Rotate, AnglesOutsideOneTo359LeaveTheBitmapAlone) {
    for (int angle : {0, 360, -90, 720}) {
        FIBITMAP* dib = MakeMarked(20, 10, 16);
        EXPECT_EQ(RotateImage(dib, RotationSettings(angle, 0)), dib);
        EXPECT_EQ(FreeImage_GetBPP(dib), 16u);
        FreeImage_Unload(dib);
    }
    FIBITMAP* off = MakeMarked(20, 10);
    SettingsRecord s = RotationSettings(90, 0);
    s.Transform.DoImageRotation = 0;
    EXPECT_EQ(RotateImage(off, s), off);
    FreeImage_Unload(off);
    EXPECT_EQ(RotateImage(nullptr, RotationSettings(90, 0)), nullptr);
}

TEST(Rotate, LowDepthsBecomeTrueColourAndUnknownTypesOnlyConvert) {
    FIBITMAP* rotated = RotateImage(MakeMarked(20, 10, 16), RotationSettings(90, 0));
    EXPECT_EQ(FreeImage_GetBPP(rotated), 24u);
    FreeImage_Unload(rotated);

    FIBITMAP* alpha = RotateImage(MakeMarked(20, 10, 32), RotationSettings(90, 1));
    EXPECT_EQ(FreeImage_GetBPP(alpha), 32u);
    FreeImage_Unload(alpha);

    FIBITMAP* other = RotateImage(MakeMarked(20, 10, 8), RotationSettings(90, 2));
    EXPECT_EQ(FreeImage_GetBPP(other), 24u);
    EXPECT_EQ(FreeImage_GetWidth(other), 20u);
    FreeImage_Unload(other);
}

struct ResizeCase {
    int w, h;
    int tw, twUnit, th, thUnit;
    int keep, type;
    int expectW, expectH;
};

TEST(Resize, TargetsUnitsAndRounding) {
    const ResizeCase cases[] = {
        {201, 50, 50, 1, 50, 0, 0, 0, 100, 50},     // 100.5 rounds to even
        {203, 50, 50, 1, 50, 0, 0, 0, 102, 50},     // 101.5 rounds to even
        {400, 200, 100, 0, 999, 0, 1, 0, 100, 50},  // width rules a wide picture
        {200, 400, 100, 0, 999, 0, 1, 0, 500, 999}, // height rules a tall one
        {100, 100, 200, 0, 50, 0, 0, 1, 200, 50},   // one side not smaller: resized
        {100, 100, 200, 0, 150, 0, 0, 1, 100, 100}, // smaller both ways: kept
        {100, 100, 0, 0, 50, 0, 0, 0, 100, 100},    // zero width: kept
        {100, 100, 50, 7, 50, 0, 0, 0, 100, 100},   // unknown unit: kept
        {300, 100, 100, 0, 1, 0, 1, 0, 100, 33},    // 33.33 rounds down
        {2000, 1, 10, 0, 10, 0, 1, 0, 10, 1},       // never below one pixel
    };
    for (const ResizeCase& c : cases) {
        SettingsRecord s;
        s.Transform.DoImageResize = 1;
        s.Transform.ImageWidth = c.tw;
        s.Transform.ImageWidthUnit = static_cast<int8_t>(c.twUnit);
        s.Transform.ImageHeight = c.th;
        s.Transform.ImageHeightUnit = static_cast<int8_t>(c.thUnit);
        s.Transform.KeepAspectRatio = static_cast<int8_t>(c.keep);
        s.Transform.ImageResizeType = static_cast<int8_t>(c.type);
        FIBITMAP* out = ResizeImage(MakeMarked(c.w, c.h), c.w, c.h, s);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(FreeImage_GetWidth(out), static_cast<unsigned>(c.expectW)) << c.w << "x" << c.h;
        EXPECT_EQ(FreeImage_GetHeight(out), static_cast<unsigned>(c.expectH)) << c.w << "x" << c.h;
        FreeImage_Unload(out);
    }
}

TEST(Resize, SameSizeDoesNotResampleAndEveryFilterWorks) {
    SettingsRecord s;
    s.Transform.DoImageResize = 1;
    s.Transform.ImageWidth = 100;
    s.Transform.ImageHeight = 50;
    FIBITMAP* dib = MakeMarked(100, 50);
    EXPECT_EQ(ResizeImage(dib, 100, 50, s), dib);
    FreeImage_Unload(dib);

    for (int algorithm = -1; algorithm <= 6; ++algorithm) {
        s.Transform.ImageResizeAlgorithm = static_cast<int8_t>(algorithm);
        s.Transform.ImageWidth = 40;
        s.Transform.ImageHeight = 20;
        FIBITMAP* out = ResizeImage(MakeMarked(100, 50), 100, 50, s);
        ASSERT_NE(out, nullptr) << algorithm;
        EXPECT_EQ(FreeImage_GetWidth(out), 40u);
        EXPECT_EQ(PixelAt(out, 20, 10).rgbGreen, 255);
        FreeImage_Unload(out);
    }
}

TEST(Resize, TargetsBeyondThePixelLimitFail) {
    SettingsRecord s;
    s.Transform.DoImageResize = 1;
    s.Transform.ImageWidth = 20000;
    s.Transform.ImageHeight = 20000;
    EXPECT_EQ(ResizeImage(MakeMarked(10, 10), 10, 10, s), nullptr);
    s.Transform.ImageWidth = 1000000; // kept aspect of a thin strip: 1000000 x 1000
    s.Transform.KeepAspectRatio = 1;
    EXPECT_EQ(ResizeImage(MakeMarked(1000, 1), 1000, 1, s), nullptr);
}

TEST(Rotate, ResultBeyondThePixelLimitFails) {
    // A strip of a million pixels turned by 45 degrees would need 700000 x 700000.
    EXPECT_EQ(RotateImage(MakeMarked(1 << 20, 1), RotationSettings(45, 0)), nullptr);
    FIBITMAP* kept = RotateImage(MakeMarked(1 << 20, 1), RotationSettings(45, 1));
    ASSERT_NE(kept, nullptr);
    FreeImage_Unload(kept);
}

TEST(Flip, EachDirectionAndBoth) {
    SettingsRecord s;
    s.Transform.DoImageFlipHorizontal = 1;
    FIBITMAP* dib = MakeMarked(30, 20);
    FlipImage(dib, s);
    EXPECT_TRUE(IsRed(PixelAt(dib, 29, 0)));
    EXPECT_FALSE(IsRed(PixelAt(dib, 0, 0)));

    s.Transform.DoImageFlipHorizontal = 0;
    s.Transform.DoImageFlipVertical = 1;
    FlipImage(dib, s);
    EXPECT_TRUE(IsRed(PixelAt(dib, 29, 19)));

    // Both at once: a half turn takes the corner back to where it started.
    s.Transform.DoImageFlipHorizontal = 1;
    FlipImage(dib, s);
    EXPECT_TRUE(IsRed(PixelAt(dib, 0, 0)));
    FreeImage_Unload(dib);
}

TEST(ParseColor, SixHexDigitsOrBlack) {
    const RGBQUAD orange = ParseColor("FF8000");
    EXPECT_EQ(orange.rgbRed, 0xFF);
    EXPECT_EQ(orange.rgbGreen, 0x80);
    EXPECT_EQ(orange.rgbBlue, 0x00);
    const RGBQUAD lower = ParseColor("0a0b0c");
    EXPECT_EQ(lower.rgbRed, 10);
    EXPECT_EQ(lower.rgbGreen, 11);
    EXPECT_EQ(lower.rgbBlue, 12);
    for (const char* bad : {"FFF", "", "FFFFFFF"}) {
        const RGBQUAD c = ParseColor(bad);
        EXPECT_EQ(c.rgbRed + c.rgbGreen + c.rgbBlue, 0) << bad;
    }
}

} // namespace
} // namespace qm
