# Tests of the report formats: escaping for the HTML page, the collision counts and the statistics, the tsv and
# json reports and the JSON escaping they share, the gzip size of a log.
morvex_add_test_executable(morvex_tests_report test_HtmlEscape.cpp test_CollisionCounts.cpp test_TsvJsonReport.cpp
                           test_GzipSize.cpp)
target_link_libraries(morvex_tests_report PRIVATE morvex_report)

# The page in Chromium headless (the bootstrap installs it, its driver and Selenium): Debian's own Python, whose
# packages those are, whatever python3 comes first on the PATH.
if(TARGET morvex-scan AND NOT WIN32)
  find_program(MORVEX_DEBIAN_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
  add_test(NAME morvex_html_report_browser
           COMMAND ${MORVEX_DEBIAN_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/html_report_browser.py $<TARGET_FILE:morvex-scan>
                   ${PROJECT_SOURCE_DIR}/examples/site ${CMAKE_CURRENT_BINARY_DIR}/html-report)
  set_tests_properties(morvex_html_report_browser PROPERTIES TIMEOUT 300)
endif()
