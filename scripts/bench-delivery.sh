#!/usr/bin/env bash
# Delivering a report (100 KB report file and a 1920x1080 screenshot) by
# SMTP without and with TLS and by the HTTP upload, each beside the same
# bytes over a plain loopback socket, with the ratios. Under Wine; the
# servers run here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${PELMORA_BIN:-$root/build/win/bin}
source "$root/scripts/wine-env.sh"
pelmora_wine_enter
trap 'bash "$root/scripts/wine-root.sh" leave' EXIT
echo "route: $(sed -n 's/^route //p' "${PELMORA_WINE_ROOT:-/var/cache/pelmora/wine-root}/etc/pelmora-wine-root" 2>/dev/null)"
/usr/bin/python3 "$root/bench/delivery/bench_delivery.py" "$bin" "$root/scripts/wine-run.sh" \
  "${PELMORA_BENCH_RUNS:-5}"
