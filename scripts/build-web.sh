#!/usr/bin/env bash
# Builds Textquirl's web page: installs what is missing (clang 14 for
# wasm32-wasi with wasi-libc, the wasm32 libc++ and lld; Node.js), compiles
# the engine into a WebAssembly module optimised for size, and makes the
# static site around it in build-web/site/ (make_site.mjs refuses a module
# that imports anything). Checks that the whole site stays within 150 KB
# compressed (each file with gzip -9, as a server would send it).
# Usage: scripts/build-web.sh [further CMake options]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh web

# The toolchain counts at the first configure only (later ones would warn).
scripts/quiet.sh cmake -S . -B build-web -G Ninja --no-warn-unused-cli --toolchain cmake/wasm32-wasi.cmake \
  -DCMAKE_BUILD_TYPE=MinSizeRel "$@"
cmake --build build-web -j"$(nproc)"

site=build-web/site
budget=150000
gzipped() { gzip -9c "$1" | wc -c; }
raw=0 packed=0
for file in "$site"/*; do
  raw=$((raw + $(stat -c %s "$file")))
  packed=$((packed + $(gzipped "$file")))
done
module=$(echo "$site"/textquirl.*.wasm)
echo "built $site: $raw bytes, $packed with gzip -9 (budget $budget);" \
  "module $(stat -c %s "$module") bytes, $(gzipped "$module") with gzip -9"
if [ "$packed" -gt "$budget" ]; then
  echo "build-web.sh: the site takes $packed bytes compressed, more than $budget" >&2
  exit 1
fi
