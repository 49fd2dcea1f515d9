# Tests of the report formats: escaping for the HTML page, the collision counts and the statistics.
morvex_add_test_executable(morvex_tests_report test_HtmlEscape.cpp test_CollisionCounts.cpp)
# The command line's --unique list is the yardstick the counts' template properties are held against.
target_link_libraries(morvex_tests_report PRIVATE morvex_report morvex_scan_support)
