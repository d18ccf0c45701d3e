#!/usr/bin/env bash
# Builds a small program outside the source tree against the engine installed
# under <prefix> (`cmake --install <build> --component dev --prefix <prefix>`,
# or /usr from the package libtextquirl-dev), once through find_package and
# once through pkg-config, and checks that both give the filter's result for
# the same German sentence. Also checks that every installed header compiles
# on its own with nothing but <prefix>/include, so none reaches for a header
# that is not installed (the engine's internals).
# Usage: dev_consumer.sh <prefix> <textquirl-cli>
#        dev_consumer.sh --from-build <build dir> <textquirl-cli>  (installs into a temporary prefix first)
set -u
fail() { echo "FAIL: dev_consumer: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$1" = --from-build ]; then
  prefix=$work/prefix cli=$3
  cmake --install "$2" --component dev --prefix "$prefix" > "$work/install.log" ||
    fail "cmake --install $2 --component dev failed"
else
  prefix=$1 cli=$2
fi
cp -r "$(dirname "$0")/consumer" "$work/src"

sentence='Die Äpfel fallen nicht weit vom Stamm, sagt Großmutter 👍🏽 fröhlich.'
grep -qF "$sentence" "$work/src/main.cpp" || fail "consumer/main.cpp does not scramble the sentence of this test"
expected=$(printf '%s' "$sentence" | "$cli") || fail "textquirl-cli failed"
[ "$expected" != "$sentence" ] || fail "the filter left the sentence as it was"

headers=("$prefix"/include/textquirl/*.hpp)
[ -f "$prefix/include/textquirl/scramble.hpp" ] || fail "no $prefix/include/textquirl/scramble.hpp"
for header in "${headers[@]}"; do
  name=textquirl/$(basename "$header")
  printf '#include <%s>\n' "$name" | c++ -std=c++20 -fsyntax-only -x c++ - -I"$prefix/include" ||
    fail "$name does not compile on its own"
done
echo "the ${#headers[@]} headers under $prefix/include/textquirl compile on their own"

# CMake, with the prefix as the only hint (none for /usr, where CMake looks anyway).
hint=()
[ "$prefix" = /usr ] || hint=(-DCMAKE_PREFIX_PATH="$prefix")
cmake -S "$work/src" -B "$work/cmake" -DCMAKE_BUILD_TYPE=Release -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF \
  "${hint[@]}" > "$work/configure.log" 2>&1 || { cat "$work/configure.log"; fail "find_package(Textquirl 1.0) failed"; }
cmake --build "$work/cmake" > "$work/build.log" 2>&1 || { cat "$work/build.log"; fail "building with CMake failed"; }
got=$("$work/cmake/consumer") || fail "the program built with CMake failed"
[ "$got" = "$expected" ] || fail "built with CMake: «$got», the filter: «$expected»"
echo "CMake:      $got"

# pkg-config.
pc=$(find "$prefix/lib" -name textquirl.pc -path '*/pkgconfig/*' | head -n1)
[ -n "$pc" ] || fail "no textquirl.pc under $prefix/lib"
export PKG_CONFIG_PATH=$(dirname "$pc")
[ "$(pkg-config --modversion textquirl)" = "$("$cli" --version | head -n1 | cut -d' ' -f2)" ] || fail "textquirl.pc names another version"
# shellcheck disable=SC2046
c++ -std=c++20 -O2 -o "$work/pc-consumer" "$work/src/main.cpp" $(pkg-config --cflags --libs textquirl) ||
  fail "building with pkg-config failed"
got=$("$work/pc-consumer") || fail "the program built with pkg-config failed"
[ "$got" = "$expected" ] || fail "built with pkg-config: «$got», the filter: «$expected»"
echo "pkg-config: $got"
