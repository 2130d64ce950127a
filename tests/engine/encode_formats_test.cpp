// Every output format at every allowed depth (and automatic depth): the depth step and the
// writer produce a file that reads back with the expected size and depth.
#include "engine/encode.h"

#include <FreeImage.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "core/formats.h"
#include "encode_readers.h"
#include "engine/naming.h"

using namespace qm;
using namespace qm::test;

namespace {

struct FormatCase {
    std::string id;
    int32_t depth; // 0: automatic
};

std::vector<FormatCase> AllCases() {
    std::vector<FormatCase> cases;
    for (const std::string& id : OutputFormats) {
        cases.push_back({id, 0});
        for (int32_t depth : AllowedDepths(id))
            cases.push_back({id, depth});
    }
    return cases;
}

std::string CaseName(const ::testing::TestParamInfo<FormatCase>& info) {
    return info.param.id + "_" + (info.param.depth ? std::to_string(info.param.depth) : "auto");
}

// Formats that lose detail by design, with the largest channel difference accepted.
int Tolerance(const std::string& id, int32_t depth) {
    if (id == "jpg" || id == "jng" || id == "dds" || id == "j2k" || id == "jp2")
        return 255; // lossy: checked for size and depth only
    if (id == "hdr")
        return 1; // 8-bit mantissas with a shared exponent
    if (depth == 16)
        return 7;
    if (depth == 1 || depth == 4 || depth == 8)
        return 0; // compared with the reduced picture: palette and grey images are lossless
    return 0;
}

class EveryFormat : public ::testing::TestWithParam<FormatCase> {
protected:
    void SetUp() override {
        ResetSettings(settings, 1);
        folder = TemporaryFolder("formats_" + CaseName({GetParam(), 0}));
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    ConversionJobRecord MakeJob(const FormatCase& c) {
        ConversionJobRecord job;
        job.FormatId = c.id;
        job.FormatCode = FormatCode(c.id);
        job.SourceDepth = 32;
        job.AutoDepth = c.depth == 0;
        job.TargetDepth = c.depth;
        job.SaveFlags = SaveFlagsFor(c.id, settings);
        job.OutputFolder = folder;
        job.InputPath = "/in/Picture.emf";
        job.OutputPath = BuildOutputPath(job, settings);
        job.TempPath = BuildTempPath(job, settings);
        return job;
    }

    SettingsRecord settings;
    std::string folder;
};

// The depth a reader reports for what was written at a depth: the same, 32-bit PNG and WebP
// included (their alpha channel is written even when every pixel is opaque).
unsigned ReadBackDepth(const std::string&, unsigned depth) {
    return depth;
}

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.id << " at " << c.depth;
}

TEST_P(EveryFormat, WritesAFileThatReadsBackWithItsSizeAndDepth) {
    const FormatCase c = GetParam();
    ConversionJobRecord job = MakeJob(c);
    const unsigned width = 37, height = 23;
    FIBITMAP* dib = ReduceDepth(MakePicture(width, height), job);
    ASSERT_NE(dib, nullptr);
    const unsigned depth = static_cast<unsigned>(job.TargetDepth);
    EXPECT_EQ(FreeImage_GetBPP(dib), depth);
    ASSERT_TRUE(WriteImage(dib, job, settings));
    // Only the output is left in the folder: no temporary file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);

    if (c.id == "jxr") {
        std::vector<uint8_t> pixels;
        const ImageInfo jxr = ReadWithLibjxr(job.OutputPath, &pixels);
        ASSERT_TRUE(jxr.ok);
        EXPECT_EQ(jxr.width, width);
        EXPECT_EQ(jxr.height, height);
        EXPECT_EQ(jxr.bpp, depth);
        // Lossless: the decoded rows are the bitmap's rows, top down. Floats keep about 16
        // bits of their mantissa, far more than the 8-bit picture they came from.
        const size_t rowBytes = (width * depth + 7) / 8;
        ASSERT_EQ(pixels.size(), rowBytes * height);
        for (unsigned y = 0; y < height; ++y) {
            const BYTE* row = FreeImage_GetScanLine(dib, static_cast<int>(height - 1 - y));
            if (depth != 96) {
                ASSERT_EQ(std::memcmp(&pixels[y * rowBytes], row, rowBytes), 0) << "row " << y;
                continue;
            }
            for (unsigned i = 0; i < 3 * width; ++i) {
                float written = 0, read = 0;
                std::memcpy(&written, row + 4 * i, 4);
                std::memcpy(&read, &pixels[y * rowBytes + 4 * i], 4);
                ASSERT_NEAR(read, written, 1e-4) << "row " << y;
            }
        }
    } else if (c.id == "dds") {
        // FreeImage reads whole 4 x 4 blocks of compressed surfaces only: DevIL reads it.
        const ImageInfo dds = ReadWithDevil(job.OutputPath);
        ASSERT_TRUE(dds.ok);
        EXPECT_EQ(dds.width, width);
        EXPECT_EQ(dds.height, height);
        EXPECT_EQ(dds.bpp, depth);
    } else {
        FIBITMAP* back = LoadWithFreeImage(job.OutputPath);
        ASSERT_NE(back, nullptr) << job.OutputPath;
        EXPECT_EQ(FreeImage_GetWidth(back), width);
        EXPECT_EQ(FreeImage_GetHeight(back), height);
        EXPECT_EQ(FreeImage_GetBPP(back), ReadBackDepth(c.id, depth));
        const int difference = MaxChannelDifference(dib, back);
        EXPECT_GE(difference, 0);
        EXPECT_LE(difference, Tolerance(c.id, static_cast<int32_t>(depth)));
        RecordProperty("max_channel_difference", difference);
        FreeImage_Unload(back);
    }

    // A second reader where one exists.
    ImageInfo other;
    if (c.id == "png")
        other = ReadWithLibpng(job.OutputPath);
    else if (c.id == "jpg")
        other = ReadWithLibjpeg(job.OutputPath);
    else if (c.id == "tiff")
        other = ReadWithLibtiff(job.OutputPath);
    else if (c.id == "j2k" || c.id == "jp2")
        other = ReadWithOpenJpeg(job.OutputPath);
    // DevIL reads no 16-bit icons, and its XPM reader crashes.
    else if (IsDevilFormat(c.id) || c.id == "bmp" || c.id == "tga" || c.id == "gif" ||
             (c.id == "ico" && depth != 16) || c.id == "pbm" || c.id == "pgm" || c.id == "ppm" ||
             c.id == "hdr")
        other = ReadWithDevil(job.OutputPath);
    const bool openJpeg = c.id == "j2k" || c.id == "jp2";
    if (other.ok || c.id == "png" || c.id == "jpg" || c.id == "tiff" || IsDevilFormat(c.id) ||
        c.id == "bmp" || (c.id == "ico" && depth != 16) || c.id == "tga" || openJpeg) {
        EXPECT_TRUE(other.ok);
        EXPECT_EQ(other.width, width);
        EXPECT_EQ(other.height, height);
        if (c.id == "png" || c.id == "jpg" || c.id == "tiff" || openJpeg) {
            EXPECT_EQ(other.bpp, ReadBackDepth(c.id, depth));
        }
    }
    FreeImage_Unload(dib);
}

INSTANTIATE_TEST_SUITE_P(OutputFormats, EveryFormat, ::testing::ValuesIn(AllCases()), CaseName);

} // namespace
