// JPEG 2000 codestreams and JP2 files of every size from 1 x 1 up, at every depth the formats
// allow, read back by FreeImage and by OpenJPEG's own decoder.
#include "engine/writer_j2k.h"

#include <FreeImage.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "core/formats.h"
#include "encode_readers.h"
#include "engine/encode.h"
#include "engine/naming.h"

using namespace qm;
using namespace qm::test;
namespace fs = std::filesystem;

namespace {

struct J2kWriter : WriterFixture {};

// The mean difference of all colour channels after both bitmaps are brought to 24 bits.
double MeanChannelDifference(FIBITMAP* a, FIBITMAP* b) {
    FIBITMAP* a24 = FreeImage_ConvertTo24Bits(a);
    FIBITMAP* b24 = FreeImage_ConvertTo24Bits(b);
    const unsigned width = FreeImage_GetWidth(a24), height = FreeImage_GetHeight(a24);
    double sum = 0;
    for (unsigned y = 0; y < height; ++y) {
        const BYTE* pa = FreeImage_GetScanLine(a24, static_cast<int>(y));
        const BYTE* pb = FreeImage_GetScanLine(b24, static_cast<int>(y));
        for (unsigned i = 0; i < 3 * width; ++i)
            sum += std::abs(pa[i] - pb[i]);
    }
    FreeImage_Unload(a24);
    FreeImage_Unload(b24);
    return sum / (3.0 * width * height);
}

} // namespace

TEST_F(J2kWriter, EverySizeAndDepthReadsBackWithItsSizeDepthAndColours) {
    const std::pair<unsigned, unsigned> sizes[] = {{1, 1}, {7, 5}, {31, 31}, {37, 23}, {128, 128}};
    int worst = 0;
    for (const char* id : {"j2k", "jp2"})
        for (int32_t depth : AllowedDepths(id))
            for (const auto& [width, height] : sizes) {
                SCOPED_TRACE(std::string(id) + " " + std::to_string(depth) + " bits " +
                             std::to_string(width) + "x" + std::to_string(height));
                FIBITMAP* dib = ReduceDepth(MakePicture(width, height), depth, id);
                ASSERT_NE(dib, nullptr);
                const ConversionJobRecord job = Job(id, depth);
                ASSERT_TRUE(WriteImage(dib, job, s));
                FIBITMAP* back = LoadWithFreeImage(job.OutputPath);
                ASSERT_NE(back, nullptr);
                EXPECT_EQ(FreeImage_GetWidth(back), width);
                EXPECT_EQ(FreeImage_GetHeight(back), height);
                EXPECT_EQ(FreeImage_GetBPP(back), static_cast<unsigned>(depth));
                // At 16:1 the headers take most of a small picture's share, so only the
                // larger picture keeps its detail.
                const int difference = MaxChannelDifference(dib, back);
                EXPECT_GE(difference, 0);
                EXPECT_LE(MeanChannelDifference(dib, back), width >= 64 ? 12 : 80);
                worst = std::max(worst, difference);
                const ImageInfo other = ReadWithOpenJpeg(job.OutputPath);
                EXPECT_TRUE(other.ok);
                EXPECT_EQ(other.width, width);
                EXPECT_EQ(other.height, height);
                EXPECT_EQ(other.bpp, static_cast<unsigned>(depth));
                FreeImage_Unload(back);
                FreeImage_Unload(dib);
            }
    RecordProperty("max_channel_difference", worst);
}

TEST_F(J2kWriter, MatchesFreeImagesWriterWhereThatOneWorks) {
    // Same rate, resolution levels and colour transform: the files are the same bytes.
    for (const char* id : {"j2k", "jp2"})
        for (int32_t depth : AllowedDepths(id)) {
            FIBITMAP* dib = ReduceDepth(MakePicture(64, 40), depth, id);
            const ConversionJobRecord job = Job(id, depth);
            ASSERT_TRUE(FreeImage_Save(static_cast<FREE_IMAGE_FORMAT>(job.FormatCode), dib,
                                       job.OutputPath.c_str(), 0));
            const J2kContainer container =
                std::string(id) == "jp2" ? J2kContainer::File : J2kContainer::Codestream;
            EXPECT_EQ(EncodeJ2k(dib, 0, container), ReadFileBytes(job.OutputPath))
                << id << " " << depth;
            FreeImage_Unload(dib);
        }
}

TEST_F(J2kWriter, RateOneIsLosslessAtEverySizeAndDepth) {
    const std::pair<unsigned, unsigned> sizes[] = {{1, 1}, {7, 5}, {31, 31}, {1, 40}, {37, 23}};
    for (const char* id : {"j2k", "jp2"})
        for (int32_t depth : AllowedDepths(id))
            for (const auto& [width, height] : sizes) {
                SCOPED_TRACE(std::string(id) + " " + std::to_string(depth) + " bits " +
                             std::to_string(width) + "x" + std::to_string(height));
                FIBITMAP* dib = ReduceDepth(MakePicture(width, height), depth, id);
                ConversionJobRecord job = Job(id, depth);
                job.SaveFlags = 1;
                ASSERT_TRUE(WriteImage(dib, job, s));
                FIBITMAP* back = LoadWithFreeImage(job.OutputPath);
                ASSERT_NE(back, nullptr);
                EXPECT_EQ(FreeImage_GetImageType(back), FreeImage_GetImageType(dib));
                EXPECT_EQ(MaxChannelDifference(dib, back), 0);
                FreeImage_Unload(back);
                FreeImage_Unload(dib);
            }
}
