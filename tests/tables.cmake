# Tests of the dBase table reader and of the table dump command.
morvex_add_test_executable(morvex_tests_tables test_clsDBase.cpp test_PackedCells.cpp)
target_link_libraries(morvex_tests_tables PRIVATE morvex_tables)

if(TARGET morvex-dbf AND NOT WIN32)
  morvex_add_test_executable(morvex_tests_dbf_command test_morvex_dbf.cpp)
  add_dependencies(morvex_tests_dbf_command morvex-dbf)
  target_include_directories(morvex_tests_dbf_command PRIVATE ${CMAKE_BINARY_DIR}/generated)
endif()
