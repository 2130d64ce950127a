// Speed of the metafile player alone: every metafile of the shared corpus is played into a
// white surface of its own size. Reports the median and 95th percentile per file (ms).
//   ./bench/player_bench [--benchmark_filter=...]   (QM_SHARED_DIR overrides the corpus root;
//   QM_EMFPLUS=never|auto|prefer picks the playback of files with EMF+ records, auto by default)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/per_file_times.h"
#include "platform/emf/emf_player.h"

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

} // namespace

BENCHMARK(BM_PlayLibemf2svg)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayLibuemf)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayPdfExports)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
