#!/usr/bin/env bash
# Installs what is missing for the window alone (no test or benchmark
# libraries), builds Textquirl's programs in build-run/ and starts the window.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh run
scripts/quiet.sh cmake -S . -B build-run -G Ninja -DTEXTQUIRL_BUILD_TESTS=OFF -DTEXTQUIRL_BUILD_BENCH=OFF
cmake --build build-run -j"$(nproc)" --target textquirl textquirl-cli
exec build-run/bin/textquirl
