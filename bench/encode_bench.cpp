// The encoding step (depth reduction and writer) of every output format at its automatic depth,
// on a 2000 x 1500 picture; then the PNG encoders compared.
#include <benchmark/benchmark.h>

#include <FreeImage.h>
#include <png.h>
#include <zlib.h>

#ifdef QM_HAVE_SPNG
#include <spng.h>
#endif
#ifdef QM_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "core/formats.h"
#include "core/settings.h"
#include "engine/encode.h"
#include "engine/naming.h"
#include "engine/png_encoder.h"
#include "engine/rasterise.h"

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

// A job that writes a 32-bit picture as the format, at the automatic depth, into the folder.
ConversionJobRecord WriteJob(const std::string& id, const SettingsRecord& s,
                             const std::string& folder, const std::string& inputPath) {
    ConversionJobRecord job;
    job.FormatId = id;
    job.FormatCode = FormatCode(id);
    job.AutoDepth = 1;
    job.SourceDepth = 32;
    job.SaveFlags = SaveFlagsFor(id, s);
    job.OutputFolder = folder;
    job.InputPath = inputPath;
    job.OutputPath = BuildOutputPath(job, s);
    return job;
}

void EncodeFormat(benchmark::State& state) {
    const std::string& id = OutputFormats[static_cast<size_t>(state.range(0))];
    state.SetLabel(id);
    SettingsRecord s;
    ResetSettings(s, 1);
    ConversionJobRecord job = WriteJob(id, s, std::filesystem::temp_directory_path().string() + "/",
                                       "/in/qm_encode_bench.emf");
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

// PNG encoders compared on a rendered chart of the corpus (a synthetic picture without it):
// libpng as FreeImage and our old writer drove it, libpng with one fixed filter, libspng, zlib
// against libdeflate on the same filtered rows, and our band encoder with its filter and
// strategy choices, single-threaded and on every core. Each reports the output size, so that
// speed is compared at equal output.
namespace {

struct RgbaPicture {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> pixels; // top-down RGBA
};

const RgbaPicture& Chart() {
    static const RgbaPicture picture = [] {
        const std::string path = std::string(QM_SHARED_DIR) + "/corpus/libemf2svg/test-161.emf";
        FIBITMAP* dib = RasteriseMetafileFile(path);
        if (!dib)
            dib = FreeImage_Clone(Picture());
        RgbaPicture p;
        p.width = FreeImage_GetWidth(dib);
        p.height = FreeImage_GetHeight(dib);
        p.pixels.resize(size_t{p.width} * p.height * 4);
        for (uint32_t y = 0; y < p.height; ++y) {
            const BYTE* in = FreeImage_GetScanLine(dib, static_cast<int>(p.height - 1 - y));
            uint8_t* out = p.pixels.data() + size_t{y} * p.width * 4;
            for (uint32_t x = 0; x < p.width; ++x, in += 4, out += 4) {
                out[0] = in[FI_RGBA_RED];
                out[1] = in[FI_RGBA_GREEN];
                out[2] = in[FI_RGBA_BLUE];
                out[3] = in[FI_RGBA_ALPHA];
            }
        }
        FreeImage_Unload(dib);
        return p;
    }();
    return picture;
}

const uint8_t* ChartRow(uint32_t y) {
    return Chart().pixels.data() + size_t{y} * Chart().width * 4;
}

void Report(benchmark::State& state, size_t outputBytes) {
    const RgbaPicture& p = Chart();
    const double pixels = double(p.width) * p.height;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(p.pixels.size()));
    state.counters["megapixels/s"] =
        benchmark::Counter(pixels * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
    state.counters["out_bytes"] = double(outputBytes);
    state.counters["ratio_%"] = 100.0 * double(outputBytes) / double(p.pixels.size());
}

// libpng into memory; filters < 0 keeps libpng's own choice (every filter, adaptively).
size_t EncodeWithLibpng(int level, int filters) {
    struct Sink {
        static void Write(png_structp png, png_bytep, png_size_t size) {
            *static_cast<size_t*>(png_get_io_ptr(png)) += size;
        }
        static void Flush(png_structp) {}
    };
    size_t written = 0;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_write_fn(png, &written, Sink::Write, Sink::Flush);
        png_set_compression_level(png, level);
        if (filters >= 0)
            png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
        const RgbaPicture& p = Chart();
        png_set_IHDR(png, info, p.width, p.height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (uint32_t y = 0; y < p.height; ++y)
            png_write_row(png, const_cast<png_bytep>(ChartRow(y)));
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    return written;
}

void PngLibpng(benchmark::State& state) {
    const int level = int(state.range(0)), filters = int(state.range(1));
    state.SetLabel(filters < 0 ? "all filters" : filters == PNG_FILTER_UP ? "up" : "none");
    size_t size = 0;
    for (auto _ : state)
        size = EncodeWithLibpng(level, filters);
    Report(state, size);
}

#ifdef QM_HAVE_SPNG
void PngSpng(benchmark::State& state) {
    const RgbaPicture& p = Chart();
    size_t size = 0;
    for (auto _ : state) {
        spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
        spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
        spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, int(state.range(0)));
        spng_ihdr ihdr{};
        ihdr.width = p.width;
        ihdr.height = p.height;
        ihdr.bit_depth = 8;
        ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
        spng_set_ihdr(ctx, &ihdr);
        spng_encode_image(ctx, p.pixels.data(), p.pixels.size(), SPNG_FMT_PNG,
                          SPNG_ENCODE_FINALIZE);
        int error = 0;
        void* buffer = spng_get_png_buffer(ctx, &size, &error);
        std::free(buffer);
        spng_ctx_free(ctx);
    }
    Report(state, size);
}
#endif

// The picture's rows with the Up filter, as one buffer for the whole-buffer compressors.
const std::vector<uint8_t>& UpFilteredRows() {
    static const std::vector<uint8_t> rows = [] {
        const RgbaPicture& p = Chart();
        const size_t bytes = size_t{p.width} * 4;
        std::vector<uint8_t> out((bytes + 1) * p.height);
        for (uint32_t y = 0; y < p.height; ++y) {
            uint8_t* o = out.data() + (bytes + 1) * y;
            o[0] = 2;
            for (size_t i = 0; i < bytes; ++i)
                o[1 + i] = uint8_t(ChartRow(y)[i] - (y ? ChartRow(y - 1)[i] : 0));
        }
        return out;
    }();
    return rows;
}

void DeflateZlib(benchmark::State& state) {
    const std::vector<uint8_t>& in = UpFilteredRows();
    std::vector<uint8_t> out(compressBound(uLong(in.size())));
    uLongf size = 0;
    for (auto _ : state) {
        size = uLongf(out.size());
        compress2(out.data(), &size, in.data(), uLong(in.size()), int(state.range(0)));
    }
    Report(state, size);
}

#ifdef QM_HAVE_LIBDEFLATE
void DeflateLibdeflate(benchmark::State& state) {
    const std::vector<uint8_t>& in = UpFilteredRows();
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(int(state.range(0)));
    std::vector<uint8_t> out(libdeflate_zlib_compress_bound(compressor, in.size()));
    size_t size = 0;
    for (auto _ : state)
        size = libdeflate_zlib_compress(compressor, in.data(), in.size(), out.data(), out.size());
    libdeflate_free_compressor(compressor);
    Report(state, size);
}
#endif

// Our encoder: range(0) level, range(1) filter, range(2) strategy, range(3) threads.
void PngBands(benchmark::State& state) {
    const RgbaPicture& p = Chart();
    PngEncoding encoding = PngEncodingForLevel(int(state.range(0)));
    encoding.filter = PngRowFilter(state.range(1));
    encoding.strategy = int(state.range(2));
    encoding.threads = unsigned(state.range(3));
    static const char* const filters[] = {"none", "sub", "up", "paeth", "adaptive"};
    static const char* const strategies[] = {"default", "filtered", "huffman", "rle"};
    state.SetLabel(std::string(filters[state.range(1)]) + ", " + strategies[state.range(2)] +
                   ", threads " + (encoding.threads ? std::to_string(encoding.threads) : "all"));
    PngRows rows;
    rows.width = p.width;
    rows.height = p.height;
    rows.row = [](uint32_t y, uint8_t* out) {
        std::memcpy(out, ChartRow(y), size_t{Chart().width} * 4);
    };
    size_t size = 0;
    for (auto _ : state) {
        size = 0;
        EncodePng(rows, encoding,
                  [&](const uint8_t*, size_t bytes) { return (size += bytes), true; });
    }
    Report(state, size);
}

void LibpngCases(benchmark::internal::Benchmark* b) {
    for (int level : {0, 1, 6, 9})
        for (int filters : {-1, PNG_FILTER_UP, PNG_FILTER_NONE})
            b->Args({level, filters});
}

void BandCases(benchmark::internal::Benchmark* b) {
    constexpr int Adaptive = int(PngRowFilter::Adaptive), Up = int(PngRowFilter::Up);
    constexpr int Paeth = int(PngRowFilter::Paeth);
    b->Args({0, int(PngRowFilter::None), Z_DEFAULT_STRATEGY, 1});
    for (int level : {1, 6, 9})
        for (int filter : {Adaptive, Up, Paeth})
            for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_RLE})
                b->Args({level, filter, strategy, 1});
}

// The chosen encoding of each level on every core, timed by the clock on the wall.
void ChosenCases(benchmark::internal::Benchmark* b) {
    for (int level : {0, 1, 6, 9}) {
        const PngEncoding chosen = PngEncodingForLevel(level);
        b->Args({level, int(chosen.filter), chosen.strategy, 0});
    }
}

BENCHMARK(PngLibpng)->Apply(LibpngCases)->Unit(benchmark::kMillisecond)->MinTime(0.5);
#ifdef QM_HAVE_SPNG
BENCHMARK(PngSpng)->DenseRange(0, 9, 3)->Unit(benchmark::kMillisecond)->MinTime(0.5);
#endif
BENCHMARK(DeflateZlib)->Arg(1)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond)->MinTime(0.5);
#ifdef QM_HAVE_LIBDEFLATE
BENCHMARK(DeflateLibdeflate)->Arg(1)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond)->MinTime(0.5);
#endif
BENCHMARK(PngBands)->Apply(BandCases)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(PngBands)->Apply(ChosenCases)->Unit(benchmark::kMillisecond)->MinTime(0.5)->UseRealTime();

} // namespace

// The stages of converting the corpus's largest picture (139 megapixels) on its own: playback
// into the surface (with the flip to bottom-up rows), the depth step, and the PNG writer at no
// compression and at zlib level 6, BMP for comparison: the raw write of the same bytes.
namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void LargePictureStages(benchmark::State& state) {
    const std::string path = std::string(QM_SHARED_DIR) + "/corpus/libemf2svg/test-039.emf";
    if (!std::filesystem::exists(path)) {
        state.SkipWithError("corpus not found");
        return;
    }
    SettingsRecord s;
    ResetSettings(s, 1);
    const std::string folder = std::filesystem::temp_directory_path().string() + "/";
    std::map<std::string, double> seconds;
    double pixels = 0;
    for (auto _ : state) {
        auto t = std::chrono::steady_clock::now();
        Bitmap dib(RasteriseMetafileFile(path));
        seconds["render_s"] += Seconds(t);
        if (!dib) {
            state.SkipWithError("render failed");
            return;
        }
        pixels += double(FreeImage_GetWidth(dib.get())) * FreeImage_GetHeight(dib.get());
        for (const auto& [id, compression, counter] :
             {std::tuple{"png", 0, "png_none_s"}, {"png", 2, "png_zlib6_s"}, {"bmp", 0, "bmp_s"}}) {
            s.Output.PNGCompression = compression;
            ConversionJobRecord job = WriteJob(id, s, folder, "/in/qm_large_picture_bench.emf");
            job.TempPath = BuildTempPath(job, s);
            // 32 bits are the automatic depth of both formats: the step keeps the bitmap.
            t = std::chrono::steady_clock::now();
            dib.reset(ReduceDepth(dib.release(), job));
            seconds["depth_s"] += Seconds(t) / 3;
            t = std::chrono::steady_clock::now();
            if (!WriteImage(dib.get(), job, s))
                state.SkipWithError("write failed");
            seconds[counter] += Seconds(t);
            std::remove(job.OutputPath.c_str());
        }
    }
    for (const auto& [name, total] : seconds)
        state.counters[name] = total / double(state.iterations());
    state.counters["megapixels"] = pixels / 1e6 / double(state.iterations());
}

BENCHMARK(LargePictureStages)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

} // namespace
