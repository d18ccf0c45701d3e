#!/usr/bin/env bash
# The scrambled text outlives the window: under Xvfb with a window manager,
# type, press the button, close the window through the window manager's close
# request, read the clipboard from another process, then put something else
# on the clipboard; the program must have ended within a second. A window
# closed without a press ends the program at once. Then several windows in a
# row, each pressed and closed while the one before still serves the
# clipboard: each hands it to the next and ends, the last ends once xclip
# takes it, and the last result stays readable until then.
# Usage: clipboard_after_close.sh <textquirl> <textquirl-cli>
# Exit 77 (skipped) when one of the X tools is missing.
set -u

if [ "${1:-}" != "--inside-xvfb" ]; then
  for tool in xvfb-run openbox wmctrl xdotool xclip; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIP: $tool is not installed"
      exit 77
    fi
  done
  [ $# -eq 2 ] || { echo "usage: $0 <textquirl> <textquirl-cli>" >&2; exit 2; }
  exec timeout 110 xvfb-run -a -s "-screen 0 800x600x24" bash "$0" --inside-xvfb "$@"
fi
shift
app=$1 cli=$2
# In sanitizer builds the program ends normally here; libdbus's own leftover
# is no fault of it.
export LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

fail() { echo "FAIL: $*" >&2; exit 1; }

wm_pid= app_pid= xclip_pid= row_pids=
cleanup() {
  for pid in $app_pid $row_pids $xclip_pid $wm_pid; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
}
trap cleanup EXIT

openbox >/dev/null 2>&1 &
wm_pid=$!
for _ in $(seq 100); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.1; done
wmctrl -m >/dev/null 2>&1 || fail "the window manager did not start"

start_app() {
  env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "$app" &
  app_pid=$!
  wid=$(timeout 15 xdotool search --sync --onlyvisible --name '^Textquirl$' | head -n 1)
  [ -n "$wid" ] || fail "the window did not appear"
}

# close_window: the window manager's close request (WM_DELETE_WINDOW)
close_window() { wmctrl -i -c "$(printf '0x%x' "$wid")"; }

# ends_within_a_second <what>: the program has ended, with status 0
ends_within_a_second() {
  for _ in $(seq 10); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$app_pid" 2>/dev/null && fail "$1: the program is still running"
  wait "$app_pid"
  status=$?
  app_pid=
  [ "$status" -eq 0 ] || fail "$1: exit status $status"
}

clipboard() { timeout 5 xclip -selection clipboard -o 2>/dev/null; printf x; }

# Without a press there is nothing to keep: the program ends with its window.
start_app
close_window
ends_within_a_second "closed without a press"

# type_and_press <text>: types into Text1, presses the button and waits
# until the clipboard holds the filter's scramble of <text> (as $expected).
type_and_press() {
  xdotool mousemove --sync --window "$wid" 200 150 click 1
  sleep 0.3
  xdotool type --delay 20 "$1"
  sleep 0.3
  xdotool mousemove --sync --window "$wid" 272 400 click 1
  expected=$(printf '%s' "$1" | "$cli"; printf x)
  got=
  for _ in $(seq 50); do
    got=$(clipboard)
    [ "$got" = "$expected" ] && break
    sleep 0.1
  done
  [ "$got" = "$expected" ] || fail "after the press the clipboard holds: ${got%x}"
}

# close_and_wait: closes the window and waits until it is gone.
close_and_wait() {
  close_window
  for _ in $(seq 10); do
    [ -z "$(xdotool search --onlyvisible --name '^Textquirl$')" ] && break
    sleep 0.1
  done
  [ -z "$(xdotool search --onlyvisible --name '^Textquirl$')" ] || fail "the window did not close"
}

# Type, press, close.
start_app
type_and_press 'Verwurschtelte Buchstaben bleiben lesbar'
close_and_wait
kill -0 "$app_pid" 2>/dev/null || fail "the program ended with its window and took the clipboard along"
got=$(clipboard)
[ "$got" = "$expected" ] || fail "after closing, the clipboard holds: ${got%x}"

# Another program takes the clipboard over.
printf 'etwas anderes' | xclip -selection clipboard -i -quiet >/dev/null 2>&1 &
xclip_pid=$!
ends_within_a_second "after another program took the clipboard"
[ "$(clipboard)" = "etwas anderesx" ] || fail "the other program's text is not on the clipboard"
echo "clipboard_after_close: the result outlived the window: ${expected%x}"

# Several windows in a row: each takes the clipboard from the one before,
# which must end then; the last one serves it until xclip takes it.
words=(Erdbeermarmelade Wunderkerze Strassenbahnhaltestelle Donnerwetter)
for i in "${!words[@]}"; do
  start_app
  type_and_press "${words[$i]} Nummer $i"
  close_and_wait
  row_pids="$row_pids $app_pid"
  app_pid=
  got=$(clipboard)
  [ "$got" = "$expected" ] || fail "after closing window $i, the clipboard holds: ${got%x}"
done
printf 'noch etwas anderes' | xclip -selection clipboard -i -quiet >/dev/null 2>&1 &
xclip_pid=$!
for _ in $(seq 30); do
  left=
  for pid in $row_pids; do kill -0 "$pid" 2>/dev/null && left="$left $pid"; done
  [ -z "$left" ] && break
  sleep 0.1
done
[ -z "$left" ] || fail "after xclip took the clipboard, windows in a row are still running:$left (of$row_pids)"
for pid in $row_pids; do
  wait "$pid" || fail "a window in a row ended with status $?"
done
row_pids=
echo "clipboard_after_close: ${#words[@]} windows in a row ended once xclip took the clipboard"
