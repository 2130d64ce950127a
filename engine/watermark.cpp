#include "engine/watermark.h"

#include <FreeImage.h>

#include "engine/layer_bitmap.h"

namespace qm {

namespace {

struct Geometry {
    int rotation, boundary, position, offsetX, offsetY;
};

Geometry GeometryOf(const WatermarkGroup& w, bool text) {
    if (text)
        return {w.TextRotation, w.TextBoundary, w.TextPosition, w.TextXOffset, w.TextYOffset};
    return {w.ImageRotation, w.ImageBoundary, w.ImagePosition, w.ImageXOffset, w.ImageYOffset};
}

// A transparent picture-sized canvas holding the layer at (x, y); null when the layer does not
// lie wholly inside the picture.
FIBITMAP* CanvasWith(FIBITMAP* layer, int width, int height, int x, int y) {
    const long long layerW = FreeImage_GetWidth(layer);
    const long long layerH = FreeImage_GetHeight(layer);
    if (x < 0 || y < 0 || x + layerW > width || y + layerH > height)
        return nullptr;
    Bitmap canvas(FreeImage_AllocateT(FIT_BITMAP, width, height, 32, FI_RGBA_RED_MASK,
                                      FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
    // A plain copy: the layer's pixels and alpha arrive unchanged.
    if (!canvas || !FreeImage_Paste(canvas.get(), layer, x, y, 256))
        return nullptr;
    return canvas.release();
}

} // namespace

FIBITMAP* DrawWatermark(FIBITMAP* dib, int, int, const SettingsRecord& s,
                        const ConversionJobRecord& job, std::string* reason) {
    const int kind = s.Watermark.DoWatermark;
    if (!dib || kind == 0)
        return dib;
    if (FreeImage_GetBPP(dib) != 24) {
        FIBITMAP* converted = FreeImage_ConvertTo24Bits(dib);
        FreeImage_Unload(dib);
        dib = converted;
        if (!dib)
            return nullptr;
    }
    // The picture's own size: the canvas has to match it to be composited.
    const int width = static_cast<int>(FreeImage_GetWidth(dib));
    const int height = static_cast<int>(FreeImage_GetHeight(dib));

    FIBITMAP* layer = kind == 1   ? BuildTextWatermark(s, job, width, height)
                      : kind == 2 ? BuildImageWatermark(s, reason)
                                  : nullptr;
    if (!layer && kind == 2) {
        // The picture would be written without the watermark that was asked for.
        FreeImage_Unload(dib);
        return nullptr;
    }
    if (!layer)
        return dib;
    const Geometry g = GeometryOf(s.Watermark, kind == 1);
    const WatermarkArea area = WatermarkBounds(width, height, g.boundary, s);
    layer = RotateWatermark(layer, g.rotation);
    layer = FitWatermark(layer, area, g.offsetX, g.offsetY);
    if (!layer)
        return dib;

    const WatermarkPosition at = PlaceWatermark(static_cast<int>(FreeImage_GetWidth(layer)),
                                                static_cast<int>(FreeImage_GetHeight(layer)), area,
                                                g.position, g.offsetX, g.offsetY);
    const Bitmap canvas(CanvasWith(layer, width, height, at.x, at.y));
    FreeImage_Unload(layer);
    return canvas ? CompositeOver(canvas.get(), dib) : dib;
}

} // namespace qm
