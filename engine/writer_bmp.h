// The 8-bit BMP writer of our own: a colour table cut to the entries in use, and valid RLE8.
#pragma once

#include "engine/bitmap.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qm {

/// Writes an 8-bit palette bitmap as BMP whose colour table holds only the entries up to the
/// highest index in use. saveFlags with BMP_SAVE_RLE compresses the pixels as RLE8. Returns the
/// number of bytes written; 0 on failure (not 8 bits, allocation, file), leaving no file.
size_t WriteShortPaletteBmp(FIBITMAP* dib, const std::string& path, int32_t saveFlags);

/// As WriteShortPaletteBmp; with shortTable false the whole palette of the bitmap is kept.
size_t WritePaletteBmp(FIBITMAP* dib, const std::string& path, int32_t saveFlags, bool shortTable);

/// The BMP file of an 8-bit palette bitmap in memory; empty when the bitmap is not 8 bits.
std::vector<uint8_t> EncodePaletteBmp(FIBITMAP* dib, bool rle, bool shortTable);

/// One row of 8-bit pixels as RLE8 codes (encoded runs and absolute runs), without the
/// end-of-line code.
void EncodeRle8Row(const uint8_t* row, unsigned width, std::vector<uint8_t>& out);

} // namespace qm
