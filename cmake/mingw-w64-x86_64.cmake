# Cross toolchain: 64-bit Windows programs from Debian's MinGW-w64 posix-thread compilers, run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix-thread compilers: the win32-thread ones have no std::mutex, which simdjson and the page reader use.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

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

# One .exe or .dll is enough on a Windows machine: no libstdc++, libgcc or winpthread DLLs to carry along.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
