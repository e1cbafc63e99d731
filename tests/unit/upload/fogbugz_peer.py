#!/usr/bin/env python3
"""A FogBugz stand-in on http.server under /fb/: api.xml, the commands of
api.asp with their arguments read by urllib.parse, and the new case's
multipart form read back with email.parser; the log-on, the case's fields
and its files must equal the test's expectations, or the answer is an
error element saying what differs. GET /fb/received tells what arrived.

Usage: fogbugz_peer.py expected.json
  expected: {"login": hex, "password": hex, "title": hex, "description": hex,
             "files": [[file name, hex of the bytes]...]}
"""

import sys

from peer_common import QuietHandler, form_parts, load_expected, logged_in, require, serve_http

require("urllib.parse", "xml.sax.saxutils")
import urllib.parse
from xml.sax.saxutils import escape

expected = load_expected(sys.argv[1])
received = {"cases": 0, "files": 0, "logoff": 0}
TOKEN = "tok&42 <x>"


def response(content):
    return f"<?xml version=\"1.0\" encoding=\"UTF-8\"?><response>{content}</response>"


def error(text):
    return response(f"<error code=\"1\">{escape(text)}</error>")


def command(query):
    args = {k: v[0] for k, v in urllib.parse.parse_qs(query, keep_blank_values=True).items()}
    cmd = args.get("cmd")
    if cmd == "logon":
        if not logged_in(expected, args.get("email"), args.get("password")):
            return error("Incorrect password or username")
        return response(f"<token><![CDATA[{TOKEN}]]></token>")
    if args.get("token") != TOKEN:
        return error(f"not logged on: {args.get('token')!r}")
    lists = {
        "listProjects": "<projects><project><sProject>Inbox</sProject></project><project>"
                        "<sProject><![CDATA[Pelmora]]></sProject></project></projects>",
        "listAreas": "<areas><area><sArea>Misc</sArea><sProject>Inbox</sProject></area><area>"
                     "<sArea>Crashes</sArea><sProject>Pelmora</sProject></area></areas>",
        "listCategories": "<categories><category><sCategory>Bug</sCategory></category></categories>",
        "listPriorities": "<priorities><priority><sPriority>Fix</sPriority></priority></priorities>",
        "listPeople": "<people><person><sFullName>Ann Lee</sFullName></person></people>",
    }
    if cmd == "logoff":
        received["logoff"] += 1
        return response("")
    if cmd not in lists or (cmd in ("listProjects", "listAreas") and args.get("fWrite") != "1"):
        return error(f"unexpected command {cmd!r}")
    return response(lists[cmd])


def new_case(content_type, body):
    parts = form_parts(content_type, body)
    fields = {name: value.decode(charset) for name, filename, value, charset in parts
              if filename is None}
    files = [(filename, data) for name, filename, data, _ in parts if filename is not None]
    want = {"cmd": "new", "token": TOKEN, "sTitle": expected["title"].decode("utf-8"),
            "sEvent": expected["description"].decode("utf-8"), "sProject": "Pelmora",
            "sArea": "Crashes", "sCategory": "Bug", "sPersonAssignedTo": "Ann Lee",
            "nFileCount": str(len(expected["files"]))}
    for name, value in want.items():
        if fields.get(name) != value:
            return error(f"{name} is {fields.get(name)!r}")
    names = [n for n, _, _, _ in parts if n.startswith("File")]
    if names != [f"File{i + 1}" for i in range(len(expected["files"]))]:
        return error(f"file fields {names!r}")
    if [(n.encode("utf-8"), d) for n, d in files] != [tuple(f) for f in expected["files"]]:
        return error("the files differ")
    received["cases"] += 1
    received["files"] += len(files)
    return response("<case ixBug=\"9\" operations=\"edit\"></case>")


class Handler(QuietHandler):
    def do_GET(self):
        path, _, query = self.path.partition("?")
        if path == "/fb/api.xml":
            self.answer(200, response("<version>8</version><minversion>1</minversion>"
                                      "<url>api.asp?</url>"))
        elif path == "/fb/api.asp":
            self.answer(200, command(query))
        elif path == "/fb/received":
            self.answer(200, " ".join(f"{k}={v}" for k, v in received.items()), "text/plain")
        else:
            self.answer(404, "no such page", "text/plain")

    def do_POST(self):
        body = self.body()
        try:
            self.answer(200, new_case(self.headers["Content-Type"], body))
        except Exception as e:  # the test wants the reason, whatever it is
            self.answer(200, error(f"unreadable form: {e!r}"))


serve_http(Handler)
