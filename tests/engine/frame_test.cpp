#include "engine/frame.h"

#include <FreeImage.h>

#include <gtest/gtest.h>

#include <climits>

namespace qm {
namespace {

FIBITMAP* MakeWhite(int w, int h, unsigned bpp = 24) {
    FIBITMAP* dib = FreeImage_Allocate(w, h, bpp);
    RGBQUAD white{255, 255, 255, 255};
    BYTE whiteIndex = 255; // 8-bit bitmaps start with a grey ramp palette
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (bpp == 8)
                FreeImage_SetPixelIndex(dib, x, y, &whiteIndex);
            else
                FreeImage_SetPixelColor(dib, x, y, &white);
    return dib;
}

// Colour at (x, y) from the top-left corner as 0xRRGGBB.
unsigned At(FIBITMAP* dib, int x, int y) {
    RGBQUAD c{};
    FreeImage_GetPixelColor(dib, x, FreeImage_GetHeight(dib) - 1 - y, &c);
    return (c.rgbRed << 16) | (c.rgbGreen << 8) | c.rgbBlue;
}

SettingsRecord Frame(int width, int opacity) {
    SettingsRecord s;
    s.Frame.DoFrame = 1;
    s.Frame.SolidLeft = s.Frame.SolidRight = s.Frame.SolidTop = s.Frame.SolidBottom = width;
    s.Frame.SolidLeftColor = "FF0000";
    s.Frame.SolidRightColor = "00FF00";
    s.Frame.SolidTopColor = "0000FF";
    s.Frame.SolidBottomColor = "FFFF00";
    s.Frame.SolidOpacity = opacity;
    return s;
}

constexpr unsigned kLeft = 0xFF0000, kRight = 0x00FF00, kTop = 0x0000FF, kBottom = 0xFFFF00;

TEST(Frame, FourBandsWithDiagonallySplitCorners) {
    FIBITMAP* dib = DrawFrame(MakeWhite(100, 80), 100, 80, Frame(10, 255));
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(FreeImage_GetWidth(dib), 100u);
    EXPECT_EQ(FreeImage_GetBPP(dib), 24u);
    // Bands and the untouched middle.
    EXPECT_EQ(At(dib, 50, 5), kTop);
    EXPECT_EQ(At(dib, 95, 40), kRight);
    EXPECT_EQ(At(dib, 50, 75), kBottom);
    EXPECT_EQ(At(dib, 5, 40), kLeft);
    EXPECT_EQ(At(dib, 50, 40), 0xFFFFFFu);
    EXPECT_EQ(At(dib, 10, 10), 0xFFFFFFu);
    EXPECT_EQ(At(dib, 9, 40), kLeft);
    // Each corner: one colour on each side of its diagonal.
    EXPECT_EQ(At(dib, 7, 2), kTop);
    EXPECT_EQ(At(dib, 2, 7), kLeft);
    EXPECT_EQ(At(dib, 92, 2), kTop);
    EXPECT_EQ(At(dib, 97, 7), kRight);
    EXPECT_EQ(At(dib, 97, 72), kRight);
    EXPECT_EQ(At(dib, 92, 77), kBottom);
    EXPECT_EQ(At(dib, 2, 72), kLeft);
    EXPECT_EQ(At(dib, 7, 77), kBottom);
    FreeImage_Unload(dib);
}

TEST(Frame, OpacityBlendsTheWholeFrame) {
    FIBITMAP* none = DrawFrame(MakeWhite(100, 80, 32), 100, 80, Frame(10, 0));
    EXPECT_EQ(FreeImage_GetBPP(none), 24u);
    EXPECT_EQ(At(none, 50, 5), 0xFFFFFFu);
    EXPECT_EQ(At(none, 2, 7), 0xFFFFFFu);
    FreeImage_Unload(none);

    FIBITMAP* half = DrawFrame(MakeWhite(100, 80), 100, 80, Frame(10, 128));
    const unsigned top = At(half, 50, 5);
    EXPECT_NEAR(static_cast<int>(top >> 16), 127, 2);
    EXPECT_NEAR(static_cast<int>((top >> 8) & 0xFF), 127, 2);
    EXPECT_GE(top & 0xFF, 254u);
    // The corner where two bands overlap blends the same amount, not twice.
    EXPECT_NEAR(static_cast<int>(At(half, 2, 7) & 0xFF), 127, 2);
    EXPECT_EQ(At(half, 50, 40), 0xFFFFFFu);
    FreeImage_Unload(half);
}

TEST(Frame, OffZeroWidthsAndBadColours) {
    SettingsRecord off;
    FIBITMAP* dib = MakeWhite(20, 20, 32);
    EXPECT_EQ(DrawFrame(dib, 20, 20, off), dib);
    EXPECT_EQ(FreeImage_GetBPP(dib), 32u);
    FreeImage_Unload(dib);

    FIBITMAP* bare = DrawFrame(MakeWhite(20, 20, 8), 20, 20, Frame(0, 255));
    EXPECT_EQ(FreeImage_GetBPP(bare), 24u);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(At(bare, x, y), 0xFFFFFFu);
    FreeImage_Unload(bare);

    // Any value other than 1 converts the picture but draws nothing.
    SettingsRecord other = Frame(5, 255);
    other.Frame.DoFrame = 2;
    FIBITMAP* converted = DrawFrame(MakeWhite(20, 20, 32), 20, 20, other);
    EXPECT_EQ(FreeImage_GetBPP(converted), 24u);
    EXPECT_EQ(At(converted, 2, 10), 0xFFFFFFu);
    FreeImage_Unload(converted);

    SettingsRecord bad = Frame(5, 255);
    bad.Frame.SolidTopColor = "FFF";
    FIBITMAP* black = DrawFrame(MakeWhite(40, 40), 40, 40, bad);
    EXPECT_EQ(At(black, 20, 2), 0u);
    FreeImage_Unload(black);

    // Bands wider than the picture overlap without harm.
    FIBITMAP* covered = DrawFrame(MakeWhite(10, 10), 10, 10, Frame(30, 255));
    EXPECT_NE(At(covered, 5, 5), 0xFFFFFFu);
    FreeImage_Unload(covered);
    EXPECT_EQ(DrawFrame(nullptr, 0, 0, Frame(5, 255)), nullptr);

    for (int extreme : {INT_MAX, INT_MIN, -5}) {
        FIBITMAP* odd = DrawFrame(MakeWhite(10, 10), 10, 10, Frame(extreme, extreme));
        ASSERT_NE(odd, nullptr);
        EXPECT_EQ(FreeImage_GetWidth(odd), 10u);
        FreeImage_Unload(odd);
    }
}

} // namespace
} // namespace qm
