#!/usr/bin/env bash
# CTest's emulator: runs one Windows test program under Wine with a prefix of
# its own (a fresh copy of the ready one) and a screen of its own (an Xvfb of
# a known size), so that tests running side by side share no registry, no
# wineserver, no windows and no cursor. A failing test's prefix is kept for a
# look at what it left.
#   PELMORA_SHARED_PREFIX=1   run in $WINEPREFIX instead
#   PELMORA_SHARED_DISPLAY=1  run on the caller's $DISPLAY instead (to watch)
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"
pelmora_wine_enter "$(dirname "$1")" || exit 2
own=""
if [ -z "${PELMORA_SHARED_PREFIX:-}" ]; then
  mkdir -p "$PELMORA_ROOT/build/wine-prefixes"
  own=$(mktemp -d "$PELMORA_ROOT/build/wine-prefixes/$(basename "$1" .exe).XXXXXX")
  export WINEPREFIX=$own
  pelmora_wine_prefix "$own" || exit 2
else
  pelmora_wine_prefix || exit 2
fi
if [ -z "${PELMORA_SHARED_DISPLAY:-}" ] || [ -z "${DISPLAY:-}" ]; then
  unset DISPLAY
  pelmora_display || exit 2
fi
pelmora_wine_services
# How 32-bit code runs here, for tests that must know (an emulator's faults).
PELMORA_WINE_ROUTE=$(pelmora_wine sed -n 's/^route //p' /etc/pelmora-wine-root)
export PELMORA_WINE_ROUTE
pelmora_wine wine "$@"
status=$?
pelmora_wine_stop  # this prefix's wineserver and our Xvfb
[ -n "$own" ] && [ "$status" -eq 0 ] && rm -rf "$own"
exit "$status"
