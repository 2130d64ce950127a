// Colour-depth reduction and the writers of the output formats.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <string_view>

#include "core/settings.h"
#include "engine/conversion_job.h"

namespace qm {

/// Writer flags of an output format from the settings; 0 for formats without flags.
int32_t SaveFlagsFor(std::string_view formatId, const SettingsRecord& s);

/// The bitmap converted to targetDepth (the same bitmap when it already has it); null for a
/// null input or an unknown depth. A replaced bitmap is unloaded.
FIBITMAP* ReduceDepth(FIBITMAP* dib, int32_t targetDepth);

/// Writes the bitmap to job.OutputPath in job.FormatId with the job's code and flags. True when
/// the file was written; on failure no partial output file is left behind.
bool WriteImage(FIBITMAP* dib, const ConversionJobRecord& job, const SettingsRecord& s);

} // namespace qm
