# The table reader benchmark: a generator, the reader as a whole process, and shapelib's reader to compare with.
add_executable(morvex_bench_make_table ${CMAKE_CURRENT_SOURCE_DIR}/bench_make_table.cpp)
target_link_libraries(morvex_bench_make_table PRIVATE morvex_warnings)

add_executable(morvex_bench_dbase_read ${CMAKE_CURRENT_SOURCE_DIR}/bench_dbase_read.cpp)
target_link_libraries(morvex_bench_dbase_read PRIVATE morvex_tables morvex_common morvex_warnings)

find_library(MORVEX_SHP_LIBRARY shp)
find_path(MORVEX_SHP_INCLUDE shapefil.h)
if(MORVEX_SHP_LIBRARY AND MORVEX_SHP_INCLUDE)
  enable_language(C)
  add_executable(morvex_bench_shapelib_read ${CMAKE_CURRENT_SOURCE_DIR}/bench_shapelib_read.c)
  target_include_directories(morvex_bench_shapelib_read PRIVATE ${MORVEX_SHP_INCLUDE})
  target_link_libraries(morvex_bench_shapelib_read PRIVATE ${MORVEX_SHP_LIBRARY})
endif()
