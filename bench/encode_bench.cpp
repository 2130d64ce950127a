// The encoding step (depth reduction and writer) of every output format at its automatic depth,
// on a 2000 x 1500 picture.
#include <benchmark/benchmark.h>

#include <FreeImage.h>

#include <cstdio>
#include <filesystem>

#include "core/formats.h"
#include "core/settings.h"
#include "engine/encode.h"
#include "engine/naming.h"

namespace {

using namespace qm;

FIBITMAP* Picture() {
    static FIBITMAP* picture = [] {
        const int width = 2000, height = 1500;
        FIBITMAP* dib = FreeImage_Allocate(width, height, 32);
        for (int y = 0; y < height; ++y) {
            BYTE* p = FreeImage_GetScanLine(dib, y);
            for (int x = 0; x < width; ++x, p += 4) {
                const bool block = (x / 100 + y / 100) % 2 == 0;
                p[FI_RGBA_RED] = static_cast<BYTE>(block ? 220 : x * 255 / width);
                p[FI_RGBA_GREEN] = static_cast<BYTE>(block ? 40 : y * 255 / height);
                p[FI_RGBA_BLUE] = static_cast<BYTE>((x * y) % 251);
                p[FI_RGBA_ALPHA] = 255;
            }
        }
        return dib;
    }();
    return picture;
}

void EncodeFormat(benchmark::State& state) {
    const std::string& id = OutputFormats[static_cast<size_t>(state.range(0))];
    state.SetLabel(id);
    SettingsRecord s;
    ResetSettings(s, 1);
    ConversionJobRecord job;
    job.FormatId = id;
    job.FormatCode = FormatCode(id);
    job.AutoDepth = 1;
    job.SourceDepth = 32;
    job.SaveFlags = SaveFlagsFor(id, s);
    job.OutputFolder = std::filesystem::temp_directory_path().string() + "/";
    job.InputPath = "/in/qm_encode_bench.emf";
    job.OutputPath = BuildOutputPath(job, s);
    bool ok = true;
    for (auto _ : state) {
        job.TempPath = BuildTempPath(job, s);
        // Icons never exceed 128 x 128: the pipeline scales them down before this step.
        FIBITMAP* dib =
            ReduceDepth(id == "ico" ? FreeImage_Rescale(Picture(), 128, 128, FILTER_BICUBIC)
                                    : FreeImage_Clone(Picture()),
                        job);
        ok = ok && WriteImage(dib, job, s);
        FreeImage_Unload(dib);
    }
    if (!ok)
        state.SkipWithError("write failed");
    std::remove(job.OutputPath.c_str());
}

BENCHMARK(EncodeFormat)->DenseRange(0, 22)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
