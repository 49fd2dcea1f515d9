# What both Windows cross toolchains share, for the MinGW-w64 target MORVEX_MINGW_TARGET that each sets first.
set(CMAKE_SYSTEM_NAME Windows)

# The posix-thread compilers: the win32-thread ones have no std::mutex, which simdjson and the page reader use.
set(CMAKE_C_COMPILER ${MORVEX_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MORVEX_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${MORVEX_MINGW_TARGET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MORVEX_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe or .dll is enough on a Windows machine: no libstdc++, libgcc or winpthread DLLs to carry along.
set(MORVEX_STATIC_RUNTIME "-static -static-libgcc -static-libstdc++")
