#!/usr/bin/env bash
# End to end, as a person uses the Windows program: in a fresh Wine prefix on
# Xvfb start textquirl.exe, paste a German text (umlauts, an emoji, two lines)
# from the X clipboard into Text1 with Ctrl+V, click Command1 twice and read
# the clipboard from another process each time: both must equal the Linux
# filter's first and second scramble. Then paste a text of more than 100,000
# characters over it with Ctrl+A, Ctrl+V and check that it arrived whole.
# Also checks Enter, Tab and Space, the message box when another program
# holds the clipboard, and the layout at 96 DPI (client area 546 × 437) and
# at 144 DPI. The keyboard alone: Escape in Text1 keeps the window and the
# text, Ctrl+Enter presses the button, Tab and Shift+Tab run Text1, Command1,
# Label2, Label3 round, Enter and Space open a focused link once (caught by a
# fake browser and mail program that Wine's shell hand-off calls), Enter
# presses the focused button, Command1's context menu opens by right-click,
# Shift+F10 and the menu key and its entry puts the careful scramble on the
# clipboard, and Alt+F4 closes the window; what MSAA reads
# of each control (role, name, description, default action), a link's
# default action, and the language of the resources. Leaves screenshots in
# <artefact dir> (textquirl-windows.png, textquirl-windows-clipboard-busy.png,
# textquirl-windows-link-focus.png, textquirl-windows-144dpi.png,
# textquirl-windows-menu-1.png … -3.png, the whole screen with the menu open).
# Usage: e2e_wine.sh <wine64> <textquirl.exe> <probe.exe> <textquirl-cli> <artefact dir>
# Exit 77 (skipped) when xvfb-run, xdotool, xclip, ImageMagick's import or
# the filter is missing.
set -u

if [ "${1:-}" != "--inside-xvfb" ]; then
  [ $# -eq 5 ] || { echo "usage: $0 <wine64> <textquirl.exe> <probe.exe> <textquirl-cli> <artefact dir>" >&2; exit 2; }
  for tool in xvfb-run xdotool xclip import "$1" "$4"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIP: $tool is not there"
      exit 77
    fi
  done
  mkdir -p "$5"
  exec timeout 200 xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" bash "$0" --inside-xvfb "$@"
fi
shift
wine=$1 app=$2 probe=$3 cli=$4 artefacts=$5
wineserver=$(dirname "$wine")/wineserver
command -v "$wineserver" >/dev/null 2>&1 || wineserver=wineserver

fail() { echo "FAIL: $*" >&2; exit 1; }

export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d "$artefacts/../wine-e2e.XXXXXX")
cleanup() {
  "$wineserver" -k 2>/dev/null
  wait 2>/dev/null
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

work=$WINEPREFIX/texts
mkdir -p "$work"

# The filter's result for a text, byte for byte (LF line breaks).
scramble() { "$cli" < "$1"; }
# The X clipboard as a file; empty when nobody offers text.
read_clipboard() { timeout 20 xclip -selection clipboard -o > "$1" 2>/dev/null || : > "$1"; }
# Waits until the clipboard holds something other than the file $2.
read_new_clipboard() {
  for _ in $(seq 100); do
    read_clipboard "$1"
    [ -s "$1" ] && ! cmp -s "$1" "$2" && return 0
    sleep 0.1
  done
  return 1
}
# Offers the file on the X clipboard and waits until it is there: xclip takes
# the selection in the background, which under load can come after the next key.
offer() {
  xclip -selection clipboard -i < "$1"
  for _ in $(seq 50); do
    read_clipboard "$work/offered"
    cmp -s "$work/offered" "$1" && return 0
    sleep 0.1
  done
}

time_start=$SECONDS
"$wine" wineboot -i >/dev/null 2>&1 || fail "wineboot could not make the prefix"
echo "prefix made in $((SECONDS - time_start)) s"

# Wine's shell hands web and mail addresses to the programs named here: a
# fake one that logs what it is given.
opened=$WINEPREFIX/opened.log
: > "$opened"
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >> "%s"\n' "$opened" > "$WINEPREFIX/fake-browser"
chmod +x "$WINEPREFIX/fake-browser"
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\WineBrowser]\n"Browsers"="%s"\n"Mailers"="%s"\n' \
  "$WINEPREFIX/fake-browser" "$WINEPREFIX/fake-browser" > "$work/browser.reg"
"$wine" reg import "$(printf 'Z:%s' "${work//\//\\}")\\browser.reg" >/dev/null 2>&1 \
  || fail "could not name the fake browser"

"$wine" "$app" >/dev/null 2>&1 &
app_pid=$!
wid=$(timeout 60 xdotool search --sync --onlyvisible --name '^Textquirl$' | head -n 1)
[ -n "$wid" ] || fail "the window did not appear"
sleep 1

# Layout at 96 DPI.
"$wine" "$probe" layout > "$work/layout" 2>/dev/null || fail "probe found no window"
tr -d '\r' < "$work/layout" > "$work/layout.lf"
expected_layout='client 546 437
Text1 8 8 529 369
Command1 8 384 529 33
Label1 16 420 137 17
Label2 304 420 233 17
Label3 152 420 137 17'
[ "$(head -n 6 "$work/layout.lf")" = "$expected_layout" ] || fail "layout differs: $(cat "$work/layout.lf")"
limit=$(sed -n 's/^limit //p' "$work/layout.lf")
[ "${limit:-0}" -gt 1000000 ] || fail "Text1's text limit is $limit"

# A German text of two lines with umlauts, a no-break space and an emoji.
printf '%s\n%s' $'Größere Wörter lassen sich\u00a0überraschend gut lesen 😀,' \
  'auch wenn die Buchstaben ordentlich verwürfelt sind.' > "$work/text"
scramble "$work/text" > "$work/first"
{ cat "$work/text"; echo; cat "$work/text"; } > "$work/twice"
scramble "$work/twice" > "$work/both"
# The filter scrambles the doubled text word by word with one generator, so
# its second half is the second scramble; the first half ends in " " + LF.
{ cat "$work/first"; printf ' \n'; } > "$work/first_line_break"
size=$(stat -c %s "$work/first_line_break")
cmp -s <(head -c "$size" "$work/both") "$work/first_line_break" \
  || fail "the doubled text does not start with the first scramble"
tail -c +"$((size + 1))" "$work/both" > "$work/second"
! cmp -s "$work/first" "$work/second" || fail "first and second scramble are equal"

# Keys: Enter starts a new line, Tab goes to Command1, Space presses it
# (words this short draw nothing from the generator). No window manager
# runs: the click gives the focus.
xdotool mousemove --sync --window "$wid" 200 150 click 1
sleep 0.5
xdotool type a
xdotool key Return
xdotool type b
xdotool key Tab space
read_new_clipboard "$work/got0" /dev/null || fail "Tab, Space put nothing on the clipboard"
[ "$(cat "$work/got0")" = $'a \nb' ] || fail "keys: clipboard »$(cat "$work/got0")«, expected »a \\nb«"

# The keyboard alone (words this short draw nothing from the generator).
# Each click goes to a new place: --sync waits for the pointer to move.
xdotool mousemove --sync --window "$wid" 190 140 click 1
sleep 0.5
xdotool key --clearmodifiers ctrl+a
xdotool type 'ab cd'
xdotool key Escape shift+Escape
sleep 0.3
[ "$(xdotool search --onlyvisible --name '^Textquirl$')" = "$wid" ] || fail "Escape closed the window"
xdotool key ctrl+Return
read_new_clipboard "$work/got_ctrl_enter" "$work/got0" || fail "Ctrl+Enter in Text1 put nothing on the clipboard"
[ "$(cat "$work/got_ctrl_enter")" = 'ab cd' ] || fail "Ctrl+Enter: clipboard »$(cat "$work/got_ctrl_enter")«"
[ "$("$wine" "$probe" text 2>/dev/null)" = 'ab cd' ] || fail "after Escape and Ctrl+Enter Text1 holds »$("$wine" "$probe" text)«"
"$wine" "$probe" watch-focus 15 > "$work/focus" 2>/dev/null &
watch_pid=$!
for _ in $(seq 100); do [ -s "$work/focus" ] && break; sleep 0.1; done
for k in Tab Tab Tab Tab shift+Tab shift+Tab; do
  xdotool key "$k"
  sleep 0.15
done
for _ in $(seq 30); do [ "$(wc -l < "$work/focus")" -ge 7 ] && break; sleep 0.1; done
kill "$watch_pid" 2>/dev/null
chain=$(tr -d '\r' < "$work/focus" | tr '\n' ' ')
[ "$chain" = 'Text1 Command1 Label2 Label3 Text1 Label3 Label2 ' ] || fail "Tab and Shift+Tab visit: $chain"
import -window "$wid" "$artefacts/textquirl-windows-link-focus.png" || fail "no screenshot of the focused link"
# In it both links are blue (0, 0, 255); the focused Label2 alone has dark
# focus dots round its text.
count() { convert "$artefacts/textquirl-windows-link-focus.png" -crop "$1" +repage -fx "$2" -format '%[fx:round(mean*w*h)]' info:; }
label2_area=233x17+304+420 label3_area=137x17+152+420
blue='r==0 && g==0 && b==1' dark='r<0.25 && g<0.25 && b<0.25'
[ "$(count $label2_area "$blue")" -gt 100 ] && [ "$(count $label3_area "$blue")" -gt 100 ] \
  || fail "the links are not blue (0, 0, 255)"
[ "$(count $label2_area "$dark")" -gt 20 ] && [ "$(count $label3_area "$dark")" -eq 0 ] \
  || fail "no focus frame on Label2 alone: $(count $label2_area "$dark") and $(count $label3_area "$dark") dark pixels"
# Wine starts each browser on its own, so the second could finish first:
# wait for the first opening before pressing the next key.
xdotool key Return
for _ in $(seq 100); do [ "$(wc -l < "$opened")" -ge 1 ] && break; sleep 0.1; done
xdotool key Tab space
for _ in $(seq 100); do [ "$(wc -l < "$opened")" -ge 2 ] && break; sleep 0.1; done
sleep 0.5  # time for a second opening, which must not come
[ "$(cat "$opened")" = $'http://example.org/computer/programme/\nmailto:info@example.org' ] \
  || fail "Enter on Label2 and Space on Label3 opened: »$(cat "$opened")«"
xdotool key shift+Tab shift+Tab
printf 'vorher' > "$work/before_enter"
offer "$work/before_enter"
xdotool key Return
read_new_clipboard "$work/got_enter" "$work/before_enter" || fail "Enter on Command1 put nothing on the clipboard"
[ "$(cat "$work/got_enter")" = 'ab cd' ] || fail "Enter on Command1: clipboard »$(cat "$work/got_enter")«"
echo "e2e_wine: Escape kept the text; Tab, Shift+Tab, Enter, Space, Ctrl+Enter work; $((SECONDS - time_start)) s"

# What MSAA reads. Wine's window object tells no role or name; the window's
# client object does.
"$wine" "$probe" access 2>/dev/null | tr -d '\r' > "$work/access"
expected_access="Form1 - „“ „“ „“
Form1.client client „Textquirl“ „“ „“
Text1 text „Text zum Verwurschteln“ „“ „“
Command1 pushbutton „Verwurschteln und in Zwischenablage kopieren“ „“ „Drücken“
Label2 link „http://example.org/computer/programme/“ „http://example.org/computer/programme/“ „Öffnen“
Label3 link „(info@example.org)“ „mailto:info@example.org“ „Öffnen“"
[ "$(grep -v '^Label1 ' "$work/access")" = "$expected_access" ] || fail "MSAA reads: $(cat "$work/access")"
grep -q '^Label1 statictext „©' "$work/access" || fail "Label1 has no copyright line for MSAA"
"$wine" "$probe" do-default Label3 >/dev/null 2>&1 || fail "Label3's default action failed"
for _ in $(seq 100); do [ "$(wc -l < "$opened")" -ge 3 ] && break; sleep 0.1; done
[ "$(sed -n 3p "$opened")" = 'mailto:info@example.org' ] || fail "Label3's default action opened: $(cat "$opened")"
# German (0407) on every resource; Wine's drive Z: is the root directory.
app_z="Z:${app//\//\\}"
[ "$("$wine" "$probe" languages "$app_z" 2>/dev/null | tr -d '\r')" = $'icon 0407\nmanifest 0407\nversion 0407' ] \
  || fail "resource languages: $("$wine" "$probe" languages "$app_z")"

# Paste the text over it (Ctrl+A, Ctrl+V).
offer "$work/text"
xdotool mousemove --sync --window "$wid" 205 155 click 1
sleep 0.5
xdotool key --clearmodifiers ctrl+a ctrl+v
sleep 1
"$wine" "$probe" text > "$work/in_text1" 2>/dev/null
cmp -s "$work/in_text1" "$work/text" || fail "Text1 holds $(cat "$work/in_text1"), not the pasted text"

# Press Command1 twice.
xdotool mousemove --sync --window "$wid" 272 400 click 1
read_new_clipboard "$work/got1" "$work/text" || fail "the clipboard did not change after the first press"
cmp -s "$work/got1" "$work/first" \
  || fail "first press: clipboard »$(cat "$work/got1")«, filter »$(cat "$work/first")«"
import -window "$wid" "$artefacts/textquirl-windows.png" || fail "no screenshot taken"
echo "screenshot: $artefacts/textquirl-windows.png"

xdotool mousemove --sync --window "$wid" 276 404 click 1
read_new_clipboard "$work/got2" "$work/got1" || fail "the clipboard did not change after the second press"
cmp -s "$work/got2" "$work/second" \
  || fail "second press: clipboard »$(cat "$work/got2")«, filter »$(cat "$work/second")«"
echo "e2e_wine: both presses match the filter: $(cat "$work/got1") | $(cat "$work/got2")"

# Another program holds the clipboard: a German message box, the clipboard unchanged.
"$wine" "$probe" hold-clipboard > "$work/hold" 2>/dev/null &
for _ in $(seq 50); do grep -q held "$work/hold" 2>/dev/null && break; sleep 0.1; done
grep -q held "$work/hold" || fail "the probe could not take the clipboard"
xdotool mousemove --sync --window "$wid" 270 395 click 1
box=
for _ in $(seq 30); do
  box=$(xdotool search --onlyvisible --name '^Textquirl$' | grep -v "^$wid\$" | head -n 1)
  [ -n "$box" ] && break
  sleep 0.1
done
[ -n "$box" ] || fail "no message box while the clipboard was held: $(xdotool search --name Textquirl)"
import -window "$box" "$artefacts/textquirl-windows-clipboard-busy.png" || fail "no screenshot of the box"
xdotool mousemove --sync --window "$box" 10 10 click 1 key Return
sleep 3
read_clipboard "$work/got_busy"
cmp -s "$work/got_busy" "$work/got2" || fail "the clipboard changed although it was held: $(cat "$work/got_busy")"

# More than 100,000 characters over it: Ctrl+A, Ctrl+V.
for i in $(seq 2000); do
  printf 'Zeile %d: Größere Wörter überraschen 😀 jeden Leser, der sie aufmerksam liest.\n' "$i"
done > "$work/big"
chars=$(wc -m < "$work/big")
[ "$chars" -gt 100000 ] || fail "the long text has only $chars characters"
offer "$work/big"
xdotool mousemove --sync --window "$wid" 210 160 click 1
sleep 0.5
xdotool key --clearmodifiers ctrl+a ctrl+v
arrived=
for _ in $(seq 60); do
  sleep 0.5
  "$wine" "$probe" text > "$work/in_text1" 2>/dev/null
  if cmp -s "$work/in_text1" "$work/big"; then arrived=1; break; fi
done
[ -n "$arrived" ] || fail "Text1 holds $(wc -m < "$work/in_text1") characters, not the $chars pasted"

# ... and the button takes all of it to the clipboard (the third scramble
# has the first one's length).
xdotool mousemove --sync --window "$wid" 272 400 click 1
read_new_clipboard "$work/got3" "$work/big" || fail "the clipboard did not change after the long text"
expected_chars=$(scramble "$work/big" | wc -m)
[ "$(wc -m < "$work/got3")" -eq "$expected_chars" ] \
  || fail "long text: $(wc -m < "$work/got3") characters on the clipboard, $expected_chars expected"
echo "e2e_wine: $chars characters pasted whole and scrambled to the clipboard; $((SECONDS - time_start)) s"

# Command1's context menu: a right-click, Shift+F10 and the menu key on the
# focused button open it; its entry puts the careful scramble on the
# clipboard, in which only the letters inside the long word move.
careful_start='„A' careful_rest='n“ – um 7:30 Uhr, am 24.12.2024: info@example.org'
printf '%s' '„Anführungszeichen“ – um 7:30 Uhr, am 24.12.2024: info@example.org' > "$work/careful"
offer "$work/careful"
xdotool mousemove --sync --window "$wid" 215 165 click 1
sleep 0.5
xdotool key --clearmodifiers ctrl+a ctrl+v
for _ in $(seq 50); do
  "$wine" "$probe" text > "$work/in_text1" 2>/dev/null
  cmp -s "$work/in_text1" "$work/careful" && break
  sleep 0.2
done
cmp -s "$work/in_text1" "$work/careful" || fail "Text1 holds $(cat "$work/in_text1"), not the careful text"
previous=$work/careful  # what the clipboard holds: the text just pasted
n=0
for way in right-click shift+F10 Menu; do
  n=$((n + 1))
  if [ "$way" = right-click ]; then
    xdotool mousemove --sync --window "$wid" 274 402 click 3
    sleep 1
    xdotool key Down
  else
    xdotool mousemove --sync --window "$wid" 220 170 click 1
    sleep 0.3
    xdotool key Tab "$way"
  fi
  sleep 1
  import -window root "$artefacts/textquirl-windows-menu-$n.png" || fail "no screenshot of the menu"
  xdotool key Return
  read_new_clipboard "$work/careful$n" "$previous" || fail "$way, Return put nothing on the clipboard"
  got=$(cat "$work/careful$n")
  middle=${got#"$careful_start"}
  middle=${middle%"$careful_rest"}
  sorted() { printf '%s' "$1" | od -An -v -tx1 | tr -s ' ' '\n' | sort | tr -d '\n'; }
  [ "$got" = "$careful_start$middle$careful_rest" ] && [ "$(sorted "$middle")" = "$(sorted 'nführungszeiche')" ] \
    || fail "$way: careful scramble »$got«"
  previous=$work/careful$n
done
[ "$("$wine" "$probe" text 2>/dev/null)" = "$(cat "$work/careful")" ] || fail "the menu changed Text1"
echo "e2e_wine: Command1's menu by right-click, Shift+F10 and the menu key: $(cat "$work/careful1") | $(cat "$work/careful3")"

# Alt+F4 closes the window and ends the program.
xdotool key alt+F4
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
! kill -0 "$app_pid" 2>/dev/null || fail "Alt+F4 did not end the program"
[ -z "$(xdotool search --onlyvisible --name '^Textquirl$')" ] || fail "Alt+F4 left a window"

# At 144 DPI (Windows' 150 %) everything is laid out 1.5 times as large.
"$wineserver" -k 2>/dev/null
wait 2>/dev/null
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1 \
  || fail "could not set 144 DPI"
"$wine" "$app" >/dev/null 2>&1 &
wid=$(timeout 60 xdotool search --sync --onlyvisible --name '^Textquirl$' | head -n 1)
[ -n "$wid" ] || fail "the window did not appear at 144 DPI"
sleep 1
"$wine" "$probe" layout 2>/dev/null | tr -d '\r' > "$work/layout144"
expected_layout='client 819 656
Text1 12 12 794 554
Command1 12 576 794 50
Label1 24 630 206 26
Label2 456 630 350 26
Label3 228 630 206 26'
[ "$(head -n 6 "$work/layout144")" = "$expected_layout" ] || fail "layout at 144 DPI differs: $(cat "$work/layout144")"
import -window "$wid" "$artefacts/textquirl-windows-144dpi.png" || fail "no screenshot taken at 144 DPI"
echo "e2e_wine: layout at 96 and 144 DPI as the twips table says; $((SECONDS - time_start)) s in all"
