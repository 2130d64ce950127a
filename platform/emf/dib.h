// Device-independent bitmaps as stored in metafile records: header parsing and decoding to
// 32-bit pixels.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qm::emf {

/// Compression codes of a bitmap header.
enum DibCompression : uint32_t {
    kBiRgb = 0,
    kBiRle8 = 1,
    kBiRle4 = 2,
    kBiBitfields = 3,
    kBiJpeg = 4,
    kBiPng = 5,
    kBiAlphaBitfields = 6,
};

/// The fields of a BITMAPCOREHEADER or BITMAPINFOHEADER (and its larger versions).
struct DibHeader {
    uint32_t headerSize = 0;
    int32_t width = 0;
    int32_t height = 0; // always positive; see topDown
    bool topDown = false;
    uint16_t bitCount = 0;
    uint32_t compression = kBiRgb;
    uint32_t imageSize = 0;
    uint32_t colorsUsed = 0;
};

/// A decoded bitmap: top-down rows of 0xAARRGGBB values (B, G, R, A bytes in memory).
struct DibImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    int bitCount = 0;
    /// 32-bit source: A holds the fourth byte of each pixel (or its alpha mask), which may or
    /// may not be meant as alpha. Otherwise A is 255.
    bool sourceAlpha = false;
    /// RLE source that skipped pixels (delta or early end of line): those have A = 0 and
    /// must leave the destination untouched.
    bool hasHoles = false;
    /// Colour table of a 1-bit source (index 0, index 1), for blits that recolour it.
    uint32_t monoColors[2] = {0xFF000000u, 0xFFFFFFFFu};

    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

/// Largest bitmap decoded, in pixels (a quarter gigabyte of memory).
constexpr uint64_t kMaxDibPixels = uint64_t{1} << 26;
/// Largest run-length encoded bitmap decoded, in pixels.
constexpr uint64_t kMaxRlePixels = uint64_t{1} << 24;

/// How the colour table of a bitmap is read (the record's usage field).
enum DibUsage : uint32_t { kDibRgbColors = 0, kDibPalColors = 1, kDibPalIndices = 2 };

/// Reads the bitmap header at the start of bmi. False when it is too short, of an unknown
/// size, or describes an impossible or oversized bitmap.
bool ParseDibHeader(std::span<const uint8_t> bmi, DibHeader& out);

/// Decodes the header plus colour table bmi and the pixel data bits: 1, 4, 8, 16, 24 and
/// 32 bits per pixel, uncompressed, bit fields, RLE8, RLE4, and embedded JPEG or PNG.
/// usage kDibPalColors reads the colour table as indices into the default palette;
/// kDibPalIndices (and a missing table) gives black and white, or the default palette.
/// False (out untouched) when the header is invalid, the data is too short for the rows it
/// must hold, or the bitmap exceeds kMaxDibPixels.
bool DecodeDib(std::span<const uint8_t> bmi, std::span<const uint8_t> bits, DibImage& out,
               uint32_t usage = kDibRgbColors);

/// Decodes a bitmap stored in a record as offsets and sizes from the record's start.
/// False when either part lies outside the record or DecodeDib fails.
bool DecodeDibFromRecord(std::span<const uint8_t> record, uint32_t offBmi, uint32_t cbBmi,
                         uint32_t offBits, uint32_t cbBits, uint32_t usage, DibImage& out);

} // namespace qm::emf
