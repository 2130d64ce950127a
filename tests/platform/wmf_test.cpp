// Windows metafiles translated into enhanced metafiles and played: mapping, the object table,
// shapes, text, bitmaps, clipping, the carried enhanced metafile, and broken input.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>

#include "platform/emf/emf_player.h"
#include "platform/fonts/font_match.h"
#include "platform/wmf/wmf_convert.h"
#include "tests/platform/emf_builder.h"
#include "tests/platform/wmf_builder.h"

namespace qm::wmf::testing {
namespace {

using emf::testing::Picture;

constexpr uint32_t kRed = 0x0000FF, kBlue = 0xFF0000, kGreen = 0x00FF00; // COLORREF

// Seeds for the fuzz target: written to $QM_WMF_SEEDS when it is set.
void Seed(const std::string& name, const std::vector<uint8_t>& wmf) {
    if (const char* dir = std::getenv("QM_WMF_SEEDS"))
        std::ofstream(std::string(dir) + "/" + name + ".wmf", std::ios::binary)
            .write(reinterpret_cast<const char*>(wmf.data()), std::streamsize(wmf.size()));
}

// Translates and plays onto a white 101 x 101 picture, the frame onto (0, 0)-(100, 100).
Picture PlayWmf(const std::vector<uint8_t>& wmf, const std::string& seed = "") {
    if (!seed.empty())
        Seed(seed, wmf);
    Picture p;
    std::vector<uint8_t> emf;
    if (!ConvertWmfToEmf(wmf, emf))
        return p;
    p.width = p.height = 101;
    p.pixels.assign(101 * 101, 0xFFFFFFFFu);
    const emf::Surface s{p.pixels.data(), 101, 101, 101 * 4};
    p.played = emf::PlayEnhMetaFile(emf, s, {0, 0, 100, 100});
    return p;
}

// 0x00RRGGBB as the picture reads, from a COLORREF.
uint32_t Rgb(uint32_t colorref) {
    return ((colorref & 0xFF) << 16) | (colorref & 0xFF00) | (colorref >> 16);
}

TEST(Wmf, ObjectsTakeTheLowestFreeSlot) {
    WmfBuilder b;
    b.Window(0, 0, 100, 100);
    b.Brush(kRed).Pen(0, 1, 5).Select(0).Select(1); // slot 0 red brush, slot 1 null pen
    b.Rectangle(10, 10, 50, 50);
    b.Delete(0);
    b.Brush(kBlue).Select(0);           // reuses slot 0
    b.Record(0x0418, {90, 90, 60, 60}); // ellipse
    const Picture p = PlayWmf(b.Finish(), "objects");
    ASSERT_TRUE(p.played);
    EXPECT_EQ(p.At(30, 30), Rgb(kRed));
    EXPECT_EQ(p.At(75, 75), Rgb(kBlue));
    EXPECT_EQ(p.At(5, 5), 0xFFFFFFu);
    EXPECT_EQ(p.At(55, 55), 0xFFFFFFu);
}

TEST(Wmf, PictureRectangleFromPlaceableHeaderWindowOrPoints) {
    // Placeable bounds 1000..3000 whatever the records set later.
    WmfBuilder placeable(1000, 1000, 3000, 3000, 2000);
    placeable.Brush(kRed).Select(0).Rectangle(1000, 1000, 2000, 2000);
    Picture p = PlayWmf(placeable.Finish(), "placeable");
    EXPECT_EQ(p.At(25, 25), Rgb(kRed));
    EXPECT_EQ(p.At(75, 75), 0xFFFFFFu);
    // No placeable header: the first window origin and extent (here flipped upwards).
    WmfBuilder window(0, 0, 0, 0, 0);
    window.Record(0x0103, {8}).Window(0, 400, 400, -400);
    window.Brush(kBlue).Select(0).Rectangle(0, 0, 200, 200); // the lower left quarter
    p = PlayWmf(window.Finish(), "window");
    EXPECT_EQ(p.At(25, 75), Rgb(kBlue));
    EXPECT_EQ(p.At(25, 25), 0xFFFFFFu);
    EXPECT_EQ(p.At(75, 75), 0xFFFFFFu);
    // Neither: the points drawn.
    WmfBuilder points(0, 0, 0, 0, 0);
    points.Brush(kGreen).Select(0).Rectangle(-50, -50, 50, 50);
    p = PlayWmf(points.Finish());
    EXPECT_EQ(p.At(50, 50), Rgb(kGreen));
}

TEST(Wmf, LinesPolygonsAndSaveRestore) {
    WmfBuilder b;
    b.Window(0, 0, 100, 100).Brush(kBlue).Select(0).Pen(kRed, 3).Select(1);
    b.Record(0x0214, {5, 5}).Record(0x0213, {5, 95}); // a line along y = 5
    b.Record(0x001E, {});                             // save
    b.Record(0x020F, {0, 50});                        // window origin moves by 50
    b.Record(0x0324, {3, 10, 10, 40, 10, 10, 40});    // triangle, drawn 50 to the left
    b.Record(0x0127, {-1});                           // restore
    // Two squares in one poly-polygon.
    b.Record(0x0538, {2, 4, 4, 60, 60, 70, 60, 70, 70, 60, 70, 80, 80, 90, 80, 90, 90, 80, 90});
    b.Record(0x0325, {2, 10, 50, 40, 50}); // polyline
    const Picture p = PlayWmf(b.Finish(), "lines_polygons");
    EXPECT_EQ(p.At(50, 5), Rgb(kRed));
    EXPECT_EQ(p.At(15, 20), 0xFFFFFFu); // the triangle is not where its points say
    EXPECT_EQ(p.At(65, 65), Rgb(kBlue));
    EXPECT_EQ(p.At(85, 85), Rgb(kBlue));
    EXPECT_EQ(p.At(75, 75), 0xFFFFFFu);
    EXPECT_EQ(p.At(25, 50), Rgb(kRed));
}

int CountDark(const Picture& p, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += (p.At(x, y) & 0xFF) < 0x80 && ((p.At(x, y) >> 16) & 0xFF) < 0x80;
    return n;
}

TEST(Wmf, TextOutAndExtTextOutWithOpaqueRectangle) {
    WmfBuilder b;
    b.Window(0, 0, 100, 100);
    // Arial, 30 units high: height, width, escapement, orientation, weight, flag bytes, face.
    b.Record(0x02FB, {-30,
                      0,
                      0,
                      0,
                      400,
                      0,
                      0,
                      0,
                      0,
                      'A' | ('r' << 8),
                      'i' | ('a' << 8),
                      'l',
                      0,
                      0,
                      0,
                      0,
                      0,
                      0,
                      0,
                      0,
                      0,
                      0,
                      0,
                      0,
                      0,
                      0,
                      0,
                      0});
    b.Select(0).Record(0x0102, {1});                // transparent background
    b.Record(0x0521, {2, 'H' | ('i' << 8), 10, 5}); // "Hi" at (5, 10)
    b.Record(0x0201, {int(kGreen & 0xFFFF), int(kGreen >> 16)});
    // "Ok" at (5, 60), opaque over (0, 55)-(100, 95), with advances of 20.
    b.Record(0x0A32, {60, 5, 2, 2, 0, 55, 100, 95, 'O' | ('k' << 8), 20, 20});
    const Picture p = PlayWmf(b.Finish(), "text");
    ASSERT_TRUE(p.played);
    EXPECT_GT(CountDark(p, 0, 5, 60, 45), 40);
    EXPECT_EQ(p.At(95, 90), Rgb(kGreen));
    EXPECT_GT(CountDark(p, 0, 55, 60, 95), 40);
    EXPECT_EQ(p.At(95, 50), 0xFFFFFFu);
}

// A 2 x 1 24-bit bitmap: red, blue.
std::vector<uint16_t> TwoPixelDib() {
    std::vector<uint8_t> bytes(48, 0);
    const int32_t header[] = {40, 2, 1};
    std::memcpy(bytes.data(), header, sizeof header);
    bytes[12] = 1;  // planes
    bytes[14] = 24; // bits
    const uint8_t pixels[] = {0, 0, 255, 255, 0, 0};
    std::memcpy(bytes.data() + 40, pixels, sizeof pixels);
    std::vector<uint16_t> words;
    for (size_t i = 0; i < bytes.size(); i += 2)
        words.push_back(uint16_t(bytes[i] | (bytes[i + 1] << 8)));
    return words;
}

// Face names are bytes of the font's code page: a Japanese face named in Shift-JIS is the
// face its English name gives.
TEST(Wmf, FaceNamesAreReadInTheCodePageOfTheirCharacterSet) {
    if (!qm::fonts::IsFontLoadable("Noto Sans Mono CJK JP"))
        GTEST_SKIP() << "fonts-noto-cjk not installed";
    // Height 30, SHIFTJIS_CHARSET, the first seven words of the face name (bytes in pairs).
    auto play = [](std::array<int, 7> f) {
        WmfBuilder b;
        b.Window(0, 0, 100, 100);
        b.Record(0x02FB, {-30,  0,    0,    0, 400, 0, 128 << 8, 0, 0, f[0], f[1], f[2], f[3],
                          f[4], f[5], f[6], 0, 0,   0, 0,        0, 0, 0,    0,    0});
        b.Select(0).Record(0x0102, {1});
        b.Record(0x0521, {4, 'A' | ('b' << 8), 'i' | ('W' << 8), 10, 5}); // "AbiW"
        return PlayWmf(b.Finish());
    };
    const Picture english =
        play({'M' | ('S' << 8), ' ' | ('G' << 8), 'o' | ('t' << 8), 'h' | ('i' << 8), 'c', 0, 0});
    // "ＭＳ ゴシック" in Shift-JIS: 82 6C 82 72 20 83 53 83 56 83 62 83 4E.
    const Picture japanese = play({0x6C82, 0x7282, 0x8320, 0x8353, 0x8356, 0x8362, 0x004E});
    const Picture other = play({'A' | ('r' << 8), 'i' | ('a' << 8), 'l', 0, 0, 0, 0});
    ASSERT_TRUE(english.played);
    EXPECT_GT(CountDark(english, 0, 0, 100, 100), 50);
    EXPECT_EQ(japanese.pixels, english.pixels);
    EXPECT_NE(other.pixels, english.pixels);
}

TEST(Wmf, BitmapsAndPatternFills) {
    WmfBuilder b;
    b.Window(0, 0, 100, 100);
    // DIBSTRETCHBLT: source copy of 2 x 1 onto (0, 0)-(100, 40).
    std::vector<uint16_t> w = {0x0020, 0x00CC, 1, 2, 0, 0, 40, 100, 0, 0};
    const auto dib = TwoPixelDib();
    w.insert(w.end(), dib.begin(), dib.end());
    b.Raw(0x0B41, w);
    // STRETCHDIB onto (0, 50)-(50, 70).
    w = {0x0020, 0x00CC, 0, 1, 2, 0, 0, 20, 50, 50, 0};
    w.insert(w.end(), dib.begin(), dib.end());
    b.Raw(0x0F43, w);
    // PATBLT with a green brush over (60, 80)-(100, 100).
    b.Brush(kGreen).Select(0).Record(0x061D, {0x0021, 0x00F0, 20, 40, 80, 60});
    const Picture p = PlayWmf(b.Finish(), "bitmaps");
    EXPECT_EQ(p.At(20, 20), 0xFF0000u);
    EXPECT_EQ(p.At(80, 20), 0x0000FFu);
    EXPECT_EQ(p.At(10, 60), 0xFF0000u);
    EXPECT_EQ(p.At(40, 60), 0x0000FFu);
    EXPECT_EQ(p.At(80, 90), Rgb(kGreen));
    EXPECT_EQ(p.At(80, 60), 0xFFFFFFu);
}

TEST(Wmf, OldDeviceDependentBitmapsAndPatterns) {
    WmfBuilder b;
    b.Window(0, 0, 100, 100).Pen(0, 1, 5).Select(0);
    // STRETCHBLT of a 24-bit 2 x 1 bitmap (6 bytes a row: red, blue) onto (0, 0)-(100, 50).
    b.Record(0x0B23, {0x0020, 0x00CC, 1, 2, 0, 0, 50, 100, 0, 0, //
                      0, 2, 1, 6, 1 | (24 << 8), 0, 0xFFFF, 0});
    // An 8 x 8 black and white pattern: top half white, bottom half black.
    std::vector<uint16_t> w = {0, 8, 8, 2, 1 | (1 << 8), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int y = 0; y < 8; ++y)
        w.push_back(y < 4 ? 0xFFFF : 0);
    b.Raw(0x01F9, w).Select(1).Rectangle(0, 60, 101, 101);
    const Picture p = PlayWmf(b.Finish(), "old_bitmaps");
    EXPECT_EQ(p.At(20, 20), 0xFF0000u);
    EXPECT_EQ(p.At(80, 20), 0x0000FFu);
    int black = 0, white = 0;
    for (int y = 64; y < 96; ++y) {
        black += p.At(50, y) == 0;
        white += p.At(50, y) == 0xFFFFFFu;
    }
    EXPECT_EQ(black, 16);
    EXPECT_EQ(white, 16);
}

TEST(Wmf, ClipRectanglesAndRegions) {
    WmfBuilder b;
    b.Window(0, 0, 100, 100).Pen(0, 1, 5).Select(0);
    // Region (slot 1): two scans, (10, 10)-(30, 30) and (60, 60)-(90, 90).
    b.Record(0x06FF, {0, 6,  0,  0,  0,  2, 4, 10, 10, 90, 90, //
                      2, 10, 30, 10, 30, 2, 2, 60, 90, 60, 90, 2});
    b.Brush(kBlue);           // slot 2
    b.Record(0x0228, {1, 2}); // fill the region blue
    b.Brush(kRed).Select(3);
    b.Record(0x0416, {100, 50, 0, 0}); // intersect with the left half
    b.Rectangle(0, 40, 101, 50);       // red band, left half only
    b.Record(0x012C, {1});             // clip to the region instead
    b.Rectangle(0, 0, 101, 101);
    const Picture p = PlayWmf(b.Finish(), "clip_regions");
    EXPECT_EQ(p.At(25, 45), Rgb(kRed));
    EXPECT_EQ(p.At(75, 45), 0xFFFFFFu);
    EXPECT_EQ(p.At(20, 20), Rgb(kRed)); // the region filled blue, then red through the clip
    EXPECT_EQ(p.At(75, 75), Rgb(kRed));
    EXPECT_EQ(p.At(45, 20), 0xFFFFFFu);
    EXPECT_EQ(p.At(5, 5), 0xFFFFFFu);
}

TEST(Wmf, CarriedEnhancedMetafileIsPlayedInstead) {
    emf::testing::EmfBuilder e;
    e.Record(39, {1, 0, 0x00FF0000, 0}).Record(37, {1}).Record(43, {0, 0, 99, 99});
    const std::vector<uint8_t> inner = e.Finish();
    WmfBuilder b;
    b.Window(0, 0, 100, 100).Brush(kRed).Select(0).Rectangle(0, 0, 100, 100);
    // Two comment escapes carry the bytes in halves.
    const size_t half = inner.size() / 2;
    for (size_t from : {size_t(0), half}) {
        const size_t n = from ? inner.size() - half : half;
        std::vector<uint16_t> w = {0x000F, uint16_t(34 + n),
                                   0x4D57, 0x4346,
                                   1,      0,
                                   0,      1,
                                   0,      0,
                                   0,      2,
                                   0,      uint16_t(n),
                                   0,      uint16_t(inner.size() - from - n),
                                   0,      uint16_t(inner.size()),
                                   0};
        for (size_t i = 0; i < n; i += 2)
            w.push_back(uint16_t(inner[from + i] | (inner[from + i + 1] << 8)));
        b.Raw(0x0626, w);
    }
    std::vector<uint8_t> out;
    ASSERT_TRUE(ConvertWmfToEmf(b.Finish(), out));
    EXPECT_EQ(out, inner);
}

TEST(Wmf, BrokenInputIsRefusedOrCutShort) {
    std::vector<uint8_t> out;
    EXPECT_FALSE(ConvertWmfToEmf({}, out));
    const std::vector<uint8_t> text = {'n', 'o', 't', ' ', 'a', ' ', 'w', 'm', 'f', 0,
                                       0,   0,   0,   0,   0,   0,   0,   0,   0,   0};
    EXPECT_FALSE(ConvertWmfToEmf(text, out));
    EXPECT_TRUE(out.empty());
    // Counts past the record, a record longer than the file, a region of nonsense.
    WmfBuilder b;
    b.Record(0x0324, {30000, 1, 2});
    b.Record(0x0538, {3, 60000, 60000, 60000});
    b.Record(0x06FF, {0, 6, 0, 0, 0, 9999, 9999, 0, 0, 10, 10, 500, 1});
    b.Record(0x0A32, {0, 0, 9999, 6});
    b.Record(0x0B41, {0x20, 0xCC, 1, 1, 0, 0, 1, 1, 0, 0, 40, 0, 0x7FFF, 0x7FFF});
    b.Select(5000).Delete(7);
    std::vector<uint8_t> wmf = b.Finish();
    Picture p = PlayWmf(wmf, "broken");
    EXPECT_TRUE(p.played);
    wmf.resize(wmf.size() - 9);
    ASSERT_TRUE(ConvertWmfToEmf(wmf, out));
    emf::EmfHeaderInfo h;
    EXPECT_TRUE(emf::ReadEmfHeader(out, h));
    EXPECT_EQ(h.bytes, out.size());
}

TEST(Wmf, TranslationStopsAtItsSizeLimit) {
    // One large region selected as the clip again and again.
    WmfBuilder b;
    std::vector<uint16_t> region = {0, 6, 0, 0, 0, 1, 0, 0, 0, 30000, 1, 16000, 0, 1};
    for (int i = 0; i < 8000; ++i) {
        region.push_back(uint16_t(i * 2));
        region.push_back(uint16_t(i * 2 + 1));
    }
    region.push_back(16000);
    b.Raw(0x06FF, region);
    for (int i = 0; i < 2000; ++i)
        b.Record(0x012C, {0});
    std::vector<uint8_t> out;
    constexpr size_t kLimit = size_t{4} << 20;
    ASSERT_TRUE(ConvertWmfToEmf(b.Finish(), out, kLimit));
    EXPECT_LE(out.size(), kLimit + (size_t{1} << 20));
    EXPECT_GT(out.size(), kLimit / 2);
}

} // namespace
} // namespace qm::wmf::testing
