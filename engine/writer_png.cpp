#include "engine/writer_png.h"

#include <FreeImage.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

namespace qm {

namespace {

// FreeImage's PNG flags as zlib levels: no, best speed, default and best compression.
int CompressionLevel(int32_t flags) {
    if (flags & PNG_Z_NO_COMPRESSION)
        return 0;
    if (flags & PNG_Z_BEST_SPEED)
        return 1;
    if (flags & PNG_Z_BEST_COMPRESSION)
        return 9;
    return 6;
}

// libpng's messages stay off the console: errors end the write, warnings are dropped.
void PngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

// Writes the rows; false on any libpng error (it reports them by long jump, so nothing here
// owns memory).
bool WriteRows(png_structp png, png_infop info, FILE* file, FIBITMAP* dib, int32_t flags,
               png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_compression_level(png, CompressionLevel(flags));
    const png_uint_32 width = FreeImage_GetWidth(dib), height = FreeImage_GetHeight(dib);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 (flags & PNG_INTERLACED) ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

} // namespace

bool WritePngWithAlpha(FIBITMAP* dib, const std::string& path, int32_t flags) {
    if (!dib || FreeImage_GetImageType(dib) != FIT_BITMAP || FreeImage_GetBPP(dib) != 32)
        return false;
    const unsigned width = FreeImage_GetWidth(dib), height = FreeImage_GetHeight(dib);
    // PNG rows go top down as R, G, B, A; FreeImage keeps them bottom up in memory order.
    std::vector<std::vector<png_byte>> rows(height, std::vector<png_byte>(size_t{width} * 4));
    for (unsigned y = 0; y < height; ++y) {
        const BYTE* in = FreeImage_GetScanLine(dib, static_cast<int>(height - 1 - y));
        png_byte* out = rows[y].data();
        for (unsigned x = 0; x < width; ++x, in += 4, out += 4) {
            out[0] = in[FI_RGBA_RED];
            out[1] = in[FI_RGBA_GREEN];
            out[2] = in[FI_RGBA_BLUE];
            out[3] = in[FI_RGBA_ALPHA];
        }
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    std::vector<png_bytep> pointers(height);
    for (unsigned y = 0; y < height; ++y)
        pointers[y] = rows[y].data();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = info && WriteRows(png, info, file, dib, flags, pointers.data());
    png_destroy_write_struct(&png, &info);
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

} // namespace qm
