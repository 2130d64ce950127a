// Carrying drawing layers into FreeImage bitmaps and back.
#pragma once

#include "engine/bitmap.h"

#include "platform/draw/layer.h"

namespace qm {

/// A 32-bit FreeImage bitmap with the layer's pixels and alpha; null for an invalid layer or
/// when the bitmap cannot be allocated.
FIBITMAP* LayerToBitmap(const draw::Layer& layer);

/// A layer with the bitmap's pixels; 32-bit and transparent palette bitmaps keep their alpha,
/// others are opaque.
/// An invalid layer when the bitmap is null or cannot be converted.
draw::Layer BitmapToLayer(FIBITMAP* dib);

/// Composites a 32-bit foreground over the picture and unloads the picture. Returns the 24-bit
/// result, or the picture itself (not unloaded) when the two cannot be composited.
FIBITMAP* CompositeOver(FIBITMAP* foreground, FIBITMAP* picture);

} // namespace qm
