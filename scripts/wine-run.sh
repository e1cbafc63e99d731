#!/usr/bin/env bash
# Runs a Windows program under the project's Wine prefix (CTest's emulator).
source "$(dirname "$0")/wine-env.sh"
if [ -z "${DISPLAY:-}" ]; then
  echo "wine-run: no DISPLAY; run the tests through scripts/test.sh" >&2
  exit 2
fi
pelmora_wine_services
exec wine "$@"
