#!/usr/bin/env bash
# Makes everything a user installs Textquirl from, in dist/:
#   textquirl-<version>-windows-x64-setup.exe   the Windows setup
#   textquirl-<version>-windows-x64.exe         the Windows program on its own
#   textquirl_<version>_<arch>.deb              the window, for Debian
#   textquirl-cli_<version>_<arch>.deb          the filter alone (no Qt)
#   textquirl-<version>-cp311-cp311-linux_x86_64.whl   the Python package
#   textquirl-<version>.tgz                     the npm package (WebAssembly)
#   SHA256SUMS                                  over all of them
# Installs what is missing, reuses build-windows/ (scripts/build-windows.sh)
# and builds the Linux programs hardened in build-package/.
# Usage: scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package
jobs=$(nproc)

echo "== Windows program and setup"
if [[ -f build-windows/build.ninja ]]; then
  scripts/build-windows.sh
else
  scripts/build-windows.sh -DTEXTQUIRL_BUILD_TESTS=OFF
fi
rm -rf build-windows/packages
cmake --build build-windows -j"$jobs" --target setup

echo "== Debian packages"
scripts/quiet.sh cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DTEXTQUIRL_HARDEN=ON \
  -DTEXTQUIRL_BUILD_TESTS=OFF -DTEXTQUIRL_BUILD_BENCH=OFF
rm -rf build-package/packages
cmake --build build-package -j"$jobs" --target deb

echo "== Python package"
rm -rf build-package/wheel
/usr/bin/python3 -m build --wheel --no-isolation --outdir build-package/wheel python >build-package/wheel.log 2>&1 ||
  { cat build-package/wheel.log >&2; exit 1; }

rm -rf dist
mkdir dist
cp build-windows/packages/* build-package/packages/* build-package/wheel/*.whl dist/

echo "== npm package"
scripts/build-web.sh >/dev/null
npm pack --silent --ignore-scripts --pack-destination dist build-web/npm/package >/dev/null

(cd dist && sha256sum -- *.exe *.deb *.whl *.tgz > SHA256SUMS)
echo "wrote dist/:"
ls -l dist
