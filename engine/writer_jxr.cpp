#include "engine/writer_jxr.h"

#include <FreeImage.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "engine/jxr_codec.h"

namespace qm {
namespace {

// The JPEG XR pixel format of a bitmap, or none when JPEG XR has none for it.
std::optional<JxrPixelFormat> FormatOf(FIBITMAP* dib) {
    switch (FreeImage_GetImageType(dib)) {
    case FIT_RGB16:
        return JxrPixelFormat::Rgb48;
    case FIT_RGBF:
        return JxrPixelFormat::RgbFloat96;
    case FIT_BITMAP:
        break;
    default:
        return std::nullopt;
    }
    switch (FreeImage_GetBPP(dib)) {
    case 1:
        return JxrPixelFormat::BlackWhite;
    case 8:
        return JxrPixelFormat::Gray8;
    case 16:
        return FreeImage_GetGreenMask(dib) == FI16_565_GREEN_MASK ? JxrPixelFormat::Rgb565
                                                                  : JxrPixelFormat::Rgb555;
    case 24:
        return JxrPixelFormat::Bgr24;
    case 32:
        return JxrPixelFormat::Bgra32;
    default:
        return std::nullopt;
    }
}

// True when palette entry 0 is the brighter one, so that 1-bit rows must be inverted to make
// 1 stand for white.
bool ZeroIsWhite(FIBITMAP* dib) {
    const RGBQUAD* p = FreeImage_GetPalette(dib);
    return p &&
           p[0].rgbRed + p[0].rgbGreen + p[0].rgbBlue > p[1].rgbRed + p[1].rgbGreen + p[1].rgbBlue;
}

JxrImage ImageOf(FIBITMAP* dib, JxrPixelFormat format) {
    JxrImage image;
    image.format = format;
    image.width = FreeImage_GetWidth(dib);
    image.height = FreeImage_GetHeight(dib);
    const unsigned stride = JxrRowBytes(format, image.width);
    image.rows.resize(static_cast<size_t>(stride) * image.height);
    const bool invert = format == JxrPixelFormat::BlackWhite && ZeroIsWhite(dib);
    for (unsigned y = 0; y < image.height; ++y) {
        uint8_t* row = &image.rows[static_cast<size_t>(y) * stride];
        std::memcpy(row, FreeImage_GetScanLine(dib, static_cast<int>(image.height - 1 - y)),
                    stride);
        if (invert)
            std::transform(row, row + stride, row, [](uint8_t b) { return uint8_t(~b); });
    }
    return image;
}

} // namespace

bool WriteJxr(FIBITMAP* dib, const std::string& path, int32_t saveFlags) {
    if (!dib)
        return false;
    // Palette images other than greyscale are written as their grey values.
    FIBITMAP* grey = nullptr;
    if (FreeImage_GetImageType(dib) == FIT_BITMAP && FreeImage_GetBPP(dib) == 8 &&
        FreeImage_GetColorType(dib) != FIC_MINISBLACK) {
        if (!(grey = FreeImage_ConvertToGreyscale(dib)))
            return false;
        dib = grey;
    }
    const std::optional<JxrPixelFormat> format = FormatOf(dib);
    int quality = saveFlags & 0x7F;
    if (quality == 0)
        quality = 80;
    const bool ok = format && EncodeJxrFile(path, ImageOf(dib, *format), quality);
    if (grey)
        FreeImage_Unload(grey);
    return ok;
}

} // namespace qm
