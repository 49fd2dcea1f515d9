# morvex-dbf, the table dump: shows a dBase table as the tool reads it.
add_executable(morvex-dbf ${CMAKE_CURRENT_SOURCE_DIR}/morvex-dbf.cpp)
set_target_properties(morvex-dbf PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MORVEX_PROGRAM_DIR})
target_link_libraries(morvex-dbf PRIVATE morvex_tables morvex_common morvex_console morvex_warnings)
if(TARGET CLI11::CLI11)
  target_link_libraries(morvex-dbf PRIVATE CLI11::CLI11)
endif()
install(TARGETS morvex-dbf RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
