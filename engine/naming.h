// Output file names from the name mask, and the temporary names of the indirect writers.
#pragma once

#include <string>
#include <string_view>

#include "core/settings.h"
#include "engine/conversion_job.h"

namespace qm {

/// OutputFolder, then InputSubfolder when subfolders are kept, then BuildFileName.
std::string BuildOutputPath(const ConversionJobRecord& job, const SettingsRecord& s);

/// The file name made from Advanced/Filename Mask for the job's current file.
std::string BuildFileName(const ConversionJobRecord& job, const SettingsRecord& s);

/// The name tokens of a text (output names and the text watermark) filled in.
std::string ExpandTokens(std::string_view text, const ConversionJobRecord& job,
                         const SettingsRecord& s);

/// The temporary path of the formats written through DevIL.
std::string BuildTempPath(const ConversionJobRecord& job);

} // namespace qm
