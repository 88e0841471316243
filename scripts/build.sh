#!/usr/bin/env bash
# Configures and builds the four build trees:
#   build/native    host g++, portable parts and their tests
#   build/sanitize  host clang with ASan + UBSan, and the libFuzzer targets
#   build/win64     MinGW x86_64, everything; its tests run under Wine
#   build/win32     MinGW i686, the product
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${JOBS:-$(nproc)}
configure() {
  local dir=$1; shift
  [ -f "$root/build/$dir/CMakeCache.txt" ] ||
    cmake -S "$root" -B "$root/build/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$root/build/$dir" -j "$jobs"
}
configure native -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc
configure sanitize -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DTOLVANEX_SANITIZE=ON -DTOLVANEX_FUZZ=ON
configure win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"
configure win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DTOLVANEX_TESTS=OFF
