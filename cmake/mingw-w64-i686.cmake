# Cross toolchain: 32-bit Windows programs from Debian's MinGW-w64 posix-thread compilers, run under Wine's
# 32-bit side. In-process servers load only into a program of their own bitness, and many are 32-bit.
set(MORVEX_MINGW_TARGET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
set(CMAKE_SYSTEM_PROCESSOR x86)

# SSE2 arithmetic, as on x64: the x87 unit's 80-bit intermediates would round the progress percentages and
# the DPI arithmetic differently from the 64-bit programs. Windows 8, the oldest system supported, requires
# SSE2 anyway. With SSE on, GCC's MinGW target realigns the stack on entry to functions that need 16 bytes,
# since Windows hands callbacks and new threads a stack aligned to 4 only.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# ctest and test discovery start the programs through Wine.
find_program(MORVEX_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${MORVEX_WINE})

# Large-address aware: on 64-bit Windows a 32-bit program then has 4 GiB of address space instead of 2, room
# for a larger table (the one pointer-sized signed number here, FileHandle, holds handles, not addresses).
set(CMAKE_EXE_LINKER_FLAGS_INIT "${MORVEX_STATIC_RUNTIME} -Wl,--large-address-aware")
# A DLL's exported functions are __stdcall, which 32-bit MinGW names with an @ and the size of the
# arguments (DllGetClassObject@12); Windows looks them up by their plain names, so the suffix is left off.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${MORVEX_STATIC_RUNTIME} -Wl,--kill-at")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${MORVEX_STATIC_RUNTIME} -Wl,--kill-at")
