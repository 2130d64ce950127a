// The solid four-sided frame drawn over the picture.
#pragma once

#include "engine/bitmap.h"

#include "core/settings.h"

namespace qm {

/// Draws the frame over a width x height picture when Frame/Do Frame is on. Returns the bitmap
/// to continue with (same size).
FIBITMAP* DrawFrame(FIBITMAP* dib, int width, int height, const SettingsRecord& s);

} // namespace qm
