# Real processes of the program (single instance, no display, screenshot mode under Xvfb).
add_executable(program_process_tests program_process_test.cpp)
target_link_libraries(program_process_tests PRIVATE qm_app GTest::gtest GTest::gtest_main)
target_compile_definitions(program_process_tests PRIVATE QM_BINARY_DIR="${PROJECT_BINARY_DIR}")
add_dependencies(program_process_tests quellmark)
gtest_discover_tests(program_process_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120 LABELS gui)
