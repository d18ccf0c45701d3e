#!/usr/bin/env bash
# Installs the Debian packages Textquirl needs to build, run and test, if any
# are missing. Usage: scripts/install-deps.sh [run|test]
set -euo pipefail

# What a plain configure of the project needs (the tests and benchmarks are on
# by default) and Qt's German texts for the window, and for the test run also
# the sanitizer and fuzzing runtimes and the X tools (a window manager among
# them) the end-to-end tests drive the window with.
packages=(build-essential cmake ninja-build pkg-config libicu-dev qt6-base-dev libxcb1-dev
          qt6-translations-l10n libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core)
if [[ "${1:-test}" == test ]]; then
  packages+=(clang-14 libclang-rt-14-dev unicode-data xvfb xauth xdotool xclip imagemagick openbox wmctrl)
fi

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
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
