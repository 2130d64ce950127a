// Rendering a metafile and converting it end to end.
#include <benchmark/benchmark.h>

#include <FreeImage.h>

#include <filesystem>
#include <string>

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

} // namespace
