#!/usr/bin/env bash
# Decoder throughput next to Zydis and Capstone, and executed instructions per decoded
# instruction under callgrind. Release build without sanitizers.
# Usage: scripts/bench-disasm.sh [--no-callgrind]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench-disasm"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELMORA_BENCH=ON \
  -DPELMORA_SANITIZE=OFF -DPELMORA_ONLY='crash/(include|base)|crash/report/disasm|bench/disasm' >/dev/null
cmake --build "$build" --target disasm_bench -j "${PELMORA_JOBS:-2}" >/dev/null
bench="$build/bin/disasm_bench"
echo "Note: Debian's packaged Zydis is built with asserts and runs about 30 % slower than a"
echo "release build of Zydis; the reference figures below are from a release build."
"$bench" --benchmark_min_time=1
[ "${1:-}" = "--no-callgrind" ] && exit 0
command -v valgrind >/dev/null || { echo "valgrind not installed: no instruction counts"; exit 0; }
echo
printf '%-12s %14s %12s   %s\n' sweep decoded "Ir/insn" "reference / goal"
for mode in ours ours-text zydis zydis-text capstone; do
  case $mode in
    ours) fn=SweepOurs ref="goal <= 300" ;;
    ours-text) fn=SweepOurs ref="goal <= 700" ;;
    zydis) fn=SweepZydis ref="release Zydis ~590" ;;
    zydis-text) fn=SweepZydis ref="release Zydis ~1670" ;;
    capstone) fn=SweepCapstone ref="~2640" ;;
  esac
  out=$(mktemp)
  decoded=$(valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect="$fn" \
    "$bench" --sweep=$mode 2>/dev/null | sed -n 's/^decoded //p')
  ir=$(callgrind_annotate "$out" 2>/dev/null | sed -n 's/^ *\([0-9,]*\) *(100.0%).*PROGRAM TOTALS.*/\1/p' | tr -d ,)
  [ -z "$ir" ] && ir=$(callgrind_annotate "$out" | awk '/PROGRAM TOTALS/{gsub(",","",$1); print $1}')
  rm -f "$out"
  printf '%-12s %14s %12.0f   %s\n' "$mode" "$decoded" "$(echo "$ir / $decoded" | bc -l)" "$ref"
done
