#include "engine/convert_file.h"

#include <gtest/gtest.h>

#include <FreeImage.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/formats.h"
#include "engine/rasterise.h"
#include "tests/engine/test_metafile.h"
#include "tests/platform/emf_builder.h"

using namespace qm;
namespace fs = std::filesystem;

namespace {

RGBQUAD PixelAt(FIBITMAP* dib, int x, int yFromTop) {
    // Palette images are read through a true-colour copy.
    FIBITMAP* rgb = FreeImage_GetBPP(dib) < 16 ? FreeImage_ConvertTo24Bits(dib) : dib;
    RGBQUAD c{};
    FreeImage_GetPixelColor(rgb, static_cast<unsigned>(x),
                            FreeImage_GetHeight(rgb) - 1 - static_cast<unsigned>(yFromTop), &c);
    if (rgb != dib)
        FreeImage_Unload(rgb);
    return c;
}

::testing::AssertionResult HasColour(FIBITMAP* dib, int x, int y, int r, int g, int b) {
    const RGBQUAD c = PixelAt(dib, x, y);
    if (c.rgbRed == r && c.rgbGreen == g && c.rgbBlue == b)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel (" << x << ", " << y << ") is " << int(c.rgbRed) << "," << int(c.rgbGreen)
           << "," << int(c.rgbBlue) << ", expected " << r << "," << g << "," << b;
}

// The two rectangles of TwoRectangles(), their edges and the white around them.
void ExpectTwoRectangles(FIBITMAP* dib) {
    ASSERT_EQ(FreeImage_GetWidth(dib), 201u);
    ASSERT_EQ(FreeImage_GetHeight(dib), 101u);
    EXPECT_TRUE(HasColour(dib, 20, 20, 255, 0, 0));
    EXPECT_TRUE(HasColour(dib, 79, 59, 255, 0, 0));
    EXPECT_TRUE(HasColour(dib, 19, 20, 255, 255, 255));
    EXPECT_TRUE(HasColour(dib, 20, 19, 255, 255, 255));
    EXPECT_TRUE(HasColour(dib, 80, 59, 255, 255, 255));
    EXPECT_TRUE(HasColour(dib, 79, 60, 255, 255, 255));
    EXPECT_TRUE(HasColour(dib, 120, 50, 0, 0, 255));
    EXPECT_TRUE(HasColour(dib, 189, 89, 0, 0, 255));
    EXPECT_TRUE(HasColour(dib, 190, 89, 255, 255, 255));
    EXPECT_TRUE(HasColour(dib, 189, 90, 255, 255, 255));
    EXPECT_TRUE(HasColour(dib, 0, 0, 255, 255, 255));
    EXPECT_TRUE(HasColour(dib, 200, 100, 255, 255, 255));
}

class ConvertFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        BuildOutputFormats();
        m_dir = fs::temp_directory_path() /
                ("qm_convert_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        ResetSettings(m_settings, 1);
        m_job.OutputFolder = m_dir.string() + "/";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    void PrepareFormat(const std::string& id) {
        m_job.FormatId = id;
        m_job.FormatCode = FormatCode(id);
        m_job.TargetDepth = 0;
        m_job.AutoDepth = 1;
    }

    fs::path m_dir;
    SettingsRecord m_settings;
    ConversionJobRecord m_job;
};

} // namespace

TEST_F(ConvertFileTest, FrameOf200x100PixelsGivesA201x101PngWithTheRectanglesInPlace) {
    const std::string input = (m_dir / "two.emf").string();
    ASSERT_TRUE(test::TwoRectangles().Write(input));
    m_job.InputPath = input;
    PrepareFormat("png");

    ASSERT_TRUE(ConvertFile(m_job, m_settings));
    EXPECT_EQ(m_job.OutputPath, m_dir.string() + "/two.png");
    EXPECT_EQ(m_job.SourceDepth, 32);
    EXPECT_EQ(m_job.TargetDepth, 32);
    EXPECT_EQ(m_job.FinalWidth, 201);
    EXPECT_EQ(m_job.FinalHeight, 101);

    FIBITMAP* png = FreeImage_Load(FIF_PNG, m_job.OutputPath.c_str());
    ASSERT_NE(png, nullptr);
    ExpectTwoRectangles(png);
    FreeImage_Unload(png);
}

TEST_F(ConvertFileTest, TheDepthFollowsTheFormat) {
    const std::string input = (m_dir / "two.emf").string();
    ASSERT_TRUE(test::TwoRectangles().Write(input));
    m_job.InputPath = input;

    PrepareFormat("gif"); // automatic: 8 bits with a palette
    ASSERT_TRUE(ConvertFile(m_job, m_settings));
    EXPECT_EQ(m_job.TargetDepth, 8);
    FIBITMAP* gif = FreeImage_Load(FIF_GIF, m_job.OutputPath.c_str());
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(FreeImage_GetBPP(gif), 8u);
    EXPECT_TRUE(HasColour(gif, 20, 20, 255, 0, 0));
    FreeImage_Unload(gif);

    PrepareFormat("jpg"); // 8 bits chosen: greyscale for JPEG
    m_job.TargetDepth = 8;
    m_job.AutoDepth = 0;
    ASSERT_TRUE(ConvertFile(m_job, m_settings));
    FIBITMAP* jpg = FreeImage_Load(FIF_JPEG, m_job.OutputPath.c_str());
    ASSERT_NE(jpg, nullptr);
    EXPECT_EQ(FreeImage_GetBPP(jpg), 8u);
    EXPECT_EQ(FreeImage_GetColorType(jpg), FIC_MINISBLACK);
    EXPECT_EQ(FreeImage_GetWidth(jpg), 201u);
    FreeImage_Unload(jpg);
}

TEST_F(ConvertFileTest, BrokenInputsFailWithoutOutput) {
    const std::vector<uint8_t> good = test::TwoRectangles().Bytes();
    std::vector<std::vector<uint8_t>> broken = {
        {},                                                    // empty
        std::vector<uint8_t>(good.begin(), good.begin() + 60), // truncated header
        std::vector<uint8_t>(500, 'x'),                        // not a metafile
    };
    std::vector<uint8_t> lying = good; // the header claims more bytes than the file holds
    lying[4] = 0xF0;
    lying[5] = 0xFF;
    lying[6] = 0xFF;
    broken.push_back(lying);
    lying = good; // a record after the header claims more bytes than are left
    lying[108 + 4] = 0x00;
    lying[108 + 5] = 0x10;
    broken.push_back(lying);
    lying = good; // a record size that is not a multiple of four
    lying[108 + 4] = 23;
    broken.push_back(lying);
    // Cut inside the drawing records, and cut just before the end-of-file record.
    broken.emplace_back(good.begin(), good.begin() + 200);
    broken.emplace_back(good.begin(), good.end() - 20);

    PrepareFormat("png");
    for (size_t i = 0; i < broken.size(); ++i) {
        const std::string input = (m_dir / ("bad" + std::to_string(i) + ".emf")).string();
        FILE* f = std::fopen(input.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(broken[i].data(), 1, broken[i].size(), f);
        std::fclose(f);
        m_job.InputPath = input;
        EXPECT_FALSE(ConvertFile(m_job, m_settings)) << i;
        EXPECT_FALSE(fs::exists(m_dir / ("bad" + std::to_string(i) + ".png"))) << i;
    }
    m_job.InputPath = (m_dir / "missing.emf").string();
    EXPECT_FALSE(ConvertFile(m_job, m_settings));
}

TEST_F(ConvertFileTest, AWatermarkImageThatCannotBeDrawnFailsTheFile) {
    const std::string input = (m_dir / "two.emf").string();
    ASSERT_TRUE(test::TwoRectangles().Write(input));
    // 17000 x 17000 one-bit pixels: a small file, over the pixel limit once decoded.
    FIBITMAP* huge = FreeImage_Allocate(17000, 17000, 1);
    ASSERT_NE(huge, nullptr);
    const std::string mark = (m_dir / "mark.png").string();
    ASSERT_TRUE(FreeImage_Save(FIF_PNG, huge, mark.c_str(), PNG_Z_BEST_SPEED));
    FreeImage_Unload(huge);
    m_settings.Watermark.DoWatermark = 2;
    m_settings.Watermark.Image = mark;
    m_job.InputPath = input;
    PrepareFormat("png");

    EXPECT_FALSE(ConvertFile(m_job, m_settings));
    EXPECT_EQ(m_job.FailureReason, "watermark image too large (17000 x 17000 pixels): " + mark);
    EXPECT_FALSE(fs::exists(m_dir / "two.png"));
}

TEST(Rasterise, SizeComesFromTheFrameInReferencePixels) {
    // 100 mm over a 1920 pixel / 508 mm device: 377.95 rounds to 378, plus the extra pixel.
    test::MetafileBuilder wide(0, 0, 10000, 5000);
    wide.SetDevice(1920, 1080, 508, 286);
    FIBITMAP* dib = RasteriseMetafile(wide.Bytes());
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(FreeImage_GetWidth(dib), 379u);
    EXPECT_EQ(FreeImage_GetBPP(dib), 32u);
    FreeImage_Unload(dib);

    // A frame 0 wide is one pixel wide; a reversed frame measures as the normalised one.
    FIBITMAP* thin = RasteriseMetafile(test::MetafileBuilder(0, 0, 0, 2500).Bytes());
    ASSERT_NE(thin, nullptr);
    EXPECT_EQ(FreeImage_GetWidth(thin), 1u);
    EXPECT_EQ(FreeImage_GetHeight(thin), 101u);
    FreeImage_Unload(thin);
    FIBITMAP* reversed = RasteriseMetafile(test::MetafileBuilder(5000, 2500, 0, 0).Bytes());
    ASSERT_NE(reversed, nullptr);
    EXPECT_EQ(FreeImage_GetWidth(reversed), 201u);
    EXPECT_EQ(FreeImage_GetHeight(reversed), 101u);
    FreeImage_Unload(reversed);
}

TEST(Rasterise, EveryPixelIsOpaqueAndTheBackgroundWhite) {
    FIBITMAP* dib = RasteriseMetafile(test::TwoRectangles().Bytes());
    ASSERT_NE(dib, nullptr);
    ExpectTwoRectangles(dib);
    for (unsigned y = 0; y < FreeImage_GetHeight(dib); ++y) {
        const BYTE* line = FreeImage_GetScanLine(dib, static_cast<int>(y));
        for (unsigned x = 0; x < FreeImage_GetWidth(dib); ++x)
            ASSERT_EQ(line[x * 4 + FI_RGBA_ALPHA], 255) << x << "," << y;
    }
    FreeImage_Unload(dib);
}

TEST(Rasterise, HugeSurfacesAreRefusedBeforeAllocating) {
    EXPECT_TRUE(SurfaceSizeAllowed(16383, 16383)); // exactly 2^28 pixels with the extra pixel
    EXPECT_FALSE(SurfaceSizeAllowed(16384, 16383));
    EXPECT_FALSE(SurfaceSizeAllowed(int64_t{1} << 40, 0));
    EXPECT_FALSE(SurfaceSizeAllowed(-1, 10));

    // 40000 x 40000 reference pixels: 1.6e9 pixels.
    FIBITMAP* dib = RasteriseMetafile(test::MetafileBuilder(40000, 40000).Bytes());
    EXPECT_EQ(dib, nullptr);
    // Largest frame the header can hold.
    FIBITMAP* extreme = RasteriseMetafile(
        test::MetafileBuilder(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX).Bytes());
    EXPECT_EQ(extreme, nullptr);
}

TEST(Rasterise, AFailureNamesItsCause) {
    std::string reason;
    const std::vector<uint8_t> junk(200, 'x');
    EXPECT_EQ(RasteriseMetafile(junk, &reason), nullptr);
    EXPECT_EQ(reason, "not a metafile");

    // The last record is the 20-byte end-of-file record.
    const std::vector<uint8_t> good = test::TwoRectangles().Bytes();
    const std::vector<uint8_t> cut(good.begin(), good.end() - 12);
    EXPECT_EQ(RasteriseMetafile(cut, &reason), nullptr);
    EXPECT_EQ(reason, "damaged record at byte " + std::to_string(good.size() - 20));
    const std::vector<uint8_t> noEnd(good.begin(), good.end() - 20);
    EXPECT_EQ(RasteriseMetafile(noEnd, &reason), nullptr);
    EXPECT_EQ(reason, "damaged metafile: cut off before its end-of-file record");

    EXPECT_EQ(RasteriseMetafile(test::MetafileBuilder(40000, 40000).Bytes(), &reason), nullptr);
    EXPECT_EQ(reason, "picture too large (40001 x 40001 pixels)");

    EXPECT_EQ(RasteriseMetafileFile("/nonexistent/drawing.emf", &reason), nullptr);
    EXPECT_EQ(reason, "cannot read the file: No such file or directory");
}

TEST(ImageSteps, IconsAreLimitedTo128Square) {
    SettingsRecord s;
    ResetSettings(s, 1);
    ConversionJobRecord job;
    job.FormatId = "ico";
    job.TargetDepth = 32;
    Bitmap out = RunImageSteps(Bitmap(FreeImage_Allocate(300, 100, 32)), job, s);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(FreeImage_GetWidth(out.get()), 128u);
    EXPECT_EQ(FreeImage_GetHeight(out.get()), 128u);
    EXPECT_EQ(job.FinalWidth, 128);
    EXPECT_EQ(job.FinalHeight, 128);

    out = RunImageSteps(Bitmap(FreeImage_Allocate(128, 128, 32)), job, s);
    EXPECT_EQ(FreeImage_GetWidth(out.get()), 128u);

    job.FormatId = "png";
    out = RunImageSteps(Bitmap(FreeImage_Allocate(300, 100, 32)), job, s);
    EXPECT_EQ(job.FinalWidth, 300);
    EXPECT_EQ(job.FinalHeight, 100);
}

TEST(Samples, TheBundledRectanglesSampleIsTheTestMetafile) {
    std::ifstream file(std::string(QM_SOURCE_DIR) + "/samples/rects_200x100.emf", std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, test::TwoRectangles().Bytes());
}

TEST(Rasterise, APictureThatAsksForTooMuchWorkFails) {
    // 4096 x 4096 pixels, each rectangle asking for all of them (the clip keeps the actual
    // drawing small): 1100 of them are beyond the playback budget.
    emf::testing::EmfBuilder b(4095, 4095);
    b.Record(39, {1, 0, 0x0000FF, 0}).Record(37, {1}); // red brush
    b.Record(30, {0, 0, 1, 1});                        // EMR_INTERSECTCLIPRECT
    for (int i = 0; i < 1100; ++i)
        b.Record(43, {0, 0, 4095, 4095}); // EMR_RECTANGLE
    std::string reason;
    EXPECT_EQ(RasteriseMetafile(b.Finish(), &reason), nullptr);
    EXPECT_EQ(reason, "playback budget reached: the picture asks for too much work");
}
