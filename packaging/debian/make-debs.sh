#!/usr/bin/env bash
# Makes the Debian packages textquirl, textquirl-cli and libtextquirl-dev from
# a built tree: installs each CMake component under /usr into
# debian/<package>, strips its programs and static libraries as Debian's
# dh_strip does,
# finds the libraries its programs need (dpkg-shlibdeps), writes DEBIAN/control
# (dpkg-gencontrol, from debian/control and debian/changelog) and md5sums, and
# builds the .deb with root as owner and the release date as the latest time
# stamp, so that the same sources give the same package.
# Usage: make-debs.sh <build dir> <dir holding debian/> <out dir> <release date>
set -euo pipefail
build=$(realpath "$1") src=$2 out=$3 release_date=$4
mkdir -p "$out"
out=$(realpath "$out")
cd "$src"
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(date -u -d "$release_date 12:00" +%s)
# package:CMake component
packages=(textquirl:textquirl textquirl-cli:textquirl-cli libtextquirl-dev:dev)
rm -rf debian/files debian/*.substvars
for entry in "${packages[@]}"; do
  package=${entry%%:*} component=${entry#*:}
  root=debian/$package
  rm -rf "$root"
  DESTDIR=$PWD/$root cmake --install "$build" --component "$component" --prefix /usr >/dev/null
  programs=("$root"/usr/bin/*) archives=("$root"/usr/lib/*/*.a)
  [ -e "${programs[0]}" ] || programs=()
  [ -e "${archives[0]}" ] || archives=()
  [ ${#programs[@]} -eq 0 ] || strip --remove-section=.comment --remove-section=.note "${programs[@]}"
  [ ${#archives[@]} -eq 0 ] ||
    strip --strip-debug --remove-section=.comment --remove-section=.note --enable-deterministic-archives "${archives[@]}"
  # The modes Debian wants, whatever the umask of the build was.
  find "$root" -type d -exec chmod 0755 {} +
  find "$root" -type f -exec chmod 0644 {} +
  [ ${#programs[@]} -eq 0 ] || chmod 0755 "${programs[@]}"
  mkdir -p "$root/DEBIAN"
  touch "debian/$package.substvars"
  [ ${#programs[@]} -eq 0 ] || dpkg-shlibdeps -T"debian/$package.substvars" "${programs[@]}"
  dpkg-gencontrol -p"$package" -T"debian/$package.substvars" -P"$root"
  (cd "$root" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum > DEBIAN/md5sums)
  chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
  dpkg-deb --root-owner-group -Zxz --build "$root" "$out"
done
