#include "platform/emf/dib.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
// jpeglib.h needs FILE declared first
#include <jpeglib.h>

using namespace qm::emf;

namespace {

void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void Put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}

std::vector<uint8_t> InfoHeader(int32_t w, int32_t h, uint16_t bpp, uint32_t compression = 0,
                                uint32_t clrUsed = 0) {
    std::vector<uint8_t> v;
    Put32(v, 40);
    Put32(v, static_cast<uint32_t>(w));
    Put32(v, static_cast<uint32_t>(h));
    Put16(v, 1);
    Put16(v, bpp);
    Put32(v, compression);
    Put32(v, 0);
    Put32(v, 0);
    Put32(v, 0);
    Put32(v, clrUsed);
    Put32(v, 0);
    return v;
}

void AddColor(std::vector<uint8_t>& bmi, uint32_t rgb) {
    Put32(bmi, rgb & 0xFFFFFF); // RGBQUAD is B, G, R, 0 in memory: same as 0x00RRGGBB
}

constexpr uint32_t kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu, kBlack = 0xFF000000u;

} // namespace

TEST(Dib, MonochromeBottomUpUsesColorTableAndRowOrder) {
    auto bmi = InfoHeader(10, 2, 1);
    AddColor(bmi, 0xFF0000);
    AddColor(bmi, 0x0000FF);
    // Stored bottom row first; rows padded to 4 bytes.
    std::vector<uint8_t> bits = {0x80, 0x40, 0, 0, 0xFF, 0xC0, 0, 0};
    DibImage img;
    ASSERT_TRUE(DecodeDib(bmi, bits, img));
    ASSERT_EQ(img.width, 10);
    ASSERT_EQ(img.height, 2);
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(img.At(x, 0), kBlue) << x; // top row = last stored row
    EXPECT_EQ(img.At(0, 1), kBlue);
    EXPECT_EQ(img.At(1, 1), kRed);
    EXPECT_EQ(img.At(9, 1), kBlue);
    EXPECT_EQ(img.monoColors[0], kRed);
    EXPECT_FALSE(img.sourceAlpha);
}

TEST(Dib, PaletteIndicesBeyondTheTableAreBlack) {
    auto bmi = InfoHeader(3, 1, 8, 0, 2);
    AddColor(bmi, 0xFF0000);
    AddColor(bmi, 0x0000FF);
    std::vector<uint8_t> bits = {1, 0, 200, 0};
    DibImage img;
    ASSERT_TRUE(DecodeDib(bmi, bits, img));
    EXPECT_EQ(img.At(0, 0), kBlue);
    EXPECT_EQ(img.At(1, 0), kRed);
    EXPECT_EQ(img.At(2, 0), kBlack);

    auto bmi4 = InfoHeader(3, 1, 4);
    for (uint32_t i = 0; i < 16; ++i)
        AddColor(bmi4, i * 0x111111);
    std::vector<uint8_t> bits4 = {0x1F, 0x20, 0, 0};
    ASSERT_TRUE(DecodeDib(bmi4, bits4, img));
    EXPECT_EQ(img.At(0, 0), 0xFF111111u);
    EXPECT_EQ(img.At(1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(img.At(2, 0), 0xFF222222u);
}

TEST(Dib, TrueColourFormatsTopDownAndBitFields) {
    // 24-bit, top-down, odd width so rows carry padding.
    auto bmi = InfoHeader(1, -2, 24);
    std::vector<uint8_t> bits = {0x01, 0x02, 0x03, 0, 0x0A, 0x0B, 0x0C, 0};
    DibImage img;
    ASSERT_TRUE(DecodeDib(bmi, bits, img));
    EXPECT_EQ(img.At(0, 0), 0xFF030201u);
    EXPECT_EQ(img.At(0, 1), 0xFF0C0B0Au);

    // 16-bit default 5-5-5: pure red is 0x7C00.
    auto bmi16 = InfoHeader(2, 1, 16);
    std::vector<uint8_t> bits16 = {0x00, 0x7C, 0x1F, 0x00};
    ASSERT_TRUE(DecodeDib(bmi16, bits16, img));
    EXPECT_EQ(img.At(0, 0), kRed);
    EXPECT_EQ(img.At(1, 0), kBlue);

    // 16-bit 5-6-5 bit fields after the header: green is 0x07E0.
    auto bmi565 = InfoHeader(2, 1, 16, kBiBitfields);
    Put32(bmi565, 0xF800);
    Put32(bmi565, 0x07E0);
    Put32(bmi565, 0x001F);
    std::vector<uint8_t> bits565 = {0xE0, 0x07, 0x00, 0xF8};
    ASSERT_TRUE(DecodeDib(bmi565, bits565, img));
    EXPECT_EQ(img.At(0, 0), 0xFF00FF00u);
    EXPECT_EQ(img.At(1, 0), kRed);

    // 32-bit keeps its fourth byte as alpha.
    auto bmi32 = InfoHeader(1, 1, 32);
    std::vector<uint8_t> bits32 = {0x10, 0x20, 0x30, 0x80};
    ASSERT_TRUE(DecodeDib(bmi32, bits32, img));
    EXPECT_EQ(img.At(0, 0), 0x80302010u);
    EXPECT_TRUE(img.sourceAlpha);
}

TEST(Dib, CoreHeaderWithTripleColorTable) {
    std::vector<uint8_t> bmi;
    Put32(bmi, 12);
    Put16(bmi, 2);
    Put16(bmi, 1);
    Put16(bmi, 1);
    Put16(bmi, 1);
    bmi.insert(bmi.end(), {0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00}); // red, blue
    std::vector<uint8_t> bits = {0x40, 0, 0, 0};
    DibImage img;
    ASSERT_TRUE(DecodeDib(bmi, bits, img));
    EXPECT_EQ(img.At(0, 0), kRed);
    EXPECT_EQ(img.At(1, 0), kBlue);
}

TEST(Dib, RunLengthEncodingWithDeltaLeavesHoles) {
    auto bmi = InfoHeader(4, 2, 8, kBiRle8, 2);
    AddColor(bmi, 0xFF0000);
    AddColor(bmi, 0x0000FF);
    // Bottom row: 2 x index 1, end of line; top row: delta (1,0), absolute run 0,1,0 (padded).
    std::vector<uint8_t> bits = {2, 1, 0, 0, 0, 2, 1, 0, 0, 3, 0, 1, 0, 0, 0, 1};
    DibImage img;
    ASSERT_TRUE(DecodeDib(bmi, bits, img));
    EXPECT_EQ(img.At(0, 1), kBlue);
    EXPECT_EQ(img.At(1, 1), kBlue);
    EXPECT_EQ(img.At(2, 1) >> 24, 0u); // not reached
    EXPECT_EQ(img.At(0, 0) >> 24, 0u); // skipped by the delta
    EXPECT_EQ(img.At(1, 0), kRed);
    EXPECT_EQ(img.At(2, 0), kBlue);
    EXPECT_EQ(img.At(3, 0), kRed);
    EXPECT_TRUE(img.hasHoles);

    auto bmi4 = InfoHeader(5, 1, 4, kBiRle4, 2);
    AddColor(bmi4, 0xFF0000);
    AddColor(bmi4, 0x0000FF);
    // Encoded run of 3 alternating 1,0,1; absolute run 0,1,0; runs past the width are cut.
    std::vector<uint8_t> bits4 = {3, 0x10, 0, 3, 0x01, 0x00, 9, 0x11, 0, 1};
    ASSERT_TRUE(DecodeDib(bmi4, bits4, img));
    EXPECT_EQ(img.At(0, 0), kBlue);
    EXPECT_EQ(img.At(1, 0), kRed);
    EXPECT_EQ(img.At(2, 0), kBlue);
    EXPECT_EQ(img.At(3, 0), kRed);
    EXPECT_EQ(img.At(4, 0), kBlue);
    EXPECT_FALSE(img.hasHoles);
}

TEST(Dib, HostileHeadersAndShortDataAreRejected) {
    DibImage img;
    std::vector<uint8_t> bits(64, 0);
    EXPECT_FALSE(DecodeDib(InfoHeader(0, 1, 24), bits, img));
    EXPECT_FALSE(DecodeDib(InfoHeader(1, INT32_MIN, 24), bits, img));
    EXPECT_FALSE(DecodeDib(InfoHeader(1, 1, 7), bits, img));
    EXPECT_FALSE(DecodeDib(InfoHeader(1, 1, 24, 99), bits, img));
    EXPECT_FALSE(DecodeDib(InfoHeader(100000, 100000, 8, kBiRle8), bits, img));
    EXPECT_FALSE(DecodeDib(InfoHeader(8, 8, 32), bits, img)); // needs 256 bytes
    auto big = InfoHeader(1, 1, 24);
    big[0] = 124; // header larger than the data given
    EXPECT_FALSE(DecodeDib(big, bits, img));
    EXPECT_FALSE(DecodeDib(InfoHeader(2, 1, 16, kBiBitfields), bits, img)); // masks missing
    EXPECT_FALSE(DecodeDib(std::vector<uint8_t>(8, 0), bits, img));
    EXPECT_EQ(img.width, 0); // untouched

    // Offsets and sizes must stay inside the record.
    std::vector<uint8_t> record(100, 0);
    auto bmi = InfoHeader(1, 1, 24);
    std::copy(bmi.begin(), bmi.end(), record.begin() + 20);
    EXPECT_TRUE(DecodeDibFromRecord(record, 20, 40, 60, 4, 0, img));
    EXPECT_FALSE(DecodeDibFromRecord(record, 20, 40, 98, 4, 0, img));
    EXPECT_FALSE(DecodeDibFromRecord(record, 0xFFFFFFF0u, 40, 60, 4, 0, img));
    EXPECT_FALSE(DecodeDibFromRecord(record, 20, 40, 60, 0xFFFFFFFFu, 0, img));
}

TEST(Dib, EmbeddedPngAndJpeg) {
    // PNG with alpha, written through libpng.
    uint8_t rgba[8] = {255, 0, 0, 255, 0, 0, 255, 128};
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = 2;
    image.height = 1;
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    ASSERT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, rgba, 0, nullptr));
    std::vector<uint8_t> png(size);
    ASSERT_TRUE(png_image_write_to_memory(&image, png.data(), &size, 0, rgba, 0, nullptr));
    DibImage img;
    ASSERT_TRUE(DecodeDib(InfoHeader(2, 1, 0, kBiPng), png, img));
    EXPECT_EQ(img.At(0, 0), kRed);
    EXPECT_EQ(img.At(1, 0), 0x800000FFu);
    EXPECT_TRUE(img.sourceAlpha);

    // A flat grey JPEG.
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = 8;
    c.image_height = 8;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(24, 100);
    while (c.next_scanline < 8) {
        JSAMPROW r[1] = {row.data()};
        jpeg_write_scanlines(&c, r, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> jpg(out, out + outSize);
    jpeg_destroy_compress(&c);
    free(out);
    ASSERT_TRUE(DecodeDib(InfoHeader(8, 8, 0, kBiJpeg), jpg, img));
    EXPECT_EQ(img.width, 8);
    EXPECT_NEAR(static_cast<int>(img.At(3, 3) & 0xFF), 100, 3);

    // Broken streams fail cleanly.
    std::vector<uint8_t> junk(jpg.begin(), jpg.begin() + 20);
    EXPECT_FALSE(DecodeDib(InfoHeader(8, 8, 0, kBiJpeg), junk, img) && img.width != 8);
    EXPECT_FALSE(DecodeDib(InfoHeader(8, 8, 0, kBiPng), junk, img));
}

TEST(Dib, AlphaByteOfBitFieldsAndMissingColourTables) {
    // 32-bit bit fields that leave the top byte free keep it as alpha.
    auto bmi = InfoHeader(1, 1, 32, kBiBitfields);
    Put32(bmi, 0xFF0000);
    Put32(bmi, 0x00FF00);
    Put32(bmi, 0x0000FF);
    std::vector<uint8_t> bits = {0x20, 0x00, 0x00, 0x20};
    DibImage img;
    ASSERT_TRUE(DecodeDib(bmi, bits, img));
    EXPECT_EQ(img.At(0, 0), 0x20000020u);
    EXPECT_TRUE(img.sourceAlpha);

    // A monochrome bitmap without a colour table (palette indices) is black and white.
    std::vector<uint8_t> mono = {0x40, 0, 0, 0};
    ASSERT_TRUE(DecodeDib(InfoHeader(2, 1, 1), mono, img, kDibPalIndices));
    EXPECT_EQ(img.At(0, 0), 0xFF000000u);
    EXPECT_EQ(img.At(1, 0), 0xFFFFFFFFu);
}
