#!/usr/bin/env bash
# End to end, as a person uses the program: under Xvfb start the real window,
# type a text, click the button, read the clipboard from another process and
# compare it with the filter's scramble of the same text. Leaves a screenshot
# of the window in <artefact dir>/textquirl-window.png.
# Usage: e2e_window.sh <textquirl> <textquirl-cli> <grab_window> <artefact dir>
# Exit 77 (skipped) when xvfb-run, xdotool or xclip is missing.
set -u

if [ "${1:-}" != "--inside-xvfb" ]; then
  for tool in xvfb-run xdotool xclip; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIP: $tool is not installed"
      exit 77
    fi
  done
  [ $# -eq 4 ] || { echo "usage: $0 <textquirl> <textquirl-cli> <grab_window> <artefact dir>" >&2; exit 2; }
  mkdir -p "$4"
  exec timeout 50 xvfb-run -a -s "-screen 0 800x600x24" bash "$0" --inside-xvfb "$@"
fi
shift
app=$1 cli=$2 grab=$3 artefacts=$4

fail() { echo "FAIL: $*" >&2; exit 1; }

# Two lines with umlauts, a no-break space inside the first one.
line1=$'Größere Wörter lassen sich\u00a0überraschend gut lesen,'
line2='auch wenn die Buchstaben verwürfelt sind.'
text="$line1"$'\n'"$line2"

app_pid=
cleanup() { [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null; wait 2>/dev/null; }
trap cleanup EXIT

env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "$app" &
app_pid=$!

wid=$(timeout 15 xdotool search --sync --onlyvisible --name '^Textquirl$' | head -n 1)
[ -n "$wid" ] || fail "the window did not appear"

# Click into the text box (no window manager runs, so the click gives focus).
xdotool mousemove --sync --window "$wid" 200 150 click 1
sleep 0.3
# Types the text and reads it back from Text1 through the clipboard (Ctrl+A,
# Ctrl+C; Qt copies a no-break space as a space). A character xdotool must
# map to a spare key (the no-break space) is now and then lost when the
# program is slow (the sanitizer build); then it types the text again.
copied_text=${text//$'\u00a0'/ }
for attempt in 1 2 3; do
  xdotool key ctrl+a BackSpace
  xdotool type --delay 20 "$line1"
  xdotool key Return
  xdotool type --delay 20 "$line2"
  sleep 0.3
  xdotool key ctrl+a ctrl+c
  sleep 0.3
  typed=$(timeout 5 xclip -selection clipboard -o 2>/dev/null; printf x)
  typed=${typed%x}
  xdotool key ctrl+End  # the selection gone again, as a person leaves it
  [ "$typed" = "$copied_text" ] && break
  echo "typing attempt $attempt lost characters, typing again" >&2
done
[ "$typed" = "$copied_text" ] || fail "xdotool could not type the text into Text1"

# Press the button.
xdotool mousemove --sync --window "$wid" 272 400 click 1

expected=$(printf '%s' "$text" | "$cli"; printf x)
expected=${expected%x}
got=
for _ in $(seq 50); do
  got=$(timeout 5 xclip -selection clipboard -o 2>/dev/null; printf x)
  got=${got%x}
  [ -n "$got" ] && [ "$got" != "$copied_text" ] && break
  sleep 0.1
done

QT_QPA_PLATFORM=xcb timeout 10 "$grab" "$wid" "$artefacts/textquirl-window.png" \
  || fail "no screenshot taken"
echo "screenshot: $artefacts/textquirl-window.png"

kill -0 "$app_pid" 2>/dev/null || fail "the program has ended"
[ -n "$got" ] && [ "$got" != "$copied_text" ] || fail "the clipboard got no result"
if [ "$got" != "$expected" ]; then
  echo "typed:     $(printf '%s' "$text" | od -c | head -n 20)" >&2
  echo "clipboard: $got" >&2
  echo "filter:    $expected" >&2
  fail "the clipboard differs from the filter's result"
fi
echo "e2e_window: clipboard matches the filter: $got"
