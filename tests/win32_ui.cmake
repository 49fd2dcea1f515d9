# Tests of the Win32 windows' settings, layout arithmetic and results box, run under Wine.
morvex_add_test_executable(morvex_tests_win32_ui test_win32_ui.cpp)
target_link_libraries(morvex_tests_win32_ui PRIVATE morvex_ui_win32)
target_include_directories(morvex_tests_win32_ui PRIVATE ${CMAKE_BINARY_DIR}/generated)

# The real morvex.exe in a virtual X display with a window manager: type, start, answer, copy, compare.
add_executable(morvex-test-clipboard win32_clipboard_text.cpp)
target_link_libraries(morvex-test-clipboard PRIVATE morvex_common morvex_warnings user32)
if(TARGET morvex AND TARGET morvex-scan)
  add_test(NAME morvex_windows_gui_smoke
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows_gui_smoke.sh $<TARGET_FILE:morvex>
                   $<TARGET_FILE:morvex-scan> $<TARGET_FILE:morvex-test-clipboard>
                   ${PROJECT_SOURCE_DIR}/examples/site ${CMAKE_BINARY_DIR}/smoke-win32)
  set_tests_properties(morvex_windows_gui_smoke PROPERTIES TIMEOUT 240 SKIP_RETURN_CODE 77
                       ENVIRONMENT MORVEX_WINE_LOADER=${CMAKE_CROSSCOMPILING_EMULATOR})
endif()
