#!/bin/sh
# The program without a display: a German message and status 1, no crash.
# Usage: app_without_display.sh <textquirl>
app=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

# no display at all
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$app" 2>&1)
status=$?
[ "$status" -eq 1 ] || fail "no display: exit status $status, expected 1"
echo "$out" | grep -q "textquirl: Keine grafische Anzeige gefunden" || fail "no display: message was: $out"

# a display named that does not exist: Qt's platform plugin gives up
out=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:7341 "$app" 2>&1)
status=$?
[ "$status" -eq 1 ] || fail "dead display: exit status $status, expected 1"
echo "$out" | grep -q "textquirl: Die grafische Oberfläche konnte nicht gestartet werden" \
  || fail "dead display: message was: $out"

echo "app_without_display: 2 checks passed"
