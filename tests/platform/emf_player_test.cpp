#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/emf/emf_player.h"
#include "tests/platform/emf_builder.h"

using namespace qm::emf;
using qm::emf::testing::EmfBuilder;
using qm::emf::testing::Play;

namespace {

constexpr uint32_t kRed = 0xFF0000, kBlack = 0x000000, kWhite = 0xFFFFFF;

// Records used below.
enum : uint32_t {
    kMoveTo = 27,
    kLineTo = 54,
    kRectangle = 43,
    kCreateBrush = 39,
    kCreatePen = 38,
    kSelect = 37,
    kSetMapMode = 17,
    kWindowExt = 9,
    kViewportExt = 11,
    kWindowOrg = 10,
    kSaveDc = 33,
    kRestoreDc = 34,
    kIntersectClip = 30,
    kExcludeClip = 29,
    kSelectClipRgn = 75,
    kSetRop2 = 20,
    kBeginPath = 59,
    kEndPath = 60,
    kFillPath = 62,
    kPolyFillMode = 19,
    kPolygon16 = 86,
    kPolyline = 4,
    kPolygon = 3,
    kPolyBezierTo = 5,
    kExtCreatePen = 95,
};

EmfBuilder RedBrush(int w = 100, int h = 100) {
    EmfBuilder b(w, h);
    b.Record(kCreateBrush, {1, 0, 0x0000FF, 0}).Record(kSelect, {1});
    return b;
}

EmfHeaderInfo HeaderWith(RectL frame, SizeL device, SizeL mm) {
    EmfHeaderInfo h;
    h.frame = frame;
    h.device = device;
    h.millimeters = mm;
    return h;
}

} // namespace

TEST(EmfPlaySize, FrameConvertsToReferencePixelsRoundedToEven) {
    int32_t w = 0, h = 0;
    // 100 mm on a 1920 px / 508 mm device: 377.95 -> 378.
    ASSERT_TRUE(ComputePlaySize(HeaderWith({0, 0, 10000, 5000}, {1920, 1080}, {508, 286}), w, h));
    EXPECT_EQ(w, 378);
    EXPECT_EQ(h, 189);
    // Exact halves go to the even neighbour: 2.5 -> 2, 3.5 -> 4.
    ASSERT_TRUE(ComputePlaySize(HeaderWith({0, 0, 250, 350}, {100, 100}, {100, 100}), w, h));
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 4);
    // Reversed and empty frames.
    ASSERT_TRUE(ComputePlaySize(HeaderWith({500, 700, 0, 0}, {100, 100}, {100, 100}), w, h));
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 7);
    ASSERT_TRUE(ComputePlaySize(HeaderWith({10, 10, 10, 10}, {100, 100}, {100, 100}), w, h));
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    EXPECT_FALSE(ComputePlaySize(HeaderWith({0, 0, 100, 100}, {0, 100}, {100, 100}), w, h));
    EXPECT_FALSE(ComputePlaySize(HeaderWith({0, 0, 100, 100}, {100, 100}, {100, -1}), w, h));
    EXPECT_FALSE(ComputePlaySize(
        HeaderWith({INT32_MIN, 0, INT32_MAX, 100}, {INT32_MAX, 100}, {1, 100}), w, h));
}

TEST(EmfHeader, RejectsDataThatIsNoMetafile) {
    std::vector<uint8_t> good = EmfBuilder().Finish();
    EmfHeaderInfo h;
    ASSERT_TRUE(ReadEmfHeader(good, h));
    EXPECT_EQ(h.handles, 8);
    EXPECT_EQ(h.device.cx, 400);
    std::vector<uint8_t> bad = good;
    bad[40] = 'X'; // signature
    EXPECT_FALSE(ReadEmfHeader(bad, h));
    bad = good;
    bad[0] = 2; // record type
    EXPECT_FALSE(ReadEmfHeader(bad, h));
    bad = good;
    bad[4] = 40; // header record too small
    EXPECT_FALSE(ReadEmfHeader(bad, h));
    bad = good;
    bad[5] = 0xFF; // header size beyond the data
    EXPECT_FALSE(ReadEmfHeader(bad, h));
    EXPECT_FALSE(ReadEmfHeader(std::span<const uint8_t>(good.data(), 40), h));
    EXPECT_FALSE(PlayEnhMetaFile(std::span<const uint8_t>(good.data(), 40), {}, {}));
}

TEST(EmfLoad, ReadsPlainAndGzipFilesWithinTheCap) {
    const std::vector<uint8_t> emf = EmfBuilder().Finish();
    const auto dir = std::filesystem::temp_directory_path() / "qm_emf_load_test";
    std::filesystem::create_directories(dir);
    const std::string plain = (dir / "a.emf").string(), packed = (dir / "a.emz").string();
    FILE* f = std::fopen(plain.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(emf.data(), 1, emf.size(), f);
    std::fclose(f);
    gzFile gz = gzopen(packed.c_str(), "wb");
    ASSERT_TRUE(gz);
    gzwrite(gz, emf.data(), unsigned(emf.size()));
    gzclose(gz);

    std::vector<uint8_t> out;
    ASSERT_TRUE(LoadMetafileBytes(plain, out));
    EXPECT_EQ(out, emf);
    ASSERT_TRUE(LoadMetafileBytes(packed, out));
    EXPECT_EQ(out, emf);
    EXPECT_FALSE(LoadMetafileBytes(plain, out, emf.size() - 1));
    EXPECT_FALSE(LoadMetafileBytes(packed, out, emf.size() - 1)); // decompressed size counts
    EXPECT_FALSE(LoadMetafileBytes((dir / "missing.emf").string(), out));
    // A truncated gzip stream fails instead of giving half a metafile.
    const auto gzSize = std::filesystem::file_size(packed);
    std::filesystem::resize_file(packed, gzSize / 2);
    EXPECT_FALSE(LoadMetafileBytes(packed, out));
    std::filesystem::remove_all(dir);
}

namespace {

// A header that declares `declared` bytes, followed by `zeros` zero bytes, gzip-compressed
// when packed: what a decompression bomb or a sparse file looks like.
std::string WriteHostileMetafile(const std::filesystem::path& path, uint32_t declared, size_t zeros,
                                 bool packed) {
    std::vector<uint8_t> head = EmfBuilder().Finish();
    head.resize(88); // the header record only
    std::memcpy(head.data() + 48, &declared, 4);
    if (packed) {
        gzFile gz = gzopen(path.c_str(), "wb9");
        gzwrite(gz, head.data(), unsigned(head.size()));
        const std::vector<uint8_t> block(size_t{1} << 20, 0);
        for (size_t done = 0; done < zeros; done += block.size())
            gzwrite(gz, block.data(), unsigned(std::min(block.size(), zeros - done)));
        gzclose(gz);
    } else {
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(head.data(), 1, head.size(), f);
        std::fclose(f);
        std::filesystem::resize_file(path, head.size() + zeros); // sparse
    }
    return path.string();
}

} // namespace

TEST(EmfLoad, HostileFilesFailAtTheirFirstBadRecordWithoutReadingTheRest) {
    const auto dir = std::filesystem::temp_directory_path() / "qm_emf_hostile_test";
    std::filesystem::create_directories(dir);
    std::vector<uint8_t> out;
    // 64 MiB of zeros behind a header that declares 1 GiB: nothing after the header is a
    // record, so the load fails without inflating or reading the bulk.
    EXPECT_FALSE(LoadMetafileBytes(
        WriteHostileMetafile(dir / "bomb.emz", 1u << 30, size_t{64} << 20, true), out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(LoadMetafileBytes(
        WriteHostileMetafile(dir / "sparse.emf", 1u << 30, size_t{64} << 20, false), out));
    // A header that declares more than the cap fails before anything else is read.
    EXPECT_FALSE(
        LoadMetafileBytes(WriteHostileMetafile(dir / "big.emz", 4096, 0, true), out, 4000));
    std::filesystem::remove_all(dir);
}

TEST(EmfLoad, ReadingStopsAtTheEndRecordWithinTheDeclaredSize) {
    const auto dir = std::filesystem::temp_directory_path() / "qm_emf_declared_test";
    std::filesystem::create_directories(dir);
    const std::vector<uint8_t> emf = EmfBuilder().Record(kMoveTo, {1, 2}).Finish();
    std::vector<uint8_t> padded = emf;
    padded.resize(emf.size() + 4096, 0xAB); // trailing bytes after the end record
    const std::string path = (dir / "a.emf").string();
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(padded.data(), 1, padded.size(), f);
    std::fclose(f);
    std::vector<uint8_t> out;
    ASSERT_TRUE(LoadMetafileBytes(path, out));
    EXPECT_EQ(out, emf);
    // Records that run past the declared size are refused.
    std::vector<uint8_t> lying = emf;
    const uint32_t declared = uint32_t(emf.size() - 8);
    std::memcpy(lying.data() + 48, &declared, 4);
    f = std::fopen(path.c_str(), "wb");
    std::fwrite(lying.data(), 1, lying.size(), f);
    std::fclose(f);
    EXPECT_FALSE(LoadMetafileBytes(path, out));
    std::filesystem::remove_all(dir);
}

TEST(EmfPlayer, RectangleOutlineIncludesItsEdgesAndFillsInside) {
    const auto pic = Play(RedBrush().Record(kRectangle, {10, 10, 20, 30}).Finish());
    ASSERT_TRUE(pic.played);
    ASSERT_EQ(pic.width, 101);
    EXPECT_EQ(pic.At(10, 10), kBlack);
    EXPECT_EQ(pic.At(20, 30), kBlack);
    EXPECT_EQ(pic.At(15, 20), kRed);
    EXPECT_EQ(pic.At(21, 20), kWhite);
    EXPECT_EQ(pic.At(15, 31), kWhite);
    EXPECT_EQ(pic.pixels[0] >> 24, 0xFFu); // fourth byte kept opaque
}

TEST(EmfPlayer, OnePixelLinesLeaveOutTheirLastPixel) {
    const auto pic =
        Play(EmfBuilder().Record(kMoveTo, {10, 10}).Record(kLineTo, {20, 10}).Finish());
    EXPECT_EQ(pic.At(10, 10), kBlack);
    EXPECT_EQ(pic.At(19, 10), kBlack);
    EXPECT_EQ(pic.At(20, 10), kWhite);
    EXPECT_EQ(pic.At(15, 11), kWhite);
}

TEST(EmfPlayer, AnisotropicMappingScalesAndSaveDcRestores) {
    auto b = RedBrush();
    b.Record(kCreatePen, {2, 5, 0, 0, 0}).Record(kSelect, {2}); // null pen
    b.Record(kSaveDc, {});
    b.Record(kSetMapMode, {8}).Record(kWindowExt, {10, 10}).Record(kViewportExt, {100, 100});
    b.Record(kRectangle, {1, 1, 5, 5}); // device 10..50
    b.Record(kRestoreDc, {-1});
    b.Record(kRectangle, {70, 70, 80, 80}); // MM_TEXT again
    const auto pic = Play(b.Finish());
    EXPECT_EQ(pic.At(10, 10), kRed);
    EXPECT_EQ(pic.At(45, 45), kRed);
    EXPECT_EQ(pic.At(9, 9), kWhite);
    EXPECT_EQ(pic.At(55, 55), kWhite);
    EXPECT_EQ(pic.At(75, 75), kRed);
    EXPECT_EQ(pic.At(85, 85), kWhite);
}

TEST(EmfPlayer, ClipRectanglesAndRegionReset) {
    auto b = RedBrush();
    b.Record(kIntersectClip, {0, 0, 50, 50}).Record(kExcludeClip, {10, 10, 20, 20});
    b.Record(kRectangle, {0, 0, 100, 100});
    b.Record(kSelectClipRgn, {0, 5}); // RGN_COPY without a region: no clipping
    b.Record(kRectangle, {60, 60, 90, 90});
    const auto pic = Play(b.Finish());
    EXPECT_EQ(pic.At(30, 30), kRed);
    EXPECT_EQ(pic.At(15, 15), kWhite);
    EXPECT_EQ(pic.At(55, 30), kWhite);
    EXPECT_EQ(pic.At(75, 75), kRed);
}

TEST(EmfPlayer, XorPenDrawnTwiceRestoresTheBackground) {
    auto b = EmfBuilder();
    b.Record(kCreatePen, {1, 0, 1, 0, 0x00FFFF}).Record(kSelect, {1}); // yellow
    b.Record(kSetRop2, {7});
    for (int i = 0; i < 2; ++i)
        b.Record(kMoveTo, {10, 40}).Record(kLineTo, {60, 40});
    b.Record(kMoveTo, {10, 50}).Record(kLineTo, {60, 50});
    const auto pic = Play(b.Finish());
    EXPECT_EQ(pic.At(30, 40), kWhite);
    EXPECT_EQ(pic.At(30, 50), 0x0000FFu); // white xor yellow = blue
}

TEST(EmfPlayer, DenseStrokesMatchTheirLinesDrawnOneByOne) {
    // A polyline of hundreds of long lines crossing the picture (its pixels gathered before they
    // are set) against the same lines as separate records, under every mix mode: modes that
    // change a pixel again when it is set again (xor, not) must still apply per line.
    std::vector<int32_t> points;
    uint32_t seed = 18;
    for (int i = 0; i < 600; ++i) {
        seed = seed * 1103515245u + 12345u;
        points.push_back(int32_t((seed >> 8) % 120) - 10); // some beyond the edges
        points.push_back(int32_t((seed >> 20) % 120) - 10);
    }
    for (int rop = 1; rop <= 16; ++rop) {
        auto pen = [&] {
            EmfBuilder b(100, 100);
            b.Record(kCreatePen, {1, 0, 1, 0, 0x3080C0}).Record(kSelect, {1});
            b.Record(kSetRop2, {rop});
            return b;
        };
        EmfBuilder whole = pen();
        std::vector<int32_t> polyline = {-10, -10, 110, 110, int32_t(points.size() / 2)};
        polyline.insert(polyline.end(), points.begin(), points.end());
        whole.Raw(kPolyline, polyline);
        EmfBuilder apart = pen();
        apart.Record(kMoveTo, {points[0], points[1]});
        for (size_t i = 2; i < points.size(); i += 2)
            apart.Record(kLineTo, {points[i], points[i + 1]});
        const auto a = Play(whole.Finish()), b = Play(apart.Finish());
        ASSERT_EQ(a.pixels.size(), b.pixels.size());
        EXPECT_EQ(a.pixels, b.pixels) << "mix mode " << rop;
    }
}

TEST(EmfPlayer, PathFillFollowsThePolyFillMode) {
    // Two overlapping squares in one path: alternate leaves the overlap empty.
    for (int mode : {1, 2}) {
        auto b = RedBrush();
        b.Record(kPolyFillMode, {mode}).Record(kBeginPath, {});
        b.Record(kPolyline, {0, 0, 0, 0, 5, 10, 10, 50, 10, 50, 50, 10, 50, 10, 10});
        b.Record(kPolyline, {0, 0, 0, 0, 5, 30, 30, 70, 30, 70, 70, 30, 70, 30, 30});
        b.Record(kEndPath, {}).Record(kFillPath, {0, 0, 100, 100});
        const auto pic = Play(b.Finish());
        EXPECT_EQ(pic.At(20, 20), kRed);
        EXPECT_EQ(pic.At(40, 40), mode == 1 ? kWhite : kRed) << mode;
        EXPECT_EQ(pic.At(60, 60), kRed);
    }
}

TEST(EmfPlayer, PolygonsAndCurvesFillWholePixelsByTheirCentres) {
    // A triangle whose slanted edges run through pixel centres, and a path of two Beziers
    // flattened on whole pixels. Centres on a left or top edge are inside, on a right or
    // bottom edge outside; the rows are the system's own render of these records.
    EmfBuilder b(24, 12);
    b.Record(kCreateBrush, {1, 0, 0, 0}).Record(kSelect, {1});
    b.Record(kSelect, {int32_t(0x80000008)}); // null pen
    b.Record(kPolygon, {0, 0, -1, -1, 3, 1, 1, 9, 5, 1, 9});
    b.Record(kBeginPath, {}).Record(kMoveTo, {12, 10});
    b.Record(kPolyBezierTo, {0, 0, -1, -1, 6, 13, 0, 22, 0, 22, 2, 20, 8, 16, 10, 12, 10});
    b.Record(kEndPath, {}).Record(kFillPath, {0, 0, -1, -1});
    const auto pic = Play(b.Finish());
    ASSERT_TRUE(pic.played);
    const char* const rows[] = {
        ".........................", ".........................", ".##..............#####...",
        ".####...........######...", ".######.......#######....", ".########.....#######....",
        ".######.......######.....", ".####........######......", ".##..........#####.......",
        ".............##..........", "........................."};
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 25; ++x)
            EXPECT_EQ(pic.At(x, y), rows[y][x] == '#' ? kBlack : kWhite) << x << "," << y;
}

TEST(EmfPlayer, ExtendedPensKeepTheirColourAndWidth) {
    // Geometric solid pens as exporters write them (an empty brush bitmap whose offsets
    // point at the record's end): grey, 5 pixels wide, over a null brush.
    EmfBuilder b(60, 40);
    b.Record(kSelect, {int32_t(0x80000005)}); // null brush
    b.Record(kExtCreatePen, {1, 56, 0, 56, 0, 0x10000, 5, 0, 0x808080, 0, 0, 0});
    b.Record(kSelect, {1}).Record(kRectangle, {10, 10, 50, 30});
    const auto pic = Play(b.Finish());
    ASSERT_TRUE(pic.played);
    for (int y : {8, 10, 12})
        EXPECT_EQ(pic.At(30, y), 0x808080u) << y;
    EXPECT_EQ(pic.At(30, 6), kWhite);
    EXPECT_EQ(pic.At(30, 20), kWhite);
}

TEST(EmfPlayer, UnreadableRecordStopsPlaybackKeepingEarlierDrawing) {
    auto b = RedBrush();
    b.Record(kRectangle, {10, 10, 30, 30});
    b.Record(kPolygon16, {0, 0, 0, 0, 1000, 0}); // claims 1000 points
    b.Record(kRectangle, {50, 50, 70, 70});
    auto pic = Play(b.Finish());
    EXPECT_TRUE(pic.played);
    EXPECT_EQ(pic.At(20, 20), kRed);
    EXPECT_EQ(pic.At(60, 60), kWhite);

    // A record whose size runs past the end.
    auto data = RedBrush().Record(kRectangle, {10, 10, 30, 30}).Finish();
    const uint32_t huge = 0x7FFFFFF0;
    std::memcpy(data.data() + data.size() - 20 + 4, &huge, 4);
    pic = Play(data);
    EXPECT_EQ(pic.At(20, 20), kRed);
}

TEST(EmfPlayer, HostileCoordinatesAndDepthsPlaySafely) {
    auto b = RedBrush();
    for (int i = 0; i < 20000; ++i)
        b.Record(kSaveDc, {});
    b.Record(kMoveTo, {INT32_MIN, INT32_MIN}).Record(kLineTo, {INT32_MAX, INT32_MAX});
    b.Record(kSetMapMode, {8})
        .Record(kWindowExt, {1, 1})
        .Record(kViewportExt, {INT32_MAX, INT32_MAX});
    b.Record(kRectangle, {-5, -5, 5, 5});
    b.Record(kMoveTo, {0, 0}).Record(kLineTo, {1, 1});
    const auto pic = Play(b.Finish());
    EXPECT_TRUE(pic.played);
}

TEST(EmfPlayer, FloodFillStopsAtTheBorderColour) {
    auto b = EmfBuilder();
    b.Record(kSelect, {int32_t(0x80000005)}); // null brush
    b.Record(kRectangle, {10, 10, 50, 50});
    b.Record(kCreateBrush, {1, 0, 0x0000FF, 0}).Record(kSelect, {1});
    b.Record(53, {30, 30, 0x000000, 0}); // EMR_EXTFLOODFILL, border mode
    const auto pic = Play(b.Finish());
    EXPECT_EQ(pic.At(30, 30), kRed);
    EXPECT_EQ(pic.At(11, 49), kRed);
    EXPECT_EQ(pic.At(10, 30), kBlack);
    EXPECT_EQ(pic.At(60, 30), kWhite);
}

TEST(EmfPlayer, FixedMapModesOnHugeReferenceDevicesStayInRange) {
    for (int mode = 1; mode <= 8; ++mode) {
        auto data =
            RedBrush().Record(kSetMapMode, {mode}).Record(kRectangle, {0, 0, 10, 10}).Finish();
        const int32_t huge = INT32_MAX;
        std::memcpy(data.data() + 72, &huge, 4); // device width
        std::memcpy(data.data() + 80, &huge, 4); // millimetres
        std::memcpy(data.data() + 84, &huge, 4);
        EXPECT_TRUE(Play(data).played) << mode;
    }
}

namespace {

int32_t FloatBits(float f) {
    int32_t v;
    std::memcpy(&v, &f, 4);
    return v;
}

EmfBuilder RedNoPen() {
    auto b = RedBrush();
    b.Record(kSelect, {int32_t(0x80000008)}); // NULL_PEN
    return b;
}

} // namespace

TEST(EmfPlayer, WorldTransformScalesAndMoves) {
    auto b = RedNoPen();
    b.Record(35, {FloatBits(2), 0, 0, FloatBits(2), FloatBits(10), FloatBits(10)});
    b.Record(kRectangle, {0, 0, 10, 10}); // device 10..30
    const auto pic = Play(b.Finish());
    EXPECT_EQ(pic.At(15, 15), kRed);
    EXPECT_EQ(pic.At(28, 28), kRed);
    EXPECT_EQ(pic.At(35, 35), kWhite);
    EXPECT_EQ(pic.At(5, 5), kWhite);
}

TEST(EmfPlayer, FillRegionTakesStockBrushes) {
    auto b = EmfBuilder();
    // EMR_FILLRGN: bounds, region size, BLACK_BRUSH, region header and one rectangle.
    b.Record(71, {10, 10, 30, 30, 48, int32_t(0x80000004), 32, 1, 1, 16, 10, 10, 30, 30, 10, 10, 30,
                  30});
    const auto pic = Play(b.Finish());
    EXPECT_EQ(pic.At(20, 20), kBlack);
    EXPECT_EQ(pic.At(35, 20), kWhite);
}

TEST(EmfPlayer, ClipPathAndMetaRegionLimitDrawing) {
    auto b = RedNoPen();
    b.Record(kBeginPath, {}).Record(kRectangle, {20, 20, 40, 40}).Record(kEndPath, {});
    b.Record(67, {5}); // EMR_SELECTCLIPPATH, RGN_COPY
    b.Record(kRectangle, {0, 0, 100, 100});
    const auto clipped = Play(b.Finish());
    EXPECT_EQ(clipped.At(30, 30), kRed);
    EXPECT_EQ(clipped.At(50, 50), kWhite);

    auto m = RedNoPen();
    m.Record(kIntersectClip, {0, 0, 50, 50}).Record(28, {}); // EMR_SETMETARGN
    m.Record(kSelectClipRgn, {0, 5});                        // resets the clip, not the meta
    m.Record(kRectangle, {0, 0, 100, 100});
    const auto meta = Play(m.Finish());
    EXPECT_EQ(meta.At(30, 30), kRed);
    EXPECT_EQ(meta.At(60, 60), kWhite);
}

TEST(EmfPlayer, HatchGapsFollowTheBackgroundMode) {
    for (int mode : {1, 2}) { // transparent, opaque
        auto b = EmfBuilder();
        b.Record(kSelect, {int32_t(0x80000008)});
        b.Record(kCreateBrush, {1, 2, 0x000000, 1}).Record(kSelect, {1}); // vertical hatch
        b.Record(25, {0x0000FF}).Record(18, {mode}); // red background colour, mode
        b.Record(kRectangle, {0, 0, 64, 64});
        const auto pic = Play(b.Finish());
        EXPECT_EQ(pic.At(4, 10), kBlack) << mode;
        EXPECT_EQ(pic.At(12, 10), kBlack) << mode;
        EXPECT_EQ(pic.At(6, 10), mode == 1 ? kWhite : kRed) << mode;
    }
}

TEST(EmfPlayer, CosmeticDashesAlternateWithGaps) {
    auto b = EmfBuilder();
    b.Record(kCreatePen, {1, 1, 1, 0, 0}).Record(kSelect, {1}); // PS_DASH, one pixel
    b.Record(25, {0x0000FF});                                   // gaps in red (opaque)
    b.Record(kMoveTo, {0, 10}).Record(kLineTo, {60, 10});
    const auto pic = Play(b.Finish());
    EXPECT_EQ(pic.At(5, 10), kBlack);
    EXPECT_EQ(pic.At(20, 10), kRed);
    EXPECT_EQ(pic.At(30, 10), kBlack);
}

TEST(EmfPlayer, ShapesWithoutAPenKeepTheirSize) {
    // Ellipses and rounded rectangles filled without a pen cover the pixels the outline would
    // have set; rectangles leave out their right and bottom edge.
    auto pixels = [](bool pen, uint32_t type, std::initializer_list<int32_t> fields) {
        auto b = RedBrush();
        if (!pen)
            b.Record(kSelect, {int32_t(0x80000008)}); // NULL_PEN
        const auto pic = Play(b.Record(type, fields).Finish());
        std::vector<bool> ink;
        for (uint32_t p : pic.pixels)
            ink.push_back((p & 0xFFFFFF) != kWhite);
        return ink;
    };
    EXPECT_EQ(pixels(false, 42, {10, 10, 69, 49}), pixels(true, 42, {10, 10, 69, 49}));
    EXPECT_EQ(pixels(false, 44, {10, 10, 69, 49, 20, 14}),
              pixels(true, 44, {10, 10, 69, 49, 20, 14}));
    const auto rect = Play(RedBrush()
                               .Record(kSelect, {int32_t(0x80000008)})
                               .Record(kRectangle, {10, 10, 20, 30})
                               .Finish());
    EXPECT_EQ(rect.At(10, 10), kRed);
    EXPECT_EQ(rect.At(19, 29), kRed);
    EXPECT_EQ(rect.At(20, 20), kWhite);
    EXPECT_EQ(rect.At(15, 30), kWhite);
    // The outline pixels are part of the one filled area: XOR twice restores the background.
    auto b = RedBrush();
    b.Record(kSelect, {int32_t(0x80000008)}).Record(kSetRop2, {7});
    b.Record(42, {10, 10, 69, 49}).Record(42, {10, 10, 69, 49});
    const auto twice = Play(b.Finish());
    for (int y = 0; y < twice.height; ++y)
        for (int x = 0; x < twice.width; ++x)
            ASSERT_EQ(twice.At(x, y), kWhite) << x << "," << y;
}

TEST(EmfPlayer, WideRoundLinesSitOnTheSystemsPixels) {
    auto b = EmfBuilder();
    b.Record(kCreatePen, {1, 0, 3, 0, 0}).Record(kSelect, {1});
    b.Record(kMoveTo, {10, 40}).Record(kLineTo, {60, 40}).Record(kLineTo, {90, 10});
    b.Record(kCreatePen, {2, 0, 4, 0, 0}).Record(kSelect, {2});
    b.Record(kMoveTo, {10, 80}).Record(kLineTo, {60, 80});
    const auto pic = Play(b.Finish());
    auto row = [&](int y, int x0, int x1) {
        std::string s;
        for (int x = x0; x <= x1; ++x)
            s += pic.At(x, y) == kBlack ? '#' : '.';
        return s;
    };
    // Odd widths centre on the line's pixels, even ones take the extra row above.
    for (int y = 38; y <= 42; ++y)
        EXPECT_EQ(pic.At(30, y), y >= 39 && y <= 41 ? kBlack : kWhite) << y;
    for (int y = 77; y <= 82; ++y)
        EXPECT_EQ(pic.At(30, y), y >= 78 && y <= 81 ? kBlack : kWhite) << y;
    // A rising diagonal: its band, and the round end of three pixels across without corners.
    EXPECT_EQ(row(35, 60, 70), "...######..");
    EXPECT_EQ(row(39, 8, 11), "..##");
    EXPECT_EQ(row(40, 8, 11), ".###");
}

TEST(EmfPlayer, SmallEllipsesFollowTheSystemsMidpointWalk) {
    auto b = EmfBuilder();
    b.Record(kSelect, {int32_t(0x80000005)}); // NULL_BRUSH
    b.Record(42, {1, 1, 8, 6});               // 7 x 5 pixels
    b.Record(kCreateBrush, {1, 0, 0x0000FF, 0}).Record(kSelect, {1});
    b.Record(kCreatePen, {2, 0, 1, 0, 0xFF0000}).Record(kSelect, {2});
    b.Record(kSetRop2, {7}); // XOR: outline and inside must not overlap
    b.Record(42, {20, 1, 32, 8});
    const auto pic = Play(b.Finish());
    auto rows = [&](int x0, int y0, int w, int h) {
        std::string s;
        for (int y = y0; y < y0 + h; ++y) {
            for (int x = x0; x < x0 + w; ++x) {
                const uint32_t c = pic.At(x, y);
                s += c == kWhite ? '.' : c == kBlack ? '#' : c == 0xFFFF00 ? 'y' : 'c';
            }
            s += '/';
        }
        return s;
    };
    EXPECT_EQ(rows(1, 1, 7, 5), "..###../##...##/#.....#/##...##/..###../");
    // White xor the blue pen is yellow, white xor the red brush cyan.
    EXPECT_EQ(rows(20, 1, 12, 7), "...yyyyyy.../.yyccccccyy./yccccccccccy/yccccccccccy/"
                                  "yccccccccccy/.yyccccccyy./...yyyyyy.../");
}

namespace {

// count full-picture rectangles on a w x h picture, all clipped to its top-left pixel: each
// asks for the whole surface, little of which is drawn.
std::vector<uint8_t> ClippedFills(int w, int h, int count) {
    EmfBuilder b = RedBrush(w, h);
    b.Record(kIntersectClip, {0, 0, 1, 1});
    for (int i = 0; i < count; ++i)
        b.Record(kRectangle, {0, 0, w, h});
    return b.Finish();
}

PlayResult PlayWithBudget(const std::vector<uint8_t>& data, int w, int h, uint64_t budget) {
    std::vector<uint32_t> pixels(size_t(w + 1) * (h + 1), 0xFFFFFFFFu);
    Surface s{pixels.data(), w + 1, h + 1, (w + 1) * 4};
    return PlayMetafile(data, s, {0, 0, w, h}, qm::emfplus::EmfPlusMode::Auto, budget);
}

} // namespace

TEST(EmfPlayBudget, WorkIsCountedTheSameOnEveryRunAndStopsPlayback) {
    const std::vector<uint8_t> data = ClippedFills(99, 99, 50);
    const PlayResult full = PlayWithBudget(data, 99, 99, DefaultPlayWorkBudget);
    EXPECT_EQ(full.outcome, PlayOutcome::Played);
    // Each rectangle counts its 100 x 100 pixels, whatever the clip leaves of it.
    EXPECT_GE(full.work, 50u * 98 * 98);
    EXPECT_LT(full.work, 60u * 100 * 100);
    EXPECT_EQ(PlayWithBudget(data, 99, 99, DefaultPlayWorkBudget).work, full.work);

    const PlayResult cut = PlayWithBudget(data, 99, 99, 20 * 100 * 100);
    EXPECT_EQ(cut.outcome, PlayOutcome::BudgetReached);
    EXPECT_LT(cut.work, full.work);
    EXPECT_FALSE(PlayEnhMetaFile(data, Surface{}, {0, 0, 99, 99}));
}

TEST(EmfPlayBudget, BitmapsSampledPixelByPixelCountMoreThanCopies) {
    // One red pixel stretched over a 100 x 100 picture: copied row by row it counts each pixel
    // once; interpolated (halftone enlarging) each pixel is worked out alone and counts more.
    auto stretch = [](bool halftone) {
        EmfBuilder b(100, 100);
        if (halftone)
            b.Record(21, {4}); // EMR_SETSTRETCHBLTMODE: HALFTONE
        b.Raw(81, {0,  0,   99, 99, 0,          0,   0,         0,  1, 1, 80,
                   40, 120, 4,  0,  0x00CC0020, 100, 100,       40, 1, 1, 1 | (24 << 16),
                   0,  4,   0,  0,  0,          0,   0x00FF0000}); // EMR_STRETCHDIBITS of a 1 x 1
                                                                   // 24-bit bitmap
        return PlayWithBudget(b.Finish(), 99, 99, DefaultPlayWorkBudget);
    };
    const PlayResult copied = stretch(false), sampled = stretch(true);
    EXPECT_EQ(copied.outcome, PlayOutcome::Played);
    EXPECT_LT(copied.work, 2u * 100 * 100);
    EXPECT_GE(sampled.work - copied.work, 6u * 99 * 99);
}

TEST(EmfPlayBudget, WideLinesCountTheirLengthNotTheirBox) {
    // A diagonal line across a large picture touches few of its pixels.
    EmfBuilder b(2000, 2000);
    b.Record(kCreatePen, {1, 0, 5, 5, 0}).Record(kSelect, {1});
    b.Record(kMoveTo, {0, 0}).Record(kLineTo, {1999, 1999});
    const PlayResult r = PlayWithBudget(b.Finish(), 1999, 1999, DefaultPlayWorkBudget);
    EXPECT_EQ(r.outcome, PlayOutcome::Played);
    EXPECT_LT(r.work, 2000u * 2000 / 10);
}

TEST(EmfHatches, ShapeFillsAndPatternBlitsDrawTheSameHatch) {
    // The same hatched brush fills a rectangle (left) and a PATCOPY blit (right).
    for (int32_t hatch = 0; hatch <= 5; ++hatch) {
        EmfBuilder b(40, 16);
        b.Record(kCreateBrush, {1, 2, 0x000000, hatch}).Record(kSelect, {1});
        b.Record(kSelect, {int32_t(0x80000008)}); // NULL_PEN
        b.Record(kRectangle, {0, 0, 17, 17});
        const int32_t one = 0x3F800000; // 1.0f
        b.Record(76, {0, 0, 39,  15, 24, 0, 16, 16, 0x00F00021, 0, 0, one,
                      0, 0, one, 0,  0,  0, 0,  0,  0,          0, 0}); // EMR_BITBLT, pattern only
        const auto p = Play(b.Finish());
        ASSERT_TRUE(p.played);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(p.At(x, y), p.At(24 + x, y))
                    << "hatch " << hatch << " at " << x << "," << y;
        if (hatch == 0) { // HS_HORIZONTAL: the fourth row of every eight
            EXPECT_EQ(p.At(2, 3), kBlack);
            EXPECT_EQ(p.At(2, 6), kWhite);
        }
    }
}
