#!/usr/bin/env bash
# What the reporter costs a program, under Wine, beside the goals:
# start-up, a throw and catch with the hooks against one without, and the
# way from an exception to the handler thread and back.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${PELMORA_BIN:-$root/build/win/bin}
source "$root/scripts/wine-env.sh"
pelmora_wine_enter
pelmora_display reuse
trap pelmora_wine_stop EXIT
pelmora_wine_prefix
pelmora_wine_services
run() { pelmora_wine wine "$@" | tr -d '\r'; }
runs=${PELMORA_BENCH_RUNS:-15}
echo "route: ${PELMORA_WINE_ROUTE:-$(sed -n 's/^route //p' "${PELMORA_WINE_ROOT:-/var/cache/pelmora/wine-root}/etc/pelmora-wine-root" 2>/dev/null)}"
cd "$bin"
# plain_bench finds reporter_bench.exe beside itself.
with=$(run "$bin/plain_bench.exe" startup reporter_bench.exe "$runs")
echo "$with"
plain_ms=$(sed -n 's/.*this program \([0-9.]*\) ms.*/\1/p' <<<"$with")
window_ms=$(sed -n 's/.*with a window \([0-9.]*\) ms.*/\1/p' <<<"$with")
ostrel_ms=$(sed -n 's/.*reporter_bench.exe \([0-9.]*\) ms.*/\1/p' <<<"$with")
# The reporter makes a message window on the main thread; under Wine the
# first window of a process loads the display driver, which a GUI program
# pays for anyway. Both differences are shown.
awk -v a="$ostrel_ms" -v b="$plain_ms" -v w="$window_ms" 'BEGIN {
  printf "reporter start-up cost: %.2f ms over a program with a window, %.2f ms over a console program without one   (goal: at most 5 ms)\n", a - w, a - b }'
t_with=$(run "$bin/reporter_bench.exe" throw 20000 | sed -n 's/.*: \([0-9]*\) ns/\1/p')
t_plain=$(run "$bin/plain_bench.exe" throw 20000 | sed -n 's/.*: \([0-9]*\) ns/\1/p')
awk -v a="$t_with" -v b="$t_plain" 'BEGIN { printf "throw and catch: %d ns with the hooks, %d ns without: %.2f times   (goal: at most 1.2 times)\n", a, b, a / b }'
run "$bin/reporter_bench.exe" report 30
# From an exception to the complete report, every thread's stack walked.
for n in 1 5 20; do run "$bin/complete_bench.exe" complete "$n"; done
run "$bin/complete_bench.exe" complete 1 deep
# The memory of the first report, with and without the program's symbol
# information, and where it went (new committed private regions).
echo "with symbols:"
PELMORA_BENCH_REGIONS=1 run "$bin/complete_bench.exe" complete 1
echo "without symbols:"
PELMORA_BENCH_REGIONS=1 run "$bin/complete_bench_bare.exe" complete 1
echo "(goal: the complete report with 20 threads within 1 s)"
# The exception box against the system's message box, in one GUI process.
run "$bin/box_bench.exe" 9
run "$bin/box_bench.exe" 9 20
