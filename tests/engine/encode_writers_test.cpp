// Writer flags, depth conversions and the writers of our own (short-palette and RLE8 BMP,
// icons, DevIL formats), with the library faults they work around.
#include "engine/encode.h"

#include <FreeImage.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "core/formats.h"
#include "encode_readers.h"
#include "engine/file_output.h"
#include "engine/library_messages.h"
#include "engine/naming.h"
#include "engine/writer_bmp.h"
#include "engine/writer_devil.h"
#include "engine/writer_ico.h"

using namespace qm;
using namespace qm::test;
namespace fs = std::filesystem;

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// An 8-bit palette picture whose pixels use palette indices 0 to 9 only, with runs and
// single pixels for RLE8.
FIBITMAP* TenColourPicture(unsigned width = 37, unsigned height = 23) {
    FIBITMAP* dib = FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), 8);
    RGBQUAD* palette = FreeImage_GetPalette(dib);
    for (int i = 0; i < 256; ++i)
        palette[i] = {BYTE(i * 3), BYTE(255 - i), BYTE(i * 7), 0};
    for (unsigned y = 0; y < height; ++y) {
        BYTE* row = FreeImage_GetScanLine(dib, static_cast<int>(y));
        for (unsigned x = 0; x < width; ++x)
            row[x] = static_cast<BYTE>(x < 12 ? (x + y) % 10 : x < 30 ? y % 10 : 9);
    }
    return dib;
}

struct Writers : WriterFixture {};

} // namespace

TEST(SaveFlagsFor, CombinesEachFormatsSettings) {
    SettingsRecord s;
    ResetSettings(s, 1);
    s.Output.JPGQuality = 80;
    s.Output.JPGChroma = 2;
    s.Output.JPGSaveAs = 3;
    EXPECT_EQ(SaveFlagsFor("jpg", s), 80 + 0x4000 + 0x2000);
    s.Output.TIFFCompression = 6;
    s.Output.TIFFColorModel = 1;
    EXPECT_EQ(SaveFlagsFor("tiff", s), 0x4001);
    s.Output.TIFFColorModel = 2; // adds nothing
    EXPECT_EQ(SaveFlagsFor("tiff", s), 0x4000);
    s.Output.TIFFCompression = 9; // out of range: nothing
    EXPECT_EQ(SaveFlagsFor("tiff", s), 0);
    s.Output.WEBPQuality = 100;
    EXPECT_EQ(SaveFlagsFor("webp", s), 0x100);
    s.Output.WEBPQuality = 99;
    EXPECT_EQ(SaveFlagsFor("webp", s), 99);
    s.Output.PNGCompression = 0;
    s.Output.PNGInterlaced = 1;
    EXPECT_EQ(SaveFlagsFor("png", s), 0x100 | 0x200);
    s.Output.PNGCompression = 3;
    s.Output.PNGInterlaced = 0;
    EXPECT_EQ(SaveFlagsFor("png", s), 9);
    s.Output.EXRCompression = 4;
    EXPECT_EQ(SaveFlagsFor("exr", s), 0x20);
    s.Output.EXRCompression = -1;
    EXPECT_EQ(SaveFlagsFor("exr", s), 0);
    s.Output.BMPCompression = 1;
    EXPECT_EQ(SaveFlagsFor("bmp", s), 1);
    s.Output.TGACompression = 1;
    EXPECT_EQ(SaveFlagsFor("tga", s), 2);
    EXPECT_EQ(SaveFlagsFor("jxr", s), 100);
    for (const char* id : {"dds", "gif", "hdr", "ico", "j2k", "pcx", "psd", "wbmp", "xpm"})
        EXPECT_EQ(SaveFlagsFor(id, s), 0) << id;
}

TEST(ReduceDepth, SixteenBitsAreFiveSixFiveExceptForIconsAndTarga) {
    for (const char* id : {"bmp", "jxr", "ico", "tga"}) {
        FIBITMAP* dib = ReduceDepth(MakePicture(), 16, id);
        ASSERT_NE(dib, nullptr);
        const bool fiveFiveFive = std::string(id) == "ico" || std::string(id) == "tga";
        EXPECT_EQ(FreeImage_GetGreenMask(dib),
                  fiveFiveFive ? unsigned(FI16_555_GREEN_MASK) : unsigned(FI16_565_GREEN_MASK))
            << id;
        FreeImage_Unload(dib);
    }
    // From 48 bits through 24.
    FIBITMAP* dib = ReduceDepth(ReduceDepth(MakePicture(), 48, "png"), 16, "bmp");
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(FreeImage_GetBPP(dib), 16u);
    FreeImage_Unload(dib);
}

TEST(ReduceDepth, EightBitsAreGreyForJpegFamiliesAndQuantizedColourElsewhere) {
    for (const char* id : {"jpg", "j2k", "jp2", "jxr"}) {
        FIBITMAP* dib = ReduceDepth(MakePicture(), 8, id);
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ(FreeImage_GetColorType(dib), FIC_MINISBLACK) << id;
        FreeImage_Unload(dib);
    }
    for (const char* id : {"png", "gif", "bmp", "tga"}) {
        FIBITMAP* dib = ReduceDepth(MakePicture(), 8, id);
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ(FreeImage_GetBPP(dib), 8u);
        EXPECT_EQ(FreeImage_GetColorType(dib), FIC_PALETTE) << id;
        FreeImage_Unload(dib);
    }
}

TEST(ReduceDepth, KeepsAMatchingBitmapAndRefusesUnknownDepths) {
    FIBITMAP* picture = MakePicture();
    FIBITMAP* grey = FreeImage_ConvertTo8Bits(picture);
    FreeImage_Unload(picture);
    EXPECT_EQ(ReduceDepth(grey, 8, "gif"), grey); // already 8 bits: written unchanged
    FreeImage_Unload(grey);
    EXPECT_EQ(ReduceDepth(nullptr, 24, "png"), nullptr);
    EXPECT_EQ(ReduceDepth(MakePicture(), 12, "png"), nullptr); // the input is unloaded
    EXPECT_EQ(ReduceDepth(MakePicture(), 0, "png"), nullptr);
}

TEST(ReduceDepth, AutomaticDepthFollowsTheRenderedDepth) {
    ConversionJobRecord job;
    job.FormatId = "ppm";
    job.AutoDepth = 1;
    job.SourceDepth = 32;
    FIBITMAP* dib = ReduceDepth(MakePicture(), job);
    EXPECT_EQ(job.TargetDepth, 48);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(FreeImage_GetImageType(dib), FIT_RGB16);
    FreeImage_Unload(dib);
    job.FormatId = "gif";
    job.SourceDepth = 24;
    dib = ReduceDepth(MakePicture(), job);
    EXPECT_EQ(job.TargetDepth, 8);
    FreeImage_Unload(dib);
}

TEST_F(Writers, ShortPaletteBmpKeepsOnlyTheColoursInUse) {
    FIBITMAP* dib = TenColourPicture();
    s.Output.BMPColorTable = 1;
    const ConversionJobRecord job = Job("bmp", 8);
    ASSERT_TRUE(WriteImage(dib, job, s));
    const std::vector<uint8_t> file = ReadFileBytes(job.OutputPath);
    ASSERT_GE(file.size(), 94u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(Le32(file, 2), file.size());
    EXPECT_EQ(Le32(file, 10), 94u);      // 54 + 4 x 10
    EXPECT_EQ(Le32(file, 14 + 32), 10u); // biClrUsed
    EXPECT_EQ(Le32(file, 14 + 36), 10u); // biClrImportant
    EXPECT_EQ(Le32(file, 14 + 16), 0u);  // biCompression
    EXPECT_EQ(file[54 + 4 * 3 + 2], 21); // red of entry 3
    // The pixel data is that of FreeImage's own BMP, which starts at 1078.
    FIMEMORY* memory = FreeImage_OpenMemory();
    ASSERT_TRUE(FreeImage_SaveToMemory(FIF_BMP, dib, memory, 0));
    BYTE* data = nullptr;
    DWORD size = 0;
    FreeImage_AcquireMemory(memory, &data, &size);
    ASSERT_EQ(file.size() - 94, size - 1078u);
    EXPECT_TRUE(std::equal(file.begin() + 94, file.end(), data + 1078));
    EXPECT_EQ(Le32(file, 14 + 20), size - 1078u); // biSizeImage
    FreeImage_CloseMemory(memory);

    FIBITMAP* back = LoadWithFreeImage(job.OutputPath);
    EXPECT_EQ(MaxChannelDifference(dib, back), 0);
    EXPECT_TRUE(ReadWithDevil(job.OutputPath).ok);
    FreeImage_Unload(back);
    FreeImage_Unload(dib);
}

TEST_F(Writers, EightBitRleBmpReadsBackWithEitherColourTable) {
    // FreeImage's own RLE8 output does not read back: we encode RLE8 ourselves.
    FIBITMAP* dib = TenColourPicture(301, 7);
    const std::string theirs = folder + "theirs.bmp";
    ASSERT_TRUE(FreeImage_Save(FIF_BMP, dib, theirs.c_str(), BMP_SAVE_RLE));
    FIBITMAP* broken = LoadWithFreeImage(theirs);
    EXPECT_NE(MaxChannelDifference(dib, broken), 0);
    FreeImage_Unload(broken);

    s.Output.BMPCompression = 1;
    for (int table : {0, 1}) {
        s.Output.BMPColorTable = table;
        const ConversionJobRecord job = Job("bmp", 8);
        ASSERT_TRUE(WriteImage(dib, job, s));
        const std::vector<uint8_t> file = ReadFileBytes(job.OutputPath);
        EXPECT_EQ(Le32(file, 14 + 16), 1u); // BI_RLE8
        EXPECT_EQ(Le32(file, 10), table ? 94u : 1078u);
        FIBITMAP* back = LoadWithFreeImage(job.OutputPath);
        EXPECT_EQ(MaxChannelDifference(dib, back), 0) << "table " << table;
        FreeImage_Unload(back);
        const ImageInfo devil = ReadWithDevil(job.OutputPath);
        EXPECT_TRUE(devil.ok && devil.width == 301 && devil.height == 7);
    }
    FreeImage_Unload(dib);
}

TEST(Rle8, EncodesRunsAndLiteralsOfEveryLength) {
    const uint8_t row[] = {5, 5, 5, 5, 1, 2, 3, 4, 7, 7, 9};
    std::vector<uint8_t> out;
    EncodeRle8Row(row, sizeof row, out);
    // A run of four fives, then the rest as one absolute run of seven, padded to even length.
    EXPECT_EQ(out, (std::vector<uint8_t>{4, 5, 0, 7, 1, 2, 3, 4, 7, 7, 9, 0}));
    out.clear();
    const uint8_t shortTail[] = {1, 2, 8, 8, 8};
    EncodeRle8Row(shortTail, sizeof shortTail, out);
    EXPECT_EQ(out, (std::vector<uint8_t>{1, 1, 1, 2, 3, 8}));
    out.clear();
    std::vector<uint8_t> long_run(600, 3);
    EncodeRle8Row(long_run.data(), 600, out);
    EXPECT_EQ(out, (std::vector<uint8_t>{255, 3, 255, 3, 90, 3}));
}

TEST_F(Writers, LibraryMessagesStayOffTheConsoleAndNameTheCause) {
    FIBITMAP* dib = MakePicture();
    FIBITMAP* floats = FreeImage_ConvertToRGBF(dib);
    // libtiff warns about deflate and LogLuv TIFFs; none of it may reach standard error.
    std::fflush(stderr);
    const int saved = dup(2);
    FILE* capture = std::tmpfile();
    ASSERT_NE(capture, nullptr);
    dup2(fileno(capture), 2);
    for (const auto& [compression, depth] : {std::pair{4, 24}, {5, 24}, {8, 96}}) {
        s.Output.TIFFCompression = compression;
        EXPECT_TRUE(WriteImage(depth == 96 ? floats : dib, Job("tiff", depth), s)) << compression;
    }
    std::string reason;
    EXPECT_FALSE(WriteImage(floats, Job("gif", 96), s, &reason));
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::fseek(capture, 0, SEEK_END);
    EXPECT_EQ(std::ftell(capture), 0) << "the libraries printed on standard error";
    std::fclose(capture);
    // The failed write's reason carries what the library said.
    EXPECT_TRUE(reason.starts_with("GIF writer: cannot write ")) << reason;
    EXPECT_NE(reason.find(".gif: "), std::string::npos) << reason;
    FreeImage_Unload(floats);
    FreeImage_Unload(dib);
}

TEST_F(Writers, DevilErrorsBecomePartOfTheReason) {
    FIBITMAP* dib = MakePicture();
    ConversionJobRecord job = Job("pcx", 24);
    job.OutputPath = folder + "missing/out.pcx"; // a folder that is not there
    ClearLibraryMessages();
    EXPECT_FALSE(WriteWithDevil(dib, job));
    EXPECT_TRUE(LibraryMessages().starts_with("DevIL: ")) << LibraryMessages();
    FreeImage_Unload(dib);
}

TEST_F(Writers, ThirtyTwoBitPngKeepsItsAlphaChannelWhenOpaque) {
    FIBITMAP* dib = MakePicture(); // every pixel opaque
    for (int interlaced : {0, 1}) {
        s.Output.PNGInterlaced = interlaced;
        const ConversionJobRecord job = Job("png", 32);
        ASSERT_TRUE(WriteImage(dib, job, s));
        const ImageInfo png = ReadWithLibpng(job.OutputPath);
        EXPECT_TRUE(png.ok);
        EXPECT_EQ(png.bpp, 32u) << "RGBA, 8 bits each";
        EXPECT_EQ(png.width, 37u);
        FIBITMAP* back = LoadWithFreeImage(job.OutputPath);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(FreeImage_GetBPP(back), 32u);
        EXPECT_EQ(MaxChannelDifference(dib, back), 0);
        FreeImage_Unload(back);
    }
    FreeImage_Unload(dib);
}

TEST_F(Writers, ThirtyTwoBitWebpDeclaresItsAlphaChannelWhenOpaque) {
    FIBITMAP* dib = MakePicture();
    FIBITMAP* rgb = FreeImage_ConvertTo24Bits(dib);
    for (int quality : {100, 80}) { // lossless, lossy
        s.Output.WEBPQuality = quality;
        const ConversionJobRecord job = Job("webp", 32);
        ASSERT_TRUE(WriteImage(dib, job, s)) << quality;
        FIBITMAP* back = LoadWithFreeImage(job.OutputPath);
        ASSERT_NE(back, nullptr) << quality;
        EXPECT_EQ(FreeImage_GetBPP(back), 32u) << quality;
        // The colours are those of the same picture written without alpha.
        const ConversionJobRecord plain = Job("webp", 24);
        ASSERT_TRUE(WriteImage(rgb, plain, s)) << quality;
        FIBITMAP* plainBack = LoadWithFreeImage(plain.OutputPath);
        EXPECT_EQ(MaxChannelDifference(plainBack, back), 0) << quality;
        if (quality == 100) {
            EXPECT_EQ(MaxChannelDifference(dib, back), 0);
        }
        for (unsigned x = 0; x < FreeImage_GetWidth(back); ++x)
            ASSERT_EQ(FreeImage_GetScanLine(back, 0)[x * 4 + FI_RGBA_ALPHA], 255) << quality;
        FreeImage_Unload(plainBack);
        FreeImage_Unload(back);
    }
    FreeImage_Unload(rgb);
    FreeImage_Unload(dib);
}

TEST_F(Writers, SixteenBitIconsAreFiveFiveFiveWithoutMasks) {
    // Other readers take a compression of 3 (bit fields) in an icon as masks that are not
    // there; 5-5-5 pixels need no masks.
    for (unsigned side : {16u, 32u, 37u}) {
        FIBITMAP* dib = ReduceDepth(MakePicture(side, side), 16, "ico");
        const ConversionJobRecord job = Job("ico", 16);
        ASSERT_TRUE(WriteImage(dib, job, s)) << side;
        const std::vector<uint8_t> bytes = ReadFileBytes(job.OutputPath);
        ASSERT_GE(bytes.size(), 62u);
        const auto le32 = [&](size_t at) {
            return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 |
                   uint32_t(bytes[at + 2]) << 16 | uint32_t(bytes[at + 3]) << 24;
        };
        EXPECT_EQ(le32(22 + 16), 0u) << side;                        // biCompression: BI_RGB
        EXPECT_EQ(bytes[22 + 14] | bytes[22 + 15] << 8, 16) << side; // biBitCount
        const size_t rows = (side * 2 + 3) / 4 * 4 * side, mask = (side + 31) / 32 * 4 * side;
        EXPECT_EQ(bytes.size(), 22 + 40 + rows + mask) << side;
        // Read back by FreeImage, not by the writer that made it (DevIL reads no 16-bit icons).
        FIBITMAP* back = LoadWithFreeImage(job.OutputPath);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(MaxChannelDifference(dib, back), 0) << side;
        FreeImage_Unload(back);
        FreeImage_Unload(dib);
    }
}

TEST_F(Writers, IconsOfEverySizeUpTo128ReadBack) {
    const std::pair<unsigned, unsigned> sizes[] = {{1, 1},   {5, 3},     {3, 5},    {16, 16},
                                                   {64, 48}, {128, 100}, {128, 128}};
    for (const auto& [w, h] : sizes)
        for (int32_t depth : AllowedDepths("ico")) {
            FIBITMAP* dib = ReduceDepth(MakePicture(w, h), depth, "ico");
            const ConversionJobRecord job = Job("ico", depth);
            ASSERT_TRUE(WriteImage(dib, job, s)) << w << "x" << h << " at " << depth;
            FIBITMAP* back = LoadWithFreeImage(job.OutputPath);
            ASSERT_NE(back, nullptr) << w << "x" << h << " at " << depth;
            EXPECT_EQ(FreeImage_GetWidth(back), w);
            EXPECT_EQ(FreeImage_GetHeight(back), h);
            EXPECT_EQ(FreeImage_GetBPP(back), static_cast<unsigned>(depth));
            if (depth >= 16) {
                EXPECT_EQ(MaxChannelDifference(dib, back), 0) << w << "x" << h << " at " << depth;
            }
            FreeImage_Unload(back);
            FreeImage_Unload(dib);
        }
    // Larger than an icon can be: fails, leaves no temporary file, and the icon written last
    // under the same name stays as it was.
    FIBITMAP* big = MakePicture(300, 20);
    EXPECT_FALSE(WriteImage(big, Job("ico", 32), s));
    EXPECT_EQ(FilesInFolder(), 1u);
    FIBITMAP* kept = LoadWithFreeImage(Job("ico", 32).OutputPath);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(FreeImage_GetWidth(kept), 128u);
    FreeImage_Unload(kept);
    FreeImage_Unload(big);
}

TEST_F(Writers, DdsCarriesTheMipmapChainAndReadOnlyOutputsAreReplaced) {
    FIBITMAP* dib = MakePicture(64, 32);
    for (const char* id : {"dds", "psd", "pcx"}) {
        const int32_t depth = ChooseAutoDepth(id, 32);
        FIBITMAP* reduced = ReduceDepth(FreeImage_Clone(dib), depth, id);
        ConversionJobRecord job = Job(id, depth);
        // An older, read-only output of the same name is replaced.
        { std::ofstream(job.OutputPath) << "old"; }
        chmod(job.OutputPath.c_str(), 0444);
        ASSERT_TRUE(WriteImage(reduced, job, s)) << id;
        EXPECT_EQ(FilesInFolder(), 1u) << id; // the temporary file was moved
        const ImageInfo info = ReadWithDevil(job.OutputPath);
        EXPECT_TRUE(info.ok && info.width == 64 && info.height == 32) << id;
        const std::vector<uint8_t> file = ReadFileBytes(job.OutputPath);
        if (std::string(id) == "dds") {
            ASSERT_GE(file.size(), 128u);
            EXPECT_TRUE(Le32(file, 8) & 0x20000); // DDSD_MIPMAPCOUNT
            EXPECT_EQ(Le32(file, 28), 7u);        // 64x32 down to 1x1
        }
        FreeImage_Unload(reduced);
        fs::remove(job.OutputPath);
    }
    FreeImage_Unload(dib);
}

TEST_F(Writers, FailedWritesLeaveNoFileBehind) {
    FIBITMAP* dib = MakePicture();
    FIBITMAP* floats = FreeImage_ConvertToRGBF(dib);
    // GIF cannot hold floats: FreeImage fails after creating the file.
    EXPECT_FALSE(WriteImage(floats, Job("gif", 96), s));
    // DevIL into a folder that does not exist.
    ConversionJobRecord job = Job("psd", 32);
    job.OutputPath = folder + "missing/out.psd";
    job.TempPath = folder + "missing/tmp.psd";
    EXPECT_FALSE(WriteImage(dib, job, s));
    // JPEG 2000 holds no floats; into a folder that does not exist.
    EXPECT_FALSE(WriteImage(floats, Job("j2k", 96), s));
    job = Job("jp2", 32);
    job.OutputPath = folder + "missing/out.jp2";
    EXPECT_FALSE(WriteImage(dib, job, s));
    EXPECT_FALSE(WriteImage(nullptr, Job("png", 32), s));
    EXPECT_EQ(FilesInFolder(), 0u);
    FreeImage_Unload(floats);
    FreeImage_Unload(dib);
}

TEST_F(Writers, WebpGetsOnlyDepthsItCanTakeAndHonoursLossless) {
    // Other depths would abort the process inside the WebP library.
    for (int32_t depth : {1, 8, 16, 48, 96}) {
        FIBITMAP* dib = ReduceDepth(MakePicture(), depth, "webp");
        const ConversionJobRecord job = Job("webp", depth);
        EXPECT_TRUE(WriteImage(dib, job, s)) << depth;
        FIBITMAP* back = LoadWithFreeImage(job.OutputPath);
        EXPECT_NE(back, nullptr) << depth;
        FreeImage_Unload(back);
        FreeImage_Unload(dib);
    }
    FIBITMAP* dib = ReduceDepth(MakePicture(), 24, "webp");
    int differences[2] = {};
    for (int quality : {100, 99}) {
        s.Output.WEBPQuality = quality;
        const ConversionJobRecord job = Job("webp", 24);
        ASSERT_TRUE(WriteImage(dib, job, s));
        FIBITMAP* back = LoadWithFreeImage(job.OutputPath);
        differences[quality == 99] = MaxChannelDifference(dib, back);
        FreeImage_Unload(back);
    }
    EXPECT_EQ(differences[0], 0);
    EXPECT_GT(differences[1], 0);
    FreeImage_Unload(dib);
}

TEST_F(Writers, CmykTiffStoresInksThatReadBackAsTheSameColours) {
    // FreeImage's writer takes the pixel bytes as they are for inks; without converting them
    // first, red would come back as blue.
    s.Output.TIFFColorModel = 1;
    s.Output.TIFFCompression = 6;
    FIBITMAP* dib = MakePicture();
    const ConversionJobRecord job = Job("tiff", 32);
    ASSERT_TRUE(WriteImage(dib, job, s));
    const ImageInfo tiff = ReadWithLibtiff(job.OutputPath);
    EXPECT_TRUE(tiff.ok);
    EXPECT_EQ(tiff.bpp, 32u);
    FIBITMAP* back = LoadWithFreeImage(job.OutputPath); // converted to RGB on loading
    EXPECT_LE(MaxChannelDifference(dib, back), 1);
    FreeImage_Unload(back);
    FreeImage_Unload(dib);
}

TEST_F(Writers, JpegXrIsLosslessOnlyWhenAskedFor) {
    FIBITMAP* dib = MakePicture();
    std::vector<uint8_t> lossless, lossy;
    ConversionJobRecord job = Job("jxr", 32);
    ASSERT_TRUE(WriteImage(dib, job, s));
    ReadWithLibjxr(job.OutputPath, &lossless);
    job.SaveFlags = 40;
    ASSERT_TRUE(WriteImage(dib, job, s));
    EXPECT_TRUE(ReadWithLibjxr(job.OutputPath, &lossy).ok);
    ASSERT_EQ(lossless.size(), lossy.size());
    EXPECT_NE(lossless, lossy);
    FreeImage_Unload(dib);
}

TEST_F(Writers, PortableBitmapsAndGreymapsMeanWhatTheirFormatsSay) {
    // Left half white, right half black.
    FIBITMAP* picture = FreeImage_Allocate(8, 1, 24);
    const RGBQUAD white{255, 255, 255, 0};
    for (unsigned x = 0; x < 4; ++x)
        FreeImage_SetPixelColor(picture, x, 0, const_cast<RGBQUAD*>(&white));
    // PBM: a set bit is black (FreeImage's writer would store the dither's bits, inverted).
    FIBITMAP* bits = ReduceDepth(FreeImage_Clone(picture), 1, "pbm");
    const ConversionJobRecord pbm = Job("pbm", 1);
    ASSERT_TRUE(WriteImage(bits, pbm, s));
    const std::vector<uint8_t> file = ReadFileBytes(pbm.OutputPath);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(std::string(file.begin(), file.begin() + 2), "P4");
    EXPECT_EQ(file.back(), 0x0F);
    // PGM: grey levels, not the indices of a quantized palette.
    FIBITMAP* grey = ReduceDepth(FreeImage_Clone(picture), 8, "pgm");
    EXPECT_EQ(FreeImage_GetColorType(grey), FIC_MINISBLACK);
    const ConversionJobRecord pgm = Job("pgm", 8);
    ASSERT_TRUE(WriteImage(grey, pgm, s));
    const std::vector<uint8_t> levels = ReadFileBytes(pgm.OutputPath);
    ASSERT_GE(levels.size(), 8u);
    EXPECT_EQ(std::vector<uint8_t>(levels.end() - 8, levels.end()),
              (std::vector<uint8_t>{255, 255, 255, 255, 0, 0, 0, 0}));
    FreeImage_Unload(grey);
    FreeImage_Unload(bits);
    FreeImage_Unload(picture);
}

TEST_F(Writers, WritersFitBitmapsFromTheFormatFreeDepthStep) {
    // ReduceDepth without a format quantizes 8 bits to colour and makes 16 bits 5-6-5; the
    // writers still produce what each format holds.
    const std::pair<const char*, int32_t> cases[] = {{"jpg", 8}, {"pgm", 8},  {"jp2", 8},
                                                     {"jxr", 8}, {"tga", 16}, {"ico", 16}};
    for (const auto& [id, depth] : cases) {
        FIBITMAP* dib = ReduceDepth(MakePicture(37, 33), depth);
        const ConversionJobRecord job = Job(id, depth);
        ASSERT_TRUE(WriteImage(dib, job, s)) << id;
        if (std::string(id) == "jxr") {
            EXPECT_EQ(ReadWithLibjxr(job.OutputPath).bpp, 8u);
        } else {
            FIBITMAP* back = LoadWithFreeImage(job.OutputPath);
            ASSERT_NE(back, nullptr) << id;
            EXPECT_EQ(FreeImage_GetBPP(back), static_cast<unsigned>(depth)) << id;
            if (depth == 8) {
                EXPECT_EQ(FreeImage_GetColorType(back), FIC_MINISBLACK) << id;
            }
            FreeImage_Unload(back);
        }
        FreeImage_Unload(dib);
    }
}

TEST_F(Writers, AFullDiskFailsEveryWriter) {
    // /dev/full takes the file open and refuses every byte, as a full disk does.
    const std::vector<uint8_t> bytes(100000, 7);
    EXPECT_FALSE(WriteBytesToFile(bytes, "/dev/full"));
    for (const char* id : {"png", "tiff", "psd", "dds", "pcx", "jxr", "ico", "bmp", "jpg", "j2k",
                           "jp2", "tga", "gif", "webp", "exr", "pbm"}) {
        const int32_t depth = ChooseAutoDepth(id, 32);
        FIBITMAP* dib = ReduceDepth(MakePicture(64, 48), depth, id);
        ASSERT_NE(dib, nullptr) << id;
        ConversionJobRecord job = Job(id, depth);
        job.OutputPath = "/dev/full";
        EXPECT_FALSE(WriteImageFile(dib, job, s)) << id;
        // Through the whole write the special file is refused before anything is written.
        EXPECT_FALSE(WriteImage(dib, job, s)) << id;
        FreeImage_Unload(dib);
    }
    struct stat st {};
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(FilesInFolder(), 0u);
}
