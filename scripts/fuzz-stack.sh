#!/usr/bin/env bash
# Fuzzes the stack walk on arbitrary code and stack bytes for a bounded time
# (default 120 s) with libFuzzer, ASan and UBSan.
# Usage: scripts/fuzz-stack.sh [seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-120}
build="$root/build/fuzz-stack"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELMORA_FUZZ=ON -DPELMORA_ONLY='crash/(include|base|imaging)|crash/report/(disasm|symbols|stack)|fuzz/stack' >/dev/null
cmake --build "$build" --target stack_fuzzer -j "${PELMORA_JOBS:-2}"
corpus="$build/corpus"
mkdir -p "$corpus"
# Seed: a function that calls itself, and a stack of its return address.
printf '\x0f\x02\x10\x00\x55\x89\xe5\xe8\xf8\xff\xff\xff\x5d\xc3\x90\x90\x90\x90\x90\x90\x0c\x10\x40\x00\x0c\x10\x40\x00\x0c\x10\x40\x00\x0c\x10\x40\x00' >"$corpus/seed-recursion"
"$build/bin/stack_fuzzer" -max_total_time="$seconds" -timeout=10 -max_len=8192 -print_final_stats=1 \
  -artifact_prefix="$build/" \
  "$corpus" 2>&1 | tee "$build/last-run.log" | grep -E "stat::number_of_executed_units|Done|ERROR|SUMMARY" || true
if grep -q "ERROR:" "$build/last-run.log"; then
  echo "fuzz-stack: the fuzzer found a failure (see $build/last-run.log)" >&2
  exit 1
fi
