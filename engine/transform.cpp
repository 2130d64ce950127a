#include "engine/transform.h"

#include <FreeImage.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

#include "engine/rasterise.h"

namespace qm {

namespace {

// Resampling filter by Transform/Image Resize Algorithm; unknown values get bicubic.
FREE_IMAGE_FILTER ResizeFilter(int algorithm) {
    switch (algorithm) {
    case 0:
        return FILTER_BOX;
    case 1:
        return FILTER_BILINEAR;
    case 2:
        return FILTER_BSPLINE;
    case 4:
        return FILTER_CATMULLROM;
    case 5:
        return FILTER_LANCZOS3;
    default:
        return FILTER_BICUBIC;
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Two hexadecimal digits; reading stops at the first character that is not one.
BYTE HexPair(char high, char low) {
    const int h = HexDigit(high);
    if (h < 0)
        return 0;
    const int l = HexDigit(low);
    return static_cast<BYTE>(l < 0 ? h : h * 16 + l);
}

// The enlarging rotation's result encloses the turned picture; a result beyond the pixel
// limit of any image we make is refused before it is allocated.
bool RotatedSizeAllowed(FIBITMAP* dib, double degrees) {
    const double a = degrees * std::numbers::pi / 180.0;
    const double w = FreeImage_GetWidth(dib), h = FreeImage_GetHeight(dib);
    const double c = std::fabs(std::cos(a)), sn = std::fabs(std::sin(a));
    return ImageSizeAllowed(int64_t(std::ceil(w * c + h * sn)) + 2,
                            int64_t(std::ceil(w * sn + h * c)) + 2);
}

} // namespace

FIBITMAP* RotateImage(FIBITMAP* dib, const SettingsRecord& s) {
    const auto& t = s.Transform;
    if (!dib || !t.DoImageRotation || t.ImageRotation <= 0 || t.ImageRotation >= 360)
        return dib;

    // Rotation works on true-colour bitmaps only.
    const unsigned bpp = FreeImage_GetBPP(dib);
    if (bpp <= 16 || bpp > 32) {
        FIBITMAP* converted = FreeImage_ConvertTo24Bits(dib);
        FreeImage_Unload(dib);
        dib = converted;
        if (!dib)
            return nullptr;
    }

    const double angle = t.ImageRotation;
    FIBITMAP* rotated = nullptr;
    if (t.ImageRotationType == 0) {
        if (!RotatedSizeAllowed(dib, angle)) {
            FreeImage_Unload(dib);
            return nullptr;
        }
        RGBQUAD back = ParseColor(t.ImageRotationBackColor);
        back.rgbReserved = 0;
        rotated = FreeImage_Rotate(dib, angle, &back);
    } else if (t.ImageRotationType == 1) {
        const double originX = FreeImage_GetWidth(dib) / 2.0;
        const double originY = FreeImage_GetHeight(dib) / 2.0;
        rotated = FreeImage_RotateEx(dib, angle, 0.0, 0.0, originX, originY, FALSE);
    } else {
        return dib;
    }
    FreeImage_Unload(dib);
    return rotated;
}

FIBITMAP* ResizeImage(FIBITMAP* dib, int width, int height, const SettingsRecord& s) {
    const auto& t = s.Transform;
    if (!dib || !t.DoImageResize)
        return dib;

    const int targetW = ResolveSize(t.ImageWidth, t.ImageWidthUnit, width);
    const int targetH = ResolveSize(t.ImageHeight, t.ImageHeightUnit, height);
    if (targetW <= 0 || targetH <= 0)
        return dib;
    if (targetW == width && targetH == height)
        return dib;
    // "Large images only": an image smaller than the target both ways is not enlarged.
    if (t.ImageResizeType == 1 && width < targetW && height < targetH)
        return dib;

    int newW = targetW;
    int newH = targetH;
    if (t.KeepAspectRatio && width > 0 && height > 0) {
        if (width >= height) {
            const float ratio = static_cast<float>(width) / static_cast<float>(height);
            newH = static_cast<int>(std::lround(static_cast<float>(targetW) / ratio));
        } else {
            const float ratio = static_cast<float>(height) / static_cast<float>(width);
            newW = static_cast<int>(std::lround(static_cast<float>(targetH) / ratio));
        }
    }
    // A very long, thin picture would otherwise round a side down to nothing.
    newW = std::max(newW, 1);
    newH = std::max(newH, 1);
    // A target beyond the pixel limit of any image we make fails the file.
    if (!ImageSizeAllowed(newW, newH)) {
        FreeImage_Unload(dib);
        return nullptr;
    }

    FIBITMAP* scaled = FreeImage_Rescale(dib, newW, newH, ResizeFilter(t.ImageResizeAlgorithm));
    FreeImage_Unload(dib);
    return scaled;
}

void FlipImage(FIBITMAP* dib, const SettingsRecord& s) {
    if (!dib)
        return;
    if (s.Transform.DoImageFlipHorizontal)
        FreeImage_FlipHorizontal(dib);
    if (s.Transform.DoImageFlipVertical)
        FreeImage_FlipVertical(dib);
}

int ResolveSize(int value, int unit, int current) {
    if (unit == 0)
        return value;
    if (unit == 1)
        return static_cast<int>(
            std::clamp(std::nearbyint(value / 100.0 * current), double{INT_MIN}, double{INT_MAX}));
    return 0;
}

RGBQUAD ParseColor(std::string_view text) {
    RGBQUAD colour{0, 0, 0, 0};
    if (text.size() != 6)
        return colour;
    colour.rgbRed = HexPair(text[0], text[1]);
    colour.rgbGreen = HexPair(text[2], text[3]);
    colour.rgbBlue = HexPair(text[4], text[5]);
    return colour;
}

} // namespace qm
