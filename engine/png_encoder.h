// A PNG encoder for 8-bit RGB and RGBA pictures that deflates row bands on several cores and
// joins them into one zlib stream, the way a parallel gzip does. The bands and their contents
// follow from the picture's size alone, so the file's bytes never depend on how many threads
// compressed it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace qm {

/// How each row is filtered before it is deflated.
enum class PngRowFilter : uint8_t {
    None,
    Sub,
    Up,
    Paeth,
    Adaptive, // per row, the filter whose output has the smallest sum of magnitudes
};

struct PngEncoding {
    int level = 6; // zlib level 0-9; 0 writes stored (uncompressed) deflate blocks
    PngRowFilter filter = PngRowFilter::Adaptive;
    int strategy = 0;     // zlib strategy (Z_DEFAULT_STRATEGY, Z_FILTERED, Z_RLE, ...)
    unsigned threads = 0; // 0: as many as the hardware runs at once
};

/// The encoding used for a zlib level: stored blocks and no filter for 0, else zlib's default
/// strategy at that level over rows filtered with Up (the fastest of the filters measured, and
/// no larger on drawings).
PngEncoding PngEncodingForLevel(int level);

/// A picture as rows of packed 8-bit samples, top row first.
struct PngRows {
    uint32_t width = 0;
    uint32_t height = 0;
    unsigned channels = 4;      // 3: RGB, 4: RGBA
    uint32_t dotsPerMeterX = 0; // the pixel density, written when both are known
    uint32_t dotsPerMeterY = 0;
    /// Fills out (width * channels bytes) with row y. Called from several threads at once.
    std::function<void(uint32_t y, uint8_t* out)> row;
};

/// Receives the file's bytes in order; false stops the encoding (a failed write).
using PngSink = std::function<bool(const uint8_t* data, size_t size)>;

/// Encodes the rows as a non-interlaced PNG into sink. False when the picture is empty or too
/// large for PNG, a library call fails, or the sink refuses bytes.
bool EncodePng(const PngRows& rows, const PngEncoding& encoding, const PngSink& sink);

/// The number of rows in each band the encoder deflates on its own.
uint32_t PngBandRows(uint32_t width, unsigned channels);

} // namespace qm
