#!/bin/sh
# The filter against `wc -w` on German prose, side by side: an older build
# (say of main before a change) and this one, in the classic mode, in
# careful mode and with --per-line, run in turn round after round, so that
# a busy moment of the machine hits all alike; medians of the wall time and
# each one's share of `wc -w`'s. Then one word of 10 MB of each kind
# (letters, combining marks, emoji, NUL) and the peak memory on 100 MB of
# prose, medians of a few runs.
#
#   bench/prose.sh OLD/bin/textquirl-cli build/bin/textquirl-cli [MEGABYTES] [ROUNDS]
#
# make-sample-text is taken from beside the new filter.
set -eu
old=$1 new=$2 megabytes=${3:-10} rounds=${4:-15}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$(dirname "$new")/make-sample-text" "$megabytes" > "$dir/prose.txt"
"$(dirname "$new")/make-sample-text" 100 > "$dir/prose100.txt"

python3 - "$old" "$new" "$dir" "$rounds" <<'EOF'
import os, statistics, subprocess, sys, time

old, new, d, rounds = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
prose = f"{d}/prose.txt"


def run(command):
    """Wall seconds and peak kilobytes of one run, its output discarded."""
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    if status != 0:
        sys.exit(f"failed: {' '.join(command)}")
    return time.perf_counter() - start, usage.ru_maxrss


cases = {"wc -w": ["wc", "-w", prose]}
for mode, extra in (("classic", []), ("careful", ["--mode", "careful"]), ("per-line", ["--per-line"])):
    cases[f"before {mode}"] = [old, *extra, prose]
    cases[mode] = [new, *extra, prose]
times = {name: [] for name in cases}
for round_ in range(rounds + 2):  # two rounds to warm up
    for name, command in cases.items():
        seconds, _ = run(command)
        if round_ >= 2:
            times[name].append(seconds)
base = statistics.median(times["wc -w"])
print(f"{os.path.getsize(prose)} bytes of prose, medians of {rounds} rounds:")
for name, values in times.items():
    median = statistics.median(values)
    print(f"  {name:18s} {median * 1000:6.1f} ms  {median / base:5.2f}x wc -w")

words = {"letters": "a" * 10_000_000, "combining": "e\u0301" * 3_400_000,
         "emoji": "\U0001F44D\U0001F3FD" * 1_250_000, "nul": "\0" * 10_000_000}
for name, text in words.items():
    with open(f"{d}/{name}.txt", "w", encoding="utf-8") as f:
        f.write(text)
    runs = [run([new, f"{d}/{name}.txt"]) for _ in range(5)]
    print(f"one 10 MB word ({name}): {statistics.median(r[0] for r in runs):.2f} s, "
          f"peak {max(r[1] for r in runs)} KB")
size = os.path.getsize(f"{d}/prose100.txt")
runs = [run([new, f"{d}/prose100.txt"]) for _ in range(3)]
peak = max(r[1] for r in runs)
print(f"100 MB of prose ({size} bytes): {statistics.median(r[0] for r in runs):.2f} s, "
      f"peak {peak} KB, {peak * 1024 / size:.2f} bytes per input byte")
EOF
