#include "platform/emf/dib_embedded.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
// jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>

namespace qm::emf {
namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void JpegFail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void JpegQuiet(j_common_ptr, int) {}

bool RunJpeg(jpeg_decompress_struct& info, std::span<const uint8_t> data, DibImage& img,
             std::vector<uint8_t>& row, uint64_t maxPixels) {
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return false;
    // The size is checked before decompression starts: a progressive image allocates its
    // whole coefficient buffer there.
    if (uint64_t(info.image_width) * info.image_height > maxPixels)
        return false;
    bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    uint64_t pixels = uint64_t(info.output_width) * info.output_height;
    if (info.output_width == 0 || pixels == 0 || pixels > maxPixels)
        return false;
    img.width = static_cast<int>(info.output_width);
    img.height = static_cast<int>(info.output_height);
    img.pixels.assign(pixels, 0xFF000000u);
    row.resize(size_t(img.width) * 4);
    while (info.output_scanline < info.output_height) {
        size_t y = info.output_scanline;
        JSAMPROW rows[1] = {row.data()};
        if (jpeg_read_scanlines(&info, rows, 1) != 1)
            break; // truncated: keep the rows read
        uint32_t* out = img.pixels.data() + y * img.width;
        for (int x = 0; x < img.width; ++x) {
            const uint8_t* p = row.data() + 4 * x;
            if (cmyk) {
                // Adobe writes CMYK inverted: the samples are already 255 - ink.
                uint32_t k = p[3];
                uint32_t r = p[0] * k / 255, g = p[1] * k / 255, b = p[2] * k / 255;
                out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
            } else {
                out[x] = 0xFF000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
            }
        }
    }
    jpeg_abort_decompress(&info);
    return true;
}

} // namespace

bool DecodeEmbeddedJpeg(std::span<const uint8_t> data, DibImage& out, uint64_t maxPixels) {
    if (data.size() < 4)
        return false;
    DibImage img;
    std::vector<uint8_t> row;
    jpeg_decompress_struct info{};
    JpegError err{};
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegFail;
    err.mgr.emit_message = JpegQuiet;
    jpeg_create_decompress(&info);
    volatile bool ok = false;
    if (setjmp(err.jump) == 0)
        ok = RunJpeg(info, data, img, row, maxPixels);
    jpeg_destroy_decompress(&info);
    if (!ok)
        return false;
    img.bitCount = 24;
    out = std::move(img);
    return true;
}

bool DecodeEmbeddedPng(std::span<const uint8_t> data, DibImage& out, uint64_t maxPixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data.data(), data.size()))
        return false;
    uint64_t pixels = uint64_t(image.width) * image.height;
    if (pixels == 0 || pixels > maxPixels) {
        png_image_free(&image);
        return false;
    }
    bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_BGRA;
    DibImage img;
    img.width = static_cast<int>(image.width);
    img.height = static_cast<int>(image.height);
    img.pixels.assign(pixels, 0);
    if (!png_image_finish_read(&image, nullptr, img.pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    img.bitCount = 32;
    img.sourceAlpha = alpha;
    out = std::move(img);
    return true;
}

} // namespace qm::emf
