// PNG files of 24- and 32-bit pictures through our own encoder (row bands deflated on every
// core); FreeImage would leave the alpha channel out when every pixel is opaque.
#pragma once

#include <cstdint>
#include <string>

#include "engine/bitmap.h"

namespace qm {

/// True for the bitmaps WriteTrueColourPng takes: standard 24- and 32-bit bitmaps.
bool IsTrueColourPngBitmap(FIBITMAP* dib);

/// Writes a 24-bit bitmap as an 8-bit RGB PNG and a 32-bit one as RGBA, alpha included even
/// when every pixel is opaque. flags are FreeImage's PNG save flags (PNG_Z_* compression level,
/// PNG_INTERLACED). False for other bitmaps or a failed write (the caller removes what was
/// written).
bool WriteTrueColourPng(FIBITMAP* dib, const std::string& path, int32_t flags);

} // namespace qm
