#!/usr/bin/env bash
# Sets everything up on a fresh Debian machine and runs every test: the native
# unit tests, then the Windows tests under Wine on a display of their own.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd -P)
jobs=${PELMORA_TEST_JOBS:-$(($(nproc) * 2))}
# Everything is installed here: a test that would skip fails instead.
export PELMORA_NO_SKIPS=1

stages=()
stage_start=$SECONDS
stage_done() {
  stages+=("$(printf '%-14s %5d s' "$1" $((SECONDS - stage_start)))")
  stage_start=$SECONDS
}
report() {
  echo "== stage times"
  printf '%s\n' "${stages[@]}"
  printf '%-14s %5d s\n' total "$SECONDS"
}
trap report EXIT

bash "$root/scripts/install-deps.sh" packages || exit 1
stage_done packages
# The Wine root downloads and unpacks while the code compiles.
wine_start=$SECONDS
bash "$root/scripts/wine-root.sh" build >"$root/build-wine-root.log" 2>&1 &
wine_job=$!
bash "$root/scripts/build.sh" all || exit 1
stage_done build
wine_ok=0
wait "$wine_job" && wine_ok=1
stages+=("$(printf '%-14s %5d s (beside the build)' "wine root" $((SECONDS - wine_start)))")
cat "$root/build-wine-root.log" >&2
rm -f "$root/build-wine-root.log"
[ "$wine_ok" = 1 ] || { echo "the Wine root could not be built" >&2; exit 1; }
stage_start=$SECONDS

status=0
ctest --test-dir "$root/build/native" -j "$(nproc)" --output-on-failure --timeout 900 || status=1
stage_done "native tests"

source "$root/scripts/wine-env.sh"
pelmora_wine_enter || exit 1
# Prefixes kept by an earlier run's failures (about 300 MB each).
rm -rf "$root/build/wine-prefixes"
# Every Windows test gets a screen of its own from its runner (wine-run.sh).
unset DISPLAY
cleanup() {
  bash "$root/scripts/wine-root.sh" leave
  report
}
trap cleanup EXIT
ctest --test-dir "$root/build/win" -j "$jobs" --output-on-failure --timeout 600 || status=1
stage_done "windows tests"

# The reporter installed as a package and used by a program outside this
# tree, with nothing but the prefix and the toolchain file; an exception
# nobody catches reaches its handler, is saved with the program's own
# function names and lines, and closes it with exit code 1.
outside() {
  local prefix="$root/build/ostrel-prefix" out="$root/build/outside"
  rm -rf "$prefix" "$out" "$out-make"
  cmake --install "$root/build/win" --prefix "$prefix" >/dev/null || return 1
  # With Ninja, and with CMake's default generator (Unix Makefiles here).
  cmake -S "$root/tests/outside" -B "$out" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DOstrel_DIR="$prefix/lib/cmake/Ostrel" >/dev/null &&
    cmake --build "$out" >/dev/null || return 1
  cmake -S "$root/tests/outside" -B "$out-make" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DOstrel_DIR="$prefix/lib/cmake/Ostrel" >/dev/null &&
    cmake --build "$out-make" -j "$(nproc)" >/dev/null || { echo "outside: the default generator fails"; return 1; }
  local text code
  rm -f "$out/outside-report.txt"
  text=$(bash "$root/scripts/wine-run.sh" "$out/outside.exe")
  code=$?
  echo "$text"
  [ "$code" = 1 ] && [[ "$text" == *"reporter main thread known"* ]] &&
    [[ "$text" == *"main thread named outside main"* ]] &&
    [[ "$text" == *"handler saw std::runtime_error, show nothing"* ]] || return 1
  # The installed symbol step named the program's own lines in its report.
  tr -d '\r' <"$out/outside-report.txt" | grep -E ' outside\.exe +main +[0-9]+ ' ||
    { echo "outside: the saved report names no line of main.cpp"; return 1; }
}
if outside; then echo "outside program: passed"; else echo "outside program: FAILED"; status=1; fi
stage_done "outside program"
exit $status
