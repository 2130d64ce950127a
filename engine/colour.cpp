#include "engine/colour.h"

#include <FreeImage.h>

#include <algorithm>

namespace qm {

namespace {

// Replaces the bitmap by its 24-bit copy; the copy (null when the conversion failed) is
// what the pipeline continues with.
FIBITMAP* ReplaceBy24Bits(FIBITMAP* dib) {
    FIBITMAP* converted = FreeImage_ConvertTo24Bits(dib);
    FreeImage_Unload(dib);
    return converted;
}

} // namespace

FIBITMAP* AdjustColours(FIBITMAP* dib, const SettingsRecord& s) {
    const auto& a = s.Adjustment;
    if (!dib || !a.DoImageColorCorrection)
        return dib;

    // The adjustment handles 8-, 24- and 32-bit bitmaps; 16-bit ones would be left untouched.
    const unsigned bpp = FreeImage_GetBPP(dib);
    if (bpp != 8 && bpp != 24 && bpp != 32) {
        dib = ReplaceBy24Bits(dib);
        if (!dib)
            return nullptr;
    }
    FreeImage_AdjustColors(dib, static_cast<double>(a.ImageBrightness),
                           static_cast<double>(a.ImageContrast), static_cast<double>(a.ImageGamma),
                           a.ImageInvert ? TRUE : FALSE);
    return dib;
}

FIBITMAP* MakeGreyscale(FIBITMAP* dib, const SettingsRecord& s) {
    if (!dib || !s.Adjustment.DoImageGreyscale)
        return dib;
    if (FreeImage_GetBPP(dib) > 32) {
        dib = ReplaceBy24Bits(dib);
        if (!dib)
            return nullptr;
    }
    FIBITMAP* grey = FreeImage_ConvertToGreyscale(dib);
    FreeImage_Unload(dib);
    return grey;
}

FIBITMAP* ApplyThreshold(FIBITMAP* dib, const SettingsRecord& s) {
    if (!dib || !s.Adjustment.DoImageThreshold)
        return dib;
    if (FreeImage_GetBPP(dib) > 32) {
        dib = ReplaceBy24Bits(dib);
        if (!dib)
            return nullptr;
    }
    const int level = std::clamp(s.Adjustment.ImageThreshold, 0, 255);
    FIBITMAP* mono = FreeImage_Threshold(dib, static_cast<BYTE>(level));
    FreeImage_Unload(dib);
    return mono;
}

} // namespace qm
