#!/usr/bin/env bash
# Makes the Python package's source distribution textquirl-<version>.tar.gz:
# the package (python/) at the top, with what its build reads beside it: the
# engine's sources (engine/), the top CMakeLists.txt (the version) and the
# LICENSE. `pip install textquirl-<version>.tar.gz` then builds the extension
# on any Python 3.9 or later with a C++20 compiler and pybind11.
# Built with Debian's python3 and its setuptools (no download).
# Usage: make-sdist.sh <source tree (a git checkout)> <out dir>
set -euo pipefail
src=$(realpath "$1") out=$2
mkdir -p "$out"
out=$(realpath "$out")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# The files git knows, as they are in the working tree.
(cd "$src/python" && git ls-files -z | xargs -0 cp --parents -t "$stage")
(cd "$src" && git ls-files -z engine | xargs -0 cp --parents -t "$stage")
cp "$src/CMakeLists.txt" "$src/LICENSE" "$stage/"
cat > "$stage/MANIFEST.in" <<'MANIFEST'
graft engine
graft src
include CMakeLists.txt LICENSE
global-exclude *.py[cod]
MANIFEST

cd "$stage"
/usr/bin/python3 -m build --sdist --no-isolation --outdir "$out" > "$stage.log" 2>&1 ||
  { cat "$stage.log" >&2; rm -f "$stage.log"; exit 1; }
rm -f "$stage.log"
ls "$out"/textquirl-*.tar.gz
