#!/usr/bin/env bash
# Runs the package tests on what scripts/package.sh wrote to dist/: lint and
# the archives' contents, the Python package's source distribution and the
# wheel built from it, the Windows filter and the Windows setup under Wine,
# the Debian packages installed with apt (the programs, then the libraries).
# Usage: tests/packaging/run.sh  (from anywhere; needs build/bin/textquirl-cli)
set -u
cd "$(dirname "$0")/../.."
cli=$PWD/build/bin/textquirl-cli
version=$("$cli" --version | head -n1 | cut -d' ' -f2)
artefacts=$PWD/build-package/artifacts
mkdir -p "$artefacts"
passed=0 failed=0 skipped=0
check() {
  local name=$1 start=$SECONDS status
  shift
  echo "-- $name"
  "$@"
  status=$?
  case $status in
    0) passed=$((passed + 1)); echo "-- $name: passed ($((SECONDS - start)) s)" ;;
    77) skipped=$((skipped + 1)); echo "-- $name: skipped" ;;
    *) failed=$((failed + 1)); echo "-- $name: FAILED (status $status)" ;;
  esac
}
check lint tests/packaging/lint.sh dist build-web/site
check python_sdist tests/packaging/python_sdist.sh dist/textquirl-"$version".tar.gz \
  build-package/python/wheel/textquirl-"$version"-*.whl "$cli"
# The build's Wine prefix when the Windows stage made one, else a new one.
check windows_cli tests/win32/cli_wine.sh /usr/lib/wine/wine64 "$PWD/build-windows/wineprefix" \
  dist/textquirl-cli-"$version"-windows-x64.exe "$cli" fuzz/corpus/fuzz_filter
check windows_setup tests/packaging/windows_setup.sh dist/textquirl-"$version"-windows-x64-setup.exe \
  dist/textquirl-"$version"-windows-x64.exe "$cli" "$version" "$artefacts"
check debian_install tests/packaging/debian_install.sh dist "$cli" "$version" "$artefacts"
check debian_libraries tests/packaging/debian_libraries.sh dist "$cli" "$version"
echo "packages: $passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ] || exit 1
# Every check skipped (no Wine, not root) proves nothing.
[ $passed -gt 0 ] || { echo "packages: no check passed" >&2; exit 1; }
