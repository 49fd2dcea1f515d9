# morvex.exe, the Windows desktop program on the Win32 windows: GUI subsystem, static, icon, version and manifest.
if(TARGET morvex_pageserver)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(MORVEX_MANIFEST_ARCHITECTURE amd64)
  else()
    set(MORVEX_MANIFEST_ARCHITECTURE x86)
  endif()
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/morvex.manifest.in ${CMAKE_CURRENT_BINARY_DIR}/morvex.manifest @ONLY)
  add_executable(morvex WIN32 ${CMAKE_CURRENT_SOURCE_DIR}/morvex_win32.cpp)
  morvex_add_windows_resources(morvex DESCRIPTION "Morvex reserved name search"
                               MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/morvex.manifest)
  set_target_properties(morvex PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MORVEX_PROGRAM_DIR})
  # wWinMain is the entry point: the command line and every call are wide.
  target_link_options(morvex PRIVATE -municode)
  target_link_libraries(morvex PRIVATE morvex_ui_win32 morvex_pageserver morvex_pageserver_com morvex_search
                        morvex_warnings)
  install(TARGETS morvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# One search through the Win32 windows, for the Windows benchmark (bench/bench_windows.sh).
if(TARGET morvex_pageserver AND TARGET morvex_console)
  add_executable(morvex-bench-window ${CMAKE_CURRENT_SOURCE_DIR}/morvex_bench_window_win32.cpp)
  set_target_properties(morvex-bench-window PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MORVEX_PROGRAM_DIR})
  target_link_libraries(morvex-bench-window PRIVATE morvex_ui_win32 morvex_pageserver morvex_search morvex_console
                        psapi morvex_warnings)
endif()
