// The process's one FreeType library and the opening and closing of faces on it.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>

namespace qm::fonts {

/// The FreeType library, created on first use and kept for the life of the process; null when
/// FreeType cannot start.
FT_Library FreeTypeLibrary();

/// Opens face number index of a font file on the shared library. Face creation and release are
/// serialised, as FreeType requires for faces of one library. Null on any failure.
FT_Face OpenFreeTypeFace(const std::string& file, long index);

/// Releases a face from OpenFreeTypeFace; null is ignored. Usable as a cairo user-data destroy
/// function through ReleaseFreeTypeFace.
void CloseFreeTypeFace(FT_Face face);

/// CloseFreeTypeFace for a face passed as void* (cairo's destroy callbacks).
void ReleaseFreeTypeFace(void* face);

} // namespace qm::fonts
