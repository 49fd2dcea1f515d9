# Cross toolchain: 64-bit Windows programs from Debian's MinGW-w64 posix-thread compilers, run under Wine.
set(MORVEX_MINGW_TARGET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# ctest and test discovery start the programs through Wine, by its 64-bit loader where it can be found: once
# wine32 is installed, "wine" hands each 64-bit program over from a 32-bit start process (0.12 s a start
# instead of 0.05 s here).
find_program(MORVEX_WINE64_LOADER NAMES wine64 PATHS /usr/lib/wine)
if(MORVEX_WINE64_LOADER)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MORVEX_WINE64_LOADER})
else()
  find_program(MORVEX_WINE wine REQUIRED)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MORVEX_WINE})
endif()

set(CMAKE_EXE_LINKER_FLAGS_INIT "${MORVEX_STATIC_RUNTIME}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${MORVEX_STATIC_RUNTIME}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${MORVEX_STATIC_RUNTIME}")
