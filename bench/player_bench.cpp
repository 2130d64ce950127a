// Speed of the metafile player alone: every metafile of the shared corpus is played into a
// white surface of its own size. Reports the median and 95th percentile per file (ms).
//   ./bench/player_bench [--benchmark_filter=...]   (QM_SHARED_DIR overrides the corpus root;
//   QM_EMFPLUS=never|auto|prefer picks the playback of files with EMF+ records, auto by default)
// BM_PlayManyRectangleClip plays a metafile of our own: a clip region of many rectangles and
// thousands of drawings under it, the shape of charts clipped to text or to a plot area.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/per_file_times.h"
#include "platform/emf/emf_player.h"
#include "tests/platform/emf_builder.h"

namespace {

namespace fs = std::filesystem;
using namespace qm::emf;

struct Item {
    std::string name;
    std::vector<uint8_t> bytes;
    int32_t w = 0, h = 0;
};

std::vector<Item> LoadSet(const std::string& sub) {
    const char* env = std::getenv("QM_SHARED_DIR");
    const fs::path root = fs::path(env ? env : QM_SHARED_DIR) / "corpus" / sub;
    std::vector<Item> items;
    std::error_code ec;
    if (!fs::is_directory(root, ec))
        return items;
    for (const auto& e : fs::recursive_directory_iterator(root, ec)) {
        if (e.path().extension() != ".emf")
            continue;
        Item it;
        it.name = e.path().filename().string();
        EmfHeaderInfo h;
        if (!LoadMetafileBytes(e.path().string(), it.bytes) || !ReadEmfHeader(it.bytes, h) ||
            !ComputePlaySize(h, it.w, it.h) || int64_t(it.w + 1) * (it.h + 1) > (int64_t{1} << 28))
            continue;
        items.push_back(std::move(it));
    }
    std::sort(items.begin(), items.end(),
              [](const Item& a, const Item& b) { return a.name < b.name; });
    return items;
}

qm::emfplus::EmfPlusMode EmfPlusModeFromEnvironment() {
    const char* env = std::getenv("QM_EMFPLUS");
    const std::string mode = env ? env : "";
    return mode == "never"    ? qm::emfplus::EmfPlusMode::Never
           : mode == "prefer" ? qm::emfplus::EmfPlusMode::Prefer
                              : qm::emfplus::EmfPlusMode::Auto;
}

void PlaySet(benchmark::State& state, const std::string& sub) {
    const std::vector<Item> items = LoadSet(sub);
    const qm::emfplus::EmfPlusMode mode = EmfPlusModeFromEnvironment();
    if (items.empty()) {
        state.SkipWithError("corpus not found");
        return;
    }
    qm::bench::PerFileTimes times;
    std::vector<uint32_t> pixels;
    for (auto _ : state) {
        double total = 0;
        for (const Item& it : items) {
            pixels.assign(size_t(it.w + 1) * (it.h + 1), 0xFFFFFFFFu);
            const Surface s{pixels.data(), it.w + 1, it.h + 1, (it.w + 1) * 4};
            total += times.Time([&] { PlayEnhMetaFile(it.bytes, s, {0, 0, it.w, it.h}, mode); });
        }
        state.SetIterationTime(total / 1000.0);
    }
    times.Report(state, items.size());
}

void BM_PlayLibemf2svg(benchmark::State& state) {
    PlaySet(state, "libemf2svg");
}
void BM_PlayLibuemf(benchmark::State& state) {
    PlaySet(state, "libuemf");
}
void BM_PlayPdfExports(benchmark::State& state) {
    PlaySet(state, "pdf-exports");
}

// A w x h picture clipped to a region of `rects` rectangles (bands of a ring, two per row
// band, as a region made from an ellipse outline comes out), then `draws` drawings: filled
// rectangles, ellipses and wide lines, spread over the picture.
std::vector<uint8_t> ManyRectangleClip(int w, int h, int rects, int draws) {
    qm::emf::testing::EmfBuilder b(w, h, 4);
    const int bands = std::max(1, rects / 2), bandH = std::max(1, h / bands);
    std::vector<int32_t> region;
    for (int i = 0; i < bands; ++i) {
        const int y = i * h / bands, inset = (i % 16) * w / 64;
        region.insert(region.end(), {inset, y, w / 2 - 4, y + bandH});
        region.insert(region.end(), {w / 2 + 4, y, w - inset, y + bandH});
    }
    const int32_t count = int32_t(region.size() / 4);
    std::vector<int32_t> clip{32 + count * 16, 5, 32, 1, count, count * 16, 0, 0, w, h};
    clip.insert(clip.end(), region.begin(), region.end());
    b.Raw(75, clip);                                      // EMR_EXTSELECTCLIPRGN, RGN_COPY
    b.Record(39, {1, 0, 0x3366CC, 0}).Record(37, {1});    // a solid brush
    b.Record(38, {2, 0, 3, 0, 0x202020}).Record(37, {2}); // a three-pixel pen
    for (int i = 0; i < draws; ++i) {
        const int x = (i * 37) % (w - 40), y = (i * 53) % (h - 40), s = 8 + i % 32;
        switch (i % 3) {
        case 0:
            b.Record(43, {x, y, x + s, y + s}); // EMR_RECTANGLE
            break;
        case 1:
            b.Record(42, {x, y, x + s, y + s / 2}); // EMR_ELLIPSE
            break;
        default:
            b.Record(27, {x, y}).Record(54, {x + s, y + s / 3}); // MOVETOEX, LINETO
        }
    }
    return b.Finish();
}

void BM_PlayManyRectangleClip(benchmark::State& state) {
    const int w = 1600, h = 1200;
    const std::vector<uint8_t> data = ManyRectangleClip(w, h, int(state.range(0)), 3000);
    std::vector<uint32_t> pixels;
    for (auto _ : state) {
        pixels.assign(size_t(w + 1) * (h + 1), 0xFFFFFFFFu);
        const Surface s{pixels.data(), w + 1, h + 1, (w + 1) * 4};
        PlayEnhMetaFile(data, s, {0, 0, w, h});
    }
    state.counters["clip_rects"] = double(state.range(0));
}

} // namespace

BENCHMARK(BM_PlayManyRectangleClip)->Arg(2)->Arg(256)->Arg(1200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayLibemf2svg)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayLibuemf)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayPdfExports)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
