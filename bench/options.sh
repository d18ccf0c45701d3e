#!/bin/sh
# The filter's speed with and without its options, side by side in one
# hyperfine run on German prose: an older build (say of main, before the
# options), this build's default, --per-line, and all scramble options.
#
#   bench/options.sh OLD/bin/textquirl-cli build/bin/textquirl-cli [MEGABYTES]
#
# make-sample-text is taken from beside the new filter. Needs hyperfine
# (scripts/install-deps.sh bench).
set -eu
old=$1 new=$2 megabytes=${3:-10}
sample=$(mktemp)
trap 'rm -f "$sample"' EXIT
"$(dirname "$new")/make-sample-text" "$megabytes" > "$sample"
hyperfine -N -w3 -r30 \
  -n before "$old $sample" \
  -n default "$new $sample" \
  -n per-line "$new --per-line $sample" \
  -n options "$new --min-length 5 --rate 0,5 --always-change --keep Wort,Text $sample" \
  -n 'options per-line' "$new --per-line --min-length 5 --rate 0,5 --always-change --keep Wort,Text $sample"
