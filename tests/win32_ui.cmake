# Tests of the Win32 windows' settings, layout arithmetic, results box and Save report..., run under Wine.
morvex_add_test_executable(morvex_tests_win32_ui test_win32_ui.cpp test_win32_save.cpp SHARED_DESKTOP)
target_link_libraries(morvex_tests_win32_ui PRIVATE morvex_ui_win32 morvex_pageserver_com)
target_include_directories(morvex_tests_win32_ui PRIVATE ${CMAKE_BINARY_DIR}/generated)
morvex_add_windows_resources(morvex_tests_win32_ui DESCRIPTION "Morvex Win32 window tests")

# Every program (and the page server's DLL, once built) carries the icon and the project's version record.
morvex_add_test_executable(morvex_tests_windows_resources test_windows_resources.cpp)
target_include_directories(morvex_tests_windows_resources PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(morvex_tests_windows_resources PRIVATE version)
target_compile_definitions(morvex_tests_windows_resources PRIVATE MORVEX_PROGRAM_DIR="${MORVEX_PROGRAM_DIR}")
foreach(program morvex morvex-scan morvex-dbf)
  if(TARGET ${program})
    add_dependencies(morvex_tests_windows_resources ${program})
  endif()
endforeach()
if(TARGET morvex-pages)
  add_dependencies(morvex_tests_windows_resources morvex-pages)
  target_compile_definitions(morvex_tests_windows_resources PRIVATE MORVEX_HAS_PAGES_DLL=1)
endif()

# The real morvex.exe in a virtual X display with a window manager: type, start, answer, copy, compare.
add_executable(morvex-test-clipboard win32_clipboard_text.cpp)
target_link_libraries(morvex-test-clipboard PRIVATE morvex_common morvex_warnings user32)
if(TARGET morvex AND TARGET morvex-scan)
  add_test(NAME morvex_windows_gui_smoke
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows_gui_smoke.sh $<TARGET_FILE:morvex>
                   $<TARGET_FILE:morvex-scan> $<TARGET_FILE:morvex-test-clipboard>
                   ${PROJECT_SOURCE_DIR}/examples/site ${CMAKE_BINARY_DIR}/smoke-win32)
  set_tests_properties(morvex_windows_gui_smoke PROPERTIES TIMEOUT 240 SKIP_RETURN_CODE 77 RESOURCE_LOCK morvex_desktop
                       ENVIRONMENT MORVEX_WINE_LOADER=${CMAKE_CROSSCOMPILING_EMULATOR})
endif()
