#!/usr/bin/env bash
# Builds the native half (host tools, unit tests) and then the Windows half.
# Usage: scripts/build.sh [native|win|all]   (default all)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
what=${1:-all}
jobs=${PELMORA_JOBS:-$(nproc)}

if [ "$what" = native ] || [ "$what" = all ]; then
  cmake -S "$root" -B "$root/build/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPELMORA_SANITIZE=${PELMORA_SANITIZE:-ON} >/dev/null
  cmake --build "$root/build/native" -j "$jobs"
fi
if [ "$what" = win ] || [ "$what" = all ]; then
  cmake -S "$root" -B "$root/build/win" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DPELMORA_HOST_BIN="$root/build/native/bin" >/dev/null
  cmake --build "$root/build/win" -j "$jobs"
fi
