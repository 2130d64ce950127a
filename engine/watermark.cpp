#include "engine/watermark.h"

namespace qm {

FIBITMAP* DrawWatermark(FIBITMAP* dib, int, int, const SettingsRecord&,
                        const ConversionJobRecord&) {
    return dib;
}

} // namespace qm
