#!/usr/bin/env bash
# The Windows filter against the Linux one: textquirl-cli.exe under Wine must
# give, byte for byte, the Linux filter's standard output, standard error and
# exit status for each of the filter's test texts (fuzz/corpus/fuzz_filter:
# prose with LF and CR LF, a byte-order mark, NUL, emoji, and each kind of
# invalid UTF-8), read as a file and from a pipe; for all of them at once
# with --seed; with -o (the file replaced whole, or left as it was after an
# error); for a text of more than a megabyte (the two-thread path), as a
# file and from a pipe; and for a missing file and a directory; and that a
# console shows a German message right.
# Usage: cli_wine.sh <wine64> <Wine prefix> <textquirl-cli.exe> <textquirl-cli> <corpus dir>
# Exit 77 (skipped) when Wine or the Linux filter is missing.
set -u
[ $# -eq 5 ] || { echo "usage: $0 <wine64> <Wine prefix> <textquirl-cli.exe> <textquirl-cli> <corpus dir>" >&2; exit 2; }
wine=$1 prefix=$2 exe=$3 cli=$4 corpus=$5
for tool in "$wine" "$cli"; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not there"; exit 77; }
done
exe=$(realpath "$exe") cli=$(command -v "$cli") corpus=$(realpath "$corpus")
cli=$(realpath "$cli")

# The build's Wine prefix (made by the test wine.prefix; the test runs alone),
# or a new one.
# Its server stays up between the runs, which then take a tenth of a second
# each instead of two, and is ended at the end.
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver=$(dirname "$wine")/wineserver
command -v "$wineserver" >/dev/null 2>&1 || wineserver=wineserver
"$wineserver" -p </dev/null >/dev/null 2>&1
if [ ! -f "$prefix/system.reg" ]; then
  "$wine" wineboot -i >/dev/null 2>&1 || { echo "FAIL: cli_wine: wineboot failed" >&2; exit 1; }
fi
work=$(mktemp -d)
trap '"$wineserver" -k 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

failures=0
# compare <what> <file for a pipe into standard input, or ""> <args...>: both
# filters, run in $work with the same arguments, must write the same bytes and end with the same status.
compare() {
  local what=$1 input=$2 status_linux status_windows
  shift 2
  # The file that -o names (always ergebnis.txt) holds "alt" before each run.
  printf 'alt\n' > "$work/ergebnis.txt"
  (cd "$work" && cat "${input:-/dev/null}" | "$cli" "$@" > linux.out 2> linux.err); status_linux=$?
  mv "$work/ergebnis.txt" "$work/linux.file"
  printf 'alt\n' > "$work/ergebnis.txt"
  (cd "$work" && cat "${input:-/dev/null}" | "$wine" "$exe" "$@" > windows.out 2> windows.err); status_windows=$?
  mv "$work/ergebnis.txt" "$work/windows.file"
  if ! cmp -s "$work/linux.out" "$work/windows.out" || ! cmp -s "$work/linux.err" "$work/windows.err" ||
     ! cmp -s "$work/linux.file" "$work/windows.file" || [ $status_linux -ne $status_windows ] ||
     [ "$(ls -A "$work" | grep -c '^\.ergebnis')" -ne 0 ]; then
    echo "FAIL: cli_wine: $what: Linux status $status_linux, Windows $status_windows" >&2
    diff <(od -c "$work/linux.out" | head -20) <(od -c "$work/windows.out" | head -20) >&2
    diff "$work/linux.err" "$work/windows.err" >&2
    failures=$((failures + 1))
  fi
}

names=()
for text in "$corpus"/*; do
  name=text-$(basename "$text")  # "nul" alone would be Windows' null device
  cp "$text" "$work/$name"
  names+=("$name")
  compare "file $name" "" "$name"
  compare "pipe $name" "$text" -
done
compare "all texts, --seed 7" "" --seed 7 "${names[@]}"
# -o: the file replaced by the whole result, or left as it was on an error;
# no temporary file stays behind.
compare "-o, file" "" -o ergebnis.txt text-prose_crlf
compare "-o, pipe" "$corpus/emoji" --output=ergebnis.txt
compare "-o, invalid UTF-8" "" -o ergebnis.txt text-prose_lf text-overlong

# More than a megabyte of prose: read on one thread, scrambled on another.
big=$(cat "$corpus/prose_lf"; echo .)
big=${big%.}
for _ in $(seq 14); do big=$big$big; done  # 2^14 copies
printf '%s' "$big" > "$work/big.txt"
compare "file big.txt" "" big.txt
compare "pipe big.txt" "$work/big.txt"

mkdir "$work/ordner"
compare "missing file" "" fehlt.txt
compare "directory" "" ordner
compare "-o, a directory" "" -o ordner text-prose_lf

# On a console (Wine's, on a pseudo-terminal) the German message arrives
# whole, umlauts and quotation marks included; the terminal's own control
# sequences and line wrapping aside.
console=0
if command -v script >/dev/null 2>&1; then
  console=1
  expected=$(cd "$work" && "$cli" fehlt-ä.txt 2>&1 | tr -d '\r\n')
  got=$(cd "$work" && LANG=C.UTF-8 timeout 60 script -q -e -c "\"$wine\" \"$exe\" fehlt-ä.txt" /dev/null |
        sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g' | tr -d '\r\n')
  if [ "$got" != "$expected" ]; then
    echo "FAIL: cli_wine: on a console «$got», the Linux filter «$expected»" >&2
    failures=$((failures + 1))
  fi
fi

checks=$(( ${#names[@]} * 2 + 9 + console ))
echo "cli_wine: $((checks - failures)) of $checks runs the same as the Linux filter"
[ $failures -eq 0 ]
