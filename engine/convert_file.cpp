#include "engine/convert_file.h"

#include <FreeImage.h>

#include <exception>
#include <new>
#include <string>

#include "core/formats.h"
#include "engine/colour.h"
#include "engine/encode.h"
#include "engine/frame.h"
#include "engine/library_messages.h"
#include "engine/naming.h"
#include "engine/rasterise.h"
#include "engine/transform.h"
#include "engine/watermark.h"

namespace qm {

namespace {

int WidthOf(FIBITMAP* dib) {
    return static_cast<int>(FreeImage_GetWidth(dib));
}
int HeightOf(FIBITMAP* dib) {
    return static_cast<int>(FreeImage_GetHeight(dib));
}

// Icons larger than 128 pixels either way become exactly 128 x 128 (aspect not kept).
FIBITMAP* LimitIconSize(FIBITMAP* dib, const ConversionJobRecord& job) {
    const OutputFormat* format = FindOutputFormat(job.FormatId);
    if (!format || format->kind != OutputFormatKind::Ico ||
        (WidthOf(dib) <= MaxIconSide && HeightOf(dib) <= MaxIconSide))
        return dib;
    FIBITMAP* scaled = FreeImage_Rescale(dib, MaxIconSide, MaxIconSide, FILTER_BICUBIC);
    FreeImage_Unload(dib);
    return scaled;
}

} // namespace

namespace {

// Runs one step that takes the bitmap and hands back the one to continue with (null when it
// failed). The handle owns whatever the step returned.
template <typename Step> bool Apply(Bitmap& dib, Step step) {
    dib.reset(step(dib.release()));
    return dib != nullptr;
}

} // namespace

Bitmap RunImageSteps(Bitmap dib, ConversionJobRecord& job, const SettingsRecord& s,
                     std::string* reason) {
    // Names the step that left no bitmap.
    const auto failed = [reason](const char* step) {
        if (reason)
            *reason = std::string(step) + " failed";
        return Bitmap();
    };
    if (!dib)
        return failed("rendering");
    const TransformGroup& t = s.Transform;
    if (t.DoImageRotation && !Apply(dib, [&](FIBITMAP* d) { return RotateImage(d, s); }))
        return failed("rotation");
    if (t.DoImageResize &&
        !Apply(dib, [&](FIBITMAP* d) { return ResizeImage(d, WidthOf(d), HeightOf(d), s); }))
        return failed("resize");
    if (!Apply(dib, [&](FIBITMAP* d) { return LimitIconSize(d, job); }))
        return failed("icon size limit");
    const int width = WidthOf(dib.get());
    const int height = HeightOf(dib.get());

    if (t.DoImageFlipHorizontal || t.DoImageFlipVertical)
        FlipImage(dib.get(), s);
    const AdjustmentGroup& a = s.Adjustment;
    if (a.DoImageColorCorrection && !Apply(dib, [&](FIBITMAP* d) { return AdjustColours(d, s); }))
        return failed("colour correction");
    if (a.DoImageGreyscale && !Apply(dib, [&](FIBITMAP* d) { return MakeGreyscale(d, s); }))
        return failed("greyscale");
    if (a.DoImageThreshold && !Apply(dib, [&](FIBITMAP* d) { return ApplyThreshold(d, s); }))
        return failed("threshold");
    if (s.Frame.DoFrame && !Apply(dib, [&](FIBITMAP* d) { return DrawFrame(d, width, height, s); }))
        return failed("frame");
    if (s.Watermark.DoWatermark != 0 &&
        !Apply(dib, [&](FIBITMAP* d) { return DrawWatermark(d, width, height, s, job); }))
        return failed("watermark");

    // Chooses TargetDepth first when the depth is automatic.
    if (!Apply(dib, [&](FIBITMAP* d) { return ReduceDepth(d, job); })) {
        if (reason)
            *reason = "conversion to " + std::to_string(job.TargetDepth) + " bits failed";
        return nullptr;
    }
    job.FinalWidth = width;
    job.FinalHeight = height;
    return dib;
}

namespace {

bool ConvertFileSteps(ConversionJobRecord& job, const SettingsRecord& s) {
    // Libraries report into the failure reason, never on the console.
    RouteLibraryMessages();
    Bitmap dib(RasteriseMetafileFile(job.InputPath, &job.FailureReason,
                                     emfplus::EmfPlusMode(s.Input.EMFPlusPlayback)));
    if (!dib)
        return false;
    job.SourceDepth = static_cast<int32_t>(FreeImage_GetBPP(dib.get()));

    dib = RunImageSteps(std::move(dib), job, s, &job.FailureReason);
    if (!dib)
        return false;

    job.OutputPath = BuildOutputPath(job, s);
    job.TempPath = BuildTempPath(job);
    if (!OutputPathInFolder(job.OutputPath, job.OutputFolder)) {
        job.FailureReason = "the output name " + job.OutputPath + " leaves the output folder";
        return false;
    }
    // The first file to reach a name keeps it; a later one would silently replace its output.
    const std::string name = NormalPath(job.OutputPath);
    if (job.OutputsOfRun.count(name)) {
        job.FailureReason = "output name already used in this run: " + job.OutputPath;
        return false;
    }
    if (!WriteImage(dib.get(), job, s, &job.FailureReason))
        return false;
    job.OutputsOfRun.insert(name);
    return true;
}

} // namespace

bool ConvertFile(ConversionJobRecord& job, const SettingsRecord& s) {
    // A file that fails before naming must not show the previous file's output name.
    job.OutputPath.clear();
    job.TempPath.clear();
    job.FailureReason.clear();
    // Running out of memory (or any other exception from a step) fails this file only.
    try {
        return ConvertFileSteps(job, s);
    } catch (const std::bad_alloc&) {
        job.FailureReason = "out of memory";
    } catch (const std::exception& e) {
        job.FailureReason = e.what();
    }
    RemovePartialOutput(job.TempPath);
    return false;
}

bool ConvertFile() {
    return ConvertFile(ConversionJob, Settings);
}

} // namespace qm
