#!/usr/bin/env bash
# Pelmora following GoldMine: switch latency, DDE round trip, idle CPU and
# memory, measured under Wine against the stand-in.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-env.sh"
pelmora_display
pelmora_wine_prefix
pelmora_wine_services
wine "$root/build/win/bin/panel_bench.exe"
echo "(goal: a switch shows within one 500 ms tick plus the DDE round trips)"
