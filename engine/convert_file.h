// One metafile into one output file: render, image steps, depth, name, write.
#pragma once

#include "engine/bitmap.h"

#include <cstdint>
#include <memory>
#include <string>

#include "core/settings.h"
#include "engine/conversion_job.h"
#include "engine/staged_output.h"

namespace qm {

/// Icons are at most 128 x 128 pixels.
inline constexpr int MaxIconSide = 128;

/// Converts job.InputPath under the settings: renders it, runs the image steps in their fixed
/// order, reduces the depth, fills SourceDepth, TargetDepth (when AutoDepth), FinalWidth,
/// FinalHeight, OutputPath and TempPath, and writes the file. True when the output file was
/// written; false on any failure, with the cause in job.FailureReason (nothing is printed,
/// every bitmap is released). Running out of memory inside any step fails the file the same
/// way; no exception reaches the caller.
bool ConvertFile(ConversionJobRecord& job, const SettingsRecord& s);

/// ConvertFile on the global ConversionJob and Settings.
bool ConvertFile();

/// A file converted as far as it can be without the run: rendered, through the image steps and
/// written under a temporary name, but not yet named. Its making reads only the input and the
/// settings, never the name counters or the other files' outputs, so files can be made on
/// several threads at once and committed (named, checked, moved into place) in input order.
struct ProducedFile {
    /// How writing the picture went.
    enum class Write { NotTried, Written, UnknownFormat, NoTemporaryFile, Failed, Threw };

    bool pictureMade = false; // rendering and every image step succeeded
    Write write = Write::NotTried;
    /// Why the picture was not made, the temporary file's or the library's message, or the
    /// exception's text.
    std::string reason;
    /// The written picture and the folder it lies in.
    std::unique_ptr<StagedOutput> staged;
    std::string stagedFolder;
    int32_t sourceDepth = 0, targetDepth = 0, finalWidth = 0, finalHeight = 0;
};

/// The first half of ConvertFile: renders job.InputPath, runs the image steps and writes the
/// picture into a temporary file in the folder its output name is expected in (from the job's
/// name counters as they are). Fills the job's SourceDepth, TargetDepth, FinalWidth and
/// FinalHeight like ConvertFile. Never throws.
void ProduceFile(ConversionJobRecord& job, const SettingsRecord& s, ProducedFile& made);

/// The second half: names the made file from the job's counters, makes the checks of
/// ConvertFile in its order and moves the temporary file into place. Result, OutputPath,
/// TempPath and FailureReason as ConvertFile would leave them for the same file; the temporary
/// file is gone afterwards either way. Never throws.
bool CommitFile(ConversionJobRecord& job, const SettingsRecord& s, ProducedFile& made);

/// True when making a file depends on the run's name counters (a text watermark with %n% or
/// %rnd%); such a run converts one file at a time.
bool ProducingNeedsCounters(const SettingsRecord& s);

/// The most memory converting the file may take at once, in bytes, from its header: the
/// picture (with the resize target when larger) times the copies the image steps and writers
/// hold, plus the metafile itself. A small fixed amount when the header cannot be read.
uint64_t EstimateConversionBytes(const std::string& path, const SettingsRecord& s);

/// The image steps after rendering, up to and including the depth reduction: rotation, resize,
/// icon limit, flip, colour correction, greyscale, threshold, frame, watermark, depth. Takes
/// ownership of dib; returns the bitmap to write (its size in FinalWidth/FinalHeight of the
/// job), or null when a step produced no bitmap; then *reason (when given) names the step.
Bitmap RunImageSteps(Bitmap dib, ConversionJobRecord& job, const SettingsRecord& s,
                     std::string* reason = nullptr);

} // namespace qm
