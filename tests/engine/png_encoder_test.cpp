// The band-parallel PNG encoder: files read back the same through FreeImage, libpng, libspng
// and pngcheck at every compression setting and depth, the settings keep their meaning, and the
// bytes never depend on the number of threads.
#include <FreeImage.h>
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#ifdef QM_HAVE_SPNG
#include <spng.h>
#endif

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "encode_readers.h"
#include "engine/png_encoder.h"

namespace qm::test {
namespace {

// A picture whose rows differ (so every filter and band join matters), as top-down RGB(A).
struct Picture {
    uint32_t width, height;
    unsigned channels;
    std::vector<uint8_t> pixels;
    Picture(uint32_t w, uint32_t h, unsigned c) : width(w), height(h), channels(c) {
        pixels.resize(size_t{w} * h * c);
        for (size_t i = 0; i < pixels.size(); ++i) {
            const size_t x = (i / c) % w, y = i / c / w;
            pixels[i] = static_cast<uint8_t>((x / 7 + y / 5) % 3 ? x * 3 + y : (x * y) ^ (i % c));
        }
    }
    PngRows Rows() const {
        PngRows rows;
        rows.width = width;
        rows.height = height;
        rows.channels = channels;
        rows.row = [this](uint32_t y, uint8_t* out) {
            const size_t bytes = size_t{width} * channels;
            std::memcpy(out, pixels.data() + bytes * y, bytes);
        };
        return rows;
    }
};

std::vector<uint8_t> Encode(const Picture& picture, PngEncoding encoding) {
    std::vector<uint8_t> file;
    const bool ok = EncodePng(picture.Rows(), encoding, [&](const uint8_t* data, size_t size) {
        file.insert(file.end(), data, data + size);
        return true;
    });
    return ok ? file : std::vector<uint8_t>();
}

// The pixels as libpng's simplified reader decodes them, top-down in the file's own layout.
std::vector<uint8_t> DecodeWithLibpng(const std::vector<uint8_t>& file, unsigned channels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size()))
        return {};
    image.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        return {};
    return pixels;
}

// The same through libspng, a decoder that shares no code with libpng; empty without it.
std::vector<uint8_t> DecodeWithSpng(const std::vector<uint8_t>& file, unsigned channels) {
#ifdef QM_HAVE_SPNG
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_buffer(ctx, file.data(), file.size());
    const int format = channels == 4 ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8;
    size_t size = 0;
    std::vector<uint8_t> pixels;
    if (spng_decoded_image_size(ctx, format, &size) == 0) {
        pixels.resize(size);
        if (spng_decode_image(ctx, pixels.data(), size, format, 0) != 0)
            pixels.clear();
    }
    spng_ctx_free(ctx);
    return pixels;
#else
    (void)file, (void)channels;
    return {};
#endif
}

// The zlib stream of all IDAT chunks joined.
std::vector<uint8_t> ImageData(const std::vector<uint8_t>& file) {
    std::vector<uint8_t> data;
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t size =
            (uint32_t{file[at]} << 24) | (file[at + 1] << 16) | (file[at + 2] << 8) | file[at + 3];
        if (std::memcmp(&file[at + 4], "IDAT", 4) == 0)
            data.insert(data.end(), &file[at + 8], &file[at + 8 + size]);
        at += size + 12;
    }
    return data;
}

TEST(PngEncoder, DecodesToTheSamePixelsAtEveryLevelFilterAndChannelCount) {
    for (unsigned channels : {3u, 4u}) {
        // Rows of 270-360 kB: bands of two or three rows, each with a dictionary across its join.
        const Picture picture(90000, 6, channels);
        const Picture small(37, 23, channels);
        for (int level : {0, 1, 6, 9})
            for (PngRowFilter filter : {PngRowFilter::None, PngRowFilter::Sub, PngRowFilter::Up,
                                        PngRowFilter::Paeth, PngRowFilter::Adaptive})
                for (const Picture* p : {&picture, &small}) {
                    PngEncoding encoding = PngEncodingForLevel(level);
                    encoding.filter = filter;
                    const std::vector<uint8_t> file = Encode(*p, encoding);
                    SCOPED_TRACE(testing::Message()
                                 << channels << " channels, level " << level << ", filter "
                                 << int(filter) << ", width " << p->width);
                    ASSERT_FALSE(file.empty());
                    EXPECT_EQ(DecodeWithLibpng(file, channels), p->pixels);
#ifdef QM_HAVE_SPNG
                    EXPECT_EQ(DecodeWithSpng(file, channels), p->pixels);
#endif
                }
    }
}

TEST(PngEncoder, BytesDoNotDependOnTheNumberOfThreads) {
    // A picture of many bands, each more than one deflate window long.
    const Picture picture(1500, 700, 4);
    ASSERT_GT(picture.height / PngBandRows(picture.width, 4), 3u);
    for (int level : {0, 1, 6}) {
        PngEncoding encoding = PngEncodingForLevel(level);
        encoding.threads = 1;
        const std::vector<uint8_t> one = Encode(picture, encoding);
        ASSERT_EQ(DecodeWithLibpng(one, 4), picture.pixels);
        for (unsigned threads : {2u, 3u, 4u}) {
            encoding.threads = threads;
            EXPECT_EQ(Encode(picture, encoding), one) << "level " << level << ", " << threads;
        }
    }
}

TEST(PngEncoder, LevelsKeepTheirMeaning) {
    const Picture picture(300, 200, 3);
    const size_t raw = picture.pixels.size() + picture.height; // a filter byte per row
    std::vector<size_t> sizes;
    for (int level : {0, 1, 6, 9}) {
        const std::vector<uint8_t> data = ImageData(Encode(picture, PngEncodingForLevel(level)));
        ASSERT_GT(data.size(), 6u);
        // The level hint in the zlib header, as zlib itself writes it.
        EXPECT_EQ(data[1] >> 6, level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3) << level;
        sizes.push_back(data.size());
        if (level == 0) {
            // Stored blocks only: each opens with BTYPE 00 and holds the rows as they are.
            EXPECT_EQ((data[2] >> 1) & 3, 0);
            EXPECT_GT(data.size(), raw);
            EXPECT_LT(data.size(), raw + raw / 1000 + 64);
        }
    }
    EXPECT_LT(sizes[1], sizes[0] / 2);
    EXPECT_LE(sizes[2], sizes[1]);
    EXPECT_LE(sizes[3], sizes[2]);
}

TEST(PngEncoder, RefusesEmptyPicturesAndStopsAtTheFirstRefusedWrite) {
    const Picture picture(800, 600, 4);
    PngRows empty = picture.Rows();
    empty.height = 0;
    const auto accept = [](const uint8_t*, size_t) { return true; };
    EXPECT_FALSE(EncodePng(empty, PngEncodingForLevel(6), accept));
    PngRows twoChannels = picture.Rows();
    twoChannels.channels = 2;
    EXPECT_FALSE(EncodePng(twoChannels, PngEncodingForLevel(6), accept));
    // A sink that fails part way (a full disk) ends the encoding at once, threads or not.
    for (unsigned threads : {1u, 4u}) {
        int calls = 0;
        PngEncoding encoding = PngEncodingForLevel(0);
        encoding.threads = threads;
        EXPECT_FALSE(EncodePng(picture.Rows(), encoding,
                               [&](const uint8_t*, size_t) { return ++calls < 4; }));
        EXPECT_EQ(calls, 4);
    }
}

// Writes through the format writer, as a conversion does, and reads back with every reader.
struct PngWriter : WriterFixture {};

TEST_F(PngWriter, EverySettingAndTrueColourDepthReadsBackUnchanged) {
    FIBITMAP* source = MakePicture(301, 157);
    for (int32_t setting : {0, 1, 2, 3})
        for (int32_t depth : {24, 32})
            for (bool interlaced : {false, true}) {
                s.Output.PNGCompression = setting;
                s.Output.PNGInterlaced = interlaced;
                const ConversionJobRecord job = Job("png", depth);
                FIBITMAP* dib = ReduceDepth(FreeImage_Clone(source), depth, "png");
                SCOPED_TRACE(testing::Message() << "setting " << setting << ", depth " << depth
                                                << ", interlaced " << interlaced);
                ASSERT_TRUE(WriteImage(dib, job, s));
                FreeImage_Unload(dib);
                FIBITMAP* back = LoadWithFreeImage(job.OutputPath);
                ASSERT_NE(back, nullptr);
                EXPECT_EQ(FreeImage_GetBPP(back), unsigned(depth));
                EXPECT_EQ(MaxChannelDifference(back, source), 0);
                FreeImage_Unload(back);
                const ImageInfo info = ReadWithLibpng(job.OutputPath);
                EXPECT_EQ(info.bpp, unsigned(depth));
                const std::vector<uint8_t> file = ReadFileBytes(job.OutputPath);
                const unsigned channels = unsigned(depth) / 8;
                if (!interlaced) {
                    // The level each setting names (none, 1, 6, 9), in the zlib header's hint.
                    const std::vector<uint8_t> data = ImageData(file);
                    ASSERT_GT(data.size(), 2u);
                    EXPECT_EQ(data[1] >> 6, (std::array{0, 0, 2, 3}[size_t(setting)]));
                    if (setting == 0) {
                        EXPECT_EQ((data[2] >> 1) & 3, 0) << "a stored block";
                    }
                }
#ifdef QM_HAVE_SPNG
                EXPECT_EQ(DecodeWithSpng(file, channels), DecodeWithLibpng(file, channels));
#endif
                const std::string check = "pngcheck -q '" + job.OutputPath + "' >/dev/null 2>&1";
                if (std::system("command -v pngcheck >/dev/null 2>&1") == 0) {
                    EXPECT_EQ(std::system(check.c_str()), 0);
                }
            }
    FreeImage_Unload(source);
}

} // namespace
} // namespace qm::test
