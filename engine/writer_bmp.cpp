#include "engine/writer_bmp.h"

#include "engine/file_output.h"
#include <FreeImage.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace qm {
namespace {

constexpr size_t FileHeaderSize = 14;
constexpr size_t InfoHeaderSize = 40;
constexpr uint32_t CompressionNone = 0; // BI_RGB
constexpr uint32_t CompressionRle8 = 1; // BI_RLE8

void Put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// One more than the highest palette index any pixel uses.
unsigned ColoursInUse(FIBITMAP* dib) {
    const unsigned width = FreeImage_GetWidth(dib);
    uint8_t highest = 0;
    for (unsigned y = 0; y < FreeImage_GetHeight(dib); ++y) {
        const uint8_t* row = FreeImage_GetScanLine(dib, static_cast<int>(y));
        highest = std::max(highest, *std::max_element(row, row + width));
    }
    return highest + 1u;
}

// Length of the run of equal pixels starting at x, at most 255.
unsigned RunLength(const uint8_t* row, unsigned x, unsigned width) {
    unsigned n = 1;
    while (x + n < width && n < 255 && row[x + n] == row[x])
        ++n;
    return n;
}

// Pixel data rows from the bottom up, as BMP stores them and FreeImage holds them.
std::vector<uint8_t> PixelData(FIBITMAP* dib, bool rle) {
    const unsigned width = FreeImage_GetWidth(dib);
    const unsigned height = FreeImage_GetHeight(dib);
    const unsigned pitch = FreeImage_GetPitch(dib);
    std::vector<uint8_t> data;
    if (!rle) {
        data.resize(static_cast<size_t>(pitch) * height);
        for (unsigned y = 0; y < height; ++y)
            std::memcpy(&data[static_cast<size_t>(y) * pitch],
                        FreeImage_GetScanLine(dib, static_cast<int>(y)), pitch);
        return data;
    }
    for (unsigned y = 0; y < height; ++y) {
        EncodeRle8Row(FreeImage_GetScanLine(dib, static_cast<int>(y)), width, data);
        // End of line after each row but the last, which ends the bitmap instead.
        data.push_back(0);
        data.push_back(y + 1 < height ? 0 : 1);
    }
    return data;
}

} // namespace

void EncodeRle8Row(const uint8_t* row, unsigned width, std::vector<uint8_t>& out) {
    unsigned x = 0;
    while (x < width) {
        const unsigned run = RunLength(row, x, width);
        if (run >= 3 || width - x < 3) {
            // An encoded run; leftovers of one or two pixels go out as short runs too.
            const unsigned n = run >= 3 ? run : 1;
            out.push_back(static_cast<uint8_t>(n));
            out.push_back(row[x]);
            x += n;
            continue;
        }
        // An absolute run up to the next run of three equal pixels (3 to 255 pixels).
        unsigned end = x;
        while (end < width && end - x < 255 && RunLength(row, end, width) < 3)
            ++end;
        unsigned n = end - x;
        if (n < 3) {
            out.push_back(1);
            out.push_back(row[x]);
            ++x;
            continue;
        }
        out.push_back(0);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), row + x, row + x + n);
        if (n % 2)
            out.push_back(0); // absolute runs end on a 16-bit boundary
        x += n;
    }
}

std::vector<uint8_t> EncodePaletteBmp(FIBITMAP* dib, bool rle, bool shortTable) {
    if (!dib || FreeImage_GetImageType(dib) != FIT_BITMAP || FreeImage_GetBPP(dib) != 8 ||
        !FreeImage_GetPalette(dib))
        return {};
    const unsigned paletteSize = FreeImage_GetColorsUsed(dib);
    const unsigned n = shortTable ? ColoursInUse(dib) : paletteSize;
    const std::vector<uint8_t> pixels = PixelData(dib, rle);
    const size_t offset = FileHeaderSize + InfoHeaderSize + 4 * n;

    std::vector<uint8_t> file(offset + pixels.size());
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, static_cast<uint32_t>(file.size()));
    Put32(file, 10, static_cast<uint32_t>(offset));

    // The bitmap's own info header with the colour counts, compression and size replaced.
    BITMAPINFOHEADER info = *FreeImage_GetInfoHeader(dib);
    info.biClrUsed = n;
    info.biClrImportant = n;
    info.biCompression = rle ? CompressionRle8 : CompressionNone;
    info.biSizeImage = static_cast<DWORD>(pixels.size());
    const uint32_t fields[] = {InfoHeaderSize,
                               static_cast<uint32_t>(info.biWidth),
                               static_cast<uint32_t>(info.biHeight),
                               info.biPlanes,
                               info.biBitCount,
                               info.biCompression,
                               info.biSizeImage,
                               static_cast<uint32_t>(info.biXPelsPerMeter),
                               static_cast<uint32_t>(info.biYPelsPerMeter),
                               info.biClrUsed,
                               info.biClrImportant};
    size_t at = FileHeaderSize;
    for (size_t i = 0; i < std::size(fields); ++i) {
        const bool word = i == 3 || i == 4; // planes and bit count are 16-bit fields
        word ? Put16(file, at, fields[i]) : Put32(file, at, fields[i]);
        at += word ? 2 : 4;
    }
    const RGBQUAD* palette = FreeImage_GetPalette(dib);
    for (unsigned i = 0; i < n; ++i, at += 4) {
        const RGBQUAD c = i < paletteSize ? palette[i] : RGBQUAD{};
        file[at] = c.rgbBlue;
        file[at + 1] = c.rgbGreen;
        file[at + 2] = c.rgbRed;
        file[at + 3] = 0;
    }
    std::memcpy(&file[offset], pixels.data(), pixels.size());
    return file;
}

size_t WritePaletteBmp(FIBITMAP* dib, const std::string& path, int32_t saveFlags, bool shortTable) {
    const std::vector<uint8_t> file =
        EncodePaletteBmp(dib, (saveFlags & BMP_SAVE_RLE) != 0, shortTable);
    if (file.empty())
        return 0;
    return WriteBytesToFile(file, path) ? file.size() : 0;
}

size_t WriteShortPaletteBmp(FIBITMAP* dib, const std::string& path, int32_t saveFlags) {
    return WritePaletteBmp(dib, path, saveFlags, true);
}

} // namespace qm
