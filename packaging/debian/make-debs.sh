#!/usr/bin/env bash
# Makes the Debian packages textquirl, textquirl-cli and libtextquirl-dev from
# a built tree, and python3-textquirl from a wheel built by Debian's python3:
# installs each CMake component under /usr into debian/<package> (the Python
# package: its doc files, then the wheel's files under
# /usr/lib/python3/dist-packages), strips its programs, shared objects and
# static libraries as Debian's dh_strip does, finds the libraries they need
# (dpkg-shlibdeps), writes DEBIAN/control (dpkg-gencontrol, from debian/control
# and debian/changelog) and md5sums, and builds the .deb with root as owner and
# the release date as the latest time stamp, so that the same sources give the
# same package.
# Usage: make-debs.sh <build dir> <dir holding debian/> <out dir> <release date> [<wheel>]
set -euo pipefail
build=$(realpath "$1") src=$2 out=$3 release_date=$4 wheel=${5:-}
here=$(dirname "$(realpath "$0")")
mkdir -p "$out"
out=$(realpath "$out")
[ -z "$wheel" ] || wheel=$(realpath "$wheel")
cd "$src"
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(date -u -d "$release_date 12:00" +%s)
rm -rf debian/files debian/*.substvars

# Finishes the package whose files are in debian/<package> and builds it.
make_deb() {
  local package=$1 root=debian/$1
  local programs=() shared=() archives=()
  mapfile -t programs < <(find "$root/usr/bin" -type f 2>/dev/null)
  mapfile -t shared < <(find "$root/usr/lib" -type f -name '*.so' 2>/dev/null)
  mapfile -t archives < <(find "$root/usr/lib" -type f -name '*.a' 2>/dev/null)
  [ ${#programs[@]} -eq 0 ] || strip --remove-section=.comment --remove-section=.note "${programs[@]}"
  [ ${#shared[@]} -eq 0 ] ||
    strip --remove-section=.comment --remove-section=.note --strip-unneeded "${shared[@]}"
  [ ${#archives[@]} -eq 0 ] ||
    strip --strip-debug --remove-section=.comment --remove-section=.note --enable-deterministic-archives "${archives[@]}"
  # The modes Debian wants, whatever the umask of the build was.
  find "$root" -type d -exec chmod 0755 {} +
  find "$root" -type f -exec chmod 0644 {} +
  [ ${#programs[@]} -eq 0 ] || chmod 0755 "${programs[@]}"
  mkdir -p "$root/DEBIAN"
  touch "debian/$package.substvars"
  local elf=("${programs[@]}" "${shared[@]}")
  [ ${#elf[@]} -eq 0 ] || dpkg-shlibdeps -T"debian/$package.substvars" "${elf[@]}"
  local script
  for script in postinst prerm; do
    if [ -f "$here/$package/$script" ]; then
      install -m 0755 "$here/$package/$script" "$root/DEBIAN/$script"
    fi
  done
  dpkg-gencontrol -p"$package" -T"debian/$package.substvars" -P"$root"
  (cd "$root" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum > DEBIAN/md5sums)
  chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
  dpkg-deb --root-owner-group -Zxz --build "$root" "$out"
}

# package:CMake component
for entry in textquirl:textquirl textquirl-cli:textquirl-cli libtextquirl-dev:dev; do
  package=${entry%%:*} component=${entry#*:}
  rm -rf "debian/$package"
  DESTDIR=$PWD/debian/$package cmake --install "$build" --component "$component" --prefix /usr >/dev/null
  make_deb "$package"
done

if [ -n "$wheel" ]; then
  package=python3-textquirl root=debian/python3-textquirl
  rm -rf "$root"
  DESTDIR=$PWD/$root cmake --install "$build" --component "$package" --prefix /usr >/dev/null
  site=$root/usr/lib/python3/dist-packages
  mkdir -p "$site"
  python3 -m zipfile -e "$wheel" "$site"
  # What pip would record of its own installation is dpkg's business here;
  # the licence is in /usr/share/doc/python3-textquirl/copyright.
  rm -f "$site"/*.dist-info/RECORD "$site"/*.dist-info/INSTALLER "$site"/*.dist-info/direct_url.json \
        "$site"/*.dist-info/LICENSE*
  # The extension is built for one Python version (cpython-311-…): the
  # package works with that one only.
  tag=$(find "$site" -name '_textquirl.cpython-*.so' -printf '%f\n' | sed -n 's/^_textquirl\.cpython-\([0-9]\)\([0-9]*\)-.*/\1.\2/p')
  [ -n "$tag" ] || { echo "make-debs.sh: no extension module for CPython in $wheel" >&2; exit 1; }
  next=${tag%.*}.$((${tag#*.} + 1))
  echo "python3:Depends=python3 (>= $tag~), python3 (<< $next)" > "debian/$package.substvars"
  make_deb "$package"
fi
