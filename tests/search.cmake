# Tests of the keyword table, the findings list, the page object scan, the progress base and the page-file server.
morvex_add_test_executable(morvex_tests_search test_ReservedKeywords.cpp test_FindingsList.cpp
                           test_ScanPageObjects.cpp test_ProgressInterface.cpp)
target_link_libraries(morvex_tests_search PRIVATE morvex_search)

morvex_add_test_executable(morvex_tests_pageserver test_PageFileServer.cpp test_SiteExport.cpp)
target_link_libraries(morvex_tests_pageserver PRIVATE morvex_pageserver morvex_search)

morvex_add_test_executable(morvex_tests_readahead test_PageReadAhead.cpp)
target_link_libraries(morvex_tests_readahead PRIVATE morvex_pageserver morvex_search)
