#!/usr/bin/env bash
# Sets everything up and runs Pelmora on the GoldMine stand-in with its demo
# data. Without a display it runs on Xvfb and saves build/demo.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd -P)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" all
source "$root/scripts/wine-env.sh"
headless=0
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  unset DISPLAY
  headless=1
fi
pelmora_wine_enter
pelmora_display reuse
pelmora_wine_prefix
pelmora_wine_services
bin="$root/build/win/bin"
data=$(pelmora_wine winepath -w "$root/build/demo-goldmine")
# Started directly, not through the function: $! is then the program itself.
bash "$PELMORA_WINE_ROOT_SH" run wine "$bin/goldmine/gmw.exe" --data "$data\\" --demo &
gmw=$!
pelmora=""
cleanup() {
  [ -n "$pelmora" ] && kill "$pelmora" 2>/dev/null || true
  kill "$gmw" 2>/dev/null || true
  pelmora_wine_stop
}
trap cleanup EXIT
# Has a top-level window with this title appeared?
shown() { xwininfo -root -tree 2>/dev/null | grep -q "\"$1\""; }
# GoldMine must answer before Pelmora asks for it.
for _ in $(seq 200); do shown GoldMine && break; sleep 0.1; done
if [ "$headless" = 0 ]; then
  pelmora_wine wine "$bin/Pelmora.exe"
  exit 0
fi
bash "$PELMORA_WINE_ROOT_SH" run wine "$bin/Pelmora.exe" &
pelmora=$!
for _ in $(seq 200); do shown Pelmora && break; sleep 0.1; done
# Pelmora fills its list on its first 500 ms tick.
sleep 2
import -window root "$root/build/demo.png"
echo "Pelmora ran on Xvfb; screenshot: build/demo.png"
