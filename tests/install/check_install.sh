#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and builds a consumer against it twice:
# with CMake's find_package and with pkg-config. Both must run.
#   check_install.sh <build dir> <consumer source dir>
set -euo pipefail
build_dir=$1
consumer=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix/root" > /dev/null
test -L "$prefix/root/lib/libloom_util.so"
test -L "$prefix/root/lib/libloom_util.so.1"
test -f "$prefix/root/include/loom/util/amath.h"
test ! -e "$prefix/root/include/loom/util/internal" # the library's own internals stay home

cmake -S "$consumer" -B "$prefix/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix/root" \
  -DCMAKE_BUILD_RPATH="$prefix/root/lib" > /dev/null
cmake --build "$prefix/cmake-build" > /dev/null
"$prefix/cmake-build/consumer"
# GMP and MPFR are linked by the paths the package found, not by bare names that only the
# system prefix would satisfy.
grep -q -- "/libgmp\.so" "$prefix/cmake-build/build.ninja"
grep -q -- "/libmpfr\.so" "$prefix/cmake-build/build.ninja"

export PKG_CONFIG_PATH="$prefix/root/lib/pkgconfig"
# shellcheck disable=SC2046
g++ -std=c++17 "$consumer/consumer.cpp" $(pkg-config --cflags --libs loom_util) \
  -Wl,-rpath,"$prefix/root/lib" -o "$prefix/pkg-consumer"
"$prefix/pkg-consumer"
# Every installed header compiles on its own: each includes what it uses.
# shellcheck disable=SC2046
for header in "$prefix"/root/include/loom/util/*.h; do
  echo "#include \"util/$(basename "$header")\"" |
    g++ -std=c++17 -Wall -Wextra -Wpedantic -Werror -fsyntax-only -x c++ - \
      $(pkg-config --cflags loom_util)
done
# Its reports name the library's source, not the header's path on this machine.
[[ $("$prefix/pkg-consumer" restriction 2>&1) == *" at src/util/amath.h:"* ]]
