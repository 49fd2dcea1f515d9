# Tests of the shared helpers.
morvex_add_test_executable(morvex_tests_common test_TextUtil.cpp test_CodePage.cpp test_CodePageTable.cpp
                           test_basFileTools.cpp test_TextTable.cpp test_ReportText.cpp)
target_link_libraries(morvex_tests_common PRIVATE morvex_common)
if(WIN32)
  target_sources(morvex_tests_common PRIVATE test_PlatformWin32.cpp)
endif()
