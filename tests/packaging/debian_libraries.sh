#!/usr/bin/env bash
# The two library packages as a developer meets them, on this machine (as
# root): `apt-get install` of libtextquirl-dev and python3-textquirl; a
# program outside the tree built against /usr through CMake and through
# pkg-config gives the filter's result (dev_consumer.sh); Debian's python3
# imports textquirl and scrambles a German sentence as the filter does;
# `apt-get purge` of both leaves nothing of theirs under /usr (the compiled
# Python files included).
# Usage: debian_libraries.sh <dir with the .debs> <the build's textquirl-cli> <version>
# Exit 77 (skipped) when not run as root. Refuses to run (exit 1) where one of
# the packages is installed already: it would replace it and purge it.
set -u
[ $# -eq 3 ] || { echo "usage: $0 <dist dir> <textquirl-cli> <version>" >&2; exit 2; }
if [ "$(id -u)" -ne 0 ]; then echo "SKIP: debian_libraries needs root for apt-get"; exit 77; fi
dist=$(realpath "$1") cli=$(realpath "$2") version=$3
packages=(libtextquirl-dev python3-textquirl)
fail() { echo "FAIL: debian_libraries: $*" >&2; exit 1; }
present=$(dpkg-query -W -f='${Package} ${Version} ${db:Status-Abbrev}\n' "${packages[@]}" 2>/dev/null |
          awk '$3 != "un" && $3 != "pn"')
[ -z "$present" ] || fail "installed on this machine already ($(echo $present)); the test would replace and" \
                          "then purge it. Remove it first, or run the test on another machine."

work=$(mktemp -d)
export DEBIAN_FRONTEND=noninteractive
apt=(apt-get -o DPkg::Lock::Timeout=900 -y -qq)
purge() { "${apt[@]}" purge "${packages[@]}" >/dev/null 2>&1; }
trap 'purge; rm -rf "$work"' EXIT
snapshot() { find /usr -xdev | LC_ALL=C sort; }
snapshot > "$work/before"

"${apt[@]}" install --no-install-recommends "$dist/libtextquirl-dev_${version}_"*.deb \
  "$dist/python3-textquirl_${version}_"*.deb > "$work/apt.log" 2>&1 || fail "apt-get install: $(cat "$work/apt.log")"

"$(dirname "$0")/dev_consumer.sh" /usr "$cli" || fail "the C++ package in /usr"

sentence='Größere Wörter lassen sich überraschend gut lesen, auch wenn die Buchstaben verwürfelt sind.'
expected=$(printf '%s' "$sentence" | "$cli")
got=$(cd "$work" && /usr/bin/python3 -c 'import sys, textquirl; sys.stdout.write(textquirl.scramble(sys.argv[1]))' \
      "$sentence") || fail "python3 -c 'import textquirl' failed"
[ "$got" = "$expected" ] || fail "textquirl.scramble: «$got», the filter: «$expected»"
[ "$(/usr/bin/python3 -c 'import textquirl; print(textquirl.__version__)')" = "$version" ] ||
  fail "textquirl.__version__ is not $version"
echo "debian_libraries: python3: $got"

purge || fail "apt-get purge failed"
snapshot > "$work/after"
comm -13 "$work/before" "$work/after" > "$work/left" || true
[ ! -s "$work/left" ] || fail "left under /usr after the purge: $(head -n 20 "$work/left")"
echo "debian_libraries: apt-get purge left nothing under /usr"
