#!/usr/bin/env bash
# Fuzzes the bug report file routines on arbitrary existing files for a bounded
# time (default 120 s) with libFuzzer, ASan and UBSan.
# Usage: scripts/fuzz-report-file.sh [seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-120}
build="$root/build/fuzz-report-file"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELMORA_FUZZ=ON -DPELMORA_ONLY='crash/(include|base|settings)|crash/report/file|fuzz/report_file' >/dev/null
cmake --build "$build" --target report_file_fuzzer -j "${PELMORA_JOBS:-2}"
corpus="$build/corpus"
mkdir -p "$corpus"
# Seeds: a file of two reports, the second a repeat of the first.
report=$'date/time         : 2026-12-09, 21:00:00\r\nexecutable        : P.exe\r\nversion           : 1.1\r\nexception class   : E\r\ncallstack crc     : $0A0B0C0D, $11223344, $55667788\r\n\r\nmain thread:\r\nline\r\n\r\n'
printf '\x00%s%s' "$report" "$report" >"$corpus/seed-two"
"$build/bin/report_file_fuzzer" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
  -artifact_prefix="$build/" \
  "$corpus" 2>&1 | tee "$build/last-run.log" | grep -E "stat::number_of_executed_units|Done|ERROR|SUMMARY" || true
if grep -q "ERROR:" "$build/last-run.log"; then
  echo "fuzz-report-file: the fuzzer found a failure (see $build/last-run.log)" >&2
  exit 1
fi
