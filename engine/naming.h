// Output file names from the name mask, and the temporary names of the indirect writers.
#pragma once

#include <string>
#include <string_view>

#include "core/settings.h"
#include "core/text_case.h"
#include "engine/conversion_job.h"

namespace qm {

/// The name tokens in the order they are processed.
inline constexpr std::string_view NameTokens[] = {
    "%filename%", "%filename[u]%", "%filename[l]%", "%filename[t]%", "%ext%", "%ext[u]%",
    "%ext[t]%",   "%yyyy%",        "%mm%",          "%dd%",          "%hh%",  "%ii%",
    "%ss%",       "%bpp%",         "%width%",       "%height%",      "%rnd%", "%n%"};

/// OutputFolder, then InputSubfolder when subfolders are kept, then BuildFileName.
std::string BuildOutputPath(const ConversionJobRecord& job, const SettingsRecord& s);

/// The path with "." and ".." resolved and repeated "/" joined, without touching the disk.
std::string NormalPath(const std::string& path);

/// True when path names a file below folder once "." and ".." are resolved lexically (a mask
/// such as "../%filename%.%ext%" leaves it; "sub/%filename%.%ext%" stays in it).
bool OutputPathInFolder(const std::string& path, const std::string& folder);

/// The file name made from Advanced/Filename Mask for the job's current file. Literal text of
/// the mask comes out in lower case; an empty mask counts as "%filename%.%ext%". Never fails.
std::string BuildFileName(const ConversionJobRecord& job, const SettingsRecord& s);

/// The value of one name token for the job's current file (the local clock for the date and
/// time tokens); "" for a text that is not a token.
std::string TokenValue(std::string_view token, const ConversionJobRecord& job);

/// The text with every occurrence of token, compared without regard to case, replaced by the
/// token's value. An unknown token is replaced by "".
std::string ExpandToken(std::string_view text, std::string_view token,
                        const ConversionJobRecord& job);

/// The name tokens of a text (output names and the text watermark) filled in; a text with
/// fewer than two "%" comes back unchanged. The literal parts keep their case.
std::string ExpandTokens(std::string_view text, const ConversionJobRecord& job,
                         const SettingsRecord& s);

/// The temporary path of the formats written through DevIL: a name of ASCII letters with the
/// format's extension, in the folder the output file goes to.
std::string BuildTempPath(const ConversionJobRecord& job);
/// As above, with the subfolder taken into account as the settings say.
std::string BuildTempPath(const ConversionJobRecord& job, const SettingsRecord& s);

/// prefix, letters from the local clock's seconds since 1970 (digit 0 gives "a") and five
/// random letters "a" to "z", then suffix.
std::string RandomLetters(std::string_view prefix, std::string_view suffix);

} // namespace qm
