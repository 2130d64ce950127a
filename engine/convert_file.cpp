#include "engine/convert_file.h"

#include <FreeImage.h>
#include <zlib.h>

#include <algorithm>
#include <exception>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/formats.h"
#include "core/text_case.h"
#include "engine/colour.h"
#include "engine/encode.h"
#include "engine/frame.h"
#include "engine/library_messages.h"
#include "engine/naming.h"
#include "engine/rasterise.h"
#include "engine/staged_output.h"
#include "engine/transform.h"
#include "engine/watermark.h"
#include "platform/emf/emf_player.h"

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
    std::string watermarkFailure;
    if (s.Watermark.DoWatermark != 0 && !Apply(dib, [&](FIBITMAP* d) {
            return DrawWatermark(d, width, height, s, job, &watermarkFailure);
        })) {
        if (watermarkFailure.empty())
            return failed("watermark");
        if (reason)
            *reason = watermarkFailure;
        return Bitmap();
    }

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

// Names the file's output and its temporary file, and checks that the name may be used: it
// stays inside the output folder, and no earlier file of the run has it (the first file to
// reach a name keeps it; a later one would silently replace its output). Returns the name's
// normal form, or nothing with the reason in the job.
std::string NameOutput(ConversionJobRecord& job, const SettingsRecord& s) {
    job.OutputPath = BuildOutputPath(job, s);
    job.TempPath = BuildTempPath(job, s);
    if (!OutputPathInFolder(job.OutputPath, job.OutputFolder)) {
        job.FailureReason = "the output name " + job.OutputPath + " leaves the output folder";
        return {};
    }
    std::string name = NormalPath(job.OutputPath);
    if (job.OutputsOfRun.count(name)) {
        job.FailureReason = "output name already used in this run: " + job.OutputPath;
        return {};
    }
    return name;
}

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

    const std::string name = NameOutput(job, s);
    if (name.empty())
        return false;
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

namespace qm {

namespace {

std::string FolderOf(const std::string& path) {
    return path.substr(0, path.rfind('/') + 1);
}

// Writes the made picture into a temporary file beside the output name the job's counters give
// now; the libraries' messages become the reason of a failed write.
void WriteProduced(FIBITMAP* dib, ConversionJobRecord& job, const SettingsRecord& s,
                   ProducedFile& made) {
    using Write = ProducedFile::Write;
    if (!FindOutputFormat(job.FormatId)) {
        made.write = Write::UnknownFormat;
        return;
    }
    const std::string expected = BuildOutputPath(job, s);
    made.stagedFolder = NormalPath(FolderOf(expected));
    made.staged = std::make_unique<StagedOutput>(expected, job.FormatId);
    if (made.staged->Path().empty()) {
        made.write = Write::NoTemporaryFile;
        made.reason = made.staged->Error();
        made.staged.reset();
        return;
    }
    RouteLibraryMessages();
    ClearLibraryMessages();
    // The writer writes to the job's output name: the temporary file's, for the time of the
    // write.
    std::string outputPath = std::exchange(job.OutputPath, made.staged->Path());
    const bool written = WriteImageFile(dib, job, s);
    job.OutputPath = std::move(outputPath);
    // Flushed to the disk here, on the thread that made it, so that files wait for the disk
    // side by side rather than one after another when they are committed.
    if (written && made.staged->Sync()) {
        made.write = Write::Written;
        return;
    }
    made.write = Write::Failed;
    made.reason = written ? made.staged->Error() : LibraryMessages();
    made.staged.reset();
}

void ProduceSteps(ConversionJobRecord& job, const SettingsRecord& s, ProducedFile& made) {
    RouteLibraryMessages();
    Bitmap dib(RasteriseMetafileFile(job.InputPath, &made.reason,
                                     emfplus::EmfPlusMode(s.Input.EMFPlusPlayback)));
    if (!dib)
        return;
    job.SourceDepth = static_cast<int32_t>(FreeImage_GetBPP(dib.get()));
    made.sourceDepth = job.SourceDepth;
    dib = RunImageSteps(std::move(dib), job, s, &made.reason);
    made.targetDepth = job.TargetDepth;
    if (!dib)
        return;
    made.pictureMade = true;
    made.finalWidth = job.FinalWidth;
    made.finalHeight = job.FinalHeight;
    WriteProduced(dib.get(), job, s, made);
}

enum class Placed { Yes, No, Again };

// The checks and the move of WriteImage, in its order, for a picture already written.
Placed PlaceProduced(ConversionJobRecord& job, ProducedFile& made) {
    using Write = ProducedFile::Write;
    const auto fail = [&](const std::string& cause) {
        job.FailureReason = UpperAscii(job.FormatId) + " writer: " + cause;
        return Placed::No;
    };
    if (made.write == Write::UnknownFormat)
        return fail("unknown output format");
    if (job.OutputPath.empty())
        return fail("no output name");
    if (const std::string problem = OutputNameProblem(job); !problem.empty())
        return fail(problem);
    const bool sameFolder = made.stagedFolder == NormalPath(FolderOf(job.OutputPath));
    if (made.write == Write::NoTemporaryFile && sameFolder)
        return fail(made.reason);
    // The name lies in another folder than expected (its mask's folder part changed): a
    // temporary file there tells whether the output can be written there at all.
    std::unique_ptr<StagedOutput> there;
    if (!sameFolder) {
        there = std::make_unique<StagedOutput>(job.OutputPath, job.FormatId);
        if (there->Path().empty())
            return fail(there->Error());
        if (made.write == Write::NoTemporaryFile)
            return Placed::Again; // writable here, not where it was made: make it again
    }
    if (made.write == Write::Threw) {
        job.FailureReason = made.reason;
        return Placed::No;
    }
    if (made.write != Write::Written || !made.staged)
        return fail("cannot write " + job.OutputPath +
                    (made.reason.empty() ? "" : ": " + made.reason));
    if (sameFolder)
        return made.staged->CommitAs(job.OutputPath) ? Placed::Yes : fail(made.staged->Error());
    // Into the other folder: a file system boundary between the two makes it again.
    if (!made.staged->CommitAs(there->Path()))
        return Placed::Again;
    return there->Commit() ? Placed::Yes : fail(there->Error());
}

bool CommitSteps(ConversionJobRecord& job, const SettingsRecord& s, ProducedFile& made) {
    job.SourceDepth = made.sourceDepth;
    job.TargetDepth = made.targetDepth;
    if (!made.pictureMade) {
        job.FailureReason = made.reason;
        return false;
    }
    job.FinalWidth = made.finalWidth;
    job.FinalHeight = made.finalHeight;
    const std::string name = NameOutput(job, s);
    if (name.empty())
        return false;
    switch (PlaceProduced(job, made)) {
    case Placed::No:
        return false;
    case Placed::Again:
        made.staged.reset();
        return ConvertFile(job, s);
    case Placed::Yes:
        break;
    }
    job.OutputsOfRun.insert(name);
    return true;
}

} // namespace

void ProduceFile(ConversionJobRecord& job, const SettingsRecord& s, ProducedFile& made) {
    try {
        ProduceSteps(job, s, made);
        return;
    } catch (const std::bad_alloc&) {
        made.reason = "out of memory";
    } catch (const std::exception& e) {
        made.reason = e.what();
    }
    // A failure while writing is reported once the file has its name, as ConvertFile does.
    if (made.pictureMade)
        made.write = ProducedFile::Write::Threw;
    made.staged.reset();
}

bool CommitFile(ConversionJobRecord& job, const SettingsRecord& s, ProducedFile& made) {
    job.OutputPath.clear();
    job.TempPath.clear();
    job.FailureReason.clear();
    bool ok = false;
    try {
        ok = CommitSteps(job, s, made);
    } catch (const std::bad_alloc&) {
        job.FailureReason = "out of memory";
    } catch (const std::exception& e) {
        job.FailureReason = e.what();
    }
    made.staged.reset();
    return ok;
}

bool ProducingNeedsCounters(const SettingsRecord& s) {
    if (s.Watermark.DoWatermark != 1)
        return false;
    const std::string text = LowerAscii(s.Watermark.Text);
    return text.find("%n%") != std::string::npos || text.find("%rnd%") != std::string::npos;
}

uint64_t EstimateConversionBytes(const std::string& path, const SettingsRecord& s) {
    constexpr uint64_t unreadable = uint64_t{16} << 20;
    std::vector<uint8_t> head(64 * 1024);
    gzFile file = gzopen(path.c_str(), "rb");
    if (!file)
        return unreadable;
    const int got = gzread(file, head.data(), static_cast<unsigned>(head.size()));
    gzclose(file);
    emf::EmfHeaderInfo header;
    int32_t width = 0, height = 0;
    if (got <= 0 || !emf::ReadEmfHeader({head.data(), static_cast<size_t>(got)}, header) ||
        !emf::ComputePlaySize(header, width, height) || !SurfaceSizeAllowed(width, height))
        return unreadable;
    const uint64_t surface = uint64_t(width + 1) * uint64_t(height + 1);
    uint64_t pixels = surface;
    const TransformGroup& t = s.Transform;
    if (t.DoImageResize) {
        const uint64_t w =
            uint64_t(std::max(1, ResolveSize(t.ImageWidth, t.ImageWidthUnit, width + 1)));
        const uint64_t h =
            uint64_t(std::max(1, ResolveSize(t.ImageHeight, t.ImageHeightUnit, height + 1)));
        // With the aspect kept, the picture grows until its longer side fits.
        const uint64_t side = std::max(w, h);
        pixels = std::max(pixels, std::min<uint64_t>(t.KeepAspectRatio ? side * side : w * h,
                                                     uint64_t(MaxSurfacePixels)));
    }
    // The surface, a converted copy and a writer's copy; a turned picture takes its corners.
    const uint64_t copies = t.DoImageRotation ? 6 : 3;
    // The metafile is read whole, up to the reader's limit.
    return pixels * 4 * copies + std::min<uint64_t>(header.bytes, uint64_t{1} << 30);
}

} // namespace qm
