// Rendering a metafile into a FreeImage bitmap: the first step of every conversion.
#pragma once

#include "engine/bitmap.h"

#include <cstdint>
#include <span>
#include <string>

#include "platform/emfplus/emfplus.h"

namespace qm {

/// The largest drawing surface we render into, in pixels (1 GiB at 32 bits per pixel).
inline constexpr int64_t MaxSurfacePixels = int64_t{1} << 28;

/// True when an image of width x height pixels may be made or loaded: both sizes positive and
/// the pixel count within MaxSurfacePixels. Holds for loaded pictures and resize targets.
bool ImageSizeAllowed(int64_t width, int64_t height);

/// True when a (width + 1) x (height + 1) surface for a play rectangle of width x height
/// pixels is allowed: both sizes non-negative and the pixel count within MaxSurfacePixels.
bool SurfaceSizeAllowed(int64_t width, int64_t height);

/// Plays a metafile held in memory into a new 32-bit bitmap of (W + 1) x (H + 1) pixels, where
/// W x H is the play size computed from its header: white background, picture played into
/// (0, 0, W, H), every alpha byte 255. Null when the data is not a metafile, is cut off or has a
/// record whose size does not fit, has no end-of-file record, its size is not computable or
/// too large, or the bitmap cannot be allocated. On failure the cause is stored in *reason when
/// reason is given.
/// emfPlus: which records of a metafile with EMF+ records are played.
FIBITMAP* RasteriseMetafile(std::span<const uint8_t> data, std::string* reason = nullptr,
                            emfplus::EmfPlusMode emfPlus = emfplus::EmfPlusMode::Auto);

/// The same for a file on disk (.emf, or gzip-compressed .emz). Null when the file cannot be
/// read, and in every case above.
FIBITMAP* RasteriseMetafileFile(const std::string& path, std::string* reason = nullptr,
                                emfplus::EmfPlusMode emfPlus = emfplus::EmfPlusMode::Auto);

} // namespace qm
