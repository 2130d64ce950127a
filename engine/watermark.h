// The text or image watermark placed over the picture.
#pragma once

#include "engine/bitmap.h"

#include <string>

#include "core/settings.h"
#include "engine/conversion_job.h"

namespace qm {

/// Draws the watermark chosen by Watermark/Do Watermark (1 text, 2 image) over a width x height
/// picture; the job supplies the name tokens of the text. Returns the bitmap to continue with.
/// A text watermark whose font does not load is left out (the front ends check the font
/// before a run). An image watermark that cannot be drawn (the file does not load as a picture
/// or is over the pixel limit) fails: dib is unloaded, the cause goes to *reason when reason is
/// given, and null is returned, so the file is not reported converted without its watermark.
FIBITMAP* DrawWatermark(FIBITMAP* dib, int width, int height, const SettingsRecord& s,
                        const ConversionJobRecord& job, std::string* reason = nullptr);

/// True when the font of Watermark/Font, Font Size, Font Style and Font Effect can be loaded
/// (a fontconfig family or a metric-compatible substitute); false otherwise.
bool WatermarkFontLoads(const SettingsRecord& s);

/// The text watermark as a 32-bit layer with alpha, its tokens filled in for a width x height
/// picture; null when the font does not load or the box is empty.
FIBITMAP* BuildTextWatermark(const SettingsRecord& s, const ConversionJobRecord& job, int width,
                             int height);

/// The image watermark as a 32-bit layer with alpha; null when Watermark/Image does not load,
/// is larger than MaxSurfacePixels or cannot be drawn, with the cause in *reason when given.
FIBITMAP* BuildImageWatermark(const SettingsRecord& s, std::string* reason = nullptr);

/// The x of a line of lineWidth pixels in a box boxWidth wide: alignment 0 left (padding),
/// 1 centred (halves rounded away from zero), 2 right (boxWidth - lineWidth - padding); any
/// other alignment is left.
int AlignLine(int lineWidth, int boxWidth, int alignment, int padding);

/// Where a watermark may go: an area of width x height whose top-left corner is (left, top).
struct WatermarkArea {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

/// The whole picture, or the part inside the frame when boundary is 1 and a frame is on.
WatermarkArea WatermarkBounds(int width, int height, int boundary, const SettingsRecord& s);

/// The layer rotated by 1 to 359 degrees with transparent corners (the old one unloaded);
/// the layer itself for other angles; null when the rotation fails.
FIBITMAP* RotateWatermark(FIBITMAP* layer, int rotation);

/// The layer cut to its top-left part so that it ends inside the area after the offsets (the
/// old one unloaded); the layer itself when it fits; null when nothing of it is left.
FIBITMAP* FitWatermark(FIBITMAP* layer, const WatermarkArea& area, int offsetX, int offsetY);

struct WatermarkPosition {
    int x = 0;
    int y = 0;
};

/// The top-left corner of a layerWidth x layerHeight watermark at anchor 0-8 (top left to
/// bottom right, row by row) with the offsets, in picture coordinates; (0, 0) for other anchors
/// on an area at the picture's corner.
WatermarkPosition PlaceWatermark(int layerWidth, int layerHeight, const WatermarkArea& area,
                                 int position, int offsetX, int offsetY);

} // namespace qm
