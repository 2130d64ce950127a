#include "platform/fonts/freetype_library.h"

#include <mutex>

namespace qm::fonts {

namespace {

std::mutex& FaceLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

FT_Library FreeTypeLibrary() {
    static const FT_Library library = [] {
        FT_Library lib = nullptr;
        return FT_Init_FreeType(&lib) == 0 ? lib : nullptr;
    }();
    return library;
}

FT_Face OpenFreeTypeFace(const std::string& file, long index) {
    FT_Library library = FreeTypeLibrary();
    if (!library || file.empty())
        return nullptr;
    std::lock_guard<std::mutex> guard(FaceLock());
    FT_Face face = nullptr;
    return FT_New_Face(library, file.c_str(), index, &face) == 0 ? face : nullptr;
}

void CloseFreeTypeFace(FT_Face face) {
    if (!face)
        return;
    std::lock_guard<std::mutex> guard(FaceLock());
    FT_Done_Face(face);
}

void ReleaseFreeTypeFace(void* face) {
    CloseFreeTypeFace(static_cast<FT_Face>(face));
}

} // namespace qm::fonts
