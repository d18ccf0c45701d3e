# Cross build of the web page's WebAssembly module with Debian's clang 14,
# wasi-libc, the wasm32 libc++ and lld. Used by scripts/build-web.sh:
#   cmake -S . -B build-web --toolchain cmake/wasm32-wasi.cmake
# The module imports nothing: no WASI calls, no glue; exceptions are off
# (clang 14 has none for this target), so a failed allocation traps.
set(CMAKE_SYSTEM_NAME WASI)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})  # Platform/WASI.cmake

set(TEXTQUIRL_WASM_TARGET wasm32-wasi)
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_C_COMPILER_TARGET ${TEXTQUIRL_WASM_TARGET})
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_CXX_COMPILER_TARGET ${TEXTQUIRL_WASM_TARGET})

set(CMAKE_CXX_FLAGS_INIT "-fno-exceptions -ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_MINSIZEREL_INIT "-Oz -DNDEBUG")

# Debian's clang finds wasi-libc and libc++ for this target under /usr by itself.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
