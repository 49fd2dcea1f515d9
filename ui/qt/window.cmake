# morvex, the desktop program, its desktop entry, and the helper that times one window run as a process.
# The page-file server is the only automation server this platform has; without it there is nothing to run.
if(TARGET morvex_pageserver)
  add_executable(morvex ${CMAKE_CURRENT_SOURCE_DIR}/morvex.cpp)
  set_target_properties(morvex PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MORVEX_PROGRAM_DIR})
  target_link_libraries(morvex PRIVATE morvex_ui morvex_pageserver morvex_search morvex_warnings)
  install(TARGETS morvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT window)
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/morvex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
          COMPONENT window)

  if(MORVEX_BUILD_BENCH)
    add_executable(morvex-bench-window ${CMAKE_CURRENT_SOURCE_DIR}/morvex-bench-window.cpp)
    set_target_properties(morvex-bench-window PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MORVEX_PROGRAM_DIR})
    target_link_libraries(morvex-bench-window PRIVATE morvex_ui morvex_pageserver morvex_search morvex_warnings)
  endif()
endif()
