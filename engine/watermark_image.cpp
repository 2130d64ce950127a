// The image watermark: a picture file drawn with an opacity, optionally in grey.
#include "engine/watermark.h"

#include <FreeImage.h>

#include <string>

#include "engine/layer_bitmap.h"
#include "engine/rasterise.h"
#include "platform/draw/layer.h"

namespace qm {

namespace {

std::string TooLarge(const std::string& path, int64_t width, int64_t height) {
    return "watermark image too large (" + std::to_string(width) + " x " + std::to_string(height) +
           " pixels): " + path;
}

// The picture of the file, 8 bits per channel; null with the cause in reason when it cannot be
// read or is larger than any picture we make.
FIBITMAP* LoadImageFile(const std::string& path, std::string& reason) {
    reason = "watermark image cannot be read: " + path;
    if (path.empty())
        return nullptr;
    FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
    if (format == FIF_UNKNOWN)
        format = FreeImage_GetFIFFromFilename(path.c_str());
    if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(format))
        return nullptr;
    // The size is read from the header first where the format allows it, so a small file that
    // declares a huge picture is refused before its pixels are decoded.
    if (FreeImage_FIFSupportsNoPixels(format)) {
        const Bitmap header(FreeImage_Load(format, path.c_str(), FIF_LOAD_NOPIXELS));
        if (!header)
            return nullptr;
        const int64_t width = FreeImage_GetWidth(header.get());
        const int64_t height = FreeImage_GetHeight(header.get());
        if (!ImageSizeAllowed(width, height)) {
            reason = TooLarge(path, width, height);
            return nullptr;
        }
    }
    FIBITMAP* dib = FreeImage_Load(format, path.c_str(), 0);
    if (dib && !ImageSizeAllowed(FreeImage_GetWidth(dib), FreeImage_GetHeight(dib))) {
        reason = TooLarge(path, FreeImage_GetWidth(dib), FreeImage_GetHeight(dib));
        FreeImage_Unload(dib);
        return nullptr;
    }
    if (dib && FreeImage_GetImageType(dib) != FIT_BITMAP) {
        // 16-bit-per-channel and floating-point images are brought to 8 bits per channel.
        FIBITMAP* standard = FreeImage_ConvertToStandardType(dib, TRUE);
        FreeImage_Unload(dib);
        dib = standard;
    }
    return dib;
}

draw::Rgba Grey(draw::Rgba c) {
    const auto g = static_cast<uint8_t>((77 * c.r + 150 * c.g + 29 * c.b) >> 8);
    return draw::Rgba{g, g, g, c.a};
}

} // namespace

FIBITMAP* BuildImageWatermark(const SettingsRecord& s, std::string* reason) {
    std::string cause;
    FIBITMAP* image = LoadImageFile(s.Watermark.Image, cause);
    if (reason)
        *reason = image ? "watermark image cannot be drawn: " + s.Watermark.Image : cause;
    if (!image)
        return nullptr;
    const draw::Layer source = BitmapToLayer(image);
    FreeImage_Unload(image);
    if (!source.Valid())
        return nullptr;

    // The layer starts as transparent black; an image without alpha covers it fully, so the
    // opacity alone decides how much of the picture shows through.
    draw::Layer layer(source.Width(), source.Height());
    if (!layer.Valid())
        return nullptr;
    const draw::PixelFilter filter =
        s.Watermark.ImageGreyscale ? draw::PixelFilter(Grey) : draw::PixelFilter();
    draw::DrawLayer(layer, source, 0, 0, s.Watermark.ImageOpacity, filter);
    return LayerToBitmap(layer);
}

} // namespace qm
