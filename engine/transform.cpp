#include "engine/transform.h"

namespace qm {

FIBITMAP* RotateImage(FIBITMAP* dib, const SettingsRecord&) {
    return dib;
}

FIBITMAP* ResizeImage(FIBITMAP* dib, int, int, const SettingsRecord&) {
    return dib;
}

void FlipImage(FIBITMAP*, const SettingsRecord&) {}

int ResolveSize(int value, int, int) {
    return value;
}

RGBQUAD ParseColor(std::string_view) {
    return RGBQUAD{0, 0, 0, 0};
}

} // namespace qm
