#!/usr/bin/env bash
# Compares the decoder with Zydis (Capstone as second opinion) on the code of every 32-bit
# DLL Wine ships, the opcode grid and random bytes, and prints the agreement rates and every
# class of disagreement with the reason it is accepted.
# Usage: scripts/oracle-disasm.sh [folder with 32-bit DLLs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/oracle-disasm"
[ $# -ge 1 ] && export PELMORA_WINE_DLLS="$1"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELMORA_SANITIZE=OFF \
  -DPELMORA_ONLY='crash/(include|base)|crash/report/disasm|tests/unit/disasm' >/dev/null
cmake --build "$build" --target disasm_oracle_tests -j "${PELMORA_JOBS:-2}" >/dev/null
PELMORA_ORACLE_FULL=1 "$build/bin/disasm_oracle_tests" --gtest_brief=0 |
  grep -v -E '^\[ *(RUN|OK) *\]|^Running main|^Note:|^\[-+\]|^\[=+\]|^$'
