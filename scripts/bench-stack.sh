#!/usr/bin/env bash
# The stack walk in executed instructions per stack slot (callgrind, native,
# on the test images of real compiled code), cold and warm, beside the goal.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench-stack"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELMORA_BENCH=ON \
  -DPELMORA_ONLY='crash/(include|base|imaging)|crash/report/(disasm|symbols|stack)|tools|tests/unit/stack|bench/stack' >/dev/null
cmake --build "$build" --target stack_walk_bench stack_quality_bench -j "${PELMORA_JOBS:-2}" >/dev/null
bench="$build/bin/stack_walk_bench"
echo "== frames found against the true call chain"
"$build/bin/stack_quality_bench"
echo "== cost"
for scenario in chain stale deep; do
  "$bench" "$scenario"
  slots=$("$bench" "$scenario" | sed -n 's/.*: \([0-9]*\) slots.*/\1/p' | head -1)
  for round in cold warm; do
    out="$build/callgrind.$scenario.$round"
    valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$out" "$bench" "$scenario" \
      "$round" >/dev/null 2>&1
    total=$(callgrind_annotate "$out" 2>/dev/null | sed -n 's/^ *\([0-9,]*\) .*PROGRAM TOTALS.*/\1/p' | tr -d ,)
    awk -v t="$total" -v s="$slots" -v n="$scenario" -v r="$round" 'BEGIN {
      printf "%-6s %s walk: %d instructions for %d stack slots: %.0f per slot\n", n, r, t, s, t / s }'
  done
done
