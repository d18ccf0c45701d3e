#!/usr/bin/env bash
# Cross-builds the Windows program on Debian with mingw-w64: installs what is
# missing, then builds build-windows/bin/textquirl.exe (the window) and
# textquirl-cli.exe (the filter), statically linked, so that they run on their
# own on Windows 10 and 11, and the tests that run under Wine (`ctest
# --test-dir build-windows`). Checks that the programs import nothing but
# Windows' own DLLs.
# Usage: scripts/build-windows.sh [further CMake options]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows

scripts/quiet.sh cmake -S . -B build-windows -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake "$@"
cmake --build build-windows -j"$(nproc)"

for exe in build-windows/bin/textquirl.exe build-windows/bin/textquirl-cli.exe; do
  [ -f "$exe" ] || continue
  imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
  for dll in $imports; do
    case "${dll,,}" in
      kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | shell32.dll | ole32.dll | oleaut32.dll | \
        oleacc.dll | advapi32.dll | msvcrt.dll | api-ms-win-*.dll) ;;
      *) echo "build-windows.sh: $exe needs $dll, which Windows does not bring" >&2; exit 1 ;;
    esac
  done
  echo "built $exe ($(stat -c %s "$exe") bytes; imports: $(echo $imports))"
done
