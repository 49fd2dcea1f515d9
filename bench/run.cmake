# The site generator behind the whole-run benchmark (bench_scan.sh) and the large-site tests.
add_library(morvex_sitegen STATIC ${CMAKE_CURRENT_SOURCE_DIR}/SiteGenerator.cpp)
target_include_directories(morvex_sitegen PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(morvex_sitegen PRIVATE morvex_warnings)

add_executable(morvex-sitegen ${CMAKE_CURRENT_SOURCE_DIR}/morvex-sitegen.cpp)
target_link_libraries(morvex-sitegen PRIVATE morvex_sitegen morvex_warnings)
if(TARGET CLI11::CLI11)
  target_link_libraries(morvex-sitegen PRIVATE CLI11::CLI11)
endif()
