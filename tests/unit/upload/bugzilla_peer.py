#!/usr/bin/env python3
"""A Bugzilla stand-in on xmlrpc.server at /bz/xmlrpc.cgi: every call is
read by Python's own XML-RPC reader, log-ins are checked, and the new bug's
summary and description and every attachment must equal the test's
expectations, or the call answers a fault saying what differs.
Test.received tells what arrived.

Usage: bugzilla_peer.py expected.json
  expected: {"login": hex, "password": hex, "summary": hex, "description": hex,
             "files": [[file name, hex of the bytes]...]}
"""

import sys

from peer_common import files_by_name, load_expected, logged_in, require, serve

require("xmlrpc.server", "xmlrpc.client")
from xmlrpc.server import SimpleXMLRPCRequestHandler, SimpleXMLRPCServer
from xmlrpc.client import Fault

expected = load_expected(sys.argv[1])
received = {"bugs": 0, "attachments": 0, "anonymous_versions": 0}


def check_login(params):
    if not logged_in(expected, params.get("Bugzilla_login"), params.get("Bugzilla_password")):
        raise Fault(300, "The username or password you entered is not valid.")


def version(params):
    if "Bugzilla_login" in params:
        check_login(params)
    else:
        received["anonymous_versions"] += 1
    return {"version": "5.0.4"}


def enterable_products(params):
    check_login(params)
    return {"ids": [1, 2]}


def products(params):
    check_login(params)
    if params.get("ids") != [1, 2]:
        raise Fault(51, f"unknown product ids {params.get('ids')!r}")
    return {"products": [
        {"id": 1, "name": "Other", "components": [{"name": "General"}], "versions": [{"name": "9"}]},
        {"id": 2, "name": "Pelmora", "components": [{"name": "UI"}, {"name": "Crashes"}],
         "versions": [{"name": "1.0"}, {"name": "1.1"}]}]}


def fields(params):
    check_login(params)
    def values(*names):
        return [{"name": n} for n in names]
    return {"fields": [
        {"name": "priority", "values": values("P1", "P2")},
        {"name": "bug_severity", "values": values("critical", "normal")},
        {"name": "op_sys", "values": values("Linux", "Windows 10 x64 build 19045", "Other")},
        {"name": "rep_platform", "values": values("PC", "Macintosh")}]}


def create(params):
    check_login(params)
    for name in ("summary", "description"):
        if params.get(name, "").encode("utf-8") != expected[name]:
            raise Fault(32000, f"{name} differs: {params.get(name)!r}")
    want = {"product": "Pelmora", "component": "Crashes", "version": "1.1", "priority": "P2",
            "severity": "normal", "platform": "PC", "op_sys": "Windows 10 x64 build 19045"}
    for name, value in want.items():
        if params.get(name) != value:
            raise Fault(32000, f"{name} is {params.get(name)!r}, not {value!r}")
    received["bugs"] += 1
    return {"id": 42}


def add_attachment(params):
    check_login(params)
    files = files_by_name(expected)
    name = params.get("file_name")
    if params.get("ids") != [42] or params.get("exclude_fields") != ["data"]:
        raise Fault(100, "attachment for another bug")
    if name not in files or params["data"].data != files[name]:
        raise Fault(600, f"attachment {name!r} differs")
    received["attachments"] += 1
    return {"ids": [received["attachments"]]}


class Handler(SimpleXMLRPCRequestHandler):
    rpc_paths = ("/bz/xmlrpc.cgi",)

    def log_message(self, *args):
        pass


server = SimpleXMLRPCServer(("127.0.0.1", 0), requestHandler=Handler, logRequests=False,
                            allow_none=True)
for name, function in {"Bugzilla.version": version,
                       "Product.get_enterable_products": enterable_products,
                       "Product.get": products, "Bug.fields": fields, "Bug.create": create,
                       "Bug.add_attachment": add_attachment,
                       "Test.received": lambda params: received}.items():
    server.register_function(function, name)
serve(server)
