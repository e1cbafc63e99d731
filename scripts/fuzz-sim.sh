#!/usr/bin/env bash
# Fuzzes the GoldMine stand-in's text handling (SQL rewriting, command lines,
# batched results) for a bounded time (default 120 s) with libFuzzer, ASan and UBSan.
# Usage: scripts/fuzz-sim.sh [seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-120}
build="$root/build/fuzz-sim"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELMORA_FUZZ=ON -DPELMORA_ONLY='^(sim|fuzz/sim)$' >/dev/null
cmake --build "$build" --target sim_text_fuzzer -j "${PELMORA_JOBS:-2}"
corpus="$build/corpus"
mkdir -p "$corpus"
printf '\x03\x02select a.x+b.y from a where c='"'"'O'"'"''"'"'B+'"'"' order by x, y' >"$corpus/seed1"
printf '\x01\x00"C:\\bin\\gmw.exe" --data "C:\\run dir\\" --sysinfo ""\n' >"$corpus/seed2"
printf '\x06\x02ACC1\tREC1\tAnn\tCompany\tWebsite\thttp://a.example\tW1\n' >"$corpus/seed3"
"$build/bin/sim_text_fuzzer" -max_total_time="$seconds" -max_len=2048 -print_final_stats=1 \
  "$corpus" 2>&1 | tee "$build/last-run.log" | grep -E "stat::number_of_executed_units|Done|ERROR|SUMMARY" || true
if grep -q "ERROR:" "$build/last-run.log"; then
  echo "fuzz-sim: the fuzzer found a failure (see $build/last-run.log)" >&2
  exit 1
fi
