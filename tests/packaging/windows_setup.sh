#!/usr/bin/env bash
# The Windows setup as a user meets it, in a fresh Wine prefix on Xvfb:
# `setup.exe /S` installs the program, its licence and uninstaller into
# %LOCALAPPDATA%\Programs\Textquirl, the Start-menu shortcut and the Apps
# entry; the program started from the shortcut puts the filter's first
# scramble of a German text on the clipboard at one press; a silent setup
# while it runs fails and leaves it whole; the same setup once more leaves one
# entry and one folder; `uninstall.exe /S` (the entry's QuietUninstallString)
# leaves nothing of Textquirl's, and nothing else of the user's changed.
# Screenshot: <artefact dir>/textquirl-installed-windows.png.
# Usage: windows_setup.sh <setup.exe> <stand-alone textquirl.exe> <textquirl-cli> <version> <artefact dir>
set -u

if [ "${1:-}" != "--inside-xvfb" ]; then
  [ $# -eq 5 ] || { echo "usage: $0 <setup.exe> <textquirl.exe> <textquirl-cli> <version> <artefact dir>" >&2; exit 2; }
  mkdir -p "$5"
  exec timeout 300 xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" bash "$0" --inside-xvfb "$@"
fi
shift
setup=$1 program=$2 cli=$3 version=$4 artefacts=$5
wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver
command -v wine64 >/dev/null 2>&1 && wine=$(command -v wine64)

fail() { echo "FAIL: windows_setup: $*" >&2; exit 1; }

export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d "$artefacts/../wine-setup.XXXXXX")
cleanup() { "$wineserver" -k 2>/dev/null; wait 2>/dev/null; rm -rf "$WINEPREFIX"; }
trap cleanup EXIT
work=$WINEPREFIX/texts
mkdir -p "$work"

"$wine" wineboot -i >/dev/null 2>&1 || fail "wineboot could not make the prefix"
"$wineserver" -w
profile=$WINEPREFIX/drive_c/users/$(id -un)
[ -d "$profile" ] || fail "no profile $profile"
folder=$profile/AppData/Local/Programs/Textquirl
shortcut="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Textquirl.lnk"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall'
id_key="$key\\org.example.Textquirl"

# Everything in the user's profile but the temporary files (where the
# uninstaller runs from a copy of itself), to compare before and after.
snapshot() { (cd "$profile" && find . \( -path ./Temp -o -path ./AppData/Local/Temp \) -prune -o -print | LC_ALL=C sort); }
snapshot > "$work/before"

install_silently() {
  "$wine" "$setup" /S; local status=$?
  "$wineserver" -w
  return $status
}
# The value of one name under the entry, without the CR Wine's reg prints.
entry() { "$wine" reg query "$id_key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z]* *//p"; }
entries_named_textquirl() { "$wine" reg query "$key" /s 2>/dev/null | tr -d '\r' | grep -c 'DisplayName *REG_SZ *Textquirl$'; }

install_silently || fail "setup.exe /S ended with status $?"
[ -d "$folder" ] || fail "no folder $folder"
cmp -s "$folder/textquirl.exe" "$program" || fail "the installed textquirl.exe is not the built one"
[ -f "$folder/uninstall.exe" ] && [ -f "$folder/LICENSE.txt" ] || fail "uninstaller or licence missing: $(ls "$folder")"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
[ "$(entry DisplayName)" = Textquirl ] || fail "the Apps entry is missing or misnamed: $(entry DisplayName)"
[ "$(entry DisplayVersion)" = "$version" ] || fail "DisplayVersion $(entry DisplayVersion), not $version"
[ "$(entry Publisher)" = example.org ] || fail "Publisher $(entry Publisher)"
windows_folder='C:\users\'"$(basename "$profile")"'\AppData\Local\Programs\Textquirl'
[ "$(entry InstallLocation)" = "$windows_folder" ] || fail "InstallLocation $(entry InstallLocation)"
[ "$(entry QuietUninstallString)" = "\"$windows_folder\\uninstall.exe\" /S" ] \
  || fail "QuietUninstallString $(entry QuietUninstallString)"
[ -n "$(entry EstimatedSize)" ] && [ -n "$(entry DisplayIcon)" ] && [ -n "$(entry UninstallString)" ] \
  || fail "EstimatedSize, DisplayIcon or UninstallString missing"
echo "windows_setup: installed: $(ls "$folder" | tr '\n' ' ')and the shortcut and entry"

# Started from the shortcut, one press puts the first scramble on the clipboard.
printf '%s\n%s' 'Größere Wörter lassen sich überraschend gut lesen,' \
  'auch wenn die Buchstaben ordentlich verwürfelt sind.' > "$work/text"
"$cli" < "$work/text" > "$work/first"
"$wine" start "C:\\users\\$(basename "$profile")\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Textquirl.lnk" >/dev/null 2>&1
wid=$(timeout 60 xdotool search --sync --onlyvisible --name '^Textquirl$' | head -n 1)
[ -n "$wid" ] || fail "the installed program's window did not appear"
sleep 1
xclip -selection clipboard -i < "$work/text"
xdotool mousemove --sync --window "$wid" 200 150 click 1
sleep 0.5
xdotool key --clearmodifiers ctrl+v
sleep 0.5
xdotool mousemove --sync --window "$wid" 272 400 click 1
got=
for _ in $(seq 100); do
  timeout 20 xclip -selection clipboard -o > "$work/got" 2>/dev/null || : > "$work/got"
  if [ -s "$work/got" ] && ! cmp -s "$work/got" "$work/text"; then got=1; break; fi
  sleep 0.1
done
[ -n "$got" ] || fail "the clipboard did not change after the press"
cmp -s "$work/got" "$work/first" || fail "clipboard »$(cat "$work/got")«, filter »$(cat "$work/first")«"
import -window "$wid" "$artefacts/textquirl-installed-windows.png" || fail "no screenshot"
echo "windows_setup: the installed program gave the filter's first scramble: $(cat "$work/got")"

# While it runs, a silent setup fails and leaves the installation whole.
"$wine" "$setup" /S; status=$?
[ $status -ne 0 ] || fail "setup.exe /S succeeded while Textquirl was running"
cmp -s "$folder/textquirl.exe" "$program" && [ ! -e "$folder/textquirl.exe.neu" ] \
  || fail "the setup touched the running installation: $(ls "$folder")"
echo "windows_setup: while Textquirl ran, setup.exe /S ended with status $status and changed nothing"

"$wine" taskkill /im textquirl.exe >/dev/null 2>&1
for _ in $(seq 50); do xdotool search --onlyvisible --name '^Textquirl$' >/dev/null || break; sleep 0.1; done
"$wineserver" -w

# The same setup once more replaces it in place: one entry, one folder.
install_silently || fail "the second setup.exe /S ended with status $?"
[ "$(entries_named_textquirl)" -eq 1 ] || fail "$(entries_named_textquirl) entries named Textquirl"
[ "$(find "$profile" -type d -name Textquirl | wc -l)" -eq 1 ] || fail "more than one folder: $(find "$profile" -type d -name Textquirl)"
[ "$(ls "$folder" | tr '\n' ' ')" = "LICENSE.txt textquirl.exe uninstall.exe " ] || fail "files after the second setup: $(ls "$folder")"

# The entry's quiet uninstall removes everything, and only that.
"$wine" "$folder/uninstall.exe" /S || fail "uninstall.exe /S ended with status $?"
"$wineserver" -w
[ ! -e "$folder" ] || fail "left behind: $(ls -A "$folder")"
[ ! -e "$shortcut" ] || fail "the shortcut is still there"
"$wine" reg query "$id_key" >/dev/null 2>&1 && fail "the Apps entry is still there"
snapshot > "$work/after"
diff "$work/before" "$work/after" > "$work/changes" || fail "the profile changed: $(cat "$work/changes")"
echo "windows_setup: uninstall.exe /S left no file, folder, shortcut or entry"
