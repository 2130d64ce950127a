// JPEG XR files through libjxr (FreeImage's own JPEG XR writer does not work on this system).
#pragma once

#include "engine/bitmap.h"

#include <cstdint>
#include <string>

namespace qm {

/// Writes a 1, 8 (greyscale), 16, 24, 32, 48 (RGB16) or 96 (RGBF) bit bitmap as JPEG XR.
/// saveFlags carry FreeImage's JXR quality: JXR_LOSSLESS (100) is lossless, 1 to 99 a quality,
/// 0 the default quality 80. False on failure (unsupported bitmap, encoder error), with no
/// file left behind.
bool WriteJxr(FIBITMAP* dib, const std::string& path, int32_t saveFlags);

} // namespace qm
