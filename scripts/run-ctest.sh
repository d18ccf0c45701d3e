#!/usr/bin/env bash
# Runs ctest in a build directory and fails, besides on ctest's own failures,
# when the tests proved nothing: when no test passed (each left out when the
# build was configured, or skipped with exit status 77 for want of Chromium,
# Wine or the X tools), or when a test named with --require did not pass. On
# success the output ends with ctest's own closing lines.
# Usage: scripts/run-ctest.sh [--require TEST]... BUILD-DIR [CTEST-OPTIONS]...
#   scripts/run-ctest.sh --require web.browser build-web --output-on-failure
set -uo pipefail
required=()
while [[ ${1:-} == --require ]]; do
  required+=("$2")
  shift 2
done
[[ $# -ge 1 ]] || { echo "usage: $0 [--require TEST]... BUILD-DIR [CTEST-OPTIONS]..." >&2; exit 2; }
dir=$1
shift
report=$(mktemp)
trap 'rm -f "$report"' EXIT
ctest --test-dir "$dir" --output-junit "$report" "$@"
status=$?
[[ $status -eq 0 ]] || exit $status

# JUnit: one <testcase name="…" … status="run|fail|skipped|notrun|disabled"> per test.
passed=$(grep -o '<testcase name="[^"]*"[^>]*status="run"' "$report" | sed 's/^<testcase name="\([^"]*\)".*/\1/')
if [[ -z $passed ]]; then
  echo "run-ctest.sh: no test passed in $dir (every test left out or skipped)" >&2
  exit 1
fi
for name in "${required[@]}"; do
  if ! grep -qxF -- "$name" <<< "$passed"; then
    echo "run-ctest.sh: $name did not pass in $dir (left out or skipped)" >&2
    exit 1
  fi
done
