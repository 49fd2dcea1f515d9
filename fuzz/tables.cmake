# Fuzz target of the table reader.
morvex_add_fuzz_target(fuzz_dbase ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_dbase.cpp ${CMAKE_CURRENT_SOURCE_DIR}/corpus/fuzz_dbase
                       morvex_tables)
