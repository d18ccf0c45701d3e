# Cross build for 64-bit Windows with Debian's mingw-w64 (the POSIX-thread
# variant of g++, resources with its windres). Used by scripts/build-windows.sh:
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TEXTQUIRL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TEXTQUIRL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TEXTQUIRL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TEXTQUIRL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TEXTQUIRL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked in: the C++ runtime, libgcc and winpthread, so that
# the programs need no DLL beside them, only Windows' own.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
