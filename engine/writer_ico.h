// Icon files of any size up to 256 x 256.
#pragma once

#include "engine/bitmap.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qm {

/// Writes the bitmap as a one-image icon. FreeImage writes square icons of 16 to 256 pixels;
/// other sizes get a container of our own around the same device-independent bitmap. True on
/// success; false (with no file left) for bitmaps wider or higher than 256 or a failed write.
bool WriteIco(FIBITMAP* dib, const std::string& path);

/// The icon file of a 1, 4, 8, 16 (5-5-5), 24 or 32-bit bitmap up to 256 x 256; empty when the
/// bitmap cannot be an icon.
std::vector<uint8_t> EncodeIco(FIBITMAP* dib);

} // namespace qm
