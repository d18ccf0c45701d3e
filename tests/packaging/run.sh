#!/usr/bin/env bash
# Runs the package tests on what scripts/package.sh wrote to dist/: lint,
# the Windows setup under Wine and the Debian packages installed with apt.
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
check lint tests/packaging/lint.sh dist
check windows_setup tests/packaging/windows_setup.sh dist/textquirl-"$version"-windows-x64-setup.exe \
  dist/textquirl-"$version"-windows-x64.exe "$cli" "$version" "$artefacts"
check debian_install tests/packaging/debian_install.sh dist "$cli" "$version" "$artefacts"
echo "packages: $passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ] || exit 1
# Every check skipped (no Wine, not root) proves nothing.
[ $passed -gt 0 ] || { echo "packages: no check passed" >&2; exit 1; }
