#!/usr/bin/env bash
# Sets everything up on a fresh Debian machine and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
source "$root/scripts/wine-env.sh"
# A new Wine prefix takes minutes; make it while the code builds.
(pelmora_wine_prefix) > "$root/build-prefix.log" 2>&1 &
prefix_job=$!
bash "$root/scripts/build.sh" all
wait "$prefix_job" || { cat "$root/build-prefix.log"; exit 1; }
rm -f "$root/build-prefix.log"
pelmora_display
pelmora_wine_services
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "${PELMORA_XVFB_PID:-}" ] && kill "$PELMORA_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
status=0
ctest --test-dir "$root/build/native" -j "$(nproc)" --output-on-failure --timeout 900 || status=1
ctest --test-dir "$root/build/win" -j "$(nproc)" --output-on-failure --timeout 2400 || status=1
exit $status
