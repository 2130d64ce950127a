// The image steps of the pipeline on a 2000 x 1500 picture.
#include <benchmark/benchmark.h>

#include <FreeImage.h>

#include <filesystem>
#include <functional>
#include <string>

#include "engine/colour.h"
#include "engine/frame.h"
#include "engine/transform.h"
#include "engine/watermark.h"

namespace qm {
namespace {

constexpr int kWidth = 2000, kHeight = 1500;

// A 32-bit picture like the renderer's: a colour gradient with some diagonal lines.
FIBITMAP* MakePicture(unsigned bpp = 32) {
    FIBITMAP* dib = FreeImage_Allocate(kWidth, kHeight, bpp);
    for (int y = 0; y < kHeight; ++y) {
        BYTE* row = FreeImage_GetScanLine(dib, y);
        const int step = static_cast<int>(bpp / 8);
        for (int x = 0; x < kWidth; ++x) {
            const bool line = (x + y) % 97 < 3;
            row[x * step + FI_RGBA_RED] = line ? 0 : static_cast<BYTE>(x * 255 / kWidth);
            row[x * step + FI_RGBA_GREEN] = line ? 0 : static_cast<BYTE>(y * 255 / kHeight);
            row[x * step + FI_RGBA_BLUE] = 180;
            if (step == 4)
                row[x * step + FI_RGBA_ALPHA] = 255;
        }
    }
    return dib;
}

// Times one step on a fresh copy of the picture per iteration.
void RunStep(benchmark::State& state, const std::function<FIBITMAP*(FIBITMAP*)>& step,
             unsigned bpp = 32) {
    FIBITMAP* source = MakePicture(bpp);
    for (auto _ : state) {
        state.PauseTiming();
        FIBITMAP* dib = FreeImage_Clone(source);
        state.ResumeTiming();
        dib = step(dib);
        benchmark::DoNotOptimize(dib);
        state.PauseTiming();
        FreeImage_Unload(dib);
        state.ResumeTiming();
    }
    FreeImage_Unload(source);
}

void Rotate(benchmark::State& state) {
    SettingsRecord s;
    s.Transform.DoImageRotation = 1;
    s.Transform.ImageRotation = static_cast<int32_t>(state.range(0));
    s.Transform.ImageRotationType = static_cast<int8_t>(state.range(1));
    s.Transform.ImageRotationBackColor = "FFFFFF";
    RunStep(state, [&](FIBITMAP* dib) { return RotateImage(dib, s); });
}
BENCHMARK(Rotate)->Args({90, 0})->Args({30, 0})->Args({30, 1})->Unit(benchmark::kMillisecond);

void Resize(benchmark::State& state) {
    SettingsRecord s;
    s.Transform.DoImageResize = 1;
    s.Transform.ImageWidth = static_cast<int32_t>(state.range(0));
    s.Transform.ImageWidthUnit = 1;
    s.Transform.ImageHeight = static_cast<int32_t>(state.range(0));
    s.Transform.ImageHeightUnit = 1;
    s.Transform.ImageResizeAlgorithm = static_cast<int8_t>(state.range(1));
    RunStep(state, [&](FIBITMAP* dib) { return ResizeImage(dib, kWidth, kHeight, s); });
}
// 50 and 150 percent, box / bicubic / Lanczos.
BENCHMARK(Resize)->Args({50, 0})->Args({50, 3})->Args({50, 5})->Args({150, 3})->Unit(
    benchmark::kMillisecond);

void Flip(benchmark::State& state) {
    SettingsRecord s;
    s.Transform.DoImageFlipHorizontal = 1;
    s.Transform.DoImageFlipVertical = 1;
    RunStep(state, [&](FIBITMAP* dib) {
        FlipImage(dib, s);
        return dib;
    });
}
BENCHMARK(Flip)->Unit(benchmark::kMillisecond);

void ColourCorrection(benchmark::State& state) {
    SettingsRecord s;
    s.Adjustment.DoImageColorCorrection = 1;
    s.Adjustment.ImageBrightness = 10;
    s.Adjustment.ImageContrast = 20;
    s.Adjustment.ImageGamma = 1.4f;
    s.Adjustment.ImageInvert = 1;
    RunStep(state, [&](FIBITMAP* dib) { return AdjustColours(dib, s); });
}
BENCHMARK(ColourCorrection)->Unit(benchmark::kMillisecond);

void Greyscale(benchmark::State& state) {
    SettingsRecord s;
    s.Adjustment.DoImageGreyscale = 1;
    RunStep(state, [&](FIBITMAP* dib) { return MakeGreyscale(dib, s); });
}
BENCHMARK(Greyscale)->Unit(benchmark::kMillisecond);

void Threshold(benchmark::State& state) {
    SettingsRecord s;
    s.Adjustment.DoImageThreshold = 1;
    s.Adjustment.ImageThreshold = 128;
    RunStep(state, [&](FIBITMAP* dib) { return ApplyThreshold(dib, s); });
}
BENCHMARK(Threshold)->Unit(benchmark::kMillisecond);

void Frame(benchmark::State& state) {
    SettingsRecord s;
    s.Frame.DoFrame = 1;
    s.Frame.SolidLeft = s.Frame.SolidRight = s.Frame.SolidTop = s.Frame.SolidBottom = 20;
    s.Frame.SolidLeftColor = "FF0000";
    s.Frame.SolidOpacity = static_cast<int32_t>(state.range(0));
    RunStep(
        state, [&](FIBITMAP* dib) { return DrawFrame(dib, kWidth, kHeight, s); }, 24);
}
BENCHMARK(Frame)->Arg(255)->Arg(128)->Unit(benchmark::kMillisecond);

void TextWatermark(benchmark::State& state) {
    SettingsRecord s;
    s.Watermark.DoWatermark = 1;
    s.Watermark.Text = "Converted %filename%%eol%%width% x %height% pixels";
    s.Watermark.FontSize = 24;
    s.Watermark.BackOpacity = 128;
    s.Watermark.TextAlignment = 1;
    s.Watermark.TextPadding = 6;
    s.Watermark.TextAntialiasing = static_cast<int8_t>(state.range(0));
    s.Watermark.TextRotation = static_cast<int32_t>(state.range(1));
    ConversionJobRecord job;
    job.InputPath = "/data/drawing.emf";
    job.FormatId = "png";
    RunStep(
        state, [&](FIBITMAP* dib) { return DrawWatermark(dib, kWidth, kHeight, s, job); }, 24);
}
BENCHMARK(TextWatermark)->Args({0, 0})->Args({1, 0})->Args({1, 30})->Unit(benchmark::kMillisecond);

void ImageWatermark(benchmark::State& state) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "qm_imageops_bench_mark.png").string();
    FIBITMAP* mark = FreeImage_Rescale(MakePicture(32), 400, 300, FILTER_BILINEAR);
    FreeImage_Save(FIF_PNG, mark, path.c_str(), 0);
    FreeImage_Unload(mark);
    SettingsRecord s;
    s.Watermark.DoWatermark = 2;
    s.Watermark.Image = path;
    s.Watermark.ImageOpacity = 128;
    s.Watermark.ImageGreyscale = 1;
    ConversionJobRecord job;
    RunStep(
        state, [&](FIBITMAP* dib) { return DrawWatermark(dib, kWidth, kHeight, s, job); }, 24);
    std::filesystem::remove(path);
}
BENCHMARK(ImageWatermark)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace qm
