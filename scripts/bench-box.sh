#!/usr/bin/env bash
# The details view's layout of a 5,000-line tab (native, Release) beside
# merely splitting the text into lines, with the ratio.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench-box"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELMORA_BENCH=ON \
  -DPELMORA_ONLY='crash/(include|base)|crash/ui/exception_box|bench/exception_box' >/dev/null
cmake --build "$build" --target details_bench -j "${PELMORA_JOBS:-2}" >/dev/null
out=$("$build/bin/details_bench" --benchmark_format=csv 2>/dev/null | grep -E '^"(Format|Split)')
echo "$out"
awk -F, '/Format/ {f=$3} /Split/ {s=$3} END {
  printf "layout of 5,000 call-stack lines: %.2f ms; splitting them into lines: %.2f ms; %.1f times\n", f, s, f / s }' <<<"$out"
