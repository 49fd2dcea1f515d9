# morvex-scan, the command-line scan, and the pieces of it that tests call directly: its terminal, its stderr
# lines and exit status, and the recorder of where objects start in their page files.
add_library(morvex_scan_support STATIC ${CMAKE_CURRENT_SOURCE_DIR}/ScanMessages.cpp
                                       ${CMAKE_CURRENT_SOURCE_DIR}/ScanTerminal.cpp
                                       ${CMAKE_CURRENT_SOURCE_DIR}/PageObjectPlaces.cpp)
target_include_directories(morvex_scan_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}
                           PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(morvex_scan_support PUBLIC morvex_report morvex_pageserver morvex_search morvex_common morvex_console
                      PRIVATE morvex_warnings)

# The page-file server is the only automation server this platform has; without it there is nothing to run.
if(TARGET morvex_pageserver)
  add_executable(morvex-scan ${CMAKE_CURRENT_SOURCE_DIR}/morvex-scan.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ScanReportOutput.cpp)
  set_target_properties(morvex-scan PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MORVEX_PROGRAM_DIR})
  if(WIN32)
    morvex_add_windows_resources(morvex-scan DESCRIPTION "Morvex reserved name search, command line")
  endif()
  target_link_libraries(morvex-scan PRIVATE morvex_scan_support morvex_report morvex_pageserver
                        morvex_search morvex_warnings)
  # --page-server: COM servers by class identifier on Windows; elsewhere the option only says so.
  if(WIN32)
    target_sources(morvex-scan PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/PageServerChoiceWin32.cpp)
    target_link_libraries(morvex-scan PRIVATE morvex_pageserver_com)
  else()
    target_sources(morvex-scan PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/PageServerChoicePosix.cpp)
  endif()
  if(TARGET CLI11::CLI11)
    target_link_libraries(morvex-scan PRIVATE CLI11::CLI11)
  endif()
  install(TARGETS morvex-scan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
endif()
