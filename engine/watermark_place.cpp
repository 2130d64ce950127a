// The geometry shared by both kinds of watermark: rotation, cutting to fit and anchoring.
#include "engine/watermark.h"

#include <cmath>

namespace qm {

int AlignLine(int lineWidth, int boxWidth, int alignment, int padding) {
    switch (alignment) {
    case 1:
        return static_cast<int>(std::lround((boxWidth - lineWidth) / 2.0));
    case 2:
        return boxWidth - lineWidth - padding;
    default:
        return padding;
    }
}

WatermarkArea WatermarkBounds(int width, int height, int boundary, const SettingsRecord& s) {
    WatermarkArea area{0, 0, width, height};
    if (s.Frame.DoFrame && boundary == 1) {
        area.left = s.Frame.SolidLeft;
        area.top = s.Frame.SolidTop;
        area.width = width - s.Frame.SolidLeft - s.Frame.SolidRight;
        area.height = height - s.Frame.SolidTop - s.Frame.SolidBottom;
    }
    return area;
}

FIBITMAP* RotateWatermark(FIBITMAP* layer, int rotation) {
    if (!layer || rotation <= 0 || rotation >= 360)
        return layer;
    // No background colour: a 32-bit layer gets transparent corners.
    FIBITMAP* rotated = FreeImage_Rotate(layer, static_cast<double>(rotation), nullptr);
    FreeImage_Unload(layer);
    return rotated;
}

FIBITMAP* FitWatermark(FIBITMAP* layer, const WatermarkArea& area, int offsetX, int offsetY) {
    if (!layer)
        return nullptr;
    int width = static_cast<int>(FreeImage_GetWidth(layer));
    int height = static_cast<int>(FreeImage_GetHeight(layer));
    bool shrank = false;
    if (width + offsetX > area.width) {
        width = area.width - offsetX;
        shrank = true;
    }
    if (height + offsetY > area.height) {
        height = area.height - offsetY;
        shrank = true;
    }
    if (!shrank)
        return layer;
    FIBITMAP* cut = width > 0 && height > 0 ? FreeImage_Copy(layer, 0, 0, width, height) : nullptr;
    FreeImage_Unload(layer);
    return cut;
}

WatermarkPosition PlaceWatermark(int layerWidth, int layerHeight, const WatermarkArea& area,
                                 int position, int offsetX, int offsetY) {
    const int w = area.width, h = area.height;
    const int left = offsetX, centre = (w - layerWidth) / 2, right = w - layerWidth - offsetX;
    const int top = offsetY, middle = (h - layerHeight) / 2, bottom = h - layerHeight - offsetY;
    WatermarkPosition p;
    switch (position) {
    case 0:
        p = {left, top};
        break;
    case 1:
        p = {centre, top};
        break;
    case 2:
        p = {right, top};
        break;
    case 3:
        p = {left, middle};
        break;
    case 4:
        p = {centre, middle};
        break;
    case 5:
        p = {right, middle};
        break;
    case 6:
        p = {left, bottom};
        break;
    case 7:
        p = {centre, bottom};
        break;
    case 8:
        p = {right, bottom};
        break;
    default:
        p = {0, 0};
        break;
    }
    p.x += area.left;
    p.y += area.top;
    return p;
}

} // namespace qm
