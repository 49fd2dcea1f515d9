# Tests of the windows (offscreen, GoogleTest with Qt Test helpers) and the smoke test of the real window.
set(MORVEX_UI_TEST_DIR ${CMAKE_CURRENT_SOURCE_DIR})
morvex_add_test_executable(morvex_tests_ui ${MORVEX_UI_TEST_DIR}/ui_test_main.cpp ${MORVEX_UI_TEST_DIR}/test_frmMain.cpp
                           ${MORVEX_UI_TEST_DIR}/test_frmStatusBar.cpp ${MORVEX_UI_TEST_DIR}/test_basBrowseFolder.cpp
                           ${MORVEX_UI_TEST_DIR}/UiTestSupport.h)
target_link_libraries(morvex_tests_ui PRIVATE morvex_ui Qt6::Test)
target_include_directories(morvex_tests_ui PRIVATE ${CMAKE_BINARY_DIR}/generated ${MORVEX_UI_TEST_DIR})
set_target_properties(morvex_tests_ui PROPERTIES AUTOMOC ON)
# Save report...: the window over the example site, its HTML held against morvex-scan's own.
if(TARGET morvex-scan)
  target_sources(morvex_tests_ui PRIVATE ${MORVEX_UI_TEST_DIR}/test_frmMainSave.cpp)
  target_link_libraries(morvex_tests_ui PRIVATE morvex_pageserver)
  target_compile_definitions(morvex_tests_ui PRIVATE MORVEX_SCAN_EXE="$<TARGET_FILE:morvex-scan>")
  add_dependencies(morvex_tests_ui morvex-scan)
endif()

# The real program on a virtual display; skipped where xvfb-run is missing. A generated site, when the
# generator was built, lets it also catch the progress window during a run.
if(TARGET morvex)
  add_test(NAME morvex_smoke_window
           COMMAND ${MORVEX_UI_TEST_DIR}/smoke_window.sh $<TARGET_FILE:morvex> ${CMAKE_BINARY_DIR}/smoke
                   ${CMAKE_BINARY_DIR}/bench/morvex-sitegen)
  set_tests_properties(morvex_smoke_window PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
endif()

# The real program under a window manager (openbox): frame centring, and the message box of a run that must stand
# in front of the always-on-top progress window. Skipped where Xvfb or openbox is missing.
if(TARGET morvex)
  add_test(NAME morvex_smoke_window_wm
           COMMAND ${MORVEX_UI_TEST_DIR}/smoke_window_wm.sh $<TARGET_FILE:morvex> ${CMAKE_BINARY_DIR}/smoke-wm
                   ${PROJECT_SOURCE_DIR}/examples/site)
  set_tests_properties(morvex_smoke_window_wm PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
endif()
