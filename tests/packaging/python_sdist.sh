#!/usr/bin/env bash
# The Python package's source distribution: it holds what the build needs
# (the package, the engine's sources, the version's CMakeLists.txt, the
# licence) and no build leftovers; the wheel that scripts/package.sh built
# from it alone, in a fresh folder, imports with Debian's python3 and
# scrambles a German sentence as the filter does.
# Usage: python_sdist.sh <textquirl-<version>.tar.gz> <its wheel> <the build's textquirl-cli>
set -u
[ $# -eq 3 ] || { echo "usage: $0 <sdist> <wheel> <textquirl-cli>" >&2; exit 2; }
sdist=$1 wheel=$2 cli=$3
fail() { echo "FAIL: python_sdist: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

top=$(basename "$sdist" .tar.gz)
tar -tzf "$sdist" > "$work/list" || fail "not a gzip tar archive: $sdist"
for file in pyproject.toml setup.py PKG-INFO LICENSE CMakeLists.txt src/module.cpp textquirl/__init__.py \
            engine/scramble.cpp engine/scramble.hpp; do
  grep -qx "$top/$file" "$work/list" || fail "$file is missing"
done
grep -v "^$top/" "$work/list" && fail "files outside $top/"
grep -E '\.(so|o|pyc)$|/build/|__pycache__' "$work/list" && fail "build leftovers"
echo "python_sdist: $(wc -l < "$work/list") entries under $top/"

python3 -m zipfile -e "$wheel" "$work/wheel" || fail "not a wheel: $wheel"
sentence='Größere Wörter lassen sich überraschend gut lesen, auch wenn die Buchstaben verwürfelt sind.'
expected=$(printf '%s' "$sentence" | "$cli")
got=$(cd "$work" && PYTHONPATH=$work/wheel /usr/bin/python3 -c \
      'import sys, textquirl; sys.stdout.write(textquirl.scramble(sys.argv[1]))' "$sentence") ||
  fail "the wheel does not import"
[ "$got" = "$expected" ] || fail "the wheel's textquirl.scramble: «$got», the filter: «$expected»"
echo "python_sdist: the wheel built from it: $got"
