// Colour-depth reduction and the writers of the output formats.
#pragma once

#include "engine/bitmap.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "core/settings.h"
#include "engine/conversion_job.h"

namespace qm {

/// Writer flags of an output format from the settings; 0 for formats without flags and for
/// setting values outside the listed ones.
int32_t SaveFlagsFor(std::string_view formatId, const SettingsRecord& s);

/// The bitmap converted to targetDepth (the same bitmap when it already has it). 16 bits are
/// written as 5-6-5 and 8 bits as a Wu-quantized colour palette. Takes ownership: a replaced
/// bitmap is unloaded, and on failure (null input, unknown depth, a conversion the library
/// refuses) the input is unloaded and null is returned.
FIBITMAP* ReduceDepth(FIBITMAP* dib, int32_t targetDepth);

/// As above for an output format: 16 bits are 5-5-5 for ico and tga; 8 bits are greyscale for
/// jpg, j2k, jp2 and jxr.
FIBITMAP* ReduceDepth(FIBITMAP* dib, int32_t targetDepth, std::string_view formatId);

/// The depth step of a file: when job.AutoDepth is set, first chooses job.TargetDepth from
/// job.SourceDepth and the format's allowed depths; then converts as above. Null on failure.
FIBITMAP* ReduceDepth(FIBITMAP* dib, ConversionJobRecord& job);

/// Writes the bitmap to job.OutputPath in job.FormatId with the job's code and flags: into a
/// temporary file beside it, renamed over the name once every write and the close succeeded.
/// A link at the name is replaced, not followed; a folder, a special file or the input file at
/// the name fails. True when the file was written; on failure nothing is left behind (an
/// earlier file at the name stays as it was) and, when reason is given, *reason names the
/// writer and its cause. The bitmap stays owned by the caller.
bool WriteImage(FIBITMAP* dib, const ConversionJobRecord& job, const SettingsRecord& s,
                std::string* reason = nullptr);

/// The writer alone: writes straight to job.OutputPath, without the temporary file and the
/// checks above. False when the format refuses the bitmap or any write or the close fails; a
/// failed file is left for the caller to remove.
bool WriteImageFile(FIBITMAP* dib, const ConversionJobRecord& job, const SettingsRecord& s);

/// Removes a file that a failed write may have left; true when nothing is left at path.
bool RemovePartialOutput(const std::string& path);

} // namespace qm
