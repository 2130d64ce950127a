// WebP files of 32-bit pictures that declare their alpha channel (libwebp leaves it out of the
// file when every pixel is opaque).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/bitmap.h"

namespace qm {

/// A WebP file of the simple format (one VP8 or VP8L image) turned into one that declares an
/// alpha channel: a lossless image gets its alpha flag set, a lossy one an extended header and
/// an opaque alpha plane. Files that have one already come back unchanged; empty when the data
/// is not a WebP file this understands.
std::vector<uint8_t> WebpWithAlpha(const std::vector<uint8_t>& file);

/// Writes a 32-bit bitmap as WebP through FreeImage with flags, alpha channel declared. False
/// for other bitmaps or a failed write.
bool WriteWebpWithAlpha(FIBITMAP* dib, const std::string& path, int32_t flags);

} // namespace qm
