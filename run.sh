#!/usr/bin/env bash
# Installs what is missing, builds Textquirl and starts its window.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh run
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j"$(nproc)" --target textquirl textquirl-cli
exec build/bin/textquirl
