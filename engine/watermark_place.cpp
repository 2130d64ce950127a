// The geometry shared by both kinds of watermark: rotation, cutting to fit and anchoring.
#include "engine/watermark.h"

#include <FreeImage.h>

#include <algorithm>
#include <climits>
#include <cmath>

namespace qm {

namespace {

// Setting values may be anything; sums of them are taken in 64 bits and brought back.
int ClampToInt(long long value) {
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

} // namespace

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
        const auto& f = s.Frame;
        area.left = f.SolidLeft;
        area.top = f.SolidTop;
        area.width = ClampToInt(static_cast<long long>(width) - f.SolidLeft - f.SolidRight);
        area.height = ClampToInt(static_cast<long long>(height) - f.SolidTop - f.SolidBottom);
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
    long long width = FreeImage_GetWidth(layer);
    long long height = FreeImage_GetHeight(layer);
    bool shrank = false;
    if (width + offsetX > area.width) {
        width = static_cast<long long>(area.width) - offsetX;
        shrank = true;
    }
    if (height + offsetY > area.height) {
        height = static_cast<long long>(area.height) - offsetY;
        shrank = true;
    }
    if (!shrank)
        return layer;
    FIBITMAP* cut = width > 0 && height > 0 ? FreeImage_Copy(layer, 0, 0, static_cast<int>(width),
                                                             static_cast<int>(height))
                                            : nullptr;
    FreeImage_Unload(layer);
    return cut;
}

WatermarkPosition PlaceWatermark(int layerWidth, int layerHeight, const WatermarkArea& area,
                                 int position, int offsetX, int offsetY) {
    const long long w = area.width, h = area.height;
    const long long left = offsetX, centre = (w - layerWidth) / 2;
    const long long right = w - layerWidth - offsetX;
    const long long top = offsetY, middle = (h - layerHeight) / 2;
    const long long bottom = h - layerHeight - offsetY;
    long long x = 0, y = 0;
    switch (position) {
    case 0:
        x = left, y = top;
        break;
    case 1:
        x = centre, y = top;
        break;
    case 2:
        x = right, y = top;
        break;
    case 3:
        x = left, y = middle;
        break;
    case 4:
        x = centre, y = middle;
        break;
    case 5:
        x = right, y = middle;
        break;
    case 6:
        x = left, y = bottom;
        break;
    case 7:
        x = centre, y = bottom;
        break;
    case 8:
        x = right, y = bottom;
        break;
    default:
        x = 0, y = 0;
        break;
    }
    return WatermarkPosition{ClampToInt(x + area.left), ClampToInt(y + area.top)};
}

} // namespace qm
