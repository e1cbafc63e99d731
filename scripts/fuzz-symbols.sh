#!/usr/bin/env bash
# Fuzzes the symbol payload reader (and the container path round it), the
# linker map parser, the TD32 reader (alone and as found in .tds and module
# files) and the program database check with libFuzzer (ASan and UBSan) for
# a bounded time each.
# Usage: scripts/fuzz-symbols.sh [seconds per fuzzer, default 60]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build="$root/build/symbols-fuzz"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELMORA_FUZZ=ON -DPELMORA_ONLY='^fuzz/symbols$' >/dev/null
cmake --build "$build" -j2 --target symbol_payload_fuzz map_file_fuzz td32_fuzz pdb_file_fuzz

# Seeds: payloads of named and minimal data (mode byte first) and a map file
# with every heading the parser knows.
corpus="$build/corpus"
mkdir -p "$corpus/payload" "$corpus/map" "$corpus/td32" "$corpus/pdb"
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

# TD32: names, a module with its segments, source lines and symbols; the
# first byte picks how the fuzzer offers it (alone, as .tds, in an image).
def u16(v): return struct.pack('<H', v)
def u32(v): return struct.pack('<I', v)
def td32():
    names = u32(4) + b''.join(bytes([len(n)]) + n + b'\0'
                              for n in (b'C:\\src\\Orders.cpp', b'Refresh', b'Counter', b'Helper'))
    module = u16(0) + u16(0) + u16(2) + u16(0x5643) + u32(1) + u32(0) * 4
    module += u16(1) + u16(1) + u32(0x100) + u32(0x80) + u16(2) + u16(0) + u32(0) + u32(0x10)
    source = (u16(1) + u16(1) + u32(8) + u16(1) + u32(1) + u32(24)).ljust(24, b'\0')
    source += u16(1) + u16(3) + u32(0x100) + u32(0x108) + u32(0x110) + u16(27) + u16(28) + u16(29)
    def proc(kind, offset, name):
        return u16(42) + u16(kind) + u32(0) * 6 + u32(offset) + u16(1) + u16(0) + u32(0) + u32(name)
    symbols = bytes(16) + proc(0x205, 0x100, 2) + proc(0x204, 0x140, 4)
    symbols += u16(18) + u16(0x202) + u32(0x20) + u16(2) + u16(0) + u32(0) + u32(3)
    subs = [(0x130, names), (0x120, module), (0x127, source), (0x129, symbols)]
    out, at = b'FB0A' + u32(0), []
    for _, body in subs:
        at.append(len(out))
        out += body
    directory = len(out)
    out += u16(16) + u16(12) + u32(len(subs)) + u32(0) + u32(0)
    for (kind, body), offset in zip(subs, at):
        out += u16(kind) + u16(1) + u32(offset) + u32(len(body))
    return out[:4] + u32(directory) + out[8:]
def image_with(debug):
    # Headers, .text at 0x1000 and the debug section last at 0x2000, whose
    # directory entry points at the data appended behind the image.
    b = bytearray(0x3000)
    b[0:2] = b'MZ'
    b[60:64] = u32(0x80)
    b[0x80:0x84] = b'PE\0\0'
    b[0x84:0x86] = u16(0x14C)
    b[0x86:0x88] = u16(2)
    b[0x94:0x96] = u16(0xE0)
    opt = 0x98
    for offset, value, size in ((0, 0x10B, 2), (4, 0x1000, 4), (16, 0x1010, 4), (20, 0x1000, 4),
                                (24, 0x2000, 4), (28, 0x400000, 4), (32, 0x1000, 4),
                                (36, 0x200, 4), (56, 0x3000, 4), (60, 0x400, 4), (92, 16, 4),
                                (96 + 6 * 8, 0x2000, 4), (100 + 6 * 8, 28, 4)):
        b[opt + offset:opt + offset + size] = (u16 if size == 2 else u32)(value)
    for i, (name, va, flags) in enumerate(((b'.text', 0x1000, 0x60000020),
                                           (b'.debug', 0x2000, 0x42000040))):
        h = opt + 0xE0 + 40 * i
        b[h:h + len(name)] = name
        b[h + 8:h + 24] = u32(0x1000) + u32(va) + u32(0x1000) + u32(va)
        b[h + 36:h + 40] = u32(flags)
    b[0x2000 + 12:0x2000 + 28] = u32(2) + u32(len(debug)) + u32(0) + u32(len(b))
    return bytes(b) + debug
open(f'{d}/td32/alone', 'wb').write(b'\x00' + td32())
open(f'{d}/td32/tds', 'wb').write(b'\x02' + td32())
open(f'{d}/td32/image', 'wb').write(b'\x03' + image_with(td32()))

# A program database container: header, free maps, the directory's block
# list, the directory, the info stream and one more stream.
def msf():
    f = bytearray(7 * 512)
    f[0:32] = b'Microsoft C/C++ MSF 7.00\r\n\x1aDS\0\0\0'
    f[32:56] = u32(512) + u32(1) + u32(7) + u32(24) + u32(0) + u32(3)
    f[3 * 512:3 * 512 + 4] = u32(4)
    f[4 * 512:4 * 512 + 24] = u32(3) + u32(0xFFFFFFFF) + u32(28) + u32(100) + u32(5) + u32(6)
    f[5 * 512:5 * 512 + 28] = u32(20000404) + u32(0) + u32(1) + bytes(range(1, 17))
    return bytes(f)
open(f'{d}/pdb/msf7', 'wb').write(msf())
open(f'{d}/pdb/image', 'wb').write(image_with(b'RSDS' + bytes(range(1, 17)) + u32(1) + b'x.pdb\0'))
PY

status=0
for target in symbol_payload_fuzz:payload map_file_fuzz:map td32_fuzz:td32 pdb_file_fuzz:pdb; do
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
