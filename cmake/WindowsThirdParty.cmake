# The third-party pieces of the Windows build, compiled from the sources Debian ships (see build-windows.sh):
# Debian has no MinGW builds of simdjson, CLI11 or GoogleTest, and Linux's own headers must not be searched.
set(MORVEX_SIMDJSON_SOURCE_DIR "" CACHE PATH "Folder holding simdjson.h and simdjson.cpp (the single-file build)")
set(MORVEX_CLI11_INCLUDE_DIR "" CACHE PATH "Folder holding CLI/CLI.hpp, and no other headers")
set(MORVEX_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources")

if(NOT EXISTS ${MORVEX_SIMDJSON_SOURCE_DIR}/simdjson.cpp)
  message(FATAL_ERROR "MORVEX_SIMDJSON_SOURCE_DIR must hold simdjson.cpp (scripts/build-windows.sh fetches it)")
endif()
add_library(morvex_simdjson STATIC ${MORVEX_SIMDJSON_SOURCE_DIR}/simdjson.cpp)
target_include_directories(morvex_simdjson SYSTEM PUBLIC ${MORVEX_SIMDJSON_SOURCE_DIR})
add_library(simdjson::simdjson ALIAS morvex_simdjson)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # simdjson's fast kernels are 64-bit only: the 32-bit build parses with its portable one, knowingly, so the
  # header's note saying so on every file that includes it is left out.
  target_compile_definitions(morvex_simdjson PUBLIC SIMDJSON_NO_PORTABILITY_WARNING)
endif()

if(EXISTS ${MORVEX_CLI11_INCLUDE_DIR}/CLI/CLI.hpp)
  add_library(morvex_cli11 INTERFACE)
  target_include_directories(morvex_cli11 SYSTEM INTERFACE ${MORVEX_CLI11_INCLUDE_DIR})
  add_library(CLI11::CLI11 ALIAS morvex_cli11)
endif()

# GCC 12 at -O3 reports a false -Wrestrict inside std::string's own copying (GCC bug 105329).
target_compile_options(morvex_warnings INTERFACE -Wno-restrict)
