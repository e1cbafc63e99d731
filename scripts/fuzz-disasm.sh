#!/usr/bin/env bash
# Fuzzes the disassembler for a bounded time (default 120 s) with libFuzzer, ASan and UBSan.
# Usage: scripts/fuzz-disasm.sh [seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-120}
build="$root/build/fuzz-disasm"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELMORA_FUZZ=ON -DPELMORA_ONLY='crash/(include|base)|crash/report/disasm|fuzz/disasm' >/dev/null
cmake --build "$build" --target disasm_fuzzer -j "${PELMORA_JOBS:-2}"
corpus="$build/corpus"
mkdir -p "$corpus"
# Seeds: a few real instruction sequences.
printf '\x00\x10\x40\x00\x05\x55\x8b\xec\x83\xec\x10\xff\x24\x85\x00\x10\x40\x00\xc3' >"$corpus/seed1"
printf '\x00\x00\x00\x10\x04\x66\x0f\x58\xc1\xd9\xe8\x0f\x0f\xc1\xb4\xf3\xa4\xe8\x00\x00\x00\x00' >"$corpus/seed2"
"$build/bin/disasm_fuzzer" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  "$corpus" 2>&1 | tee "$build/last-run.log" | grep -E "stat::number_of_executed_units|Done|ERROR|SUMMARY" || true
if grep -q "ERROR:" "$build/last-run.log"; then
  echo "fuzz-disasm: the fuzzer found a failure (see $build/last-run.log)" >&2
  exit 1
fi
