// JPEG XR encoding and decoding through libjxr. Kept apart from FreeImage: the two libraries'
// headers disagree about shared type names and cannot share a translation unit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qm {

enum class JxrPixelFormat { BlackWhite, Gray8, Rgb555, Rgb565, Bgr24, Bgra32, Rgb48, RgbFloat96 };

/// Packed rows from the top down. BlackWhite rows hold one bit per pixel, 1 for white.
struct JxrImage {
    JxrPixelFormat format = JxrPixelFormat::Bgr24;
    unsigned width = 0;
    unsigned height = 0;
    unsigned bitsPerPixel = 0; // filled in by DecodeJxrFile
    std::vector<uint8_t> rows;
};

/// Bytes per packed row of an image of this format and width.
unsigned JxrRowBytes(JxrPixelFormat format, unsigned width);

/// Encodes the image into a new file at path. quality 100 is lossless, 1 to 99 lossy. False
/// when libjxr refuses (the file may then be partly written: the caller removes it).
bool EncodeJxrFile(const std::string& path, const JxrImage& image, int quality);

/// Decodes a file (its name must end in .jxr, .wdp or .hdp) into its own pixel format; rows
/// are filled for the formats of the enumeration, left empty for others. False when libjxr
/// cannot read it.
bool DecodeJxrFile(const std::string& path, JxrImage& image);

} // namespace qm
