#!/usr/bin/env bash
# Checks what the packages ship with Debian's and freedesktop's own tools:
# lintian on every .deb (no error, no warning; every tag is printed, info and
# pedantic ones included), desktop-file-validate on the menu entry and
# `appstreamcli validate-tree --no-net --pedantic` on the window's package
# (metainfo with its desktop entry and icons), both as they are in the .deb,
# English with German translations and a screenshot;
# SHA256SUMS; that the filter's package needs nothing but the C and C++
# runtime; and that the icons are still made from their one drawing.
# Also that SHA256SUMS names every file, and that the web archive holds the
# built site file for file.
# Usage: lint.sh <dir with the .debs and SHA256SUMS> [<the built site>]
set -u
dist=$1 site=${2:-}
fail() { echo "FAIL: lint: $*" >&2; exit 1; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"
unlisted=$(cd "$dist" && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort |
           comm -23 - <(sed 's/^[0-9a-f]*  //' SHA256SUMS | LC_ALL=C sort))
[ -z "$unlisted" ] || fail "not in SHA256SUMS: $unlisted"

# The web archive holds the site as it is served, file for file.
if [ -d "$site" ]; then
  unzip -q "$dist"/textquirl-*-web.zip -d "$root/web" || fail "cannot unpack the web archive"
  diff -r "$site" "$root/web" || fail "the web archive differs from $site"
  rm -rf "$root/web"
  echo "web archive: the site's $(find "$site" -type f | wc -l) files"
fi

lintian --display-info --pedantic --fail-on error,warning "$dist"/*.deb > "$root.lintian" 2>&1
status=$?
sed 's/^/lintian: /' "$root.lintian" | grep -v 'running with root privileges'
rm -f "$root.lintian"
[ $status -eq 0 ] || fail "lintian found errors or warnings"

depends=$(dpkg-deb -f "$dist"/textquirl-cli_*.deb Depends)
extra=$(tr ',' '\n' <<< "$depends" | sed 's/^ *//; s/ .*//' | grep -vx 'libc6\|libgcc-s1\|libstdc++6')
[ -z "$extra" ] || fail "textquirl-cli needs more than the C and C++ runtime: $depends"
echo "textquirl-cli depends on: $depends"

dpkg-deb -x "$dist"/textquirl_*.deb "$root"
desktop=$(find "$root/usr/share/applications" -name '*.desktop')
desktop-file-validate "$desktop" || fail "desktop-file-validate: $desktop"
echo "desktop-file-validate $(basename "$desktop"): no message"
# English first, as menus and software centres fall back to it, German beside it
grep -q '^Comment=[A-Z][a-z]* [a-z]' "$desktop" && grep -q '^Comment\[de\]=' "$desktop" ||
  fail "the menu entry's comment should be English with a German translation"
metainfo=$(find "$root/usr/share/metainfo" -name '*.metainfo.xml')
grep -q '<summary xml:lang="de">' "$metainfo" && grep -q '<screenshot type="default">' "$metainfo" ||
  fail "the metainfo lacks the German summary or the screenshot"
appstreamcli validate-tree --no-net --pedantic "$root" | sed 's/^/appstreamcli: /'
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "appstreamcli validate-tree"

"$(dirname "$0")/../../tools/make_icons.py" --check || fail "the icons are not made from ui/qt/resources/textquirl.svg"
