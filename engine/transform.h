// Rotation, resizing and flipping of the rendered picture.
#pragma once

#include <FreeImage.h>

#include <string_view>

#include "core/settings.h"

namespace qm {

/// Rotates by Transform/Image Rotation when Do Image Rotation is on. Returns the bitmap to
/// continue with (the input when nothing is done, null for a null input); a replaced bitmap is
/// unloaded.
FIBITMAP* RotateImage(FIBITMAP* dib, const SettingsRecord& s);

/// Resizes to the Transform settings when Do Image Resize is on; width and height are the
/// bitmap's current size. Returns the bitmap to continue with.
FIBITMAP* ResizeImage(FIBITMAP* dib, int width, int height, const SettingsRecord& s);

/// Flips in place by the two flip flags.
void FlipImage(FIBITMAP* dib, const SettingsRecord& s);

/// Target size in pixels of a value in a unit (0 pixels, 1 percent) for a current size.
int ResolveSize(int value, int unit, int current);

/// A colour written as six hexadecimal digits RRGGBB; any other text is black.
RGBQUAD ParseColor(std::string_view text);

} // namespace qm
