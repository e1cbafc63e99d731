#!/usr/bin/env bash
# Benchmarks symbol information: the attached resource's size against the
# code size, the time to load a program's symbols and the cost of one lookup.
# Usage: scripts/bench-symbols.sh [program.exe with symbols] [extra Google Benchmark flags]
# Without a program, the Windows symbol test program of build/symbols-win is
# used when it exists; the synthetic module is always measured.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/symbols-bench"
program=${1:-$root/build/symbols-win/bin/symbols_wine_tests.exe}
[ $# -gt 0 ] && shift

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELMORA_BENCH=ON \
  -DPELMORA_SANITIZE=OFF -DPELMORA_ONLY='^(crash/(include|base|imaging)|crash/report/symbols|tools/symbols|bench/symbols)$' >/dev/null
cmake --build "$build" -j2 --target symbols_bench >/dev/null

if [ -f "$program" ]; then
  export SYMBOLS_BENCH_PROGRAM=$program
  echo "program: $program"
else
  echo "program: none (build one with ostrel_embed_symbols, or pass its path)"
fi
"$build/bin/symbols_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true "$@"
cat <<'REF'

Goals: resource at most 25 % of the code it describes; a program's symbols
loaded in under 50 ms; one address lookup under 1 us.
REF
