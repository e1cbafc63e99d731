#!/usr/bin/env bash
# Fuzzes the upload model's readers for a bounded time each (default 120 s)
# with libFuzzer, ASan and UBSan: the HTTP response reader, then the XML
# reader with the bug trackers' answers.
# Usage: scripts/fuzz-upload.sh [seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-120}
build="$root/build/fuzz-upload"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELMORA_FUZZ=ON -DPELMORA_ONLY='crash/(include|base|settings|ui/delivery|ui/upload)|fuzz/upload' >/dev/null
cmake --build "$build" --target http_response_fuzzer tracker_answers_fuzzer -j "${PELMORA_JOBS:-2}"

# Seeds: responses by length, in chunks and to the close; answers of each
# tracker and their faults.
mkdir -p "$build/corpus-http" "$build/corpus-answers"
printf '\x05HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello' >"$build/corpus-http/seed-length"
printf '\x03HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;x=1\r\nhello\r\n0\r\nT: 1\r\n\r\n' \
  >"$build/corpus-http/seed-chunked"
printf '\x81HTTP/1.0 302 Found\r\nLocation: /x\r\n\r\nbody' >"$build/corpus-http/seed-close"
printf '\x10HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 204 No Content\r\n\r\n' >"$build/corpus-http/seed-interim"
a="$build/corpus-answers"
printf '\x00<?xml version="1.0"?><!-- c --><a x="1 &amp; 2"><b>t&#233;<![CDATA[<x>]]></b><c/></a>' >"$a/seed-xml"
printf '\x01<methodResponse><params><param><value><struct><member><name>products</name><value><array><data><value><struct><member><name>name</name><value><string>P</string></value></member><member><name>components</name><value><array><data><value><struct><member><name>name</name><value>C</value></member></struct></value></data></array></value></member></struct></value></data></array></value></member><member><name>id</name><value><int>4</int></value></member></struct></value></param></params></methodResponse>' >"$a/seed-bugzilla"
printf '\x01<methodResponse><fault><value><struct><member><name>faultString</name><value><string>no &lt;x&gt;</string></value></member></struct></value></fault></methodResponse>' >"$a/seed-fault"
printf '\x02<S:Envelope xmlns:S="e"><S:Body><n:r xmlns:n="m"><return><item><id>1</id><name>P</name><subprojects><item><id>2</id><name>Q</name></item></subprojects></item></return></n:r></S:Body></S:Envelope>' >"$a/seed-mantis"
printf '\x02<S:Envelope xmlns:S="e"><S:Body><S:Fault><faultstring>Access denied</faultstring></S:Fault></S:Body></S:Envelope>' >"$a/seed-soap-fault"
printf '\x03<response><version>8</version><minversion>1</minversion><url>api.asp?</url><case ixBug="3"/></response>' >"$a/seed-fogbugz"

status=0
for fuzzer in http_response_fuzzer:corpus-http tracker_answers_fuzzer:corpus-answers; do
  name=${fuzzer%%:*}
  "$build/bin/$name" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
    -artifact_prefix="$build/$name-" "$build/${fuzzer#*:}" 2>&1 |
    tee "$build/$name.log" | grep -E "stat::number_of_executed_units|Done|ERROR|SUMMARY" || true
  if grep -q "ERROR:" "$build/$name.log"; then
    echo "fuzz-upload: $name found a failure (see $build/$name.log)" >&2
    status=1
  fi
done
exit $status
