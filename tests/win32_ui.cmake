# Tests of the Win32 windows' settings, layout arithmetic and results box, run under Wine.
morvex_add_test_executable(morvex_tests_win32_ui test_win32_ui.cpp)
target_link_libraries(morvex_tests_win32_ui PRIVATE morvex_ui_win32)
target_include_directories(morvex_tests_win32_ui PRIVATE ${CMAKE_BINARY_DIR}/generated)
