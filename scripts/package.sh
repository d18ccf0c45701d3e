#!/usr/bin/env bash
# Makes everything a user or a packager installs Textquirl from, in dist/:
#   textquirl-<version>-windows-x64-setup.exe   the Windows setup
#   textquirl-<version>-windows-x64.exe         the Windows program on its own
#   textquirl-cli-<version>-windows-x64.exe     the filter for Windows, on its own
#   textquirl_<version>_<arch>.deb              the window, for Debian
#   textquirl-cli_<version>_<arch>.deb          the filter alone (no Qt)
#   libtextquirl-dev_<version>_<arch>.deb       the engine for C++ programs
#   python3-textquirl_<version>_<arch>.deb      the Python module for Debian's python3
#   textquirl-<version>.tar.gz                  the Python package's source distribution
#   textquirl-<version>-cp311-cp311-linux_x86_64.whl   the Python package, built from it
#   textquirl-<version>.tgz                     the npm package (WebAssembly)
#   textquirl-<version>-web.zip                 the web page, as it is served
#   SHA256SUMS                                  over all of them
# Installs what is missing, reuses build-windows/ (scripts/build-windows.sh)
# and build-web/ (scripts/build-web.sh: the page and the npm package), builds
# the Python package's wheel from its source distribution in a fresh folder,
# and builds the Linux programs hardened in build-package/.
# Usage: scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package
jobs=$(nproc)
version=$(sed -n 's/^project(Textquirl VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
# Every time stamp in the archives is the release date's.
release_date=$(sed -n 's/^set(TEXTQUIRL_RELEASE_DATE \([0-9-]*\))/\1/p' cmake/TextquirlProduct.cmake)
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(date -u -d "$release_date 12:00" +%s)

echo "== Windows programs and setup"
if [[ -f build-windows/build.ninja ]]; then
  scripts/build-windows.sh
else
  scripts/build-windows.sh -DTEXTQUIRL_BUILD_TESTS=OFF
fi
rm -rf build-windows/packages
cmake --build build-windows -j"$jobs" --target setup

echo "== Web page and npm package"
scripts/build-web.sh >/dev/null
# zip adds to an archive already there: a new one, without the last build's files.
rm -rf build-package/web build-package/textquirl-"$version"-web.zip
mkdir -p build-package/web
cp -r build-web/site/. build-package/web/
find build-package/web -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
(cd build-package/web && find . -type f -printf '%P\n' | LC_ALL=C sort |
  TZ=UTC zip -q -X -9 ../textquirl-"$version"-web.zip -@)

echo "== Python package: source distribution, and a wheel from it"
rm -rf build-package/python
packaging/python/make-sdist.sh . build-package/python
packaging/python/wheel-from-sdist.sh build-package/python/textquirl-"$version".tar.gz build-package/python/wheel
wheel=$(realpath build-package/python/wheel/textquirl-"$version"-*.whl)

echo "== Debian packages"
scripts/quiet.sh cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DTEXTQUIRL_HARDEN=ON \
  -DTEXTQUIRL_BUILD_TESTS=OFF -DTEXTQUIRL_BUILD_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr \
  -DTEXTQUIRL_PYTHON_WHEEL="$wheel"
rm -rf build-package/packages
cmake --build build-package -j"$jobs" --target deb

rm -rf dist
mkdir dist
cp build-windows/packages/* build-package/packages/* build-package/python/textquirl-"$version".tar.gz \
   "$wheel" build-package/textquirl-"$version"-web.zip build-web/npm/textquirl-"$version".tgz dist/
cp build-windows/bin/textquirl-cli.exe dist/textquirl-cli-"$version"-windows-x64.exe
(cd dist && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%P\0' | LC_ALL=C sort -z |
  xargs -0 sha256sum -- > SHA256SUMS)
echo "wrote dist/:"
ls -l dist
