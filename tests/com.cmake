# Page servers through COM under Wine: our DLL and our local server, scripted servers built here, creation
# failures, registration.
# Its cases register and unregister classes for the whole Wine prefix, so they run one at a time.
if(TARGET morvex-pages AND TARGET morvex-scan)
  add_executable(morvex_tests_com test_ComPageServer.cpp ${PROJECT_SOURCE_DIR}/bench/SiteGenerator.cpp)
  target_link_libraries(morvex_tests_com PRIVATE GTest::gtest GTest::gtest_main morvex_pageserver_dispatch
                        morvex_pageserver_com morvex_pageserver morvex_search morvex_warnings)
  target_include_directories(morvex_tests_com PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support ${PROJECT_SOURCE_DIR}/bench)
  target_compile_definitions(morvex_tests_com PRIVATE MORVEX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                             MORVEX_PAGES_DLL="$<TARGET_FILE:morvex-pages>" MORVEX_SCAN_EXE="$<TARGET_FILE:morvex-scan>"
                             MORVEX_PAGES_LOCAL_EXE="$<TARGET_FILE:morvex-pages-local>")
  add_dependencies(morvex_tests_com morvex-pages morvex-pages-local morvex-scan)
  gtest_discover_tests(morvex_tests_com DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600 RESOURCE_LOCK morvex_com_registry)
endif()
