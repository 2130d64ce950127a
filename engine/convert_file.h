// One metafile into one output file: render, image steps, depth, name, write.
#pragma once

#include "engine/bitmap.h"

#include <string>

#include "core/settings.h"
#include "engine/conversion_job.h"

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

/// The image steps after rendering, up to and including the depth reduction: rotation, resize,
/// icon limit, flip, colour correction, greyscale, threshold, frame, watermark, depth. Takes
/// ownership of dib; returns the bitmap to write (its size in FinalWidth/FinalHeight of the
/// job), or null when a step produced no bitmap; then *reason (when given) names the step.
Bitmap RunImageSteps(Bitmap dib, ConversionJobRecord& job, const SettingsRecord& s,
                     std::string* reason = nullptr);

} // namespace qm
