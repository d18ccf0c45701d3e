#!/bin/sh
# The program without a reachable display: one German line, status 1, no crash
# and nothing from Qt in English.
# Usage: app_without_display.sh <textquirl>
app=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

# expect <what> <expected output> <env arguments...>: runs the program with the
# environment changes and wants exactly the one line and status 1.
expect() {
  what=$1 line=$2
  shift 2
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" "$app" 2>&1)
  status=$?
  [ "$status" -eq 1 ] || fail "$what: exit status $status, expected 1"
  [ "$out" = "$line" ] || fail "$what: output was: $out"
}

expect "no display" "textquirl: Keine grafische Anzeige gefunden (weder DISPLAY noch \
WAYLAND_DISPLAY ist gesetzt). Bitte in einer grafischen Sitzung starten."

# a display named that does not exist, a Wayland socket that is gone
expect "dead X display" "textquirl: Kann die X11-Anzeige „:7341“ nicht öffnen; \
das Programm braucht eine grafische Sitzung." DISPLAY=:7341
expect "gone Wayland socket" "textquirl: Kann die Wayland-Anzeige „textquirl-gone-0“ nicht öffnen; \
das Programm braucht eine grafische Sitzung." WAYLAND_DISPLAY=textquirl-gone-0

echo "app_without_display: 3 checks passed"
