// Brightness, contrast, gamma and inversion; greyscale; threshold.
#pragma once

#include "engine/bitmap.h"

#include "core/settings.h"

namespace qm {

/// Each returns the bitmap to continue with: null for a null input, the input unchanged when
/// its setting is off; a replaced bitmap is unloaded.
FIBITMAP* AdjustColours(FIBITMAP* dib, const SettingsRecord& s);
FIBITMAP* MakeGreyscale(FIBITMAP* dib, const SettingsRecord& s);
FIBITMAP* ApplyThreshold(FIBITMAP* dib, const SettingsRecord& s);

} // namespace qm
