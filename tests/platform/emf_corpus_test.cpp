// The player against real metafiles: the shared corpus (skipped when absent) and the recorded
// samples with their reference renders.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/emf/emf_player.h"

using namespace qm::emf;
namespace fs = std::filesystem;

namespace {

// The shared folder; QM_SHARED_DIR in the environment overrides the build's default.
const fs::path kShared =
    std::getenv("QM_SHARED_DIR") ? std::getenv("QM_SHARED_DIR") : QM_SHARED_DIR;

struct Rendered {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0xFFRRGGBB
};

// Plays a metafile file as a conversion does; surfaces above maxPixels are left out.
bool RenderFile(const fs::path& path, Rendered& out, int64_t maxPixels = int64_t{1} << 26) {
    std::vector<uint8_t> data;
    EmfHeaderInfo h;
    int32_t w = 0, hgt = 0;
    if (!LoadMetafileBytes(path.string(), data) || !ReadEmfHeader(data, h) ||
        !ComputePlaySize(h, w, hgt) || int64_t(w + 1) * (hgt + 1) > maxPixels)
        return false;
    out.width = w + 1;
    out.height = hgt + 1;
    out.pixels.assign(size_t(out.width) * out.height, 0xFFFFFFFFu);
    const Surface s{out.pixels.data(), out.width, out.height, out.width * 4};
    return PlayEnhMetaFile(data, s, {0, 0, w, hgt});
}

bool ReadPng(const fs::path& path, Rendered& out) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.string().c_str()))
        return false;
    img.format = PNG_FORMAT_BGRA;
    out.width = int(img.width);
    out.height = int(img.height);
    out.pixels.assign(size_t(out.width) * out.height, 0);
    return png_image_finish_read(&img, nullptr, out.pixels.data(), 0, nullptr) != 0;
}

// Share of pixels whose channels all differ by at most 8.
double MatchPercent(const Rendered& a, const Rendered& b) {
    if (a.width != b.width || a.height != b.height)
        return 0;
    size_t same = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        int worst = 0;
        for (int shift : {0, 8, 16})
            worst = std::max(worst, std::abs(int((a.pixels[i] >> shift) & 0xFF) -
                                             int((b.pixels[i] >> shift) & 0xFF)));
        same += worst <= 8;
    }
    return 100.0 * double(same) / double(a.pixels.size());
}

// Renders name.emf from emfDir and expects at least `least` percent of its pixels to match
// name.png from pngDir.
void ExpectMatchesReference(const fs::path& emfDir, const fs::path& pngDir, const std::string& name,
                            double least) {
    Rendered ours, ref;
    ASSERT_TRUE(RenderFile(emfDir / (name + ".emf"), ours)) << name;
    ASSERT_TRUE(ReadPng(pngDir / (name + ".png"), ref)) << name;
    EXPECT_GE(MatchPercent(ours, ref), least) << name;
}

std::vector<fs::path> MetafilesUnder(const fs::path& dir) {
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.path().extension() == ".emf")
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

// Releases fontconfig's caches at exit, so that leak checks see only our own allocations.
class FontconfigRelease : public ::testing::Environment {
public:
    void TearDown() override { FcFini(); }
};
const auto* const kFontconfigRelease = ::testing::AddGlobalTestEnvironment(new FontconfigRelease);

} // namespace

TEST(EmfCorpus, CorruptedFilesPlayOrFailCleanly) {
    const fs::path dir = kShared / "corpus" / "corrupted";
    if (!fs::is_directory(dir))
        GTEST_SKIP() << "no shared corpus";
    int played = 0;
    for (const fs::path& f : MetafilesUnder(dir)) {
        Rendered r;
        played += RenderFile(f, r);
    }
    EXPECT_GT(played, 0);
}

TEST(EmfCorpus, EveryCorpusFilePlays) {
    const fs::path dir = kShared / "corpus";
    if (!fs::is_directory(dir))
        GTEST_SKIP() << "no shared corpus";
    for (const char* sub : {"libemf2svg", "libuemf", "pdf-exports", "pillow"})
        for (const fs::path& f : MetafilesUnder(dir / sub)) {
            Rendered r;
            std::vector<uint8_t> data;
            ASSERT_TRUE(LoadMetafileBytes(f.string(), data)) << f;
            EmfHeaderInfo h;
            int32_t w, hgt;
            if (ReadEmfHeader(data, h) && ComputePlaySize(h, w, hgt) &&
                int64_t(w + 1) * (hgt + 1) <= (int64_t{1} << 26)) {
                EXPECT_TRUE(RenderFile(f, r)) << f;
            }
        }
}

TEST(EmfCorpus, ShapeSamplesMatchTheirReferenceRenders) {
    const fs::path samples = kShared / "oracle" / "samples";
    const fs::path refs = kShared / "oracle" / "refs" / "samples";
    if (!fs::is_directory(samples) || !fs::is_directory(refs))
        GTEST_SKIP() << "no recorded samples";
    // Samples drawn only with pens, brushes, paths and mappings.
    const std::pair<const char*, double> cases[] = {
        {"02_shapes_pen_brush", 99.5}, {"03_pen_widths_styles", 99.9}, {"11_map_modes", 99.8},
        {"12_paths_fill_modes", 99.6}, {"13_rop2_patblt", 99.0},       {"17_frame_offset", 99.0}};
    for (const auto& [name, least] : cases) {
        ExpectMatchesReference(samples, refs, name, least);
        if (HasFatalFailure())
            return;
    }
}

TEST(EmfCorpus, GlyphOutlinePathsMatchTheirReferenceRenders) {
    // Pages whose letters are filled Bezier outlines on whole device pixels.
    const fs::path corpus = kShared / "corpus" / "pdf-exports" / "testfiles";
    const fs::path refs = kShared / "oracle" / "refs" / "corpus" / "pdf-exports" / "testfiles";
    if (!fs::is_directory(corpus) || !fs::is_directory(refs))
        GTEST_SKIP() << "no shared corpus";
    for (const char* name : {"pdfium1-1", "pdfium2-1", "inkscape"}) {
        ExpectMatchesReference(corpus, refs, name, 99.9);
        if (HasFatalFailure())
            return;
    }
}

// Small metafiles of our own, each with the system's render beside it (tests/platform/fixtures):
// wide lines with round ends and joins at many slopes, shapes filled without a pen, ellipses
// and rounded rectangles of many sizes outlined with a one-pixel pen (the smallest ellipses
// come out as rectangles), gradient triangles.
TEST(EmfCorpus, FixturesMatchTheirReferenceRenders) {
    const fs::path dir = fs::path(QM_SOURCE_DIR) / "tests" / "platform" / "fixtures";
    const std::pair<const char*, double> cases[] = {
        {"wide_lines", 99.9},     {"null_pen_shapes", 100.0}, {"ellipses", 100.0},
        {"tiny_ellipses", 100.0}, {"rounded_rects", 99.8},    {"gradient_triangles", 99.9}};
    for (const auto& [name, least] : cases) {
        ExpectMatchesReference(dir, dir, name, least);
        if (HasFatalFailure())
            return;
    }
}
