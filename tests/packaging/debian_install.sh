#!/usr/bin/env bash
# The Debian packages as a user meets them, on this machine (as root):
# `apt-get install` of both .debs; the installed filter gives the same bytes as
# the build's; the menu entry is found by its id in the XDG data folders, and
# its command opens the window under Xvfb with the id as its window class;
# its icon is there in every size; AppStream finds the component by its id;
# `apt-get purge` of both leaves nothing of theirs under /usr.
# Screenshot: <artefact dir>/textquirl-installed-debian.png.
# Usage: debian_install.sh <dir with the .debs> <the build's textquirl-cli> <version> <artefact dir>
# Exit 77 (skipped) when not run as root. Refuses to run (exit 1) where a
# Textquirl package is installed already: it would replace it and purge it.
set -u

if [ "${1:-}" != "--inside-xvfb" ]; then
  [ $# -eq 4 ] || { echo "usage: $0 <dist dir> <textquirl-cli> <version> <artefact dir>" >&2; exit 2; }
  if [ "$(id -u)" -ne 0 ]; then echo "SKIP: debian_install needs root for apt-get"; exit 77; fi
  present=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package} ${Version}\n' textquirl textquirl-cli 2>/dev/null |
            awk '$1 != "un" && $1 != "pn" { print $2, $3 }')
  if [ -n "$present" ]; then
    echo "FAIL: debian_install: Textquirl is installed on this machine ($(echo $present)); the test would" \
         "replace and then purge it. Remove it first, or run the test on another machine." >&2
    exit 1
  fi
  mkdir -p "$4"
  exec timeout 300 xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" bash "$0" --inside-xvfb "$@"
fi
shift
dist=$(realpath "$1") cli=$2 version=$3 artefacts=$4
id=org.example.Textquirl

fail() { echo "FAIL: debian_install: $*" >&2; exit 1; }
work=$(mktemp -d)
export DEBIAN_FRONTEND=noninteractive
apt=(apt-get -o DPkg::Lock::Timeout=900 -y -qq)
purge() { "${apt[@]}" purge textquirl textquirl-cli >/dev/null 2>&1; }
window_pid=
cleanup() { [ -n "$window_pid" ] && kill "$window_pid" 2>/dev/null; purge; rm -rf "$work"; }
trap cleanup EXIT

# What was under /usr before, to compare with after the purge.
snapshot() { find /usr -xdev | LC_ALL=C sort; }
snapshot > "$work/before"

"${apt[@]}" install --no-install-recommends "$dist/textquirl-cli_${version}_"*.deb "$dist/textquirl_${version}_"*.deb \
  > "$work/apt.log" 2>&1 || fail "apt-get install: $(cat "$work/apt.log")"
dpkg-query -W -f='${Status}\n' textquirl textquirl-cli | grep -vq 'install ok installed' \
  && fail "not installed: $(dpkg-query -W -f='${Package} ${Status}\n' textquirl textquirl-cli)"

# The filter: the build's bytes, its version, its manual page.
printf 'Größere Wörter lassen sich überraschend gut lesen,\nauch wenn die Buchstaben ordentlich verwürfelt sind.\n' > "$work/text"
/usr/bin/textquirl-cli < "$work/text" > "$work/installed" || fail "the installed filter failed"
"$cli" < "$work/text" > "$work/built"
cmp -s "$work/installed" "$work/built" || fail "installed filter: »$(cat "$work/installed")«, build: »$(cat "$work/built")«"
[ "$(/usr/bin/textquirl-cli --version | head -n1)" = "textquirl-cli $version" ] || fail "--version: $(/usr/bin/textquirl-cli --version)"
for page in textquirl textquirl-cli; do
  [ -f /usr/share/man/man1/$page.1.gz ] || fail "no manual page for $page"
done
echo "debian_install: /usr/bin/textquirl-cli gives the build's bytes: $(head -n 1 "$work/installed")"

# The menu entry by its id, as a desktop's menu looks it up.
entry=
IFS=: read -ra data_dirs <<< "${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
for dir in "${data_dirs[@]}"; do
  [ -f "$dir/applications/$id.desktop" ] && { entry=$dir/applications/$id.desktop; break; }
done
[ -n "$entry" ] || fail "no desktop entry $id.desktop in ${data_dirs[*]}"
exec_line=$(sed -n 's/^Exec=//p' "$entry")
icon=$(sed -n 's/^Icon=//p' "$entry")
for size in 16x16 32x32 64x64 128x128; do
  [ -f /usr/share/icons/hicolor/$size/apps/$icon.png ] || fail "no $size icon $icon"
done
[ -f /usr/share/icons/hicolor/scalable/apps/$icon.svg ] || fail "no scalable icon $icon"

# Its command opens the window, whose class names the entry.
$exec_line > "$work/window.log" 2>&1 &
window_pid=$!
wid=$(timeout 30 xdotool search --sync --onlyvisible --class "^$id\$" | head -n 1)
[ -n "$wid" ] || fail "no window of class $id after \"$exec_line\": $(cat "$work/window.log")"
[ "$(xdotool getwindowname "$wid")" = Textquirl ] || fail "window title $(xdotool getwindowname "$wid")"
sleep 1
import -window "$wid" "$artefacts/textquirl-installed-debian.png" || fail "no screenshot"
kill "$window_pid" 2>/dev/null
wait "$window_pid" 2>/dev/null
window_pid=
echo "debian_install: the entry $entry opened the window (class $id)"

# A software centre finds it by its id.
appstreamcli refresh-cache --force >/dev/null 2>&1
appstreamcli get "$id" > "$work/appstream" 2>&1 || fail "AppStream does not know $id: $(cat "$work/appstream")"
echo "debian_install: appstreamcli get $id: $(grep -m1 -i '^Name' "$work/appstream")"

# Purged, nothing of theirs is left under /usr (caches that the desktop's
# triggers rebuild belong to other packages).
purge || fail "apt-get purge failed"
appstreamcli refresh-cache --force >/dev/null 2>&1
snapshot > "$work/after"
comm -13 "$work/before" "$work/after" | grep -v -e '/icon-theme\.cache$' -e '/mimeinfo\.cache$' > "$work/left" || true
[ ! -s "$work/left" ] || fail "left under /usr after the purge: $(head -n 20 "$work/left")"
dpkg -s textquirl >/dev/null 2>&1 || dpkg -s textquirl-cli >/dev/null 2>&1 && fail "still installed after the purge"
echo "debian_install: apt-get purge left nothing under /usr"
