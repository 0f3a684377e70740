#!/usr/bin/env bash
# tarvo_build: configures (once) and builds build/x64 and build/x86.
# tarvo_build_x64: the same for build/x64 only.
# tarvo_build_native: the natively built tools in build/native.
# Source this file, or run it to build both.

TARVO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# tarvo_build_one ARCH TOOLCHAIN [CMAKE OPTIONS...]
tarvo_build_one() {
  local dir="$TARVO_ROOT/build/$1" toolchain="$2"
  shift 2
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$TARVO_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$TARVO_ROOT/cmake/toolchain-$toolchain.cmake" "$@" || return 1
  fi
  cmake --build "$dir" -j2 || return 1
}

tarvo_build_x64() {
  tarvo_build_one x64 x86_64
}

# The tools that also run natively on Linux (build/native), with the host
# compiler.
tarvo_build_native() {
  local dir="$TARVO_ROOT/build/native"
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$TARVO_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release || return 1
  fi
  cmake --build "$dir" -j2 || return 1
}

# The 32-bit build is compiled and linked only (no 32-bit Wine here), so its
# unit tests are left out.
tarvo_build() {
  tarvo_build_one x64 x86_64 && tarvo_build_one x86 i686 -DTARVO_TESTS=OFF && tarvo_build_native
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -e
  tarvo_build
fi
