// EMF+ image objects: bitmaps in every pixel format and every compressed kind, drawn from
// metafiles built here; hostile sizes are refused before decoding.
#include <FreeImage.h>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <tiffio.h>

#include "platform/emfplus/emfplus_objects.h"
#include "tests/platform/emfplus_builder.h"
#include "tests/platform/wmf_builder.h"

namespace qm::emf::testing {
namespace {

constexpr uint32_t kImageVersion = 0xDBC01002;

// An image object holding pixel data.
PlusData PixelImage(int w, int h, int stride, uint32_t format, const std::vector<uint8_t>& data,
                    const std::vector<uint32_t>& palette = {}) {
    PlusData d;
    d.U32(kImageVersion).U32(1).I32(w).I32(h).I32(stride).U32(format).U32(0);
    if (!palette.empty()) {
        d.U32(0).U32(uint32_t(palette.size()));
        for (uint32_t c : palette)
            d.U32(c);
    }
    return d.Bytes(data);
}

// An image object holding a compressed file.
PlusData CompressedImage(const std::vector<uint8_t>& file) {
    return PlusData().U32(kImageVersion).U32(1).I32(0).I32(0).I32(0).U32(0).U32(1).Bytes(file);
}

// Fuzz seeds: the records of a case, written to $QM_EMFPLUS_SEEDS when it is set.
void Seed(const char* name, const PlusBuilder& b) {
    if (const char* dir = std::getenv("QM_EMFPLUS_SEEDS"))
        std::ofstream(std::string(dir) + "/" + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.Records().data()),
                   std::streamsize(b.Records().size()));
}

// Draws image object 1 (w x h pixels) scaled by 10 at the top left of a white picture.
Picture DrawScaled(const PlusData& image, int w, int h, const char* seed = nullptr) {
    EmfBuilder emf;
    PlusBuilder b;
    b.PageTransform(2, 1.0f);
    b.Record(0x4021, 5, PlusData()); // nearest neighbour
    b.Record(0x4008, 0x0501, image);
    b.Record(0x401A, 1,
             PlusData()
                 .U32(0)
                 .U32(2)
                 .Rect(0, 0, float(w), float(h))
                 .Rect(0, 0, float(w * 10), float(h * 10)));
    b.EndOfFile();
    if (seed)
        Seed(seed, b);
    b.Flush(emf);
    return Play(emf.Finish());
}

// The colour of image pixel (x, y) in a picture drawn by DrawScaled.
uint32_t Cell(const Picture& p, int x, int y) {
    return p.At(x * 10 + 5, y * 10 + 5);
}

TEST(EmfPlusImage, IndexedFormatsUsePaletteAndPaddedStride) {
    const std::vector<uint32_t> palette = {0xFFFF0000u, 0xFF0000FFu, 0xFF00FF00u, 0x00000000u};
    // 1 bpp: 10 pixels, most significant bit first; rows padded to 4 bytes.
    Picture p = DrawScaled(
        PixelImage(10, 2, 4, 0x00030101, {0x80, 0x40, 0, 0, 0xFF, 0xC0, 0, 0}, palette), 10, 2);
    EXPECT_EQ(Cell(p, 0, 0), 0x0000FFu);
    EXPECT_EQ(Cell(p, 1, 0), 0xFF0000u);
    EXPECT_EQ(Cell(p, 9, 0), 0x0000FFu);
    EXPECT_EQ(Cell(p, 8, 1), 0x0000FFu);
    // 4 bpp: high nibble first; index 3 is transparent and leaves the white.
    p = DrawScaled(PixelImage(3, 1, 4, 0x00030402, {0x12, 0x30, 0, 0}, palette), 3, 1);
    EXPECT_EQ(Cell(p, 0, 0), 0x0000FFu);
    EXPECT_EQ(Cell(p, 1, 0), 0x00FF00u);
    EXPECT_EQ(Cell(p, 2, 0), 0xFFFFFFu);
    // 8 bpp: an index past the palette is black.
    p = DrawScaled(PixelImage(3, 1, 4, 0x00030803, {2, 0, 9, 0}, palette), 3, 1);
    EXPECT_EQ(Cell(p, 0, 0), 0x00FF00u);
    EXPECT_EQ(Cell(p, 1, 0), 0xFF0000u);
    EXPECT_EQ(Cell(p, 2, 0), 0x000000u);
}

TEST(EmfPlusImage, SixteenBitFormats) {
    // 0x7C00 is red in 5-5-5; 0xF800 red in 5-6-5; 0x07E0 full green in 5-6-5.
    Picture p = DrawScaled(PixelImage(2, 1, 4, 0x00021005, {0x00, 0x7C, 0x1F, 0x00}), 2, 1);
    EXPECT_EQ(Cell(p, 0, 0), 0xFF0000u);
    EXPECT_EQ(Cell(p, 1, 0), 0x0000FFu);
    p = DrawScaled(PixelImage(2, 1, 4, 0x00021006, {0x00, 0xF8, 0xE0, 0x07}), 2, 1);
    EXPECT_EQ(Cell(p, 0, 0), 0xFF0000u);
    EXPECT_EQ(Cell(p, 1, 0), 0x00FF00u);
    // ARGB 1555: a clear top bit is transparent.
    p = DrawScaled(PixelImage(2, 1, 4, 0x00061007, {0x1F, 0x80, 0x1F, 0x00}), 2, 1);
    EXPECT_EQ(Cell(p, 0, 0), 0x0000FFu);
    EXPECT_EQ(Cell(p, 1, 0), 0xFFFFFFu);
}

TEST(EmfPlusImage, TwentyFourAndThirtyTwoBitFormats) {
    // 24 bpp, 3 pixels a row: 9 bytes padded to a stride of 12; B, G, R order.
    Picture p = DrawScaled(
        PixelImage(3, 2, 12, 0x00021808, {0, 0, 255, 0, 255, 0, 255, 0,   0,   0, 0, 0, // row 0
                                          9, 9, 9,   0, 0,   0, 255, 255, 255, 0, 0, 0}),
        3, 2);
    EXPECT_EQ(Cell(p, 0, 0), 0xFF0000u);
    EXPECT_EQ(Cell(p, 1, 0), 0x00FF00u);
    EXPECT_EQ(Cell(p, 2, 0), 0x0000FFu);
    EXPECT_EQ(Cell(p, 0, 1), 0x090909u);
    EXPECT_EQ(Cell(p, 2, 1), 0xFFFFFFu);
    // 32 bpp RGB ignores the fourth byte.
    p = DrawScaled(PixelImage(1, 1, 4, 0x00022009, {0, 0, 255, 0}), 1, 1);
    EXPECT_EQ(Cell(p, 0, 0), 0xFF0000u);
    // ARGB at half alpha blends with white; PARGB holds the colour already multiplied.
    p = DrawScaled(PixelImage(2, 1, 8, 0x0026200A, {0, 0, 0, 128, 0, 0, 255, 0}), 2, 1);
    EXPECT_NEAR(int(Cell(p, 0, 0) & 0xFF), 127, 2);
    EXPECT_EQ(Cell(p, 1, 0), 0xFFFFFFu);
    p = DrawScaled(PixelImage(1, 1, 4, 0x000E200B, {0, 0, 128, 128}), 1, 1);
    EXPECT_NEAR(int(Cell(p, 0, 0) >> 16), 255, 2);
    EXPECT_NEAR(int(Cell(p, 0, 0) & 0xFF), 127, 2);
}

std::vector<uint8_t> Samples16(std::initializer_list<uint16_t> values) {
    std::vector<uint8_t> out;
    for (uint16_t v : values) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    }
    return out;
}

TEST(EmfPlusImage, WideFormatsAreLinearOnTheScaleOf8192) {
    // 48 bpp B, G, R: full red, and a linear fifth (gamma 2.2: about 124).
    Picture p = DrawScaled(
        PixelImage(2, 1, 12, 0x0010300C, Samples16({0, 0, 8192, 1638, 1638, 1638})), 2, 1);
    EXPECT_EQ(Cell(p, 0, 0), 0xFF0000u);
    EXPECT_NEAR(int(Cell(p, 1, 0) & 0xFF), 123, 2);
    // 64 bpp B, G, R, A: opaque blue and a transparent pixel.
    p = DrawScaled(PixelImage(2, 1, 16, 0x0034400D, Samples16({8192, 0, 0, 8192, 0, 0, 8192, 0})),
                   2, 1);
    EXPECT_EQ(Cell(p, 0, 0), 0x0000FFu);
    EXPECT_EQ(Cell(p, 1, 0), 0xFFFFFFu);
    // Samples over 8192 mean the full 16-bit scale.
    p = DrawScaled(PixelImage(1, 1, 8, 0x0010300C, Samples16({0, 0x8080, 0xFFFF, 0})), 1, 1);
    EXPECT_EQ(Cell(p, 0, 0), 0xFF8000u);
}

// Encodes a 3 x 2 picture (red, green, blue / white, black, transparent) with FreeImage.
std::vector<uint8_t> Encode(FREE_IMAGE_FORMAT format, int bpp, int flags = 0) {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    FIBITMAP* dib = FreeImage_Allocate(3, 2, 32);
    const uint32_t colours[2][3] = {{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu},
                                    {0xFFFFFFFFu, 0xFF000000u, 0x00000000u}};
    for (int y = 0; y < 2; ++y)
        std::memcpy(FreeImage_GetScanLine(dib, 1 - y), colours[y], 12);
    FIBITMAP* save = dib;
    if (bpp == 24)
        save = FreeImage_ConvertTo24Bits(dib);
    else if (bpp == 8) {
        FIBITMAP* rgb = FreeImage_ConvertTo24Bits(dib);
        save = FreeImage_ColorQuantize(rgb, FIQ_WUQUANT);
        FreeImage_Unload(rgb);
    }
    FIMEMORY* mem = FreeImage_OpenMemory();
    EXPECT_TRUE(FreeImage_SaveToMemory(format, save, mem, flags));
    BYTE* data = nullptr;
    DWORD size = 0;
    FreeImage_AcquireMemory(mem, &data, &size);
    std::vector<uint8_t> out(data, data + size);
    FreeImage_CloseMemory(mem);
    if (save != dib)
        FreeImage_Unload(save);
    FreeImage_Unload(dib);
    return out;
}

void ExpectRgbCells(const Picture& p, int tolerance) {
    const uint32_t want[2][2] = {{0xFF0000u, 0x00FF00u}, {0xFFFFFFu, 0x000000u}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            for (int shift : {0, 8, 16})
                EXPECT_NEAR(int((Cell(p, x, y) >> shift) & 0xFF), int((want[y][x] >> shift) & 0xFF),
                            tolerance)
                    << x << "," << y;
    EXPECT_NEAR(int(Cell(p, 2, 0) & 0xFF), 255, tolerance);
}

TEST(EmfPlusImage, CompressedKindsDecode) {
    // PNG and TIFF keep alpha; BMP, JPEG and GIF do not in this picture.
    Picture p = DrawScaled(CompressedImage(Encode(FIF_PNG, 32)), 3, 2);
    ExpectRgbCells(p, 0);
    EXPECT_EQ(Cell(p, 2, 1), 0xFFFFFFu);
    p = DrawScaled(CompressedImage(Encode(FIF_TIFF, 32)), 3, 2);
    ExpectRgbCells(p, 0);
    EXPECT_EQ(Cell(p, 2, 1), 0xFFFFFFu);
    p = DrawScaled(CompressedImage(Encode(FIF_TIFF, 24, TIFF_LZW)), 3, 2, "image_tiff");
    ExpectRgbCells(p, 0);
    p = DrawScaled(CompressedImage(Encode(FIF_BMP, 24)), 3, 2);
    ExpectRgbCells(p, 0);
    // A 32-bit BMP without an alpha mask is opaque: the transparent pixel comes out black.
    p = DrawScaled(CompressedImage(Encode(FIF_BMP, 32)), 3, 2);
    ExpectRgbCells(p, 0);
    EXPECT_EQ(Cell(p, 2, 1), 0x000000u);
    p = DrawScaled(CompressedImage(Encode(FIF_JPEG, 24, JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_444)),
                   3, 2);
    ExpectRgbCells(p, 40);
    p = DrawScaled(CompressedImage(Encode(FIF_GIF, 8)), 3, 2);
    ExpectRgbCells(p, 8);
}

TEST(EmfPlusImage, ExifJpegDecodes) {
    std::vector<uint8_t> jpeg = Encode(FIF_JPEG, 24, JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_444);
    // An APP1 segment with an EXIF header (and an empty TIFF structure) after the SOI marker.
    const std::vector<uint8_t> app1 = {0xFF, 0xE1, 0x00, 0x10, 'E', 'x', 'i', 'f', 0,
                                       0,    'I',  'I',  42,   0,   8,   0,   0,   0};
    jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
    ExpectRgbCells(DrawScaled(CompressedImage(jpeg), 3, 2), 40);
}

// A GIF of 2 x 1 pixels with a four-colour table (red, blue, green, white) and two frames:
// the first of indices 1, 1 (blue; index 1 transparent when asked), the second 0, 0.
std::vector<uint8_t> TwoFrameGif(bool transparent, uint16_t width = 2, uint16_t height = 1,
                                 uint8_t left = 0, uint8_t top = 0) {
    std::vector<uint8_t> g = {'G',
                              'I',
                              'F',
                              '8',
                              '9',
                              'a',
                              uint8_t(width),
                              uint8_t(width >> 8),
                              uint8_t(height),
                              uint8_t(height >> 8),
                              0x81,
                              0,
                              0};
    for (uint32_t c : {0xFF0000u, 0x0000FFu, 0x00FF00u, 0xFFFFFFu}) {
        g.push_back(uint8_t(c >> 16));
        g.push_back(uint8_t(c >> 8));
        g.push_back(uint8_t(c));
    }
    // Graphic control: transparent index 1.
    g.insert(g.end(), {0x21, 0xF9, 4, uint8_t(transparent ? 1 : 0), 0, 0, 1, 0});
    auto frame = [&](uint8_t byte0) {
        g.insert(g.end(), {0x2C, left, 0, top, 0, 2, 0, 1, 0, 0});
        // LZW, code size 2: clear, index, index, end of information.
        g.insert(g.end(), {2, 2, byte0, 0x0A, 0});
    };
    frame(0x4C);
    frame(0x04);
    g.push_back(0x3B);
    return g;
}

TEST(EmfPlusImage, GifTakesItsFirstFrameAndTransparency) {
    Picture p = DrawScaled(CompressedImage(TwoFrameGif(false)), 2, 1, "image_gif");
    EXPECT_EQ(Cell(p, 0, 0), 0x0000FFu);
    EXPECT_EQ(Cell(p, 1, 0), 0x0000FFu);
    p = DrawScaled(CompressedImage(TwoFrameGif(true)), 2, 1);
    EXPECT_EQ(Cell(p, 0, 0), 0xFFFFFFu);
    // A first frame at (2, 1) on a logical screen of 4 x 2: transparent around it.
    p = DrawScaled(CompressedImage(TwoFrameGif(false, 4, 2, 2, 1)), 4, 2);
    EXPECT_EQ(Cell(p, 2, 1), 0x0000FFu);
    EXPECT_EQ(Cell(p, 3, 1), 0x0000FFu);
    EXPECT_EQ(Cell(p, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(Cell(p, 1, 1), 0xFFFFFFu);
    EXPECT_EQ(Cell(p, 3, 0), 0xFFFFFFu);
    // A frame reaching past the screen is cut at its edge.
    p = DrawScaled(CompressedImage(TwoFrameGif(false, 3, 1, 2, 0)), 3, 1);
    EXPECT_EQ(Cell(p, 2, 0), 0x0000FFu);
    EXPECT_EQ(Cell(p, 0, 0), 0xFFFFFFu);
}

// A TIFF header whose first directory declares width x height and nothing else.
std::vector<uint8_t> BareTiff(uint32_t width, uint32_t height) {
    PlusData t;
    t.U16(0x4949).U16(42).U32(8).U16(2);
    t.U16(256).U16(4).U32(1).U32(width);
    t.U16(257).U16(4).U32(1).U32(height);
    t.U32(0);
    return t.bytes;
}

TEST(EmfPlusImage, SizesOverTheBudgetAreRefusedBeforeDecoding) {
    auto parse = [](const PlusData& image, uint64_t pixels) {
        emfplus::ParseBudget budget;
        budget.pixels = pixels;
        const auto object = emfplus::ParseObject(emfplus::kObjImage, image.bytes, budget);
        return std::holds_alternative<std::shared_ptr<const emfplus::Image>>(object);
    };
    EXPECT_TRUE(parse(CompressedImage(Encode(FIF_PNG, 32)), 6));
    EXPECT_FALSE(parse(CompressedImage(Encode(FIF_PNG, 32)), 5));
    EXPECT_TRUE(parse(CompressedImage(Encode(FIF_TIFF, 32)), 6));
    EXPECT_FALSE(parse(CompressedImage(Encode(FIF_TIFF, 32)), 5));
    EXPECT_FALSE(parse(CompressedImage(Encode(FIF_BMP, 24)), 5));
    EXPECT_FALSE(parse(CompressedImage(Encode(FIF_JPEG, 24)), 5));
    // A progressive JPEG that claims 60000 x 60000 pixels in its frame header.
    std::vector<uint8_t> jpeg = Encode(FIF_JPEG, 24, JPEG_PROGRESSIVE);
    for (size_t i = 0; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC2) {
            jpeg[i + 5] = jpeg[i + 7] = 60000 >> 8;
            jpeg[i + 6] = jpeg[i + 8] = 60000 & 0xFF;
            break;
        }
    EXPECT_FALSE(parse(CompressedImage(jpeg), uint64_t{1} << 26));
    // A GIF's logical screen counts as well as its first frame.
    EXPECT_TRUE(parse(CompressedImage(TwoFrameGif(false)), 2));
    EXPECT_FALSE(parse(CompressedImage(TwoFrameGif(false, 3)), 2));
    EXPECT_FALSE(parse(CompressedImage(TwoFrameGif(false, 60000, 60000)), uint64_t{1} << 26));
    EXPECT_FALSE(parse(CompressedImage(BareTiff(60000, 60000)), uint64_t{1} << 26));
    EXPECT_FALSE(parse(PixelImage(60000, 60000, 240000, 0x00022009, {}), uint64_t{1} << 26));
    // Unknown formats and strides too small for their width are refused.
    EXPECT_FALSE(parse(PixelImage(1, 1, 4, 0x00022099, {0, 0, 0, 0}), 100));
    EXPECT_FALSE(parse(PixelImage(2, 1, 4, 0x00021808, {0, 0, 0, 0}), 100));
}

// Draws image object 1 into (20, 20)-(80, 60).
Picture DrawInto(const PlusData& image, const char* seed = nullptr) {
    EmfBuilder emf;
    PlusBuilder b;
    b.PageTransform(2, 1.0f);
    b.Record(0x4008, 0x0501, image);
    b.Record(0x401A, 1, PlusData().U32(0).U32(2).Rect(0, 0, 1, 1).Rect(20, 20, 60, 40));
    b.EndOfFile();
    if (seed)
        Seed(seed, b);
    b.Flush(emf);
    return Play(emf.Finish());
}

TEST(EmfPlusImage, WindowsMetafilesArePlayedWithOrWithoutPlaceableHeader) {
    // Red on the left half of the picture, blue on the lower right quarter.
    for (uint16_t inch : {uint16_t(1440), uint16_t(0)}) {
        wmf::testing::WmfBuilder w(0, 0, 1000, 1000, inch);
        w.Record(0x0103, {8}).Window(0, 0, 1000, 1000).Pen(0, 1, 5).Select(0);
        w.Brush(0x0000FF).Select(1).Rectangle(0, 0, 500, 1000);
        w.Brush(0xFF0000).Select(2).Rectangle(500, 500, 1000, 1000);
        const std::vector<uint8_t> bytes = w.Finish();
        const Picture p = DrawInto(PlusData()
                                       .U32(kImageVersion)
                                       .U32(2)
                                       .U32(inch ? 2 : 1)
                                       .U32(uint32_t(bytes.size()))
                                       .Bytes(bytes),
                                   inch ? "image_wmf_placeable" : "image_wmf");
        EXPECT_EQ(p.At(30, 30), 0xFF0000u) << inch;
        EXPECT_EQ(p.At(45, 55), 0xFF0000u) << inch;
        EXPECT_EQ(p.At(60, 30), 0xFFFFFFu) << inch;
        EXPECT_EQ(p.At(70, 55), 0x0000FFu) << inch;
        EXPECT_EQ(p.At(85, 55), 0xFFFFFFu) << inch;
        EXPECT_EQ(p.At(30, 65), 0xFFFFFFu) << inch;
    }
}

TEST(EmfPlusImage, WindowsMetafilesAsRecordersWriteThem) {
    // Real recorders pad the placeable header to 24 bytes and give the metafile's size without
    // that header, so the last records lie past the size given.
    wmf::testing::WmfBuilder w(0, 0, 1000, 1000, 1440);
    w.Record(0x0103, {8}).Window(0, 0, 1000, 1000).Pen(0, 1, 5).Select(0);
    w.Brush(0x0000FF).Select(1).Rectangle(0, 0, 500, 1000);
    w.Brush(0xFF0000).Select(2).Rectangle(500, 500, 1000, 1000);
    std::vector<uint8_t> bytes = w.Finish();
    bytes.insert(bytes.begin() + 22, {0, 0});
    const Picture p = DrawInto(
        PlusData().U32(kImageVersion).U32(2).U32(2).U32(uint32_t(bytes.size() - 24)).Bytes(bytes),
        "image_wmf_padded_placeable");
    EXPECT_EQ(p.At(30, 30), 0xFF0000u);
    EXPECT_EQ(p.At(70, 55), 0x0000FFu);
    EXPECT_EQ(p.At(85, 55), 0xFFFFFFu);
}

TEST(EmfPlusImage, NestedMetafilesSpendTheOuterWorkBudget) {
    // A picture-wide pattern fill, drawn 200 times over the whole picture.
    wmf::testing::WmfBuilder w;
    w.Window(0, 0, 100, 100).Brush(0xFF0000).Select(0);
    w.Record(0x061D, {0x0021, 0x00F0, 100, 100, 0, 0});
    const std::vector<uint8_t> bytes = w.Finish();
    EmfBuilder emf;
    PlusBuilder b;
    b.PageTransform(2, 1.0f);
    b.Record(0x4008, 0x0501,
             PlusData().U32(kImageVersion).U32(2).U32(2).U32(uint32_t(bytes.size())).Bytes(bytes));
    for (int i = 0; i < 200; ++i)
        b.Record(0x401A, 1, PlusData().U32(0).U32(2).Rect(0, 0, 1, 1).Rect(0, 0, 100, 100));
    b.EndOfFile().Flush(emf);
    const std::vector<uint8_t> data = emf.Finish();
    std::vector<uint32_t> pixels(101 * 101, 0xFFFFFFFFu);
    const Surface s{pixels.data(), 101, 101, 101 * 4};
    const PlayResult all = PlayMetafile(data, s, {0, 0, 100, 100}, emfplus::EmfPlusMode::Prefer);
    EXPECT_EQ(all.outcome, PlayOutcome::Played);
    EXPECT_GT(all.work, uint64_t{200} * 100 * 100);
    EXPECT_EQ(pixels[50 * 101 + 50] & 0xFFFFFF, 0x0000FFu);
    const PlayResult cut =
        PlayMetafile(data, s, {0, 0, 100, 100}, emfplus::EmfPlusMode::Prefer, all.work / 4);
    EXPECT_EQ(cut.outcome, PlayOutcome::BudgetReached);
}

} // namespace
} // namespace qm::emf::testing
