// JPEG 2000 codestreams and JP2 files through OpenJPEG, for pictures of any size (FreeImage's
// writer refuses pictures with a side under 32 pixels).
#pragma once

#include "engine/bitmap.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qm {

enum class J2kContainer { Codestream, File };

/// The JPEG 2000 codestream or JP2 file of a bitmap: 8-bit grey, 24-bit RGB and 32-bit RGBA,
/// 16 bits per channel for FIT_UINT16, FIT_RGB16 and FIT_RGBA16. Other 8-bit palettes are
/// written as their grey values, 1, 4 and 16-bit pictures as grey or 24-bit. saveFlags is the
/// compression rate as FreeImage takes it (0: the default 16:1). Empty on failure (other image
/// types, encoder error).
std::vector<uint8_t> EncodeJ2k(FIBITMAP* dib, int32_t saveFlags, J2kContainer container);

/// Writes EncodeJ2k's result to path. False on failure, with no file left behind.
bool WriteJ2k(FIBITMAP* dib, const std::string& path, int32_t saveFlags, J2kContainer container);

} // namespace qm
