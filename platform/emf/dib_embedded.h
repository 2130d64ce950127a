// JPEG and PNG images embedded in bitmap records.
#pragma once

#include "platform/emf/dib.h"

namespace qm::emf {

/// Decodes a JPEG stream (grey, colour or CMYK) into out. False on a broken stream or when
/// the image has more than maxPixels pixels.
bool DecodeEmbeddedJpeg(std::span<const uint8_t> data, DibImage& out, uint64_t maxPixels);

/// Decodes a PNG stream into out, keeping its alpha (sourceAlpha set when it has one).
/// False on a broken stream or when the image has more than maxPixels pixels.
bool DecodeEmbeddedPng(std::span<const uint8_t> data, DibImage& out, uint64_t maxPixels);

} // namespace qm::emf
