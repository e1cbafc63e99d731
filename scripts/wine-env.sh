# Sourced: the Wine environment every Windows test, benchmark and the demo
# share. Wine itself lives in the root scripts/wine-root.sh builds; the
# checkout is bound inside at its own path, so Linux and Z: paths agree.
PELMORA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
PELMORA_WINE_ROOT_SH=$PELMORA_ROOT/scripts/wine-root.sh
export WINEPREFIX=${WINEPREFIX:-$PELMORA_ROOT/build/wine-prefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}
# Wine takes "C" for en-US with the ANSI code page 1252, like a Western
# European PC, and UTF-8 for Linux file names; the root has no other locale.
export LANG=${PELMORA_WINE_LANG:-C.UTF-8}

# Makes the root's mounts (once) with the checkout and any further folder.
pelmora_wine_enter() { bash "$PELMORA_WINE_ROOT_SH" enter "$PELMORA_ROOT" "$@"; }

# Runs a command inside the root: pelmora_wine wine prog.exe, wineserver -k...
pelmora_wine() { bash "$PELMORA_WINE_ROOT_SH" run "$@"; }

# Gives $WINEPREFIX (or the folder named) a fresh copy of the root's ready
# prefix unless it already holds the current one.
pelmora_wine_prefix() {
  local prefix=${1:-$WINEPREFIX}
  local built
  built=$(pelmora_wine cat /etc/pelmora-wine-root)
  if [ -f "$prefix/.pelmora-ready" ] && [ "$(cat "$prefix/.pelmora-ready")" = "$built" ]; then
    return 0
  fi
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  pelmora_wine cp -a /var/lib/pelmora/prefix-template "$prefix"
  printf '%s\n' "$built" >"$prefix/.pelmora-ready"
}

# Starts Xvfb (from the root) on a free display; PELMORA_XVFB_PID names it.
# With "reuse", a display that is already set and answering is kept.
pelmora_display() {
  if [ "${1:-}" = reuse ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local fdfile
  fdfile=$(mktemp)
  # Not through the function: $! must be the process that becomes Xvfb.
  bash "$PELMORA_WINE_ROOT_SH" run Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp \
    3>"$fdfile" >/dev/null 2>&1 &
  PELMORA_XVFB_PID=$!
  local _
  for _ in $(seq 200); do [ -s "$fdfile" ] && break; sleep 0.05; done
  [ -s "$fdfile" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$(head -1 "$fdfile")"
  rm -f "$fdfile"
  export PELMORA_XVFB_PID
}

# Keeps the prefix's wineserver and service processes running. Services
# started by a test's first Wine process would inherit its output pipe and keep
# the test runner waiting for end-of-file long after the test exits.
pelmora_wine_services() {
  pelmora_wine wineserver -p </dev/null >/dev/null 2>&1 || true  # fails when one already runs
  pelmora_wine wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# Ends the prefix's Wine processes and, when named, the Xvfb we started.
pelmora_wine_stop() {
  pelmora_wine wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ -n "${PELMORA_XVFB_PID:-}" ]; then
    kill "$PELMORA_XVFB_PID" 2>/dev/null || true
    wait "$PELMORA_XVFB_PID" 2>/dev/null || true
    unset PELMORA_XVFB_PID
  fi
}
