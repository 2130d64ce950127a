// PNG files of 32-bit pictures with their alpha channel, through libpng (FreeImage leaves the
// alpha channel out when every pixel is opaque).
#pragma once

#include <cstdint>
#include <string>

#include "engine/bitmap.h"

namespace qm {

/// Writes a 32-bit bitmap as an 8-bit RGBA PNG, alpha included even when every pixel is opaque.
/// flags are FreeImage's PNG save flags (PNG_Z_* compression level, PNG_INTERLACED). False for
/// other bitmaps or a failed write (the caller removes what was written).
bool WritePngWithAlpha(FIBITMAP* dib, const std::string& path, int32_t flags);

} // namespace qm
