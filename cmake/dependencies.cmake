# Libraries from Debian's packages. FreeImage ships neither pkg-config nor a CMake config.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(TIFF REQUIRED)
find_package(DevIL REQUIRED)

find_path(FREEIMAGE_INCLUDE_DIR FreeImage.h REQUIRED)
find_library(FREEIMAGE_LIBRARY freeimage REQUIRED)
add_library(FreeImage::FreeImage UNKNOWN IMPORTED)
set_target_properties(FreeImage::FreeImage PROPERTIES IMPORTED_LOCATION ${FREEIMAGE_LIBRARY}
                      INTERFACE_INCLUDE_DIRECTORIES ${FREEIMAGE_INCLUDE_DIR})

pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(HARFBUZZ REQUIRED IMPORTED_TARGET harfbuzz)
pkg_check_modules(FRIBIDI REQUIRED IMPORTED_TARGET fribidi)
pkg_check_modules(JXR REQUIRED IMPORTED_TARGET libjxr)
pkg_check_modules(LIBARCHIVE REQUIRED IMPORTED_TARGET libarchive)
pkg_check_modules(OPENJPEG REQUIRED IMPORTED_TARGET libopenjp2)
pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)

add_library(DevIL::All INTERFACE IMPORTED)
set_target_properties(DevIL::All PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${IL_INCLUDE_DIR}"
                      INTERFACE_LINK_LIBRARIES "${IL_LIBRARIES};${ILU_LIBRARIES}")

# Optional: a second PNG decoder for the tests and a PNG encoder candidate for the benchmarks.
pkg_check_modules(SPNG IMPORTED_TARGET spng)
