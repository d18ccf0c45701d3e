#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the release build's
# suite (engine, filter, window, end-to-end under Xvfb), the Python package
# (its wheel installed into a fresh virtual environment, its tests and the
# Dask example on a local cluster), the Windows program's
# cross build with its tests under Wine (engine, filter, end-to-end), the web
# page's WebAssembly build with its test in headless Chromium and the npm
# package's test, the release's files (made by scripts/package.sh, which
# reuses the Windows and web builds: checked, installed, used and removed
# again), the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer (on the portable code paths,
# without SSE2), and each fuzz target for a
# bounded time (TEXTQUIRL_FUZZ_SECONDS, default 30). Each stage says how long
# the run has taken so far. A stage fails when none of its tests passed, and
# when its end-to-end test was left out or skipped (no Chromium, no Wine, no X
# tools): scripts/run-ctest.sh.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh test
jobs=$(nproc)
stage() { echo "== $1 (${SECONDS} s so far)"; }

stage "release build"
scripts/quiet.sh cmake -S . -B build -G Ninja
cmake --build build -j"$jobs"
scripts/run-ctest.sh --require ui.e2e_window build --output-on-failure -j"$jobs"

stage "Python package (wheel, fresh virtual environment, pytest, Dask)"
tests/python/run.sh build/bin/textquirl-cli

stage "Windows program (cross build with mingw-w64, tests under Wine)"
scripts/build-windows.sh -DTEXTQUIRL_LINUX_CLI="$PWD/build/bin/textquirl-cli"
# A test whose Wine server connection drops ("wine client error") gets one
# more run.
scripts/run-ctest.sh --require win32.e2e_wine build-windows --output-on-failure -j"$jobs" --repeat until-pass:2

stage "web page (WebAssembly build, test in headless Chromium)"
scripts/build-web.sh -DTEXTQUIRL_LINUX_CLI="$PWD/build/bin/textquirl-cli"
scripts/run-ctest.sh --require web.browser build-web --output-on-failure

stage "packages (scripts/package.sh, then installed, used and removed)"
scripts/package.sh
tests/packaging/run.sh

# Built without the SSE2 paths (__SSE2__ undefined), so that the suite also
# runs the portable code that the web page and other processors take.
stage "sanitizer build (ASan + UBSan, portable code paths)"
scripts/quiet.sh cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 -DTEXTQUIRL_SANITIZE=ON -DTEXTQUIRL_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS=-U__SSE2__
cmake --build build-sanitize -j"$jobs"
scripts/run-ctest.sh build-sanitize --output-on-failure -j"$jobs"

stage "fuzzing (${TEXTQUIRL_FUZZ_SECONDS:-30} s per target)"
scripts/quiet.sh cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 -DTEXTQUIRL_FUZZ=ON -DTEXTQUIRL_BUILD_UI=OFF \
  -DTEXTQUIRL_BUILD_TESTS=OFF -DTEXTQUIRL_BUILD_BENCH=OFF \
  -DTEXTQUIRL_FUZZ_SECONDS="${TEXTQUIRL_FUZZ_SECONDS:-30}"
cmake --build build-fuzz -j"$jobs"
scripts/run-ctest.sh build-fuzz --output-on-failure -j"$jobs"
echo "== every stage passed in ${SECONDS} s"
