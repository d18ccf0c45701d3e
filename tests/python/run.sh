#!/usr/bin/env bash
# The Python package as a user gets it: builds the wheel from python/ with
# Debian's Python, checks what it holds, installs it with pip --no-index into
# a fresh virtual environment that sees Debian's packages (pytest, Dask), and
# runs tests/python there against the filter.
# Usage: tests/python/run.sh [FILTER]   (default build/bin/textquirl-cli)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
filter=$(realpath "${1:-$root/build/bin/textquirl-cli}")
work=$root/build-python
rm -rf "$work"
mkdir -p "$work"

if ! /usr/bin/python3 -m build --wheel --no-isolation --outdir "$work/dist" "$root/python" >"$work/build.log" 2>&1; then
  cat "$work/build.log" >&2
  exit 1
fi
wheel=$(ls "$work"/dist/textquirl-*-cp311-cp311-linux_x86_64.whl)
/usr/bin/python3 - "$wheel" <<'EOF_PY'
import sys, zipfile
names = zipfile.ZipFile(sys.argv[1]).namelist()
missing = [n for n in ("textquirl/__init__.py", "textquirl/_textquirl.pyi", "textquirl/py.typed") if n not in names]
if not any(n.startswith("textquirl/_textquirl.") and n.endswith(".so") for n in names):
    missing.append("textquirl/_textquirl.*.so")
sys.exit(f"missing from {sys.argv[1]}: {missing}" if missing else 0)
EOF_PY

/usr/bin/python3 -m venv --system-site-packages "$work/venv"
"$work/venv/bin/pip" install --no-index --quiet "$wheel"
cd "$work"  # not the checkout, so that only the installed package can be imported
"$work/venv/bin/python" -c 'import sys, textquirl; sys.exit(0 if textquirl.__file__.startswith(sys.prefix) else f"textquirl imported from {textquirl.__file__}")'
# pytest's exit status 5 (no tests collected) fails this script like any other.
TEXTQUIRL_CLI=$filter PYTHONDONTWRITEBYTECODE=1 \
  "$work/venv/bin/python" -m pytest -p no:cacheprovider -q -W ignore::DeprecationWarning "$root/tests/python"
