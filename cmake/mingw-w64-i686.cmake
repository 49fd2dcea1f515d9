# Cross toolchain: 32-bit Windows programs from Debian's MinGW-w64 posix-thread compilers, run under Wine's
# 32-bit side. In-process servers load only into a program of their own bitness, and many are 32-bit.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

# The posix-thread compilers: the win32-thread ones have no std::mutex, which simdjson and the page reader use.
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# SSE2 arithmetic, as on x64: the x87 unit's 80-bit intermediates would round the progress percentages and
# the DPI arithmetic differently from the 64-bit programs. Windows 8, the oldest system supported, requires
# SSE2 anyway. With SSE on, GCC's MinGW target realigns the stack on entry to functions that need 16 bytes,
# since Windows hands callbacks and new threads a stack aligned to 4 only.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# ctest and test discovery start the programs through Wine.
find_program(MORVEX_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${MORVEX_WINE})

# One .exe or .dll is enough on a Windows machine: no libstdc++, libgcc or winpthread DLLs to carry along.
# Large-address aware: on 64-bit Windows a 32-bit program then has 4 GiB of address space instead of 2, room
# for a larger table (the one pointer-sized signed number here, FileHandle, holds handles, not addresses).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--large-address-aware")
# A DLL's exported functions are __stdcall, which 32-bit MinGW names with an @ and the size of the
# arguments (DllGetClassObject@12); Windows looks them up by their plain names, so the suffix is left off.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--kill-at")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--kill-at")
