// The engine's handle of an owned FreeImage bitmap. Headers that only pass bitmaps around
// include this instead of <FreeImage.h>.
#pragma once

#include <memory>

struct FIBITMAP; // FreeImage's bitmap (declared by <FreeImage.h> as this struct)

namespace qm {

struct BitmapUnloader {
    void operator()(FIBITMAP* dib) const;
};

/// An owned bitmap, unloaded when the handle is reset or goes out of scope.
using Bitmap = std::unique_ptr<FIBITMAP, BitmapUnloader>;

} // namespace qm
