#include "engine/bitmap.h"

#include <FreeImage.h>

namespace qm {

void BitmapUnloader::operator()(FIBITMAP* dib) const {
    FreeImage_Unload(dib);
}

} // namespace qm
