#include "engine/colour.h"

#include <FreeImage.h>

#include <gtest/gtest.h>

namespace qm {
namespace {

const RGBQUAD kSamples[] = {
    {10, 20, 30, 255}, {200, 100, 50, 255}, {0, 0, 0, 255}, {255, 255, 255, 255}};

// A 4 x 1 bitmap holding the sample colours.
FIBITMAP* MakeSamples(unsigned bpp = 24) {
    FIBITMAP* dib = FreeImage_Allocate(4, 1, bpp);
    for (int x = 0; x < 4; ++x) {
        RGBQUAD c = kSamples[x];
        FreeImage_SetPixelColor(dib, x, 0, &c);
    }
    return dib;
}

RGBQUAD PixelAt(FIBITMAP* dib, int x) {
    RGBQUAD c{};
    FreeImage_GetPixelColor(dib, x, 0, &c);
    return c;
}

SettingsRecord Correction(int brightness, int contrast, float gamma, int invert) {
    SettingsRecord s;
    s.Adjustment.DoImageColorCorrection = 1;
    s.Adjustment.ImageBrightness = brightness;
    s.Adjustment.ImageContrast = contrast;
    s.Adjustment.ImageGamma = gamma;
    s.Adjustment.ImageInvert = static_cast<int8_t>(invert);
    return s;
}

TEST(ColourCorrection, NeutralValuesKeepThePixels) {
    FIBITMAP* dib = AdjustColours(MakeSamples(), Correction(0, 0, 1.0f, 0));
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(PixelAt(dib, x).rgbRed, kSamples[x].rgbRed);
        EXPECT_EQ(PixelAt(dib, x).rgbGreen, kSamples[x].rgbGreen);
        EXPECT_EQ(PixelAt(dib, x).rgbBlue, kSamples[x].rgbBlue);
    }
    FreeImage_Unload(dib);
}

TEST(ColourCorrection, InvertGivesTheNegative) {
    for (unsigned bpp : {24u, 32u}) {
        FIBITMAP* dib = AdjustColours(MakeSamples(bpp), Correction(0, 0, 1.0f, 1));
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(PixelAt(dib, x).rgbRed, 255 - kSamples[x].rgbRed);
            EXPECT_EQ(PixelAt(dib, x).rgbBlue, 255 - kSamples[x].rgbBlue);
        }
        FreeImage_Unload(dib);
    }
}

TEST(ColourCorrection, BrightnessDarkensAndOddDepthsBecomeTrueColour) {
    FIBITMAP* darker = AdjustColours(MakeSamples(), Correction(-50, 0, 1.0f, 0));
    EXPECT_LT(PixelAt(darker, 3).rgbRed, 200);
    FreeImage_Unload(darker);

    FIBITMAP* sixteen = AdjustColours(MakeSamples(16), Correction(0, 0, 1.0f, 1));
    ASSERT_NE(sixteen, nullptr);
    EXPECT_EQ(FreeImage_GetBPP(sixteen), 24u);
    EXPECT_EQ(PixelAt(sixteen, 3).rgbRed, 0);
    FreeImage_Unload(sixteen);
}

TEST(ColourSteps, OffOrNullPassThrough) {
    SettingsRecord off;
    FIBITMAP* dib = MakeSamples();
    EXPECT_EQ(AdjustColours(dib, off), dib);
    EXPECT_EQ(MakeGreyscale(dib, off), dib);
    EXPECT_EQ(ApplyThreshold(dib, off), dib);
    FreeImage_Unload(dib);

    SettingsRecord on = Correction(0, 0, 1.0f, 1);
    on.Adjustment.DoImageGreyscale = 1;
    on.Adjustment.DoImageThreshold = 1;
    EXPECT_EQ(AdjustColours(nullptr, on), nullptr);
    EXPECT_EQ(MakeGreyscale(nullptr, on), nullptr);
    EXPECT_EQ(ApplyThreshold(nullptr, on), nullptr);
}

TEST(Greyscale, GivesEightBitGreys) {
    SettingsRecord s;
    s.Adjustment.DoImageGreyscale = 1;
    FIBITMAP* grey = MakeGreyscale(MakeSamples(), s);
    ASSERT_NE(grey, nullptr);
    EXPECT_EQ(FreeImage_GetBPP(grey), 8u);
    EXPECT_EQ(FreeImage_GetColorType(grey), FIC_MINISBLACK);
    BYTE index = 0;
    FreeImage_GetPixelIndex(grey, 1, 0, &index);
    // Luminance of (R 50, G 100, B 200).
    EXPECT_NEAR(index, 0.2126 * 50 + 0.7152 * 100 + 0.0722 * 200, 2.0);
    FreeImage_GetPixelIndex(grey, 3, 0, &index);
    EXPECT_EQ(index, 255);
    FreeImage_Unload(grey);
}

TEST(Threshold, GivesBlackAndWhiteFromColourOrGrey) {
    SettingsRecord s;
    s.Adjustment.DoImageThreshold = 1;
    s.Adjustment.ImageThreshold = 90;
    for (int greyFirst : {0, 1}) {
        s.Adjustment.DoImageGreyscale = static_cast<int8_t>(greyFirst);
        FIBITMAP* mono = ApplyThreshold(MakeGreyscale(MakeSamples(), s), s);
        ASSERT_NE(mono, nullptr);
        EXPECT_EQ(FreeImage_GetBPP(mono), 1u);
        const int expected[] = {0, 1, 0, 1};
        for (int x = 0; x < 4; ++x) {
            BYTE bit = 9;
            FreeImage_GetPixelIndex(mono, x, 0, &bit);
            EXPECT_EQ(bit, expected[x]) << x;
        }
        FreeImage_Unload(mono);
    }
}

} // namespace
} // namespace qm
