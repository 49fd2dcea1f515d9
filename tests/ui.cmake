# Tests of the windows (offscreen, GoogleTest with Qt Test helpers) and the smoke test of the real window.
set(MORVEX_UI_TEST_DIR ${CMAKE_CURRENT_SOURCE_DIR})
morvex_add_test_executable(morvex_tests_ui ${MORVEX_UI_TEST_DIR}/ui_test_main.cpp ${MORVEX_UI_TEST_DIR}/test_frmMain.cpp
                           ${MORVEX_UI_TEST_DIR}/test_frmStatusBar.cpp ${MORVEX_UI_TEST_DIR}/test_basBrowseFolder.cpp
                           ${MORVEX_UI_TEST_DIR}/UiTestSupport.h)
target_link_libraries(morvex_tests_ui PRIVATE morvex_ui Qt6::Test)
target_include_directories(morvex_tests_ui PRIVATE ${CMAKE_BINARY_DIR}/generated ${MORVEX_UI_TEST_DIR})
set_target_properties(morvex_tests_ui PROPERTIES AUTOMOC ON)
