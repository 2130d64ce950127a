#include "engine/colour.h"

namespace qm {

FIBITMAP* AdjustColours(FIBITMAP* dib, const SettingsRecord&) {
    return dib;
}
FIBITMAP* MakeGreyscale(FIBITMAP* dib, const SettingsRecord&) {
    return dib;
}
FIBITMAP* ApplyThreshold(FIBITMAP* dib, const SettingsRecord&) {
    return dib;
}

} // namespace qm
