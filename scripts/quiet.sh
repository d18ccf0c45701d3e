#!/usr/bin/env bash
# Runs a command without its output, unless it fails: then the output goes to
# standard error and the command's exit status is returned.
# Usage: scripts/quiet.sh COMMAND [ARGUMENTS]...   e.g. scripts/quiet.sh cmake -S . -B build
set -uo pipefail
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$@" > "$log" 2>&1
status=$?
if [[ $status -ne 0 ]]; then
  cat "$log" >&2
  echo "quiet.sh: \"$*\" failed with status $status" >&2
fi
exit $status
