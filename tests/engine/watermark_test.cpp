#include "engine/watermark.h"

#include <FreeImage.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>

namespace qm {
namespace {

FIBITMAP* MakeFilled(int w, int h, RGBQUAD colour, unsigned bpp = 24) {
    FIBITMAP* dib =
        FreeImage_Allocate(w, h, bpp, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            FreeImage_SetPixelColor(dib, x, y, &colour);
    return dib;
}

// Colour at (x, y) from the top-left corner as 0xRRGGBB.
unsigned At(FIBITMAP* dib, int x, int y) {
    RGBQUAD c{};
    FreeImage_GetPixelColor(dib, x, FreeImage_GetHeight(dib) - 1 - y, &c);
    return (c.rgbRed << 16) | (c.rgbGreen << 8) | c.rgbBlue;
}

constexpr RGBQUAD kGrey{128, 128, 128, 255};
constexpr unsigned kGreyRgb = 0x808080, kWhite = 0xFFFFFF, kBlack = 0;

SettingsRecord TextMark(const char* text, int alignment) {
    SettingsRecord s;
    auto& w = s.Watermark;
    w.DoWatermark = 1;
    w.Text = text;
    w.Font = "Arial";
    w.FontSize = 14;
    w.FontColor = "FFFFFF";
    w.TextOpacity = 255;
    w.BackColor = "000000";
    w.BackOpacity = 255;
    w.TextAlignment = static_cast<int8_t>(alignment);
    w.TextPadding = 5;
    w.TextPosition = 0;
    w.TextXOffset = 0;
    w.TextYOffset = 0;
    return s;
}

TEST(WatermarkGeometry, AlignLineInTheBox) {
    EXPECT_EQ(AlignLine(50, 60, 2, 5), 5);
    EXPECT_EQ(AlignLine(30, 60, 2, 5), 25);
    EXPECT_EQ(AlignLine(30, 60, 0, 5), 5);
    EXPECT_EQ(AlignLine(30, 60, 1, 5), 15);
    EXPECT_EQ(AlignLine(30, 61, 1, 5), 16); // 15.5 rounds away from zero
    EXPECT_EQ(AlignLine(30, 60, 7, 5), 5);
}

TEST(WatermarkGeometry, AnchorsOnThePictureAndInsideTheFrame) {
    SettingsRecord s;
    const WatermarkArea whole = WatermarkBounds(200, 100, 1, s);
    EXPECT_EQ(PlaceWatermark(50, 20, whole, 8, 10, 10).x, 140);
    EXPECT_EQ(PlaceWatermark(50, 20, whole, 8, 10, 10).y, 70);

    s.Frame.DoFrame = 1;
    s.Frame.SolidLeft = s.Frame.SolidRight = s.Frame.SolidTop = s.Frame.SolidBottom = 5;
    const WatermarkArea framed = WatermarkBounds(200, 100, 1, s);
    EXPECT_EQ(framed.width, 190);
    EXPECT_EQ(framed.height, 90);
    const WatermarkPosition p = PlaceWatermark(50, 20, framed, 8, 10, 10);
    EXPECT_EQ(p.x, 135);
    EXPECT_EQ(p.y, 65);
    EXPECT_EQ(WatermarkBounds(200, 100, 0, s).width, 200);

    const int expected[9][2] = {{10, 10},  {75, 10}, {140, 10}, {10, 40}, {75, 40},
                                {140, 40}, {10, 70}, {75, 70},  {140, 70}};
    for (int position = 0; position < 9; ++position) {
        const WatermarkPosition q = PlaceWatermark(50, 20, whole, position, 10, 10);
        EXPECT_EQ(q.x, expected[position][0]) << position;
        EXPECT_EQ(q.y, expected[position][1]) << position;
    }
    EXPECT_EQ(PlaceWatermark(50, 20, whole, 9, 10, 10).x, 0);
}

TEST(WatermarkGeometry, FitCutsTheRightAndBottomNeverScales) {
    FIBITMAP* layer = MakeFilled(100, 30, kGrey, 32);
    RGBQUAD red{0, 0, 255, 255};
    FreeImage_SetPixelColor(layer, 0, 29, &red); // top-left corner
    const WatermarkArea area{0, 0, 80, 25};
    FIBITMAP* cut = FitWatermark(layer, area, 10, 0);
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(FreeImage_GetWidth(cut), 70u);
    EXPECT_EQ(FreeImage_GetHeight(cut), 25u);
    EXPECT_EQ(At(cut, 0, 0), 0xFF0000u);
    FIBITMAP* same = FitWatermark(cut, area, 10, 0);
    EXPECT_EQ(same, cut);
    EXPECT_EQ(FitWatermark(same, area, 80, 0), nullptr);

    FIBITMAP* turned = RotateWatermark(MakeFilled(40, 10, kGrey, 32), 90);
    EXPECT_EQ(FreeImage_GetWidth(turned), 10u);
    EXPECT_EQ(FreeImage_GetHeight(turned), 40u);
    FreeImage_Unload(turned);
}

// Leftmost and rightmost white pixel in rows [top, bottom).
std::pair<int, int> WhiteSpan(FIBITMAP* dib, int top, int bottom, int right) {
    int first = right, last = -1;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < right; ++x)
            if (At(dib, x, y) == kWhite) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return {first, last};
}

TEST(TextWatermark, TwoLinesAlignedRightInTheirBox) {
    ConversionJobRecord job;
    SettingsRecord s = TextMark("WWWWWWWW%EOL%ii", 2);
    FIBITMAP* dib = DrawWatermark(MakeFilled(400, 200, kGrey), 400, 200, s, job);
    ASSERT_NE(dib, nullptr);
    // The black box starts at the corner; find its size.
    int boxW = 0, boxH = 0;
    while (boxW < 400 && At(dib, boxW, 0) == kBlack)
        ++boxW;
    while (boxH < 200 && At(dib, 0, boxH) == kBlack)
        ++boxH;
    EXPECT_GT(boxW, 80);
    EXPECT_LT(boxW, 200);
    EXPECT_EQ(At(dib, boxW + 1, 1), kGreyRgb);
    const int lineStep = (boxH - 10) / 2;
    EXPECT_GT(lineStep, 15);

    const auto [firstLeft, firstRight] = WhiteSpan(dib, 5, 5 + lineStep, boxW);
    const auto [secondLeft, secondRight] = WhiteSpan(dib, 5 + lineStep, boxH - 5, boxW);
    EXPECT_LE(firstLeft, 7);
    // Right alignment: both lines end by the right padding.
    EXPECT_GT(secondLeft, boxW / 2);
    EXPECT_NEAR(secondRight, firstRight, 3);
    EXPECT_LE(secondRight, boxW - 5);

    // Raster text: every box pixel is the back colour or the text colour.
    for (int y = 0; y < boxH; ++y)
        for (int x = 0; x < boxW; ++x)
            ASSERT_TRUE(At(dib, x, y) == kBlack || At(dib, x, y) == kWhite) << x << "," << y;
    FreeImage_Unload(dib);

    // The same in antialiased text has smoothed edges.
    s.Watermark.TextAntialiasing = 1;
    FIBITMAP* smooth = DrawWatermark(MakeFilled(400, 200, kGrey), 400, 200, s, job);
    int between = 0;
    for (int y = 0; y < boxH; ++y)
        for (int x = 0; x < boxW; ++x)
            between += At(smooth, x, y) != kBlack && At(smooth, x, y) != kWhite;
    EXPECT_GT(between, 10);
    FreeImage_Unload(smooth);
}

TEST(TextWatermark, OpacitiesAndPlacement) {
    ConversionJobRecord job;
    SettingsRecord s = TextMark("Hello", 0);
    s.Watermark.BackOpacity = 0;
    s.Watermark.TextPosition = 8;
    s.Watermark.TextXOffset = 10;
    s.Watermark.TextYOffset = 10;
    FIBITMAP* dib = DrawWatermark(MakeFilled(300, 100, kGrey), 300, 100, s, job);
    int white = 0, other = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 300; ++x) {
            const unsigned c = At(dib, x, y);
            white += c == kWhite;
            other += c != kWhite && c != kGreyRgb;
            if (c == kWhite) {
                EXPECT_GT(x, 200);
                EXPECT_GT(y, 50);
                EXPECT_LT(x, 290);
                EXPECT_LT(y, 90);
            }
        }
    EXPECT_GT(white, 30);
    EXPECT_EQ(other, 0);
    FreeImage_Unload(dib);

    // Half-transparent text over a half-transparent box.
    s.Watermark.BackOpacity = 128;
    s.Watermark.TextPosition = 0;
    s.Watermark.TextXOffset = s.Watermark.TextYOffset = 0;
    FIBITMAP* half = DrawWatermark(MakeFilled(300, 100, kGrey), 300, 100, s, job);
    EXPECT_NEAR(static_cast<int>(At(half, 1, 1) & 0xFF), 64, 2);
    FreeImage_Unload(half);
}

TEST(TextWatermark, TokensSeeThisPicture) {
    ConversionJobRecord job;
    job.FinalWidth = 1;
    SettingsRecord byToken = TextMark("%width%", 0);
    SettingsRecord literal = TextMark("1234", 0);
    FIBITMAP* a = BuildTextWatermark(byToken, job, 1234, 10);
    FIBITMAP* b = BuildTextWatermark(literal, job, 1234, 10);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(FreeImage_GetWidth(a), FreeImage_GetWidth(b));
    FreeImage_Unload(a);
    FreeImage_Unload(b);

    // Short lines still get a box of at least 10 pixels plus padding.
    FIBITMAP* narrow = BuildTextWatermark(TextMark("%eol%", 0), job, 100, 100);
    ASSERT_NE(narrow, nullptr);
    EXPECT_EQ(FreeImage_GetWidth(narrow), 20u);
    FreeImage_Unload(narrow);
}

TEST(TextWatermark, WithoutALoadableFontThePictureStays) {
    ConversionJobRecord job;
    SettingsRecord s = TextMark("Hello", 0);
    s.Watermark.Font = "Verdana"; // neither installed nor a look-alike
    EXPECT_FALSE(WatermarkFontLoads(s));
    FIBITMAP* dib = DrawWatermark(MakeFilled(50, 50, kGrey, 32), 50, 50, s, job);
    EXPECT_EQ(FreeImage_GetBPP(dib), 24u);
    EXPECT_EQ(At(dib, 5, 5), kGreyRgb);
    FreeImage_Unload(dib);
    s.Watermark.Font = "Arial";
    EXPECT_TRUE(WatermarkFontLoads(s));
}

TEST(TextWatermark, ExtremeSettingsLeaveThePictureWhole) {
    ConversionJobRecord job;
    for (int big : {INT_MAX, INT_MIN, 100000}) {
        SettingsRecord s = TextMark("a%eol%b%eol%c", 1);
        s.Watermark.TextPadding = big;
        s.Watermark.FontLeading = big;
        s.Watermark.TextXOffset = big;
        s.Watermark.TextYOffset = big;
        s.Watermark.TextPosition = 5;
        s.Frame.DoFrame = 1;
        s.Frame.SolidLeft = big;
        s.Frame.SolidRight = big;
        s.Watermark.TextBoundary = 1;
        FIBITMAP* dib = DrawWatermark(MakeFilled(60, 40, kGrey), 60, 40, s, job);
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ(FreeImage_GetWidth(dib), 60u);
        FreeImage_Unload(dib);

        s.Watermark.TextPadding = 0;
        s.Watermark.FontLeading = 0;
        s.Frame.DoFrame = 0;
        dib = DrawWatermark(MakeFilled(60, 40, kGrey), 60, 40, s, job);
        ASSERT_NE(dib, nullptr);
        FreeImage_Unload(dib);
    }
}

class ImageWatermark : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir =
            std::filesystem::temp_directory_path() / ("qm_watermark_" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    // Writes a w x h image of one colour; 32-bit images get a transparent right half.
    std::string Write(const char* name, FREE_IMAGE_FORMAT format, unsigned bpp, RGBQUAD colour) {
        FIBITMAP* dib = MakeFilled(20, 10, colour, bpp);
        if (bpp == 32) {
            RGBQUAD clear{0, 0, 0, 0};
            for (int y = 0; y < 10; ++y)
                for (int x = 10; x < 20; ++x)
                    FreeImage_SetPixelColor(dib, x, y, &clear);
        }
        const std::string path = (m_dir / name).string();
        EXPECT_TRUE(FreeImage_Save(format, dib, path.c_str(), 0));
        FreeImage_Unload(dib);
        return path;
    }

    std::filesystem::path m_dir;
};

SettingsRecord ImageMark(const std::string& path, int opacity, int greyscale) {
    SettingsRecord s;
    s.Watermark.DoWatermark = 2;
    s.Watermark.Image = path;
    s.Watermark.ImageOpacity = opacity;
    s.Watermark.ImageGreyscale = static_cast<int8_t>(greyscale);
    s.Watermark.ImagePosition = 0;
    s.Watermark.ImageXOffset = 0;
    s.Watermark.ImageYOffset = 0;
    return s;
}

TEST_F(ImageWatermark, HalfTransparentGreyImage) {
    ConversionJobRecord job;
    const RGBQUAD red{0, 0, 255, 255};
    for (auto [name, format] : {std::pair{"mark.png", FIF_PNG}, std::pair{"mark.bmp", FIF_BMP},
                                std::pair{"mark.jpg", FIF_JPEG}}) {
        const std::string path = Write(name, format, 24, red);
        RGBQUAD white{255, 255, 255, 255};
        FIBITMAP* dib =
            DrawWatermark(MakeFilled(100, 100, white), 100, 100, ImageMark(path, 128, 1), job);
        // Grey of pure red is 76; half of it over white.
        const unsigned c = At(dib, 5, 5);
        EXPECT_NEAR(static_cast<int>(c >> 16), 165, 4) << name;
        EXPECT_NEAR(static_cast<int>((c >> 8) & 0xFF), 165, 4) << name;
        EXPECT_NEAR(static_cast<int>(c & 0xFF), 165, 4) << name;
        EXPECT_EQ(At(dib, 25, 5), kWhite);
        EXPECT_EQ(At(dib, 5, 15), kWhite);
        FreeImage_Unload(dib);
    }
}

TEST_F(ImageWatermark, AlphaRotationAndMissingFiles) {
    ConversionJobRecord job;
    const std::string path = Write("alpha.png", FIF_PNG, 32, RGBQUAD{255, 0, 0, 255});
    SettingsRecord s = ImageMark(path, 255, 0);
    FIBITMAP* dib = DrawWatermark(MakeFilled(100, 100, kGrey), 100, 100, s, job);
    EXPECT_EQ(At(dib, 5, 5), 0x0000FFu);
    EXPECT_EQ(At(dib, 15, 5), kGreyRgb); // transparent in the image
    FreeImage_Unload(dib);

    // A quarter turn stands the 20 x 10 image up.
    s.Watermark.ImageRotation = 90;
    s.Watermark.ImagePosition = 8;
    dib = DrawWatermark(MakeFilled(100, 100, kGrey), 100, 100, s, job);
    int blue = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            if (At(dib, x, y) == 0x0000FFu) {
                ++blue;
                EXPECT_GE(x, 90);
                EXPECT_GE(y, 80);
            }
    EXPECT_EQ(blue, 100);
    FreeImage_Unload(dib);

    // An image that does not load fails the picture with its cause, rather than leaving the
    // watermark out of a picture reported converted; a file of other data is no image either.
    const std::string garbage = (m_dir / "garbage.png").string();
    std::FILE* f = std::fopen(garbage.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not a picture at all", f);
    std::fclose(f);
    for (const std::string& bad :
         {(m_dir / "missing.png").string(), std::string(), m_dir.string(), garbage}) {
        std::string reason;
        EXPECT_EQ(DrawWatermark(MakeFilled(30, 30, kGrey, 32), 30, 30, ImageMark(bad, 255, 0), job,
                                &reason),
                  nullptr);
        EXPECT_EQ(reason, "watermark image cannot be read: " + bad);
    }
    // A palette image keeps its transparent entries.
    FIBITMAP* palette = FreeImage_Allocate(20, 10, 8);
    RGBQUAD* entries = FreeImage_GetPalette(palette);
    entries[1] = RGBQUAD{255, 0, 0, 0};
    BYTE table[2] = {0, 255};
    FreeImage_SetTransparencyTable(palette, table, 2);
    BYTE one = 1;
    for (int x = 10; x < 20; ++x)
        for (int y = 0; y < 10; ++y)
            FreeImage_SetPixelIndex(palette, x, y, &one);
    const std::string palettePath = (m_dir / "palette.png").string();
    ASSERT_TRUE(FreeImage_Save(FIF_PNG, palette, palettePath.c_str(), 0));
    FreeImage_Unload(palette);
    dib = DrawWatermark(MakeFilled(100, 100, kGrey), 100, 100, ImageMark(palettePath, 255, 0), job);
    EXPECT_EQ(At(dib, 5, 5), kGreyRgb);
    EXPECT_EQ(At(dib, 15, 5), 0x0000FFu);
    FreeImage_Unload(dib);

    // Larger than the picture: cut, never scaled.
    FIBITMAP* small = DrawWatermark(MakeFilled(8, 8, kGrey), 8, 8, ImageMark(path, 255, 0), job);
    EXPECT_EQ(At(small, 7, 7), 0x0000FFu);
    FreeImage_Unload(small);
}

TEST_F(ImageWatermark, PictureBeyondThePixelLimitFailsWithoutBeingDecoded) {
    // 16400 x 16400 black pixels: 270 million, a few kilobytes as a 1-bit PNG, over a gigabyte
    // once decoded.
    FIBITMAP* huge = FreeImage_Allocate(16400, 16400, 1);
    ASSERT_TRUE(huge);
    const std::string path = (m_dir / "huge.png").string();
    ASSERT_TRUE(FreeImage_Save(FIF_PNG, huge, path.c_str(), PNG_Z_BEST_SPEED));
    FreeImage_Unload(huge);
    ConversionJobRecord job;
    std::string reason;
    EXPECT_EQ(
        DrawWatermark(MakeFilled(30, 30, kGrey), 30, 30, ImageMark(path, 255, 0), job, &reason),
        nullptr);
    EXPECT_EQ(reason, "watermark image too large (16400 x 16400 pixels): " + path);
}

} // namespace
} // namespace qm
