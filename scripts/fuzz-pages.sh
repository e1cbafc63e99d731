#!/usr/bin/env bash
# Fuzzes the assistant's page streams and their readable source for a
# bounded time (default 120 s) with libFuzzer, ASan and UBSan.
# Usage: scripts/fuzz-pages.sh [seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-120}
build="$root/build/fuzz-pages"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELMORA_FUZZ=ON -DPELMORA_ONLY='crash/(include|base|settings|ui/assistant)|tools/(settings|pages)|fuzz/assistant' >/dev/null
cmake --build "$build" --target pages_fuzzer ostrel-pages -j "${PELMORA_JOBS:-2}"
corpus="$build/corpus"
mkdir -p "$corpus"
# Seeds: the built-in pages, as streams and as source, and a page with
# every value type.
for page in "$root"/crash/ui/assistant/pages/*.page; do
  name=$(basename "$page" .page)
  "$build/bin/ostrel-pages" compile "$page" "$build/$name.bin"
  { printf '\x00'; cat "$build/$name.bin"; } >"$corpus/seed-stream-$name"
  { printf '\x01'; cat "$page"; } >"$corpus/seed-source-$name"
done
printf '\x00TPF0\x07TNVForm\x04Page\x01A\x02\xfe\x01B\x03\x00\x80\x01C\x04\x01\x02\x03\x04\x01D\x06\x02hi\x01E\x07\x02\xc3\xa9\x01F\x08\x01G\x09\x01H\x0c\x01\x00\x00\x00x\x01I\x12\x01\x00\x00\x00\xac\x20\x01J\x14\x01\x00\x00\x00y\x00\x09INVButton\x02Ok\x00\x00\x00' >"$corpus/seed-types"
"$build/bin/pages_fuzzer" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
  -artifact_prefix="$build/" \
  "$corpus" 2>&1 | tee "$build/last-run.log" | grep -E "stat::number_of_executed_units|Done|ERROR|SUMMARY" || true
if grep -q "ERROR:" "$build/last-run.log"; then
  echo "fuzz-pages: the fuzzer found a failure (see $build/last-run.log)" >&2
  exit 1
fi
