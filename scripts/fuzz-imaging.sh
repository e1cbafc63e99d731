#!/usr/bin/env bash
# Fuzzes blob unpacking, raw inflation and the BMP reader with libFuzzer
# (ASan and UBSan) for a bounded time each.
# Usage: scripts/fuzz-imaging.sh [seconds per fuzzer, default 60]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build="$root/build/imaging-fuzz"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELMORA_FUZZ=ON -DPELMORA_ONLY='^crash/(include|base|imaging)$|^fuzz/imaging$' >/dev/null
cmake --build "$build" -j2 --target unpack_blob_fuzz bmp_decode_fuzz

# Seeds: valid blobs and BMP files of every depth the reader takes.
corpus="$build/corpus"
mkdir -p "$corpus/blob" "$corpus/bmp"
python3 - "$corpus" <<'PY'
import struct, sys, zlib
d = sys.argv[1]
for i, data in enumerate([b"", b"a", b"stack frame " * 50, bytes(range(256)) * 8]):
    c = zlib.compressobj(2, zlib.DEFLATED, -15, 8)
    raw = c.compress(data) + c.flush()
    blob = struct.pack("<III", len(data), 0, zlib.crc32(data)) + raw
    open(f"{d}/blob/seed{i}", "wb").write(blob)
    open(f"{d}/blob/raw{i}", "wb").write(struct.pack("<H", len(data) & 0xFFFF) + raw)
def bmp(width, height, bpp, palette, rows, compression=0, masks=b""):
    stride = (width * bpp + 31) // 32 * 4
    data = b"".join(r.ljust(stride, b"\0") for r in rows)
    offset = 14 + 40 + len(masks) + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, compression, len(data), 0, 0,
                       len(palette) // 4, 0)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + info + masks + palette + data
pal = b"".join(bytes((i, 255 - i, i // 2, 0)) for i in range(16))
seeds = {
    "bgra32": bmp(3, 2, 32, b"", [bytes(range(12)), bytes(range(12, 24))]),
    "bgr24": bmp(3, -2, 24, b"", [bytes(range(9)), bytes(range(9, 18))]),
    "pal8": bmp(5, 2, 8, pal, [bytes([0, 1, 2, 3, 15]), bytes([4, 5, 6, 7, 8])]),
    "pal4": bmp(5, 1, 4, pal, [bytes([0x12, 0x34, 0x50])]),
    "mono": bmp(9, 1, 1, pal[:8], [bytes([0xA5, 0x80])]),
    "rgb565": bmp(2, 1, 16, b"", [bytes([0x1F, 0, 0xE0, 0x07])], 3,
                  struct.pack("<III", 0xF800, 0x07E0, 0x001F)),
}
for name, data in seeds.items():
    open(f"{d}/bmp/{name}", "wb").write(data)
PY

status=0
for target in unpack_blob_fuzz:blob bmp_decode_fuzz:bmp; do
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
