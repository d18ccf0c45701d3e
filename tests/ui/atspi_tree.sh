#!/usr/bin/env bash
# What a screen reader on Linux gets from the Qt window: under Xvfb, in a
# D-Bus session with AT-SPI's bus, start the window with Qt's accessibility
# on, click into Text1, press Tab twice (the focus goes to Label2), read the
# window's accessible tree once through AT-SPI and check roles, names,
# descriptions, actions and the focus (atspi_tree.py). Leaves a screenshot of
# the focused link in <artefact dir>/textquirl-window-link-focus.png.
# Usage: atspi_tree.sh <textquirl> <grab_window> <artefact dir>
# Exit 77 (skipped) when xvfb-run, xdotool, dbus-run-session, AT-SPI's bus
# launcher or Debian's python3 with pyatspi is missing.
set -u

launcher=/usr/libexec/at-spi-bus-launcher
python=/usr/bin/python3
if [ "${1:-}" != "--inside-session" ]; then
  [ $# -eq 3 ] || { echo "usage: $0 <textquirl> <grab_window> <artefact dir>" >&2; exit 2; }
  for tool in xvfb-run xdotool dbus-run-session "$launcher" "$python"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIP: $tool is not installed"
      exit 77
    fi
  done
  "$python" -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }
  mkdir -p "$3"
  exec timeout 50 xvfb-run -a -s "-screen 0 800x600x24" \
    dbus-run-session -- bash "$0" --inside-session "$@" 2> >(grep -v 'Failed to set fd limit' >&2)
fi
shift
app=$1 grab=$2 artefacts=$3

fail() { echo "FAIL: $*" >&2; exit 1; }

launcher_pid= app_pid=
cleanup() {
  for pid in $app_pid $launcher_pid; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
}
trap cleanup EXIT

"$launcher" --launch-immediately >/dev/null 2>&1 &
launcher_pid=$!

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "$app" &
app_pid=$!
wid=$(timeout 15 xdotool search --sync --onlyvisible --name '^Textquirl$' | head -n 1)
[ -n "$wid" ] || fail "the window did not appear"

# No window manager runs: the click gives the focus.
xdotool mousemove --sync --window "$wid" 200 150 click 1
sleep 0.3
xdotool key Tab Tab
sleep 0.3
QT_QPA_PLATFORM=xcb timeout 10 "$grab" "$wid" "$artefacts/textquirl-window-link-focus.png" \
  || fail "no screenshot taken"
echo "screenshot: $artefacts/textquirl-window-link-focus.png"

timeout 30 "$python" "$(dirname "$0")/atspi_tree.py" "$app_pid" || fail "the accessible tree differs"
