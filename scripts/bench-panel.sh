#!/usr/bin/env bash
# Pelmora following GoldMine: switch latency, DDE round trip, idle CPU and
# memory, measured under Wine against the stand-in. Where Wine does not report
# another process's CPU time, the idle window is also measured from Linux: the
# host process running Pelmora (Wine's own cost included).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${PELMORA_BIN:-$root/build/win/bin}
source "$root/scripts/wine-env.sh"
pelmora_wine_enter
pelmora_display reuse
trap pelmora_wine_stop EXIT
pelmora_wine_prefix
pelmora_wine_services
pelmora_pid() { pgrep -f 'Pelmora\.exe' | head -1; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null; }
pid="" start_ticks="" start_time=""
pelmora_wine wine "$bin/panel_bench.exe" | while IFS= read -r line; do
  line=${line%$'\r'}
  case "$line" in
    "idle window: start")
      pid=$(pelmora_pid || true)
      [ -n "$pid" ] && start_ticks=$(cpu_ticks "$pid")
      start_time=$(date +%s.%N) ;;
    "idle window: end")
      end_ticks=$([ -n "$pid" ] && cpu_ticks "$pid" || true)
      if [ -n "$start_ticks" ] && [ -n "$end_ticks" ]; then
        awk -v t="$((end_ticks - start_ticks))" -v hz="$(getconf CLK_TCK)" \
          -v s="$start_time" -v e="$(date +%s.%N)" \
          'BEGIN { printf "idle CPU seen from Linux: %.2f %% of one core (%d ticks in %.1f s)\n", 100 * t / hz / (e - s), t, e - s }'
        rss=$(ps -o rss= -p "$pid" | tr -d ' ' || true)
        [ -n "$rss" ] && echo "resident memory seen from Linux: $((rss / 1024)) MiB (Wine included)"
      fi ;;
    *) echo "$line" ;;
  esac
done
echo "(goal: a switch shows within one 500 ms tick plus the DDE round trips)"
