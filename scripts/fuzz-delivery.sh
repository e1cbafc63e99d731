#!/usr/bin/env bash
# Fuzzes the SMTP reply parser (alone and inside a session) and the DNS
# reply reader with libFuzzer (ASan and UBSan) for a bounded time each.
# Usage: scripts/fuzz-delivery.sh [seconds per fuzzer, default 60]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build="$root/build/fuzz-delivery"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELMORA_FUZZ=ON -DPELMORA_ONLY='^crash/(include|base|ui/delivery)$|^fuzz/delivery$' >/dev/null
cmake --build "$build" -j "${PELMORA_JOBS:-2}" --target smtp_reply_fuzzer dns_reply_fuzzer

# Seeds: replies of a whole dialogue, for the parser and for a session
# (with and without TLS asked), and MX and NS replies with compression.
corpus="$build/corpus"
mkdir -p "$corpus/smtp" "$corpus/dns"
python3 - "$corpus" <<'PY'
import struct, sys
d = sys.argv[1]
dialogue = (b"220 mx.example.org ESMTP\r\n"
            b"250-mx.example.org\r\n250-STARTTLS\r\n250-AUTH PLAIN LOGIN\r\n250 8BITMIME\r\n"
            b"220 go ahead\r\n250-mx\r\n250 AUTH=LOGIN\r\n334 VXNlcm5hbWU6\r\n334 UGFzc3dvcmQ6\r\n"
            b"235 ok\r\n250 sender ok\r\n250 recipient ok\r\n354 go\r\n250 queued\r\n221 bye\r\n")
plain = b"220 mx\r\n250-mx\r\n250 AUTH LOGIN\r\n250 ok\r\n250 ok\r\n354 go\r\n250 ok\r\n221 bye\r\n"
for name, first, data in [("parser", 0x07, dialogue), ("bytes", 0x00, plain),
                          ("session", 0x85, plain), ("tls", 0xC9, dialogue),
                          ("endless", 0x10, b"250-more\r\n" * 120)]:
    open(f"{d}/smtp/{name}", "wb").write(bytes([first]) + data)
def name(text):
    return b"".join(bytes([len(l)]) + l.encode() for l in text.split(".")) + b"\0"
def reply(qtype, records, authority=()):
    q = name("example.org") + struct.pack(">HH", qtype, 1)
    head = struct.pack(">HHHHHH", 0x4A00, 0x8180, 1, len(records), len(authority), 0)
    return head + q + b"".join(records) + b"".join(authority)
def rr(rtype, data, owner=b"\xc0\x0c"):
    return owner + struct.pack(">HHIH", rtype, 1, 3600, len(data)) + data
mx = reply(15, [rr(15, struct.pack(">H", 10) + b"\x02mx\xc0\x0c"),
                rr(15, struct.pack(">H", 5) + name("backup.example.net"))])
ns = reply(2, [rr(2, b"\x03ns1\xc0\x0c")], [rr(2, name("a0.org-servers.net"), b"\xc0\x14")])
alias = reply(15, [rr(5, b"\x04mail\xc0\x0c"), rr(15, struct.pack(">H", 1) + b"\x02mx\xc0\x29",
                                                  b"\xc0\x29")])
for n, data in [("mx", mx), ("ns", ns), ("alias", alias)]:
    open(f"{d}/dns/{n}", "wb").write(data)
PY

status=0
for target in smtp_reply_fuzzer:smtp dns_reply_fuzzer:dns; do
  name=${target%%:*}
  seeds=${target##*:}
  work="$build/run-$name"
  mkdir -p "$work/corpus"
  echo "== $name, $seconds s"
  if ! (cd "$work" && "$build/bin/$name" -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=2048 \
      -timeout=10 -print_final_stats=1 "$work/corpus" "$corpus/$seeds" >"$work/log" 2>&1); then
    status=1
    echo "   FINDING: see $work/log and the crash file in $work"
  fi
  grep -E '^Done [0-9]+ runs' "$work/log" | sed 's/^/   /' || true
  grep -E 'stat::number_of_executed_units|cov: ' "$work/log" | tail -2 | sed 's/^/   /' || true
done
exit $status
