# Sourced: the Wine environment every Windows test and the demo share.
# Keeps the prefix inside the checkout so CI caches nothing elsewhere.
PELMORA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$PELMORA_ROOT/build/wine-prefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=${WINEARCH:-win64}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}

# Creates the prefix once, with the settings that keep tests from hanging.
pelmora_wine_prefix() {
  if [ -f "$WINEPREFIX/.pelmora-ready" ]; then return 0; fi
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  # Real fonts: Marlett for caption buttons, Tahoma and MS Sans Serif stand-ins.
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  for f in /usr/share/wine/fonts/*.ttf /usr/share/fonts/truetype/liberation/*.ttf; do
    [ -f "$f" ] && cp -n "$f" "$fonts/" 2>/dev/null || true
  done
  wineserver -w
  touch "$WINEPREFIX/.pelmora-ready"
}

# Starts Xvfb on a free display when none is set; PELMORA_XVFB_PID names it.
pelmora_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  PELMORA_XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
  export DISPLAY=":$(head -1 "$fdfile")"
  rm -f "$fdfile"
  export PELMORA_XVFB_PID
}

# Keeps the wineserver and the prefix's service processes running. Services
# started by a test's first Wine process would inherit its output pipe and keep
# the test runner waiting for end-of-file long after the test exits.
pelmora_wine_services() {
  wineserver -p </dev/null >/dev/null 2>&1 || true  # fails when one already runs
  pgrep -x services.exe >/dev/null && return 0
  /usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1 || true
}
