#!/usr/bin/env bash
# Installs the Debian packages Textquirl needs to build, run and test, if any
# are missing. Usage: scripts/install-deps.sh [run|test|windows|package|web|bench]
set -euo pipefail

# What the window needs to build and run ("run": Qt with its German texts, a
# font); what a plain configure of the project needs besides (the tests and
# benchmarks are on by default: ICU, GoogleTest, Google Benchmark); for the
# test run also the sanitizer and fuzzing runtimes, the X tools (a window manager among them) the
# end-to-end tests drive the windows with, AT-SPI with its Python bindings for
# reading the window as a screen reader does, Wine with the cross build of the
# Windows program ("windows": that cross build alone), what makes and checks
# the Windows setup and the Debian packages ("package": making them alone), and
# Chromium with the WebAssembly build of the web page and the npm package, whose
# declarations tsc checks ("web": that build alone; Node.js and npm from Debian
# only where no node and npm are installed), the Python package's build
# ("package": its wheel) and, for the tests, a virtual environment with pytest
# and Dask (its data frames need pandas), and for "bench" what times the filter
# against other commands.
windows=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest)
# (the Python package's source distribution and wheel with Debian's python3,
# zip for the web page's archive)
python=(python3-dev python3-pybind11 python3-setuptools python3-build python3-wheel python3-pip)
package=(build-essential pkg-config libicu-dev qt6-base-dev libxcb1-dev dpkg-dev nsis zip "${windows[@]}"
         "${python[@]}")
# (g++: the web build's form tool runs on the build machine)
web=(cmake ninja-build g++ clang-14 lld-14 wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32
     libclang-rt-14-dev-wasm32 node-typescript)
command -v node >/dev/null || web+=(nodejs)
command -v npm >/dev/null || web+=(npm)
case "${1:-test}" in
  windows) packages=("${windows[@]}") ;;
  package) packages=("${package[@]}") ;;
  web) packages=("${web[@]}") ;;
  run)
    packages=(build-essential cmake ninja-build pkg-config qt6-base-dev libxcb1-dev
              qt6-translations-l10n fonts-dejavu-core) ;;
  test|bench)
    packages=(build-essential cmake ninja-build pkg-config libicu-dev qt6-base-dev libxcb1-dev
              qt6-translations-l10n libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core)
    [[ "${1:-test}" == bench ]] && packages+=(hyperfine time "${python[@]}")
    if [[ "${1:-test}" == test ]]; then
      packages+=(clang-14 libclang-rt-14-dev unicode-data xvfb xauth xdotool xclip imagemagick
                 openbox wmctrl dbus-daemon at-spi2-core python3-pyatspi
                 "${windows[@]}" wine64 fonts-wine
                 "${package[@]}" unzip lintian desktop-file-utils appstream librsvg2-bin "${web[@]}" chromium
                 python3-venv python3-pytest python3-dask python3-distributed python3-pandas)
    fi
    ;;
  *) echo "usage: $0 [run|test|windows|package|web|bench]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "Please run as root or install sudo." >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
# Wait for another apt or dpkg run (a second build on the same machine) to end.
lock=(-o DPkg::Lock::Timeout=900)
"${sudo[@]}" apt-get "${lock[@]}" update -qq
"${sudo[@]}" apt-get "${lock[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
