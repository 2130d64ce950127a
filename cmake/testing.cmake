# qm_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable; its cases are registered with CTest one by one.
include(GoogleTest)
find_package(GTest REQUIRED)
function(qm_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    QM_SOURCE_DIR="${PROJECT_SOURCE_DIR}" QM_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared"
    QM_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()

# qm_add_gui_test(<name> SOURCES <files...> LIBS <targets...>)
# A test of the windows: runs in process on Qt's offscreen platform, labelled "gui".
function(qm_add_gui_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/gui/gui_test_main.cpp)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} qm_gui GTest::gtest GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    QM_SOURCE_DIR="${PROJECT_SOURCE_DIR}" QM_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared"
    QM_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    DISCOVERY_EXTRA_ARGS ""
    PROPERTIES TIMEOUT 300 LABELS gui ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
