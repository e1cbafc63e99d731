#!/usr/bin/env bash
# Fuzzes the symbol payload reader (and the container path round it) and the
# linker map parser with libFuzzer (ASan and UBSan) for a bounded time each.
# Usage: scripts/fuzz-symbols.sh [seconds per fuzzer, default 60]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build="$root/build/symbols-fuzz"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELMORA_FUZZ=ON -DPELMORA_ONLY='^fuzz/symbols$' >/dev/null
cmake --build "$build" -j2 --target symbol_payload_fuzz map_file_fuzz

# Seeds: payloads of named and minimal data (mode byte first) and a map file
# with every heading the parser knows.
corpus="$build/corpus"
mkdir -p "$corpus/payload" "$corpus/map"
python3 - "$corpus" <<'PY'
import struct, sys
d = sys.argv[1]
def packed(v):
    return struct.pack('<b', v) if -127 <= v <= 127 else b'\x80' + struct.pack('<i', v)
def text(s):
    b = s.encode()
    return bytes([len(b)]) + b
def payload(minimal):
    segs = [(0, 0x100, 'Main.cpp'), (0x100, 0x200, 'vector.h')]
    out = struct.pack('<I', len(segs))
    for start, length, unit in segs:
        out += struct.pack('<II', start, length) + (b'\x01' if minimal else text(unit))
    pubs = [('TForm::Show', 0x10), ('helper', 0x90), ('std::vector<int>::size', 0x300)]
    out += struct.pack('<I', len(pubs))
    for i, (name, addr) in enumerate(pubs):
        out += b'' if minimal else text(name)
        out += struct.pack('<I', addr) if i == 0 else packed(addr - pubs[i - 1][1])
    lines = [] if minimal else [(10, 0x10), (11, 0x14), (9, 0x20), (400, 0x200)]
    out += struct.pack('<I', len(lines))
    for i, (line, addr) in enumerate(lines):
        if i == 0:
            out += struct.pack('<II', line, addr)
        else:
            out += packed(line - lines[i - 1][0]) + packed(addr - lines[i - 1][1])
    return out + struct.pack('<I', 0x10)
for mode, minimal in ((0, False), (2, True), (4, False)):
    open(f'{d}/payload/mode{mode}', 'wb').write(bytes([mode]) + payload(minimal))
open(f'{d}/map/sample.map', 'wb').write(b'''
 Start         Length     Name                   Class
 0001:00401000 00002000H _TEXT                  CODE
 0002:00403000 00000400H _DATA                  DATA

Detailed map of segments

 0001:00000000 00000100 C=CODE     S=_TEXT    G=(none)   M=Main       ACBP=A9
 0001:00000100 00000080 C=CODE     S=_TEXT    G=(none)   M=C:\\src\\Orders.cpp ACBP=A9

  Address         Publics by Value

 0001:00000010       Main.Start
 0001:00000100       @Orders@TOrderList@$bdtr$qqrv (near)

Line numbers for Orders(C:\\src\\Orders.cpp) segment _TEXT

    27 0001:00000100    28 0001:00000108    29 0001:00000110

Program entry point at 0001:00000010
'''.replace(b'\n', b'\r\n'))
PY

status=0
for target in symbol_payload_fuzz:payload map_file_fuzz:map; do
  name=${target%%:*}
  seeds=${target##*:}
  work="$build/run-$name"
  mkdir -p "$work/corpus"
  echo "== $name, $seconds s"
  if ! (cd "$work" && "$build/bin/$name" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
      -print_final_stats=1 "$work/corpus" "$corpus/$seeds" >"$work/log" 2>&1); then
    status=1
    echo "   FINDING: see $work/log and the crash file in $work"
  fi
  grep -E '^Done [0-9]+ runs' "$work/log" | sed 's/^/   /' || true
  grep -E 'stat::number_of_executed_units|cov: ' "$work/log" | tail -2 | sed 's/^/   /' || true
done
exit $status
