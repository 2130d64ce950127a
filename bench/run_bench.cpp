// Whole conversion runs: every metafile of the shared corpus (all its sets, the damaged ones
// too) converted to PNG with default settings by the conversion worker, as a console run over
// the corpus folder does, on one thread and on one per core (threads:0). Reports files/s, MB/s
// of output written and megapixels/s of output pictures.
//   ./bench/run_bench [--benchmark_filter=...]   (QM_SHARED_DIR overrides the corpus root;
//   skipped when the corpus is absent)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "core/formats.h"
#include "core/settings.h"
#include "engine/conversion_worker.h"
#include "engine/encode.h"

namespace {

namespace fs = std::filesystem;

struct Corpus {
    fs::path root;
    std::vector<fs::path> files; // sorted
};

Corpus FindCorpus() {
    const char* env = std::getenv("QM_SHARED_DIR");
    Corpus c;
    c.root = fs::path(env ? env : QM_SHARED_DIR) / "corpus";
    std::error_code ec;
    if (!fs::is_directory(c.root, ec))
        return c;
    for (const auto& e : fs::recursive_directory_iterator(c.root, ec)) {
        const std::string ext = e.path().extension().string();
        if (e.is_regular_file(ec) && (ext == ".emf" || ext == ".emz"))
            c.files.push_back(e.path());
    }
    std::sort(c.files.begin(), c.files.end());
    return c;
}

// Width times height of a PNG file from its header; 0 when it is not one.
double PngMegapixels(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char h[24] = {};
    if (!in.read(reinterpret_cast<char*>(h), sizeof h) || h[1] != 'P' || h[12] != 'I')
        return 0;
    auto be32 = [&](int at) {
        return double(uint32_t(h[at]) << 24 | uint32_t(h[at + 1]) << 16 | uint32_t(h[at + 2]) << 8 |
                      h[at + 3]);
    };
    return be32(16) * be32(20) / 1e6;
}

struct Output {
    double megabytes = 0, megapixels = 0;
};

Output MeasureOutput(const fs::path& dir) {
    Output o;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(dir, ec))
        if (e.is_regular_file(ec)) {
            o.megabytes += double(e.file_size(ec)) / 1e6;
            o.megapixels += PngMegapixels(e.path());
        }
    return o;
}

// One run of the worker over the corpus, each set into its own output subfolder. Returns the
// wall time in seconds.
double ConvertCorpus(const Corpus& c, const fs::path& outDir, int32_t threads, int32_t& converted) {
    qm::SettingsRecord settings;
    qm::ResetSettings(settings, 1);
    qm::ConversionJobRecord job;
    job.OutputFolder = outDir.string() + "/";
    job.FormatId = "png";
    job.FormatCode = qm::FormatCode(job.FormatId);
    const int32_t* depth = qm::FormatDepthSetting(settings, job.FormatId);
    job.TargetDepth = depth ? *depth : 0;
    job.SaveFlags = qm::SaveFlagsFor(job.FormatId, settings);
    job.AutoDepth = job.TargetDepth == 0 ? 1 : 0;
    job.ConsoleRun = 1;
    qm::InputListMap inputs;
    for (const fs::path& f : c.files)
        inputs[f.string()].Subfolder = f.parent_path().lexically_relative(c.root).string() + "/";
    qm::ConversionProgressRecord progress;
    std::mutex lock;
    qm::WorkerContext ctx{job, progress, lock, inputs, settings, [](std::string_view) {}, nullptr};
    ctx.threads = threads;
    const auto t0 = std::chrono::steady_clock::now();
    converted = qm::RunConversionWorker(ctx);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_ConvertCorpusRun(benchmark::State& state) {
    const Corpus c = FindCorpus();
    if (c.files.empty()) {
        state.SkipWithError("corpus not found");
        return;
    }
    qm::BuildOutputFormats();
    const fs::path outDir = fs::temp_directory_path() / "qm_run_bench";
    double seconds = 0;
    int32_t converted = 0;
    Output out;
    for (auto _ : state) {
        fs::remove_all(outDir);
        fs::create_directories(outDir);
        const double s = ConvertCorpus(c, outDir, int32_t(state.range(0)), converted);
        state.SetIterationTime(s);
        seconds += s;
        out = MeasureOutput(outDir);
    }
    fs::remove_all(outDir);
    const double perRun = seconds / double(state.iterations());
    state.counters["threads"] = qm::ConversionThreadCount(int32_t(state.range(0)));
    state.counters["files"] = double(c.files.size());
    state.counters["converted"] = converted;
    state.counters["files_per_s"] = double(c.files.size()) / perRun;
    state.counters["MB_per_s"] = out.megabytes / perRun;
    state.counters["MP_per_s"] = out.megapixels / perRun;
    state.counters["out_MB"] = out.megabytes;
    state.counters["out_MP"] = out.megapixels;
}

} // namespace

BENCHMARK(BM_ConvertCorpusRun)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
