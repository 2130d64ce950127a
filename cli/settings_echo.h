// The console batch's echo of the effective settings (debug lines) interleaved with the value
// checks, in the order a run reaches them.
#pragma once

#include <string>
#include <string_view>

#include "core/settings.h"

namespace qm {

/// The chosen output format's block: its debug lines (when debug), then its depth check, then,
/// for jpg and webp, the quality check. Returns false after printing the first failing check's
/// message.
bool EchoAndCheckFormatSettings(const SettingsRecord& s, std::string_view formatId, bool debug);

/// The image operations: rotation, resize (with the width and height checks), flips, colour
/// correction (with its range checks), greyscale, threshold, frame, watermark (with the font or
/// image check) and naming. Returns false after printing the first failing check's message.
bool EchoAndCheckImageOperations(const SettingsRecord& s, bool debug);

/// A real with exactly two decimals and "." as separator whatever the locale ("1.00").
std::string TwoDecimals(float value);

} // namespace qm
