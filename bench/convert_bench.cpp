// Rendering a metafile and converting it end to end.
#include <benchmark/benchmark.h>

#include <FreeImage.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/per_file_times.h"
#include "core/formats.h"
#include "core/settings.h"
#include "engine/convert_file.h"
#include "engine/rasterise.h"
#include "tests/engine/test_metafile.h"

namespace {

qm::test::MetafileBuilder Picture(int width, int height) {
    qm::test::MetafileBuilder b(width, height);
    for (int i = 0; i < 20; ++i)
        b.Fill({i * width / 25, i * height / 25, width / 5, height / 5,
                static_cast<uint8_t>(i * 12), 80, static_cast<uint8_t>(255 - i * 12)});
    return b;
}

// Player, white surface, row flip and opacity for one picture of the given side.
void BM_RasteriseMetafile(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const std::vector<uint8_t> bytes = Picture(side, side).Bytes();
    for (auto _ : state) {
        FIBITMAP* dib = qm::RasteriseMetafile(bytes);
        benchmark::DoNotOptimize(dib);
        FreeImage_Unload(dib);
    }
    state.SetItemsProcessed(state.iterations() * (side + 1) * (side + 1));
}
BENCHMARK(BM_RasteriseMetafile)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);

// One file from disk to a written output file.
void BM_ConvertFile(benchmark::State& state, const char* formatId) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("qm_convert_bench_" + std::string(formatId));
    fs::create_directories(dir);
    const std::string input = (dir / "picture.emf").string();
    Picture(1600, 1200).Write(input);

    qm::BuildOutputFormats();
    qm::SettingsRecord s;
    qm::ResetSettings(s, 1);
    qm::ConversionJobRecord job;
    job.InputPath = input;
    job.OutputFolder = dir.string() + "/";
    job.FormatId = formatId;
    job.FormatCode = qm::FormatCode(formatId);
    job.AutoDepth = 1;
    for (auto _ : state)
        if (!qm::ConvertFile(job, s))
            state.SkipWithError("conversion failed");
    fs::remove_all(dir);
}
BENCHMARK_CAPTURE(BM_ConvertFile, bmp, "bmp")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConvertFile, png, "png")->Unit(benchmark::kMillisecond);

// Every metafile of the shared corpus (but the deliberately corrupted ones) from disk to a
// PNG file, as a console run converts it. Reports the median and 95th percentile per file.
void BM_ConvertCorpusToPng(benchmark::State& state) {
    namespace fs = std::filesystem;
    const char* env = std::getenv("QM_SHARED_DIR");
    const fs::path root = fs::path(env ? env : QM_SHARED_DIR) / "corpus";
    std::vector<std::string> inputs;
    std::error_code ec;
    if (fs::is_directory(root, ec))
        for (const auto& e : fs::recursive_directory_iterator(root, ec))
            if (e.path().extension() == ".emf" &&
                e.path().string().find("/corrupted/") == std::string::npos)
                inputs.push_back(e.path().string());
    if (inputs.empty()) {
        state.SkipWithError("corpus not found");
        return;
    }
    std::sort(inputs.begin(), inputs.end());
    const fs::path dir = fs::temp_directory_path() / "qm_convert_corpus_bench";
    fs::create_directories(dir);
    qm::BuildOutputFormats();
    qm::SettingsRecord s;
    qm::ResetSettings(s, 1);
    qm::bench::PerFileTimes times;
    size_t failed = 0;
    for (auto _ : state) {
        double total = 0;
        for (const std::string& input : inputs) {
            qm::ConversionJobRecord job;
            job.InputPath = input;
            job.OutputFolder = dir.string() + "/";
            job.FormatId = "png";
            job.FormatCode = qm::FormatCode("png");
            job.AutoDepth = 1;
            total += times.Time([&] { failed += !qm::ConvertFile(job, s); });
        }
        state.SetIterationTime(total / 1000.0);
    }
    fs::remove_all(dir);
    times.Report(state, inputs.size());
    state.counters["failed"] = double(failed) / double(state.iterations());
}
BENCHMARK(BM_ConvertCorpusToPng)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
