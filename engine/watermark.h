// The text or image watermark placed over the picture.
#pragma once

#include <FreeImage.h>

#include "core/settings.h"
#include "engine/conversion_job.h"

namespace qm {

/// Draws the watermark chosen by Watermark/Do Watermark (1 text, 2 image) over a width x height
/// picture; the job supplies the name tokens of the text. Returns the bitmap to continue with.
FIBITMAP* DrawWatermark(FIBITMAP* dib, int width, int height, const SettingsRecord& s,
                        const ConversionJobRecord& job);

} // namespace qm
