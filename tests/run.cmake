# Tests of the search run and of the command-line scan, in-process and as a process; with them the formats'
# tests that name POSIX paths (page-file locations, the SARIF log's), as these run on Linux only.
morvex_add_test_executable(morvex_tests_run test_basSearch.cpp test_UnopenedPages.cpp test_ScanMessages.cpp
                           test_ScanTerminal.cpp test_PageFileLocations.cpp test_SarifReport.cpp
                           ${PROJECT_SOURCE_DIR}/bench/SiteGenerator.cpp)
target_include_directories(morvex_tests_run PRIVATE ${PROJECT_SOURCE_DIR}/bench)
target_link_libraries(morvex_tests_run PRIVATE morvex_scan_support morvex_report morvex_pageserver morvex_search
                      simdjson::simdjson)

if(TARGET morvex-scan)
  morvex_add_test_executable(morvex_tests_scan_cli test_morvex_scan.cpp ${PROJECT_SOURCE_DIR}/bench/SiteGenerator.cpp)
  target_include_directories(morvex_tests_scan_cli PRIVATE ${PROJECT_SOURCE_DIR}/bench)
  target_link_libraries(morvex_tests_scan_cli PRIVATE morvex_common simdjson::simdjson)
  target_compile_definitions(morvex_tests_scan_cli PRIVATE MORVEX_SCAN_EXE="$<TARGET_FILE:morvex-scan>")
  add_dependencies(morvex_tests_scan_cli morvex-scan)
endif()

# The SARIF log against OASIS's schema and Microsoft's SARIF Multitool, both fetched by the bootstrap
# (scripts/fetch-sarif-schema.sh, scripts/fetch-sarif-multitool.sh).
if(TARGET morvex-scan)
  add_test(NAME morvex_sarif_output
           COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/sarif_output.py $<TARGET_FILE:morvex-scan>
                   ${PROJECT_SOURCE_DIR}/.deps/sarif-2.1.0.json ${PROJECT_SOURCE_DIR}/examples/site
                   ${CMAKE_CURRENT_BINARY_DIR} ${PROJECT_SOURCE_DIR}/.deps/sarif-multitool-5.7.0/Sarif.Multitool)
endif()
