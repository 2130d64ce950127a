// The image watermark: a picture file drawn with an opacity, optionally in grey.
#include "engine/watermark.h"

#include <FreeImage.h>

#include "engine/layer_bitmap.h"
#include "engine/rasterise.h"
#include "platform/draw/layer.h"

namespace qm {

namespace {

FIBITMAP* LoadImageFile(const std::string& path) {
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
        const bool allowed = header && ImageSizeAllowed(FreeImage_GetWidth(header.get()),
                                                        FreeImage_GetHeight(header.get()));
        if (!allowed)
            return nullptr;
    }
    FIBITMAP* dib = FreeImage_Load(format, path.c_str(), 0);
    if (dib && !ImageSizeAllowed(FreeImage_GetWidth(dib), FreeImage_GetHeight(dib))) {
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

FIBITMAP* BuildImageWatermark(const SettingsRecord& s) {
    FIBITMAP* image = LoadImageFile(s.Watermark.Image);
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
