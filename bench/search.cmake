# The page scan benchmark: open-and-scan through the page-file server beside simdjson's own parse.
if(benchmark_FOUND)
  add_executable(morvex_bench_page_scan ${CMAKE_CURRENT_SOURCE_DIR}/bench_page_scan.cpp)
  target_include_directories(morvex_bench_page_scan PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  target_link_libraries(morvex_bench_page_scan PRIVATE benchmark::benchmark morvex_pageserver morvex_search
                        simdjson::simdjson morvex_warnings)
endif()

# The report units over a dense run's placements (bench_html.sh runs it on the many-findings site's report).
if(benchmark_FOUND AND TARGET morvex_report)
  add_executable(morvex_bench_report ${CMAKE_CURRENT_SOURCE_DIR}/bench_report.cpp)
  target_link_libraries(morvex_bench_report PRIVATE benchmark::benchmark morvex_report morvex_warnings)
endif()
