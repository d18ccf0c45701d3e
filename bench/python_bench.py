#!/usr/bin/env python3
"""Times textquirl.scramble_many on German prose in lines against the filter's
--per-line on the same file, in one run, turn about, and a plain Python
scrambler (the inner letters of each \\w+ word shuffled with random.shuffle).

Each run of the package is the whole job as the filter does it: read the
file, split it into lines, scramble_many, join and write the result (to
/dev/null); the call of scramble_many alone is given too. Wall time and
processor time (all threads) are medians over the runs. The results are
checked to be the filter's bytes.

    bench/python_bench.py                  # 10 MB from build/bin/make-sample-text
    bench/python_bench.py --megabytes 100 --runs 3 --cli build/bin/textquirl-cli

Exits with status 1 when scramble_many takes more than 1.5 times the
filter's wall time.
"""

import argparse
import random
import re
import resource
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import textquirl

ROOT = Path(__file__).resolve().parent.parent


def children_cpu() -> float:
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def time_filter(cli: Path, sample: Path) -> tuple:
    cpu, wall = children_cpu(), time.perf_counter()
    with open("/dev/null", "wb") as sink:
        subprocess.run([str(cli), "--per-line", str(sample)], stdout=sink, check=True)
    return time.perf_counter() - wall, children_cpu() - cpu


def scramble_file(sample: Path, sink) -> float:
    """The filter's job in Python; returns the time scramble_many took."""
    text = sample.read_text(encoding="utf-8")
    lines = text.split("\n")
    if lines[-1] == "":
        lines.pop()
    start = time.perf_counter()
    results = textquirl.scramble_many(lines)
    call = time.perf_counter() - start
    sink.write(("\n".join(results) + "\n").encode())
    return call


def time_package(sample: Path) -> tuple:
    cpu, wall = time.process_time(), time.perf_counter()
    with open("/dev/null", "wb") as sink:
        call = scramble_file(sample, sink)
    return time.perf_counter() - wall, time.process_time() - cpu, call


WORD = re.compile(r"\w+")


def plain_python(lines, rng: random.Random):
    """The obvious scrambler in plain Python."""

    def shuffle(match):
        word = match.group()
        if len(word) < 4:
            return word
        inner = list(word[1:-1])
        rng.shuffle(inner)
        return word[0] + "".join(inner) + word[-1]

    return [WORD.sub(shuffle, line) for line in lines]


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cli", type=Path, default=ROOT / "build" / "bin" / "textquirl-cli")
    parser.add_argument("--sample", type=Path, help="a UTF-8 text (default: make-sample-text MEGABYTES)")
    parser.add_argument("--megabytes", type=int, default=10)
    parser.add_argument("--runs", type=int, default=7)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as scratch:
        sample = args.sample
        if sample is None:
            sample = Path(scratch) / "prose.txt"
            with open(sample, "wb") as out:
                subprocess.run([str(args.cli.parent / "make-sample-text"), str(args.megabytes)], stdout=out, check=True)
        expected = subprocess.run([str(args.cli), "--per-line", str(sample)], capture_output=True, check=True).stdout
        check = Path(scratch) / "package.txt"
        with open(check, "wb") as out:
            scramble_file(sample, out)
        if check.read_bytes() != expected:
            print("scramble_many differs from textquirl-cli --per-line", file=sys.stderr)
            return 2

        filters, packages = [], []
        for _ in range(args.runs):  # turn about, so that both see the same load
            filters.append(time_filter(args.cli, sample))
            packages.append(time_package(sample))

        lines = sample.read_text(encoding="utf-8").splitlines()
        start = time.perf_counter()
        plain_python(lines, random.Random(5489))
        plain = time.perf_counter() - start
        size = sample.stat().st_size

    def median(runs, k):
        return statistics.median(run[k] for run in runs)

    print(f"{sample.name}: {size / 1e6:.1f} MB, {len(lines)} lines, median of {args.runs} runs (wall / processor)")
    print(f"  textquirl-cli --per-line           {median(filters, 0) * 1000:7.0f} ms / {median(filters, 1) * 1000:5.0f} ms")
    print(f"  Python: read, scramble_many, write {median(packages, 0) * 1000:7.0f} ms / {median(packages, 1) * 1000:5.0f} ms")
    print(f"    of which scramble_many           {median(packages, 2) * 1000:7.0f} ms")
    print(f"  plain Python scrambler (one run)   {plain * 1000:7.0f} ms")
    ratio = median(packages, 2) / median(filters, 0)
    print(f"  scramble_many / filter: {ratio:.2f}x; the whole job in Python / filter: "
          f"{median(packages, 0) / median(filters, 0):.2f}x")
    print(f"  plain Python / scramble_many: {plain / median(packages, 2):.0f}x; "
          f"plain Python / the whole job in Python: {plain / median(packages, 0):.0f}x")
    return 0 if ratio <= 1.5 else 1


if __name__ == "__main__":
    sys.exit(main())
