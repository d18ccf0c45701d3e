#!/bin/sh
# --help and --version of both programs, as a user types them: the answer on
# standard output with status 0, the window never opened (no display is
# needed), the copyright and licence those of LICENSE.
# Usage: help_and_version.sh <textquirl> <textquirl-cli> <LICENSE> <version>
app=$1 cli=$2 licence_file=$3 version=$4
fail() { echo "FAIL: $*" >&2; exit 1; }

copyright=$(grep -m1 '^Copyright ' "$licence_file")
licence=$(head -n1 "$licence_file" | sed 's/ License$//')
expected_tail="$copyright
Lizenz: $licence"

for program in "$app" "$cli"; do
  name=$(basename "$program")
  for option in --version -V; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" $option 2>/tmp/hv-err.$$) ||
      fail "$name $option: exit status $?"
    [ -s /tmp/hv-err.$$ ] && fail "$name $option wrote to standard error: $(cat /tmp/hv-err.$$)"
    [ "$out" = "$name $version
$expected_tail" ] || fail "$name $option printed: $out"
  done
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --help 2>/tmp/hv-err.$$) ||
    fail "$name --help: exit status $?"
  [ -s /tmp/hv-err.$$ ] && fail "$name --help wrote to standard error: $(cat /tmp/hv-err.$$)"
  case $out in "Aufruf: $name "*) ;; *) fail "$name --help printed: $out" ;; esac
done
rm -f /tmp/hv-err.$$

# the filter's help shows how to call it, a Latin-1 text among the examples
"$cli" --help | grep -q '^  iconv -f latin1 -t utf-8 .* | textquirl-cli' || fail "no iconv example in the filter's help"
echo "help_and_version: both programs answer --help and --version"
