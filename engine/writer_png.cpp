#include "engine/writer_png.h"

#include <FreeImage.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/file_output.h"
#include "engine/png_encoder.h"

namespace qm {

namespace {

// FreeImage's PNG flags as a zlib level: the low four bits carry levels 1-9 (best speed is 1,
// best compression 9, so the bits overlap and must be read as a number), no compression is a
// flag of its own, and anything else is the default level.
int CompressionLevel(int32_t flags) {
    if (flags & PNG_Z_NO_COMPRESSION)
        return 0;
    const int level = flags & 0x0F;
    return level >= 1 && level <= 9 ? level : 6;
}

// libpng's messages stay off the console: errors end the write, warnings are dropped.
void PngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

// Writes the rows; false on any libpng error (it reports them by long jump, so nothing here
// owns memory).
bool WriteRows(png_structp png, png_infop info, FILE* file, const PngRows& source, int32_t flags,
               png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_compression_level(png, CompressionLevel(flags));
    png_set_IHDR(png, info, source.width, source.height, 8,
                 source.channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

// One pixel from FreeImage's byte order to R, G, B, A: on little-endian machines a swap of the
// first and third bytes of a 32-bit word, which compilers turn into vector shuffles.
inline void PutRgba(const BYTE* in, uint8_t* out) {
    if constexpr (FI_RGBA_RED == 2 && FI_RGBA_GREEN == 1 && FI_RGBA_BLUE == 0 &&
                  FI_RGBA_ALPHA == 3) {
        uint32_t v;
        std::memcpy(&v, in, 4);
        v = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
        std::memcpy(out, &v, 4);
    } else {
        out[0] = in[FI_RGBA_RED];
        out[1] = in[FI_RGBA_GREEN];
        out[2] = in[FI_RGBA_BLUE];
        out[3] = in[FI_RGBA_ALPHA];
    }
}

// A row of pixels; the pointers never overlap, which lets the loop vectorise.
void PutRgbaRow(const BYTE* __restrict in, uint8_t* __restrict out, size_t width) {
    for (size_t x = 0; x < width; ++x)
        PutRgba(in + 4 * x, out + 4 * x);
}

// The bitmap's rows as PNG takes them: top down, colours in R, G, B (, A) order.
PngRows RowsOf(FIBITMAP* dib) {
    PngRows rows;
    rows.width = FreeImage_GetWidth(dib);
    rows.height = FreeImage_GetHeight(dib);
    rows.channels = FreeImage_GetBPP(dib) / 8;
    rows.dotsPerMeterX = FreeImage_GetDotsPerMeterX(dib);
    rows.dotsPerMeterY = FreeImage_GetDotsPerMeterY(dib);
    const uint32_t width = rows.width, height = rows.height;
    if (rows.channels == 4)
        rows.row = [dib, width, height](uint32_t y, uint8_t* out) {
            PutRgbaRow(FreeImage_GetScanLine(dib, static_cast<int>(height - 1 - y)), out, width);
        };
    else
        rows.row = [dib, width, height](uint32_t y, uint8_t* out) {
            const BYTE* in = FreeImage_GetScanLine(dib, static_cast<int>(height - 1 - y));
            for (uint32_t x = 0; x < width; ++x, in += 3, out += 3) {
                out[0] = in[FI_RGBA_RED];
                out[1] = in[FI_RGBA_GREEN];
                out[2] = in[FI_RGBA_BLUE];
            }
        };
    return rows;
}

// Interlaced files go through libpng, which stores the seven passes.
bool WriteInterlaced(FIBITMAP* dib, const std::string& path, int32_t flags) {
    const PngRows source = RowsOf(dib);
    const size_t rowBytes = size_t{source.width} * source.channels;
    std::vector<png_byte> pixels(rowBytes * source.height);
    std::vector<png_bytep> pointers(source.height);
    for (uint32_t y = 0; y < source.height; ++y) {
        pointers[y] = pixels.data() + rowBytes * y;
        source.row(y, pointers[y]);
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = info && WriteRows(png, info, file, source, flags, pointers.data());
    png_destroy_write_struct(&png, &info);
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

} // namespace

bool IsTrueColourPngBitmap(FIBITMAP* dib) {
    return dib && FreeImage_GetImageType(dib) == FIT_BITMAP &&
           (FreeImage_GetBPP(dib) == 24 || FreeImage_GetBPP(dib) == 32);
}

bool WriteTrueColourPng(FIBITMAP* dib, const std::string& path, int32_t flags) {
    if (!IsTrueColourPngBitmap(dib))
        return false;
    if (flags & PNG_INTERLACED)
        return WriteInterlaced(dib, path, flags);
    CheckedFile file(path);
    if (!file.IsOpen())
        return false;
    const PngSink sink = [&file](const uint8_t* data, size_t size) {
        return file.Write(data, 1, size) == size;
    };
    const bool ok = EncodePng(RowsOf(dib), PngEncodingForLevel(CompressionLevel(flags)), sink);
    return file.Close() && ok;
}

} // namespace qm
