#!/usr/bin/env bash
# Sets everything up on a fresh Debian machine and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" all
source "$root/scripts/wine-env.sh"
pelmora_display
pelmora_wine_prefix
wineserver -p
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "${PELMORA_XVFB_PID:-}" ] && kill "$PELMORA_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
status=0
ctest --test-dir "$root/build/native" -j "$(nproc)" --output-on-failure --timeout 600 || status=1
ctest --test-dir "$root/build/win" -j "$(nproc)" --output-on-failure --timeout 600 || status=1
exit $status
