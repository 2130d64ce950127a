// The console batch's checks of the final settings. Each check returns the exact one-line
// message the batch prints ("Error: ..."), or an empty text when the value passes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/settings.h"

namespace qm {

/// True when id equals one of the OutputFormats identifiers, letter case included.
bool IsKnownFormat(std::string_view id);

/// "Error: Invalid conversion type" unless id is a known output format.
std::string CheckConversionType(std::string_view id);

/// "Error: Invalid <id>-bpp value" unless the format's Output/<ID> BPP is 0 or one of its
/// allowed depths. An unknown format gives the conversion-type message.
std::string CheckDepth(std::string_view id, const SettingsRecord& s);

/// For jpg and webp: "Error: Invalid jpg-quality value" / "Error: Invalid webp-quality value"
/// unless the quality is 1..100. Other formats always pass.
std::string CheckQuality(std::string_view id, const SettingsRecord& s);

/// "Error: Invalid width value" / "Error: Invalid height value" for a resize size of 0.
std::string CheckWidth(const SettingsRecord& s);
std::string CheckHeight(const SettingsRecord& s);

/// Colour correction: brightness and contrast -100..100, gamma 0.01..9.99 (as 32-bit reals).
std::string CheckBrightness(const SettingsRecord& s);
std::string CheckContrast(const SettingsRecord& s);
std::string CheckGamma(const SettingsRecord& s);

/// "Error: Invalid threads value" unless Advanced/Threads is 0 (one per core) to
/// MaxConversionThreads.
std::string CheckThreads(const SettingsRecord& s);

/// "Error: Invalid watermark font" unless the watermark font loads: Watermark/Font names an
/// installed family or one of its metric-compatible substitutes (a family found only by fallback
/// does not count) and Watermark/Font Size is above 0. The loaded font stays for the conversion.
std::string CheckWatermarkFont(const SettingsRecord& s);

/// "Error: Invalid watermark image" unless Watermark/Image names an existing regular file larger
/// than 0 bytes.
std::string CheckWatermarkImage(const SettingsRecord& s);

/// Font flags of a watermark font style: 1 (bold) 256, 2 (italic) 512, 3 (bold italic) 768,
/// anything else 0.
int32_t FontStyleFlags(int32_t style);

/// Font flags of a watermark font effect: 1 (underline) 4, 2 (strike-out) 8, anything else 0.
int32_t FontEffectFlags(int32_t effect);

} // namespace qm
