#!/usr/bin/env python3
"""A plain upload's server: keeps the multipart form posted to /up/, reads
it back with email.parser and compares every field and file, byte for byte,
with the test's expectations. Answers 200 "same" or 422 with what differs;
GET /received tells how many forms matched.

Usage: form_peer.py expected.json
  expected: {"from": hex, "fields": [[name, hex of the UTF-8 value]...],
             "files": [[field name, file name, hex of the bytes]...],
             "authorization": hex (optional: without it a 401 asks for Basic)}
"""

import sys

from peer_common import QuietHandler, form_parts, load_expected, serve_http

expected = load_expected(sys.argv[1])
matched = []


def differences(handler, body):
    problems = []
    if handler.headers.get("From", "").encode("utf-8") != expected["from"]:
        problems.append(f"From header {handler.headers.get('From')!r}")
    parts = form_parts(handler.headers["Content-Type"], body)
    fields = [p for p in parts if p[1] is None]
    files = [p for p in parts if p[1] is not None]
    if len(fields) != len(expected["fields"]) or len(files) != len(expected["files"]):
        return problems + [f"{len(fields)} fields and {len(files)} files"]
    for (name, _, value, charset), (want_name, want_value) in zip(fields, expected["fields"]):
        text = value.decode(charset or "ascii")
        if name != want_name.decode("utf-8") or text != want_value.decode("utf-8"):
            problems.append(f"field {name!r} = {text!r}")
    for (name, filename, data, _), (want_name, want_file, want_data) in zip(files, expected["files"]):
        if name != want_name.decode("utf-8") or filename != want_file.decode("utf-8"):
            problems.append(f"file {name!r} named {filename!r}")
        if data != want_data:
            problems.append(f"file {name!r}: {len(data)} bytes differ from {len(want_data)}")
    return problems


class Handler(QuietHandler):
    def do_POST(self):
        body = self.body()
        if self.path != "/up/":
            self.answer(404, "no such path")
            return
        wanted = expected.get("authorization")
        if wanted is not None and self.headers.get("Authorization", "").encode() != wanted:
            self.answer(401, "log on", "text/plain",
                        [("WWW-Authenticate", 'Digest-Not realm="x", Basic realm="up"')])
            return
        try:
            problems = differences(self, body)
        except Exception as e:  # the test wants the reason, whatever it is
            problems = [f"unreadable form: {e!r}"]
        if problems:
            self.answer(422, "; ".join(problems), "text/plain")
        else:
            matched.append(1)
            self.answer(200, "same", "text/plain")

    def do_GET(self):
        self.answer(200, f"matched={len(matched)}", "text/plain")


serve_http(Handler)
