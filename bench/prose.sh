#!/bin/sh
# The filter against `wc -w` on German prose, side by side in one hyperfine
# run: an older build (say of main before a change) and this one, in the
# classic mode, in careful mode and with --per-line; then one word of 10 MB
# of each kind (letters, combining marks, emoji, NUL) and the peak memory on
# 100 MB of prose.
#
#   bench/prose.sh OLD/bin/textquirl-cli build/bin/textquirl-cli [MEGABYTES]
#
# make-sample-text is taken from beside the new filter. Needs hyperfine and
# GNU time (scripts/install-deps.sh bench).
set -eu
old=$1 new=$2 megabytes=${3:-10}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$(dirname "$new")/make-sample-text" "$megabytes" > "$dir/prose.txt"
hyperfine -N -w3 -r15 \
  -n 'wc -w' "wc -w $dir/prose.txt" \
  -n 'before' "$old $dir/prose.txt" \
  -n 'classic' "$new $dir/prose.txt" \
  -n 'before careful' "$old --mode careful $dir/prose.txt" \
  -n 'careful' "$new --mode careful $dir/prose.txt" \
  -n 'before per-line' "$old --per-line $dir/prose.txt" \
  -n 'per-line' "$new --per-line $dir/prose.txt"

python3 - "$dir" <<'EOF'
import sys
d = sys.argv[1]
words = {"letters": "a" * 10_000_000, "combining": "e\u0301" * 3_400_000,
         "emoji": "\U0001F44D\U0001F3FD" * 1_250_000, "nul": "\0" * 10_000_000}
for name, text in words.items():
    with open(f"{d}/{name}.txt", "w", encoding="utf-8") as f:
        f.write(text)
EOF
for word in letters combining emoji nul; do
  /usr/bin/time -f "one 10 MB word ($word): %e s, peak %M KB" "$new" "$dir/$word.txt" > /dev/null
done

"$(dirname "$new")/make-sample-text" 100 > "$dir/prose100.txt"
/usr/bin/time -f "100 MB of prose: %e s, peak %M KB" "$new" "$dir/prose100.txt" > /dev/null
ls -l "$dir/prose100.txt" | awk '{print "input: " $5 " bytes"}'
