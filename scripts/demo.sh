#!/usr/bin/env bash
# Sets everything up and runs Pelmora on the GoldMine stand-in with its demo
# data. Without a display it runs on Xvfb and saves build/demo.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" all
source "$root/scripts/wine-env.sh"
headless=0
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  unset DISPLAY
  headless=1
fi
pelmora_display
pelmora_wine_prefix
pelmora_wine_services
bin="$root/build/win/bin"
data=$(winepath -w "$root/build/demo-goldmine")
wine "$bin/goldmine/gmw.exe" --data "$data\\" --demo &
gmw=$!
cleanup() {
  kill "$gmw" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  [ -n "${PELMORA_XVFB_PID:-}" ] && kill "$PELMORA_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
# GoldMine must answer before Pelmora asks for it.
for _ in $(seq 600); do
  xwininfo -root -tree 2>/dev/null | grep -q '"GoldMine"' && break
  sleep 0.5
done
if [ "$headless" = 0 ]; then
  wine "$bin/Pelmora.exe"
  exit 0
fi
wine "$bin/Pelmora.exe" &
for _ in $(seq 600); do
  xwininfo -root -tree 2>/dev/null | grep -q '"Pelmora"' && break
  sleep 0.5
done
sleep 5
import -window root "$root/build/demo.png"
echo "Pelmora ran on Xvfb; screenshot: build/demo.png"
