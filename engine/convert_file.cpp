#include "engine/convert_file.h"

#include <exception>
#include <new>
#include <string>

#include "core/formats.h"
#include "engine/colour.h"
#include "engine/encode.h"
#include "engine/frame.h"
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

FIBITMAP* RunImageSteps(FIBITMAP* dib, ConversionJobRecord& job, const SettingsRecord& s,
                        std::string* reason) {
    // Names the step that left no bitmap.
    const auto failed = [reason](const char* step) -> FIBITMAP* {
        if (reason)
            *reason = std::string(step) + " failed";
        return nullptr;
    };
    if (!dib)
        return failed("rendering");
    if (s.Transform.DoImageRotation && !(dib = RotateImage(dib, s)))
        return failed("rotation");
    if (s.Transform.DoImageResize && !(dib = ResizeImage(dib, WidthOf(dib), HeightOf(dib), s)))
        return failed("resize");
    if (!(dib = LimitIconSize(dib, job)))
        return failed("icon size limit");
    const int width = WidthOf(dib);
    const int height = HeightOf(dib);

    if (s.Transform.DoImageFlipHorizontal || s.Transform.DoImageFlipVertical)
        FlipImage(dib, s);
    if (s.Adjustment.DoImageColorCorrection && !(dib = AdjustColours(dib, s)))
        return failed("colour correction");
    if (s.Adjustment.DoImageGreyscale && !(dib = MakeGreyscale(dib, s)))
        return failed("greyscale");
    if (s.Adjustment.DoImageThreshold && !(dib = ApplyThreshold(dib, s)))
        return failed("threshold");
    if (s.Frame.DoFrame && !(dib = DrawFrame(dib, width, height, s)))
        return failed("frame");
    if (s.Watermark.DoWatermark != 0 && !(dib = DrawWatermark(dib, width, height, s, job)))
        return failed("watermark");

    // Chooses TargetDepth first when the depth is automatic.
    if (!(dib = ReduceDepth(dib, job))) {
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
    FIBITMAP* dib = RasteriseMetafileFile(job.InputPath, &job.FailureReason);
    if (!dib)
        return false;
    job.SourceDepth = static_cast<int32_t>(FreeImage_GetBPP(dib));

    dib = RunImageSteps(dib, job, s, &job.FailureReason);
    if (!dib)
        return false;

    job.OutputPath = BuildOutputPath(job, s);
    job.TempPath = BuildTempPath(job);
    const bool written = WriteImage(dib, job, s, &job.FailureReason);
    FreeImage_Unload(dib);
    return written;
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
