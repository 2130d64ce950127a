#include "engine/layer_bitmap.h"

#include <FreeImage.h>

namespace qm {

FIBITMAP* LayerToBitmap(const draw::Layer& layer) {
    if (!layer.Valid())
        return nullptr;
    FIBITMAP* dib = FreeImage_Allocate(layer.Width(), layer.Height(), 32, FI_RGBA_RED_MASK,
                                       FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
    if (!dib)
        return nullptr;
    layer.ExportBgra(FreeImage_GetBits(dib), static_cast<int>(FreeImage_GetPitch(dib)), true);
    return dib;
}

draw::Layer BitmapToLayer(FIBITMAP* dib) {
    if (!dib)
        return {};
    // Palette images with a transparency table keep it as well.
    const bool hasAlpha = FreeImage_GetBPP(dib) == 32 || FreeImage_IsTransparent(dib);
    const Bitmap rgba(FreeImage_ConvertTo32Bits(dib));
    if (!rgba)
        return {};
    draw::Layer layer(static_cast<int>(FreeImage_GetWidth(rgba.get())),
                      static_cast<int>(FreeImage_GetHeight(rgba.get())));
    layer.ImportBgra(FreeImage_GetBits(rgba.get()),
                     static_cast<int>(FreeImage_GetPitch(rgba.get())), true, hasAlpha);
    return layer;
}

FIBITMAP* CompositeOver(FIBITMAP* foreground, FIBITMAP* picture) {
    if (!foreground || !picture)
        return picture;
    FIBITMAP* result = FreeImage_Composite(foreground, FALSE, nullptr, picture);
    if (!result)
        return picture;
    FreeImage_Unload(picture);
    return result;
}

} // namespace qm
