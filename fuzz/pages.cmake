# Page files: arbitrary bytes opened as a page and walked through every server operation and the scan.
morvex_add_fuzz_target(fuzz_pages ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_pages.cpp
                       ${CMAKE_CURRENT_SOURCE_DIR}/corpus/fuzz_pages morvex_pageserver morvex_search)
target_include_directories(fuzz_pages_replay PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
if(TARGET fuzz_pages)
  target_include_directories(fuzz_pages PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
endif()
