# Installs the build into a scratch prefix and checks what a desktop needs is where it looks:
# the program, the theme archives, the desktop entry and the application icon.
#   cmake -DBUILD_DIR=<build> -DPREFIX=<scratch folder> -P install_check.cmake
cmake_minimum_required(VERSION 3.22)
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
include(GNUInstallDirs)
foreach(path
    ${CMAKE_INSTALL_BINDIR}/quellmark
    share/quellmark/gfx/handdrawn.zip
    share/quellmark/gfx/tango.zip
    share/quellmark/gfx/quellmark_32.png
    share/applications/quellmark.desktop
    share/icons/hicolor/scalable/apps/quellmark.svg
    share/icons/hicolor/48x48/apps/quellmark.png
    share/icons/hicolor/256x256/apps/quellmark.png)
  if(NOT EXISTS ${PREFIX}/${path})
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
file(STRINGS ${PREFIX}/share/applications/quellmark.desktop entry)
foreach(line "[Desktop Entry]" "Type=Application" "Exec=quellmark" "Icon=quellmark")
  if(NOT line IN_LIST entry)
    message(FATAL_ERROR "desktop entry lacks ${line}")
  endif()
endforeach()
# The default theme: theme.cfg, 22 icons at 5 sizes and 3 button images.
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${PREFIX}/share/quellmark/gfx/handdrawn.zip
                OUTPUT_VARIABLE listing RESULT_VARIABLE result)
string(REGEX MATCHALL "[^\n]+" names "${listing}")
list(LENGTH names count)
if(NOT result EQUAL 0 OR NOT count EQUAL 114 OR NOT "theme.cfg" IN_LIST names
   OR NOT "about_64.png" IN_LIST names OR NOT "big_convert.png" IN_LIST names)
  message(FATAL_ERROR "handdrawn.zip holds ${count} entries: ${names}")
endif()
file(REMOVE_RECURSE ${PREFIX})
