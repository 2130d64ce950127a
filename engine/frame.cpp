#include "engine/frame.h"

namespace qm {

FIBITMAP* DrawFrame(FIBITMAP* dib, int, int, const SettingsRecord&) {
    return dib;
}

} // namespace qm
