// The output formats table (which writer, description and colour depths per format) and the
// input extensions table (which file extensions count as metafiles). Both are fixed at start-up.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

/// One row of the output formats table.
struct OutputFormat {
    int32_t code = 0;        // FreeImage format code, or DevIL's type code for psd, dds and pcx
    std::string extension;   // equal to the identifier
    std::string description; // English name of the format
    std::string depths;      // allowed bits per pixel, ascending, "," separated
};

/// One row of the input extensions table.
struct InputExtension {
    std::string group;       // identifier of the input format
    std::string description; // English name of the input format
};

// Writer codes of the formats written through DevIL (its image type codes).
inline constexpr int32_t DevilPcxCode = 0x0428;
inline constexpr int32_t DevilDdsCode = 0x0437;
inline constexpr int32_t DevilPsdCode = 0x0439;

/// Builds the output formats table; safe to call more than once.
void BuildOutputFormats();
/// Builds the input extensions table; safe to call more than once.
void BuildInputExtensions();

/// The row of an output format identifier (exact, case-sensitive), or nullptr when unknown.
const OutputFormat* FindOutputFormat(std::string_view id);
/// The writer code of an output format, or -1 when the identifier is unknown.
int32_t FormatCode(std::string_view id);
/// The English description of an output format, or "" when the identifier is unknown.
std::string FormatDescription(std::string_view id);
/// The allowed depths of an output format, ascending; empty when the identifier is unknown.
std::vector<int32_t> AllowedDepths(std::string_view id);
/// True for the formats written through DevIL (psd, dds, pcx).
bool IsDevilFormat(std::string_view id);

/// The first allowed depth of the format that is >= depth, else its largest allowed depth;
/// 0 when the identifier is unknown.
int32_t ChooseAutoDepth(std::string_view id, int32_t depth);
/// True when depth is 0 (automatic) or one of the format's allowed depths; false for an
/// unknown identifier.
bool IsAllowedDepth(std::string_view id, int32_t depth);

/// The row of a lower-case input extension, or nullptr.
const InputExtension* FindInputExtension(std::string_view extension);
/// The extensions whose group is one of InputFormats ("emf" and "emz"); order carries no meaning.
std::vector<std::string> AcceptedInputExtensions();

} // namespace qm
