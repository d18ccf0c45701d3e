#!/bin/sh
# The shipped filter needs nothing at run time but the C and C++ runtime
# (no ICU, no Qt): every library ldd names must be one of them.
# Usage: runtime_libraries.sh <textquirl-cli>
set -u
command -v ldd >/dev/null 2>&1 || { echo "SKIP: ldd is not there"; exit 77; }
libraries=$(ldd "$1" | awk '{ print $1 }') || exit 1
status=0
for lib in $libraries; do
  case "$(basename "$lib")" in
    linux-vdso.so.* | ld-linux*.so.* | libc.so.* | libm.so.* | libstdc++.so.* | libgcc_s.so.* | \
    libpthread.so.* | libdl.so.* | librt.so.*) ;;  # the last three: the sanitizers' runtime asks for them
    *) echo "FAIL: textquirl-cli needs $lib"; status=1 ;;
  esac
done
[ $status -eq 0 ] && echo "runtime_libraries: only the C and C++ runtime:" $libraries
exit $status
