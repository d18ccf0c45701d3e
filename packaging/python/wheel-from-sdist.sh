#!/usr/bin/env bash
# Builds the wheel from the source distribution alone, in a fresh folder, the
# way `pip install textquirl-<version>.tar.gz` does on a user's machine:
# Debian's python3 with its pip, setuptools and pybind11, nothing downloaded.
# Usage: wheel-from-sdist.sh <textquirl-<version>.tar.gz> <out dir>
set -euo pipefail
sdist=$(realpath "$1") out=$2
mkdir -p "$out"
out=$(realpath "$out")
fresh=$(mktemp -d)
trap 'rm -rf "$fresh"' EXIT
cp "$sdist" "$fresh/"
cd "$fresh"
TEXTQUIRL_BUILD_JOBS=${TEXTQUIRL_BUILD_JOBS:-$(nproc)} PIP_NO_CACHE_DIR=1 \
  /usr/bin/python3 -m pip wheel --quiet --no-deps --no-build-isolation --no-index --wheel-dir "$out" \
  "$fresh/$(basename "$sdist")"
ls "$out"/textquirl-*.whl
